#pragma once

#include <QString>

class QWidget;

namespace somnara {

// The few services of the application object that the program relies on: its title, the
// plain message box, termination as a request, and the run of the event loop.
namespace Application {

// Names the application in the taskbar, captions the error box and names the single-copy marker.
void setTitle(const QString &title);
QString title();

// A modal box with `text`, `caption`, no icon and one OK button, centred on the screen.
void messageBox(const QString &text, const QString &caption);

// Asks the application to end: the event loop takes the request on its first turn.
void terminate();
bool terminated();

// Shows the main window, unless ending was requested already, and runs the event loop until
// it ends. Returns the process's exit code.
int run(QWidget *mainWindow);

} // namespace Application

} // namespace somnara
