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
// A skinned title bar's caption: the body face, which the window has loaded already, so a
// caption costs no face of its own at start-up.
QFont captionFont(); // "宋体", 12 px

} // namespace somnara
