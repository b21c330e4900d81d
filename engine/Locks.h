// The locks of this user's runs: the set lock that keeps two runs off one chip set, and (on POSIX)
// the folder where every lock and socket of the program lives. They are the program's only meeting
// point with other processes, so another local user must not be able to hold, replace or read them.
#pragma once

#include "FileIO.h"

#include <utility>

namespace zelvo {

// Splits write a set alone; merges of one set may read it side by side, but never while it is
// written.
enum class LockMode { Shared, Exclusive };

enum class LockStatus {
    Held,
    Busy,   // another run holds it
    Unsafe, // path belongs to, or could be replaced by, another user: refused, not used
    Failed, // error says why
};

#ifndef _WIN32
struct LockFolder
{
    PathString path;
    LockStatus status = LockStatus::Held; // Held: path is the user's alone
    FileError error = FileError::None;
};

// The folder of this user's locks and sockets: chosen when given (tests), else $XDG_RUNTIME_DIR
// when it is the user's alone, else zelvo-<uid> in the temp folder, made on first use. Checked on
// every call: a folder reached without a link, owned by this user, that nobody else may enter.
LockFolder UserLockFolder(const PathString& chosen = {});
#endif

// Held until this object goes; the kernel drops it when the process ends, however it ends. The
// last holder removes the lock file.
class SetLock
{
public:
    SetLock() = default;
    ~SetLock() { Release(); }
    SetLock(SetLock&& other) noexcept { *this = std::move(other); }
    SetLock& operator=(SetLock&& other) noexcept
    {
        if (this != &other) {
            Release();
            status_ = std::exchange(other.status_, LockStatus::Failed);
            error_ = other.error_;
            path_ = std::move(other.path_);
            held_ = std::exchange(other.held_, {});
        }
        return *this;
    }
    SetLock(const SetLock&) = delete;
    SetLock& operator=(const SetLock&) = delete;

    // The lock of the chip set with this base path.
    static SetLock Acquire(const PathString& base, LockMode mode);
#ifndef _WIN32
    // The lock file `name` in UserLockFolder(chosen), as the single instance takes it.
    static SetLock AcquireNamed(const PathString& chosen, const PathString& name, LockMode mode);
#endif

    bool Held() const
    {
        return status_ == LockStatus::Held;
    }
    LockStatus Status() const
    {
        return status_;
    }
    FileError Error() const
    {
        return error_;
    }
    // The lock file, or the folder that is not safe.
    const PathString& Path() const
    {
        return path_;
    }

private:
    void Release();

    LockStatus status_ = LockStatus::Failed;
    FileError error_ = FileError::None;
    PathString path_;
    struct Handles
    {
#ifdef _WIN32
        void* slots = nullptr;
#else
        int fd = -1;
        int folder = -1;
        PathString name;
#endif
    } held_;
};

} // namespace zelvo
