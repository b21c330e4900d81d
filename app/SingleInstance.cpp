#include "SingleInstance.h"

#include "AppRules.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace zelvo::app {

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

namespace {

[[maybe_unused]] QString runtimeFolder(const QString& folder)
{
    QString dir = folder;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}

} // namespace

QString SingleInstanceLock::LockFilePath(const QString& name, const QString& folder)
{
#ifdef _WIN32
    Q_UNUSED(name);
    Q_UNUSED(folder);
    return {};
#else
    return QDir(runtimeFolder(folder)).filePath(name + QStringLiteral(".lock"));
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

FileHandOver::FileHandOver(std::function<void(const QString& path)> onFile) : m_onFile(std::move(onFile)) {}

FileHandOver::~FileHandOver() = default;

QString FileHandOver::ServerName(const QString& name, const QString& folder)
{
#ifdef _WIN32
    Q_UNUSED(folder);
    return name + QLatin1Char(' ') + qEnvironmentVariable("USERNAME");
#else
    return QDir(runtimeFolder(folder)).filePath(name + QStringLiteral(".socket"));
#endif
}

bool FileHandOver::Listen(const QString& serverName)
{
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(serverName);
    if (!server->listen(serverName))
        return false;
    QLocalServer* raw = server.get();
    QObject::connect(raw, &QLocalServer::newConnection, raw, [this, raw] {
        while (QLocalSocket* socket = raw->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            const auto take = [this, raw, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > 1 << 16)
                        socket->abort();
                    return;
                }
                QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
                const QString path = QString::fromStdString(
                    core::ReadHandOverMessage(socket->readLine().toStdString()).value_or(std::string()));
                socket->write(core::kHandOverReply);
                socket->disconnectFromServer();
                // The handler may run a modal dialog: not inside the socket's own signal.
                QMetaObject::invokeMethod(
                    raw, [this, path] { m_onFile(path); }, Qt::QueuedConnection);
            };
            QObject::connect(socket, &QLocalSocket::readyRead, socket, take);
            take();
        }
    });
    m_server = std::move(server);
    return true;
}

bool FileHandOver::Send(const QString& serverName, const QString& path)
{
    QLocalSocket socket;
    // The running copy takes the lock a moment before it listens.
    for (int attempt = 0;; ++attempt) {
        socket.connectToServer(serverName);
        if (socket.waitForConnected(2000))
            break;
        if (attempt == 10)
            return false;
        QThread::msleep(100);
    }
    socket.write(QByteArray::fromStdString(core::HandOverMessage(path.toStdString())));
    if (!socket.waitForBytesWritten(5000))
        return false;
    // The reply comes when the running copy's event loop gets to it, a dialog of its own open or not.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(15000))
            return false;
    }
    return socket.readLine() == core::kHandOverReply;
}

} // namespace zelvo::app
