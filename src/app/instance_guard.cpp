#include "instance_guard.h"

#include <QDir>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace somnara {

QString InstanceGuard::markerPath(const QString &name)
{
#ifdef Q_OS_WIN
    Q_UNUSED(name);
    return {};
#else
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(dir.isEmpty() ? QDir::tempPath() : dir).filePath(name + QStringLiteral(".lock"));
#endif
}

InstanceGuard::Result InstanceGuard::acquire(const QString &name)
{
#ifdef Q_OS_WIN
    // The handle is never closed: the system closes it when the process ends.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<LPCWSTR>(name.utf16()));
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS)
        return Result::AlreadyRunning;
    return mutex ? Result::FirstCopy : Result::Unavailable;
#else
    const QByteArray path = QFile::encodeName(markerPath(name));
    // Close-on-exec: a browser we start must not inherit the lock and outlive us with it.
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Result::Unavailable;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Result::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Result::FirstCopy; // the descriptor stays open for the life of the process
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Result::AlreadyRunning : Result::Unavailable;
#endif
}

} // namespace somnara
