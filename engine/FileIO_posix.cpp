// POSIX file layer. "Share nothing" is an exclusive, non-blocking flock taken right after open:
// a file that another opener holds is refused as a sharing violation, and a create-or-truncate
// cuts the file only once the lock is ours.
#include "FileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvo {
namespace {

FileError FromErrno(int code)
{
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return FileError::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return FileError::AccessDenied;
    case EWOULDBLOCK:
        return FileError::Sharing;
    case EMFILE:
    case ENFILE:
        return FileError::TooManyOpen;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return FileError::DiskFull;
    case EIO:
        return FileError::HardIO;
    case ENAMETOOLONG:
    case EINVAL:
        return FileError::BadPath;
    default:
        return FileError::Generic;
    }
}

void Set(FileError* error, FileError value)
{
    if (error)
        *error = value;
}

// Takes the exclusive lock; file systems without flock support are used unlocked rather than
// refused, since they cannot be shared-locked by anyone else either.
FileError LockExclusive(int fd)
{
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return FileError::None;
        const int code = errno;
        if (code == EINTR)
            continue;
        if (code == ENOLCK || code == EOPNOTSUPP || code == ENOTSUP || code == EINVAL)
            return FileError::None;
        return code == EWOULDBLOCK ? FileError::Sharing : FromErrno(code);
    }
}

int OpenRetrying(const char* path, int flags, mode_t mode)
{
    for (;;) {
        const int fd = ::open(path, flags | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

} // namespace

File File::OpenRead(const PathString& path, FileError* error)
{
    // O_NONBLOCK so that a FIFO without a writer cannot hang the open; it is cleared again below.
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0) {
        Set(error, FromErrno(errno));
        return File();
    }
    File file(fd);
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        Set(error, FromErrno(errno));
        return File();
    }
    // Only regular files have a length that means something: a folder, a FIFO or a device such
    // as /dev/zero is refused like a folder on Windows.
    if (!S_ISREG(info.st_mode)) {
        Set(error, FileError::AccessDenied);
        return File();
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        Set(error, FromErrno(errno));
        return File();
    }
    const FileError lock = LockExclusive(fd);
    if (lock != FileError::None) {
        Set(error, lock);
        return File();
    }
    Set(error, FileError::None);
    return file;
}

File File::CreateTruncate(const PathString& path, FileError* error)
{
    // No O_TRUNC: the file is cut only after the lock below is held.
    const int fd = OpenRetrying(path.c_str(), O_RDWR | O_CREAT, 0666);
    if (fd < 0) {
        Set(error, FromErrno(errno));
        return File();
    }
    File file(fd);
    const FileError lock = LockExclusive(fd);
    if (lock != FileError::None) {
        Set(error, lock);
        return File();
    }
    // Only a file that has content is cut: on ext4 a truncate, even of an empty file, makes the
    // close start writing back everything written since, which halves the copy rate.
    struct stat info;
    if (::fstat(fd, &info) != 0 || (info.st_size != 0 && ::ftruncate(fd, 0) != 0)) {
        Set(error, FromErrno(errno));
        return File();
    }
    Set(error, FileError::None);
    return file;
}

int64_t File::Length(FileError* error)
{
    struct stat info;
    if (::fstat(handle_, &info) != 0) {
        Set(error, FromErrno(errno));
        return -1;
    }
    Set(error, FileError::None);
    return static_cast<int64_t>(info.st_size);
}

int64_t File::Read(void* buffer, std::size_t size, FileError* error)
{
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(handle_, bytes + done, size - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            Set(error, FromErrno(errno));
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    Set(error, FileError::None);
    return static_cast<int64_t>(done);
}

bool File::Write(const void* buffer, std::size_t size, FileError* error)
{
    const auto* bytes = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(handle_, bytes + done, size - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            Set(error, FromErrno(errno));
            return false;
        }
        if (put == 0) {
            Set(error, FileError::DiskFull);
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    Set(error, FileError::None);
    return true;
}

CopyStatus File::CopyBlockTo(File& to, void* buffer, std::size_t size)
{
    CopyStatus status;
#ifdef __linux__
    // One copy_file_range call per block keeps the data in the kernel. Any refusal or error hands
    // the rest of the block to read/write, which either succeeds or reports the failing side.
    while (kernelCopy_ && status.bytes < size) {
        const ssize_t copied = ::copy_file_range(handle_, nullptr, to.handle_, nullptr, size - status.bytes, 0);
        if (copied > 0) {
            status.bytes += static_cast<std::size_t>(copied);
            continue;
        }
        if (copied == 0)
            return status; // end of the source
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF)
            kernelCopy_ = false; // not possible for this pair of files: stop asking
        break;
    }
    if (status.bytes == size)
        return status;
#endif
    const int64_t got = Read(buffer, size - status.bytes, &status.error);
    if (got < 0) {
        status.failedSide = CopySide::Read;
        return status;
    }
    if (got > 0 && !to.Write(buffer, static_cast<std::size_t>(got), &status.error)) {
        status.failedSide = CopySide::Write;
        return status;
    }
    status.bytes += static_cast<std::size_t>(got);
    return status;
}

bool File::IsNamedBy(const PathString& path) const
{
    struct stat open, named;
    if (::fstat(handle_, &open) != 0 || ::stat(path.c_str(), &named) != 0)
        return false;
    return open.st_nlink > 0 && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

FileError File::Close()
{
    if (handle_ == kInvalid)
        return FileError::None;
    const int fd = handle_;
    handle_ = kInvalid;
    // The lock goes with the descriptor. EINTR from close must not be retried on Linux.
    if (::close(fd) != 0 && errno != EINTR)
        return FromErrno(errno);
    return FileError::None;
}

bool RemoveFile(const PathString& path)
{
    return ::unlink(path.c_str()) == 0;
}

} // namespace zelvo
