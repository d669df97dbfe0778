#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace somnara {

// Where the top-left corner of a window with the given outer size (frame and title bar
// included) goes to be centred on `screen`: remainders are dropped, and a window larger than
// the screen keeps its corner at the screen's corner rather than leaving it.
QPoint centredPosition(const QRect &screen, const QSize &outerSize);

// Centres `window` on the primary screen when it is first shown. Afterwards it stays wherever
// the user puts it.
void centreOnFirstShow(QWidget *window);

} // namespace somnara
