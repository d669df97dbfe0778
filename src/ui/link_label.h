#pragma once

#include <QLabel>

namespace somnara {

// A caption that acts like a link: a left-button press and release on it is a click. A
// double-click acts once, and a press that is released elsewhere does nothing.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

} // namespace somnara
