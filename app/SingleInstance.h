// The lock that keeps a second copy of the program from starting. It is an operating-system lock
// tied to the process (a named mutex on Windows, flock on a file elsewhere), so it goes away with
// the process however that ends: a crash or kill -9 never leaves a stale lock behind.
#pragma once

#include <QString>

class SingleInstanceLock
{
public:
    enum class Result { Acquired, HeldElsewhere, Unavailable };

    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // Takes the lock named name, for the rest of the process's life. folder (POSIX only) holds the
    // lock file; empty means the user's runtime folder. Unavailable means the lock could not be
    // made at all, which must not stop the program.
    Result Acquire(const QString& name, const QString& folder = {});

    // The lock file used on POSIX (empty on Windows).
    static QString LockFilePath(const QString& name, const QString& folder);

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};
