#pragma once

#include <QString>

namespace somnara {

// A named marker that exists exactly while a copy of the program runs: the system drops it
// when the last process holding it ends, however it ends. On Windows a named mutex; elsewhere
// an advisory lock on a file of that name in the user's runtime directory.
class InstanceGuard
{
public:
    enum class Result {
        FirstCopy,      // we now hold the marker
        AlreadyRunning, // another process holds it
        Unavailable,    // the name is taken by something that cannot serve; run as a first copy
    };

    // Takes the marker for `name`. The marker is kept until the process ends.
    static Result acquire(const QString &name);

    // Where the marker of `name` lives (the lock file; empty on Windows).
    static QString markerPath(const QString &name);
};

} // namespace somnara
