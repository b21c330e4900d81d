#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#endif

SingleInstanceLock::~SingleInstanceLock()
{
#ifdef _WIN32
    if (m_handle)
        CloseHandle(m_handle);
#else
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

QString SingleInstanceLock::LockFilePath(const QString& name, const QString& folder)
{
#ifdef _WIN32
    Q_UNUSED(name);
    Q_UNUSED(folder);
    return {};
#else
    QString dir = folder;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(name + QStringLiteral(".lock"));
#endif
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const QString& name, const QString& folder)
{
#ifdef _WIN32
    Q_UNUSED(folder);
    // A mutex of the session: the system closes it when the process ends, however it ends.
    HANDLE handle = CreateMutexW(nullptr, TRUE, reinterpret_cast<LPCWSTR>(name.utf16()));
    const DWORD error = GetLastError();
    if (!handle)
        return Result::Unavailable;
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(handle);
        return Result::HeldElsewhere;
    }
    m_handle = handle;
    return Result::Acquired;
#else
    // flock belongs to the open file: the kernel drops it when the process dies, so a file left
    // behind by a killed instance is simply locked again by the next one.
    const QByteArray path = QFile::encodeName(LockFilePath(name, folder));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    // The holder's process id, for whoever looks at the file; nothing relies on it.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const auto written = ::write(fd, pid.data(), pid.size());
    }
    m_fd = fd;
    return Result::Acquired;
#endif
}
