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

} // namespace somnara::ContextMenu
