#include "link_label.h"

#include <QMouseEvent>

namespace somnara {

LinkLabel::LinkLabel(QWidget *parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setTextFormat(Qt::PlainText);
}

void LinkLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        if (rect().contains(event->position().toPoint()))
            emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double-click arrives as a press, then this: it is no new click.
    m_pressed = false;
    event->accept();
}

} // namespace somnara
