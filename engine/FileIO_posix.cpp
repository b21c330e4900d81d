// POSIX file layer. "Share nothing" is an exclusive, non-blocking flock taken right after open:
// a file that another opener holds is refused as a sharing violation, and a create-or-truncate
// cuts the file only once the lock is ours.
#include "FileIO.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif
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
    case EISDIR:
        return FileError::AccessDenied;
    case EROFS:
        return FileError::ReadOnly;
    case EWOULDBLOCK:
        return FileError::Sharing;
    case EMFILE:
    case ENFILE:
        return FileError::TooManyOpen;
    case ENOSPC:
    case EDQUOT:
        return FileError::DiskFull;
    case EFBIG:
        return FileError::TooLarge;
    case EIO:
        return FileError::HardIO;
    case ELOOP: // O_NOFOLLOW met a symbolic link
        return FileError::AccessDenied;
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

FileError ErrnoError(int code)
{
    return FromErrno(code);
}

namespace {

// A descriptor of a regular file held alone, or -1 with the reason in error.
int OpenForReading(const PathString& path, int flags, FileError* error)
{
    // O_NONBLOCK so that a FIFO without a writer cannot hang the open; it is cleared again below.
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | flags, 0);
    if (fd < 0) {
        Set(error, FromErrno(errno));
        return -1;
    }
    struct stat info;
    FileError failed = FileError::None;
    if (::fstat(fd, &info) != 0)
        failed = FromErrno(errno);
    // Only regular files have a length that means something: a folder, a FIFO or a device such
    // as /dev/zero is refused like a folder on Windows.
    else if (!S_ISREG(info.st_mode))
        failed = FileError::AccessDenied;
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        failed = FromErrno(errno);
    else
        failed = LockExclusive(fd);
    Set(error, failed);
    if (failed == FileError::None)
        return fd;
    ::close(fd);
    return -1;
}

} // namespace

File File::OpenRead(const PathString& path, FileError* error)
{
    const int fd = OpenForReading(path, 0, error);
    return fd >= 0 ? File(fd) : File();
}

File File::OpenReadNoLink(const PathString& path, FileError* error)
{
    const int fd = OpenForReading(path, O_NOFOLLOW, error);
    return fd >= 0 ? File(fd) : File();
}

// The flags of every open that writes: no link followed, no wait on a FIFO or a device.
constexpr int kWriteFlags = O_RDWR | O_NOFOLLOW | O_NONBLOCK;

namespace {

// A descriptor that was opened for writing is kept only for a regular file; the non-blocking
// mode that made the open safe is cleared again for the copy.
FileError KeepRegular(int fd, struct stat* info)
{
    if (::fstat(fd, info) != 0)
        return FromErrno(errno);
    if (!S_ISREG(info->st_mode))
        return FileError::AccessDenied;
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        return FromErrno(errno);
    return FileError::None;
}

// A regular file, held alone: what every open that writes an existing or new name must have.
FileError TakeForWriting(int fd, struct stat* info)
{
    const FileError kept = KeepRegular(fd, info);
    return kept != FileError::None ? kept : LockExclusive(fd);
}

} // namespace

File File::CreateTruncate(const PathString& path, FileError* error)
{
    // No O_CREAT and no O_TRUNC: an existing file is checked and locked before anything is cut;
    // a missing one is created exclusively.
    const int fd = OpenRetrying(path.c_str(), kWriteFlags, 0);
    if (fd < 0) {
        if (errno == ENOENT)
            return CreateNew(path, error);
        Set(error, FromErrno(errno));
        return File();
    }
    File file(fd);
    struct stat info;
    if (const FileError taken = TakeForWriting(fd, &info); taken != FileError::None) {
        Set(error, taken);
        return File();
    }
    if (info.st_nlink > 1 || info.st_uid != ::geteuid()) {
        // Other names share these bytes (a backup made with hard links, say), or another user owns
        // them and could read what is written into them: they keep theirs, the run makes its own.
        file.Close();
        if (::unlink(path.c_str()) != 0) {
            Set(error, FromErrno(errno));
            return File();
        }
        return CreateNew(path, error);
    }
    // Only a file that has content is cut: on ext4 a truncate, even of an empty file, makes the
    // close start writing back everything written since, which halves the copy rate.
    if (info.st_size != 0 && ::ftruncate(fd, 0) != 0) {
        Set(error, FromErrno(errno));
        return File();
    }
    Set(error, FileError::None);
    return file;
}

File File::CreateNew(const PathString& path, FileError* error)
{
    const int fd = OpenRetrying(path.c_str(), kWriteFlags | O_CREAT | O_EXCL, 0666);
    if (fd < 0) {
        // EEXIST: something is at the name already, and it is not ours to write into.
        Set(error, errno == EEXIST ? FileError::AccessDenied : FromErrno(errno));
        return File();
    }
    File file(fd);
    struct stat info;
    if (const FileError taken = TakeForWriting(fd, &info); taken != FileError::None) {
        Set(error, taken);
        return File();
    }
    Set(error, FileError::None);
    return file;
}

File File::CreateTemporary(const PathString& near, PathString* tempPath, FileError* error)
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::minstd_rand random(seed());
    const PathString folder = FolderOf(near);
    PathString stem = near + ".zelvo-partial-";
    if (CheckNameFits(stem + "XXXXXX") != FileError::None)
        stem = (folder == "/" ? folder : folder + "/") + "zelvo-partial-";
    FileError last = FileError::Generic;
    for (int attempt = 0; attempt < 64; ++attempt) {
        PathString candidate = stem;
        for (int i = 0; i < 6; ++i)
            candidate.push_back(kAlphabet[random() % (sizeof kAlphabet - 1)]);
        File file = CreateNew(candidate, &last);
        if (file.IsOpen()) {
            *tempPath = candidate;
            return file;
        }
        // Only a name that is taken is worth another try.
        if (KindOf(candidate) == NodeKind::Missing)
            break;
    }
    Set(error, last);
    return File();
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

FileStamp File::Stamp(FileError* error)
{
    struct stat info;
    if (::fstat(handle_, &info) != 0) {
        Set(error, FromErrno(errno));
        return {};
    }
    Set(error, FileError::None);
    const auto nanoseconds = [](const struct timespec& time) {
        return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return {static_cast<int64_t>(info.st_size), nanoseconds(info.st_mtim), nanoseconds(info.st_ctim),
            static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
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
    CopyStatus rest = CopyThroughBuffer(to, buffer, size - status.bytes);
    rest.bytes += status.bytes;
    return rest;
}

bool File::IsNamedBy(const PathString& path) const
{
    struct stat open, named;
    if (::fstat(handle_, &open) != 0 || ::stat(path.c_str(), &named) != 0)
        return false;
    return open.st_nlink > 0 && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void File::StartWriteBack()
{
#ifdef __linux__
    // Only what was written since the last call; the kernel writes it back while we go on.
    const off_t end = ::lseek(handle_, 0, SEEK_CUR);
    if (end > writeBackFrom_ &&
        ::sync_file_range(handle_, writeBackFrom_, end - writeBackFrom_, SYNC_FILE_RANGE_WRITE) == 0)
        writeBackFrom_ = end;
#endif
}

FileError File::Sync()
{
    // fdatasync also writes the length, which is all of the metadata a reader needs.
    for (;;) {
        if (::fdatasync(handle_) == 0)
            break;
        if (errno != EINTR)
            return FromErrno(errno);
    }
    NoteDurableStep(DurableStep::Synced, PathString());
    return FileError::None;
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

WriteBehind::~WriteBehind()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        for (const int handle : handles_)
            ::close(handle);
        handles_.clear();
    }
    queued_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void WriteBehind::Flush([[maybe_unused]] const File& file)
{
#ifdef __linux__
    const std::lock_guard lock(mutex_);
    if (handles_.size() >= 2)
        return; // a disk slower than the run is not given a queue that grows with the file
    // Opened anew through /proc rather than dup()ed: a duplicate would share the run's description,
    // and with it the note of a write error that only the run's own Sync may take and report.
    const std::string self = "/proc/self/fd/" + std::to_string(file.handle_);
    const int handle = ::open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (handle < 0)
        return; // nothing is lost: the run's Sync does it all
    handles_.push_back(handle);
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
    queued_.notify_one();
#endif
}

void WriteBehind::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stop_ || !handles_.empty(); });
        if (stop_)
            return;
        const int handle = handles_.front();
        handles_.pop_front();
        lock.unlock();
        ::fdatasync(handle);
        ::close(handle);
        lock.lock();
    }
}

FileError RemoveFile(const PathString& path)
{
    if (::unlink(path.c_str()) != 0)
        return FromErrno(errno);
    NoteDurableStep(DurableStep::Removed, path);
    return FileError::None;
}

NodeKind KindOf(const PathString& path)
{
    struct stat info;
    // A name too long for its folder names nothing there.
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENAMETOOLONG ? NodeKind::Missing : NodeKind::Other;
    return S_ISREG(info.st_mode) ? NodeKind::Regular : NodeKind::Other;
}

bool IsFolder(const PathString& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SameFile(const PathString& a, const PathString& b)
{
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

FileError RenameReplacing(const PathString& from, const PathString& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return FromErrno(errno);
    NoteDurableStep(DurableStep::Renamed, to);
    return FileError::None;
}

FileError RenameNoReplace(const PathString& from, const PathString& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        NoteDurableStep(DurableStep::Renamed, to);
        return FileError::None;
    }
    if (errno == EEXIST)
        return FileError::Generic;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return FromErrno(errno);
#endif
    // A file system without the flag: a hard link fails where the name is taken.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        NoteDurableStep(DurableStep::Renamed, to);
        return FileError::None;
    }
    if (errno == EEXIST)
        return FileError::Generic;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return FromErrno(errno);
    // Nor hard links (FAT and NTFS through FUSE, network shares): the name is looked at, then taken.
    // Only another program could fill it in between; a run of ours holds the set's lock.
    struct stat taken;
    if (::lstat(to.c_str(), &taken) == 0)
        return FileError::Generic;
    if (errno != ENOENT)
        return FromErrno(errno);
    return RenameReplacing(from, to);
}

FileError SyncFolder(const PathString& folder)
{
    const int fd = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY, 0);
    if (fd < 0)
        return FromErrno(errno);
    // Some file systems cannot flush a folder (EINVAL): their entries are written with the data.
    const int synced = ::fsync(fd);
    const int code = errno;
    ::close(fd);
    if (synced != 0 && code != EINVAL && code != EROFS)
        return FromErrno(code);
    NoteDurableStep(DurableStep::FolderSynced, folder);
    return FileError::None;
}

VolumeInfo QuerySystemVolume(const PathString& folder)
{
    VolumeInfo info;
    struct statvfs space;
    // A file system that reports no blocks at all (some shares and FUSE ones) says nothing of its space.
    if (::statvfs(folder.c_str(), &space) == 0 && space.f_blocks > 0) {
        // Root may also use the blocks kept back for it.
        const uint64_t blocks = ::geteuid() == 0 ? space.f_bfree : space.f_bavail;
        info.freeBytes = static_cast<int64_t>(std::min<uint64_t>(blocks, INT64_MAX / space.f_frsize) * space.f_frsize);
    }
#ifdef __linux__
    constexpr decltype(statfs::f_type) kFatMagic = 0x4d44; // vfat and msdos; exFAT has no such limit
    struct statfs kind;
    if (::statfs(folder.c_str(), &kind) == 0 && kind.f_type == kFatMagic) {
        info.largestFile = (int64_t(1) << 32) - 1;
        info.fileSystem = "FAT32";
    }
#endif
    return info;
}

int64_t SpaceHeldBy(const PathString& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1)
        return 0;
    return std::max<int64_t>(info.st_size, int64_t(info.st_blocks) * 512);
}

PathString FolderOf(const PathString& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == PathString::npos)
        return ".";
    return slash == 0 ? PathString("/") : path.substr(0, slash);
}

FileError CheckNameFits(const PathString& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameLength = slash == PathString::npos ? path.size() : path.size() - slash - 1;
    long nameMax = ::pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = NAME_MAX;
    if (nameLength > static_cast<std::size_t>(nameMax) || path.size() >= PATH_MAX)
        return FileError::BadPath;
    return FileError::None;
}

} // namespace zelvo
