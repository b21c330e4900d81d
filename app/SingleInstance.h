// The lock that keeps a second copy of the program from starting. It is an operating-system lock
// tied to the process (a mutex of the session on Windows, flock on a file elsewhere), so it goes
// away with the process however that ends: a crash or kill -9 never leaves a stale lock behind.
// On POSIX the lock and the hand-over socket live in the user's own folder of locks, which another
// user cannot enter.
#pragma once

#include "AppRules.h"
#include "Locks.h"

#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace zelvo::app {

class SingleInstanceLock
{
public:
    // Unsafe: the folder of locks or the lock in it belongs to, or could be replaced by, another
    // user; UnsafePath() names it.
    using Result = core::LockResult;

    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Takes the lock named name, for the rest of the process's life. folder (POSIX only) holds the
    // lock file; empty means the user's folder of locks. Unavailable means the lock could not be
    // made at all, which must not stop the program.
    Result Acquire(const QString& name, const QString& folder = {});
    QString UnsafePath() const;

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    zelvo::SetLock m_lock;
#endif
};

// A second start with one file hands the file to the running copy over a local socket, which only
// the user's own processes reach.
class FileHandOver
{
public:
    explicit FileHandOver(std::function<void(const QString& path)> onFile);
    ~FileHandOver();
    FileHandOver(const FileHandOver&) = delete;
    FileHandOver& operator=(const FileHandOver&) = delete;

    // Only the holder of the lock listens, so a socket left by a killed copy may be replaced.
    bool Listen(const QString& serverName);

    // The second start's side: true once the running copy has taken path.
    static bool Send(const QString& serverName, const QString& path);

    // name in the lock's folder (POSIX), or name with the user's name (Windows, whose pipe
    // names are seen by every session). Either end talks only to a process of the same user.
    static QString ServerName(const QString& name, const QString& folder);

private:
    std::function<void(const QString&)> m_onFile;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace zelvo::app
