#pragma once

class QMenu;
class QWidget;

namespace somnara::ContextMenu {

// Makes `menu` the context menu of `control`. A request that reaches the control, whether
// made over it or passed up by a child that answers none itself, opens the menu at the
// pointer; a request from the keyboard opens it at the control's top-left corner. Edit boxes
// keep their own menu: they answer the request before it is passed up.
void setPopupMenu(QWidget *control, QMenu *menu);

// Lets Shift+F10 ask `window`'s focused control for its context menu, as the menu key does.
void acceptShiftF10(QWidget *window);

// Where a context menu opens on the press, a second press soon after the first is also a
// double-click, which reaches the menu that press has just opened; the menu takes it for a
// click and closes at once, so the second right-click seems lost. No menu of the program
// has a use for double-clicks: from now on, menus do not receive them.
void keepMenusOpenOnDoubleClick();

} // namespace somnara::ContextMenu
