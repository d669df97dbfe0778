#pragma once

#include <QIcon>
#include <QString>

namespace somnara {

// An icon drawn from an SVG file (usually one compiled into the program) at whatever size and
// pixel density it is asked for, so it stays sharp on a scaled screen. Needs no image plugin.
QIcon svgIcon(const QString &path);

// The program's own icon, shown by its windows and its desktop entry.
QIcon applicationIcon();

} // namespace somnara
