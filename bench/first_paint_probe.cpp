// Linked into a program, ends the process right after its first window has been painted, so
// that start-up can be timed as a whole process with the program's own main() unchanged.
#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>

#include <cstdio>
#include <cstdlib>

namespace {

class FirstPaint : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            m_seen = true;
            // The rest of the window is painted and flushed in this same pass; end after it,
            // without the tear-down, which is not part of starting.
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    std::fflush(nullptr);
                    std::_Exit(0);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_seen = false;
};

void installProbe()
{
    qApp->installEventFilter(new FirstPaint(qApp));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
