#pragma once

class QLocale;
class QMenu;

namespace somnara::PopupMenu {

// Readies the top level of `menu` each time it opens, before it shows: first the automatic
// accelerators, then the separator rule.
void prepareOnOpening(QMenu *menu);

// Whether menus give their items accelerators of their own accord: where the system's
// language is written in Chinese, Japanese or Korean characters, whose captions offer no
// letter to underline.
bool usesAutomaticAccelerators(const QLocale &locale);

// Gives each visible item whose caption has no accelerator and none of the characters 0-9 and
// A-Z one of its own: the last of "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ" that no visible item
// uses yet, appended as "(&Z)". Items are served from the bottom up. Captions keep what they
// got, so a second run changes nothing.
void addAutomaticAccelerators(QMenu *menu);

// Hides every separator that would come first or last among the visible items or that is
// directly followed by another one; a separator hidden this way shows again once it stands
// between two visible items. Separators the program hid itself stay hidden; one the rule has
// hidden is the rule's until it shows it again.
void hideStraySeparators(QMenu *menu);

} // namespace somnara::PopupMenu
