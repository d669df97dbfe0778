#pragma once

#include <QMargins>
#include <QTabWidget>

namespace somnara {

// A tab widget whose page area is a fixed inset of the control, whatever the style draws
// around it: the window's layout is given in pixels, and the pages must land on them.
class PageControl : public QTabWidget
{
    Q_OBJECT

public:
    explicit PageControl(QWidget *parent = nullptr);

    // The page area is the control's rectangle less these margins; the tab row keeps within
    // the top margin.
    void setPageMargins(const QMargins &margins);
    QMargins pageMargins() const { return m_margins; }
    QRect pageRect() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placePages();

    QWidget *m_stack = nullptr;
    QMargins m_margins;
};

} // namespace somnara
