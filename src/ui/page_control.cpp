#include "page_control.h"

#include <QEvent>
#include <QStackedWidget>
#include <QTabBar>

#include <algorithm>

namespace somnara {

namespace {

// A tab row no taller than the room left above the pages: the style would size it to the
// image and font, and the page area would move down.
class TabRow : public QTabBar
{
public:
    explicit TabRow(QWidget *parent) : QTabBar(parent) {}

    int maximumTabHeight = QWIDGETSIZE_MAX;

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        size.setHeight(std::min(size.height(), maximumTabHeight));
        return size;
    }
};

} // namespace

PageControl::PageControl(QWidget *parent) : QTabWidget(parent)
{
    setTabBar(new TabRow(this));
    // The tab widget re-lays its page stack on every show, resize, style or font change; the
    // stack's own move and resize events are the one place that sees them all.
    m_stack = findChild<QStackedWidget *>(QString(), Qt::FindDirectChildrenOnly);
    Q_ASSERT(m_stack);
    m_stack->installEventFilter(this);
}

void PageControl::setPageMargins(const QMargins &margins)
{
    m_margins = margins;
    static_cast<TabRow *>(tabBar())->maximumTabHeight = margins.top();
    tabBar()->updateGeometry();
    placePages();
}

QRect PageControl::pageRect() const
{
    return rect().marginsRemoved(m_margins);
}

bool PageControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_stack && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        placePages();
    return QTabWidget::eventFilter(watched, event);
}

void PageControl::placePages()
{
    if (m_margins.isNull())
        return;
    const QRect page = pageRect();
    if (m_stack->geometry() != page)
        m_stack->setGeometry(page);
}

} // namespace somnara
