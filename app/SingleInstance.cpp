#include "SingleInstance.h"

#include "AppRules.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zelvo::app {

SingleInstanceLock::~SingleInstanceLock()
{
#ifdef _WIN32
    if (m_handle)
        CloseHandle(m_handle);
#endif
}

namespace {

// The other end of a local socket runs as this user.
[[maybe_unused]] bool PeerIsThisUser(qintptr socket)
{
#ifdef _WIN32
    Q_UNUSED(socket);
    return true; // the pipe's access list admits this user only
#else
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
#endif
}

} // namespace

SingleInstanceLock::Result SingleInstanceLock::Acquire(const QString& name, const QString& folder)
{
#ifdef _WIN32
    Q_UNUSED(folder);
    // A mutex of the session, which another user's session cannot see; the system closes it when
    // the process ends, however it ends.
    const QString local = QStringLiteral("Local\\") + name;
    HANDLE handle = CreateMutexW(nullptr, TRUE, reinterpret_cast<LPCWSTR>(local.utf16()));
    const DWORD error = GetLastError();
    if (!handle)
        return error == ERROR_ACCESS_DENIED ? Result::Unsafe : Result::Unavailable;
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(handle);
        return Result::HeldElsewhere;
    }
    m_handle = handle;
    return Result::Acquired;
#else
    m_lock = zelvo::SetLock::AcquireNamed(QFile::encodeName(folder).toStdString(),
                                          QFile::encodeName(name + QStringLiteral(".lock")).toStdString(),
                                          zelvo::LockMode::Exclusive);
    switch (m_lock.Status()) {
    case zelvo::LockStatus::Held:
        return Result::Acquired;
    case zelvo::LockStatus::Busy:
        return Result::HeldElsewhere;
    case zelvo::LockStatus::Unsafe:
        return Result::Unsafe;
    case zelvo::LockStatus::Failed:
        break;
    }
    return Result::Unavailable;
#endif
}

QString SingleInstanceLock::UnsafePath() const
{
#ifdef _WIN32
    return QStringLiteral("Local\\Zelvo for File");
#else
    return QFile::decodeName(QByteArray::fromStdString(m_lock.Path()));
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
    const zelvo::LockFolder locks = zelvo::UserLockFolder(QFile::encodeName(folder).toStdString());
    return QFile::decodeName(QByteArray::fromStdString(locks.path)) + QStringLiteral("/") + name +
           QStringLiteral(".socket");
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
            if (!PeerIsThisUser(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
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
    if (!PeerIsThisUser(socket.socketDescriptor()))
        return false;
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
