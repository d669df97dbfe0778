#include "window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace somnara {

QPoint centredPosition(const QRect &screen, const QSize &outerSize)
{
    const int x = std::max(0, (screen.width() - outerSize.width()) / 2);
    const int y = std::max(0, (screen.height() - outerSize.height()) / 2);
    return screen.topLeft() + QPoint(x, y);
}

namespace {

class FirstShowCentring : public QObject
{
public:
    explicit FirstShowCentring(QWidget *window) : QObject(window), m_window(window) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show && !m_shown) {
            // The frame the window will get is not known yet on every platform (X11): centre
            // by what is known now, and again by the true outer size below.
            m_shown = true;
            centre();
        } else if (event->type() == QEvent::Paint && m_shown && !m_settled) {
            // By its first paint the window manager has framed the window; unless something
            // has moved it meanwhile, centre it once more if the frame changed its outer size.
            m_settled = true;
            const bool framed = m_window->frameGeometry().size() != m_window->size();
            const bool unmoved = m_window->pos() == m_placedAt || m_window->geometry().topLeft() == m_placedAt;
            if (framed && unmoved)
                QMetaObject::invokeMethod(this, &FirstShowCentring::centre, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void centre()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (!screen)
            return;
        m_placedAt = centredPosition(screen->geometry(), m_window->frameGeometry().size());
        m_window->move(m_placedAt);
    }

    QWidget *m_window;
    QPoint m_placedAt;
    bool m_shown = false;
    bool m_settled = false;
};

} // namespace

void centreOnFirstShow(QWidget *window)
{
    window->installEventFilter(new FirstShowCentring(window));
}

} // namespace somnara
