#pragma once

#include <QString>

#include <functional>

namespace somnara {

// The one way the program reports a failure: a modal box with the message, the application
// title as caption, the critical icon and an OK button. The program then carries on.
namespace ErrorBox {

// The message as the box shows it: a "." is appended unless the message is empty or already
// ends in a character that sorts at or below "." (an apostrophe, a closing parenthesis…).
QString text(const QString &message);

// Shows the box for `message` and waits until the user closes it.
void show(const QString &message);

// Replaces how the box is shown (tests use it to catch messages). Pass nullptr to restore.
void setPresenter(std::function<void(const QString &text)> presenter);

} // namespace ErrorBox

// Runs one event handler; any failure that escapes it is shown in the error box instead of
// unwinding through Qt's event dispatch.
void guarded(const std::function<void()> &handler);

} // namespace somnara
