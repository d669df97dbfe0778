#include "context_menu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QWidget>

namespace somnara::ContextMenu {

namespace {

// Qt passes a context-menu request from the control under the pointer (or the focused one)
// up through its parents until one accepts it; this filter makes its control accept it.
class MenuOwner : public QObject
{
public:
    MenuOwner(QWidget *control, QMenu *menu) : QObject(control), m_control(control), m_menu(menu) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_control || event->type() != QEvent::ContextMenu || !m_menu)
            return false;
        auto *request = static_cast<QContextMenuEvent *>(event);
        const QPoint at = request->reason() == QContextMenuEvent::Keyboard
                              ? m_control->mapToGlobal(QPoint(0, 0))
                              : request->globalPos();
        m_menu->popup(at);
        request->accept();
        return true;
    }

private:
    QWidget *m_control;
    QPointer<QMenu> m_menu;
};

class DoubleClickFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        return event->type() == QEvent::MouseButtonDblClick && qobject_cast<QMenu *>(watched);
    }
};

} // namespace

void setPopupMenu(QWidget *control, QMenu *menu)
{
    control->installEventFilter(new MenuOwner(control, menu));
}

void acceptShiftF10(QWidget *window)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, [window] {
        QWidget *target = window->focusWidget() ? window->focusWidget() : window;
        // Where the platform puts a keyboard request: the text cursor, if the control has one.
        const QPoint at = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        QContextMenuEvent request(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &request);
    });
}

void keepMenusOpenOnDoubleClick()
{
    static QPointer<DoubleClickFilter> filter;
    if (!filter && qApp) {
        filter = new DoubleClickFilter(qApp);
        qApp->installEventFilter(filter);
    }
}

} // namespace somnara::ContextMenu
