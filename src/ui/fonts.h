#pragma once

#include <QFont>

namespace somnara {

// The faces the window names do not exist on every system: map them to installed faces of
// the same style before any widget is created.
void installFontSubstitutes();

// The fonts the window uses, at 96 dpi pixel sizes.
QFont windowFont(); // "MS Sans Serif", 11 px
QFont bodyFont();   // "宋体", 12 px
QFont linkFont();   // "宋体", 12 px, blue where it is used

} // namespace somnara
