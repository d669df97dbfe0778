#pragma once

#include <QPoint>

#include <optional>

class QWindow;

namespace somnara {

// Where the window system itself has the window's client area, asked afresh; nothing where it
// cannot be asked (only X11 can).
std::optional<QPoint> nativeWindowPosition(QWindow *window);

} // namespace somnara
