// Locks are flocks on files in a folder of the user's own, reached through the folder's descriptor
// so that nothing swapped in after the folder was checked is used; shared for merges, exclusive for
// splits. A lock file is removed by its last holder, and a taker checks after locking that the name
// still names the file it locked: else it locked a file just removed, and takes the name again.
#include "Locks.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvo {
namespace {

bool OnlyMine(const struct stat& info)
{
    return info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// The folder opened without following a link at its own name, if it is the user's alone.
LockFolder OpenFolder(const PathString& path, int* fd)
{
    *fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (*fd < 0)
        return {path, errno == ELOOP || errno == ENOTDIR ? LockStatus::Unsafe : LockStatus::Failed, ErrnoError(errno)};
    struct stat info;
    if (::fstat(*fd, &info) != 0 || !OnlyMine(info)) {
        ::close(*fd);
        *fd = -1;
        return {path, LockStatus::Unsafe, FileError::AccessDenied};
    }
    return {path, LockStatus::Held, FileError::None};
}

LockFolder OpenUserFolder(const PathString& chosen, int* fd)
{
    if (!chosen.empty())
        return OpenFolder(chosen, fd);
    // Not ours alone (su and sudo keep the caller's): as if unset.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        if (LockFolder folder = OpenFolder(runtime, fd); folder.status == LockStatus::Held)
            return folder;
    }
    const char* tmp = std::getenv("TMPDIR");
    const PathString own = PathString(tmp && *tmp == '/' ? tmp : "/tmp") + "/zelvo-" + std::to_string(::geteuid());
    if (::mkdir(own.c_str(), 0700) == 0) {
        // A umask may have taken more than 077 away; the folder must still be usable.
        if (const int made = ::open(own.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); made >= 0) {
            ::fchmod(made, 0700);
            ::close(made);
        }
    } else if (errno != EEXIST) {
        return {own, LockStatus::Failed, ErrnoError(errno)};
    }
    return OpenFolder(own, fd);
}

bool SameNode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

LockFolder UserLockFolder(const PathString& chosen)
{
    int fd = -1;
    LockFolder folder = OpenUserFolder(chosen, &fd);
    if (fd >= 0)
        ::close(fd);
    return folder;
}

void SetLock::Release()
{
    if (held_.fd >= 0 && status_ == LockStatus::Held) {
        // Only a holder that may lock alone is the last one; it removes the file while it holds it.
        struct stat held, named;
        if (::flock(held_.fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(held_.fd, &held) == 0 &&
            ::fstatat(held_.folder, held_.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && SameNode(held, named))
            ::unlinkat(held_.folder, held_.name.c_str(), 0);
    }
    if (held_.fd >= 0)
        ::close(held_.fd);
    if (held_.folder >= 0)
        ::close(held_.folder);
    held_.fd = held_.folder = -1;
}

SetLock SetLock::Acquire(const PathString& base, LockMode mode)
{
    // Two runs name one set alike only after their folders are resolved (links, "..", a
    // relative path): the lock's name is a hash of the resolved folder and the set's name.
    const PathString folder = FolderOf(base);
    char* resolved = ::realpath(folder.c_str(), nullptr);
    PathString key = resolved ? PathString(resolved) : folder;
    std::free(resolved);
    key += "/" + base.substr(base.find_last_of('/') == PathString::npos ? 0 : base.find_last_of('/') + 1);
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : key)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    char name[64];
    std::snprintf(name, sizeof name, "zelvo-set-%016llx.lock", static_cast<unsigned long long>(hash));
    return AcquireNamed({}, name, mode);
}

SetLock SetLock::AcquireNamed(const PathString& chosen, const PathString& name, LockMode mode)
{
    SetLock lock;
    const LockFolder folder = OpenUserFolder(chosen, &lock.held_.folder);
    lock.path_ = folder.path;
    lock.status_ = folder.status;
    lock.error_ = folder.error;
    if (folder.status != LockStatus::Held)
        return lock;
    lock.path_ += "/" + name;
    lock.held_.name = name;
    // Not held: the file stays for whoever holds it.
    const auto fail = [&lock](LockStatus status, FileError error) {
        lock.status_ = status;
        lock.error_ = error;
        lock.Release();
        return std::move(lock);
    };
    // Each lap follows a holder that removed the file between our open and our lock.
    for (int lap = 0; lap < 100; ++lap) {
        // Never truncated, never written: its bytes mean nothing. O_NONBLOCK: no wait on a FIFO.
        lock.held_.fd =
            ::openat(lock.held_.folder, name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (lock.held_.fd < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno == ELOOP ? LockStatus::Unsafe : LockStatus::Failed, ErrnoError(errno));
        }
        struct stat held, named;
        if (::fstat(lock.held_.fd, &held) != 0)
            return fail(LockStatus::Failed, ErrnoError(errno));
        if (!S_ISREG(held.st_mode) || held.st_uid != ::geteuid() || (held.st_mode & 022) != 0)
            return fail(LockStatus::Unsafe, FileError::AccessDenied);
        int locked = -1;
        do
            locked = ::flock(lock.held_.fd, (mode == LockMode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB);
        while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            if (errno == EWOULDBLOCK)
                return fail(LockStatus::Busy, FileError::Locking);
            return fail(LockStatus::Failed, ErrnoError(errno));
        }
        if (::fstatat(lock.held_.folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && SameNode(held, named)) {
            lock.status_ = LockStatus::Held;
            lock.error_ = FileError::None;
            return lock;
        }
        ::close(lock.held_.fd);
        lock.held_.fd = -1;
    }
    return fail(LockStatus::Failed, FileError::Locking);
}

} // namespace zelvo
