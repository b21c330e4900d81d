// The engine's file layer: "share nothing" opens, 64-bit lengths, whole-block reads and writes, and
// a per-block copy that stays in the kernel where it can. Standard C++ over POSIX or Win32; no
// error is ever thrown, every failure comes back as a FileError.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zelvo {

using PathString = std::filesystem::path::string_type;

// The numeric values are the framework's file-exception causes, so the text of a failure is the
// string table's entry 61856 + cause; ReadOnly, which the framework folds into AccessDenied, has a
// text of its own.
enum class FileError : int {
    None = 0,
    Generic = 1,
    NotFound = 2,
    BadPath = 3,
    TooManyOpen = 4,
    AccessDenied = 5,
    InvalidFile = 6,
    RemoveCurrent = 7,
    DirFull = 8,
    BadSeek = 9,
    HardIO = 10,
    Sharing = 11,
    Locking = 12,
    DiskFull = 13,
    EndOfFile = 14,
    // Beyond the framework's causes: a read-only file system or medium (EROFS), and a file grown
    // past the largest its file system holds (EFBIG).
    ReadOnly = 15,
    TooLarge = 16,
};

// Which side of a copy failed, so the caller can name the right file.
enum class CopySide { None, Read, Write };

struct CopyStatus
{
    std::size_t bytes = 0; // bytes that reached the destination
    FileError error = FileError::None;
    CopySide failedSide = CopySide::None;
};

// One state of a file. A rewrite in place whose writer restores the modification time still moves
// the change time, and a file renamed over the name has another identity.
struct FileStamp
{
    int64_t length = -1;
    int64_t modified = 0; // nanoseconds
    int64_t changed = 0;  // nanoseconds: the inode's change time (Win32: the change time)
    uint64_t volume = 0;  // with index, which file it is: device and inode (Win32: volume and file index)
    uint64_t index = 0;
    bool operator==(const FileStamp&) const = default;
};

class File
{
public:
#ifdef _WIN32
    using Handle = void*;
#else
    using Handle = int;
#endif

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Read only; no other opener may hold the file meanwhile. A directory is refused.
    static File OpenRead(const PathString& path, FileError* error);
    // The same for a file that someone else may have named: the name itself is opened, never what
    // a symbolic link (Win32: a reparse point) there points to, and only a regular file is kept;
    // anything else is AccessDenied.
    static File OpenReadNoLink(const PathString& path, FileError* error);

    // The opens that write never follow a symbolic link and never write into anything but a
    // regular file: a link, folder, FIFO, device or socket at the name is refused (AccessDenied)
    // without blocking.
    //
    // Read and write; created, or truncated to 0 once this opener holds the file alone, so a file
    // that another program holds is never cut. A file with other hard links is not cut either: its
    // name is given to a new file and the other names keep their bytes.
    static File CreateTruncate(const PathString& path, FileError* error);
    // Read and write; a new file, never one that exists under the name (or a link of that name).
    static File CreateNew(const PathString& path, FileError* error);
    // A new file in the folder of `near`, named after it with ".zelvo-partial-" and a unique
    // suffix (a shorter name where that one would be too long), so that a file left by a killed
    // run says what it is. tempPath receives the name.
    static File CreateTemporary(const PathString& near, PathString* tempPath, FileError* error);

    bool IsOpen() const;
    int64_t Length(FileError* error);
    // What tells a source that was changed during a run (see FileStamp).
    FileStamp Stamp(FileError* error);

    // Reads until size bytes came or the file ended; returns the count, or -1 on failure.
    int64_t Read(void* buffer, std::size_t size, FileError* error);
    // Writes all size bytes or fails.
    bool Write(const void* buffer, std::size_t size, FileError* error);
    // Copies up to size bytes from this file's position to the end of `to`, filling the block
    // unless this file ends. The kernel copies where it can; the buffer (at least size bytes)
    // carries the block where it cannot.
    CopyStatus CopyBlockTo(File& to, void* buffer, std::size_t size);
    // The same through the buffer alone, which then holds the block (for a caller that hashes it).
    CopyStatus CopyThroughBuffer(File& to, void* buffer, std::size_t size);

    // True while `path` still names this open file; false once the file or its folder was removed
    // or replaced, so that a run whose output vanished is not reported as finished.
    bool IsNamedBy(const PathString& path) const;

    // Starts writing back to the disk what was written since the last call, without waiting,
    // so that the flush at the end has little left to do (a no-op where the system has no such
    // call).
    void StartWriteBack();
    // Data and length reach the disk before this returns.
    FileError Sync();

    // Closes the file; a written file may report a late write error here.
    FileError Close();

private:
    friend class WriteBehind;
#ifdef _WIN32
    // A failed CreateFileW gives INVALID_HANDLE_VALUE; the class keeps nullptr for "not open".
    static constexpr Handle kInvalid = nullptr;
#else
    static constexpr Handle kInvalid = -1;
#endif
    explicit File(Handle handle) : handle_(handle) {}

    Handle handle_ = kInvalid;
    [[maybe_unused]] bool kernelCopy_ = true;    // Linux: copy_file_range works for this pair
    [[maybe_unused]] int64_t writeBackFrom_ = 0; // StartWriteBack: where the next range begins
};

// Flushes files that a run is writing on a thread of its own, so that the disk takes the data in
// steps while the run goes on, instead of all at once when the run makes its files durable. It only
// hastens the run's own Sync, which still follows and is the one that reports an error: each flush
// goes through an open file description of its own, so it takes no error away from the run's. On
// Win32 it does nothing.
class WriteBehind
{
public:
    WriteBehind() = default;
    ~WriteBehind(); // drops the flushes not yet begun and waits for the one under way
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    void Flush(const File& file);

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<File::Handle> handles_;
    bool stop_ = false;
    std::thread thread_; // started by the first flush
};

// Opens the file of a set share-nothing and not through a link, takes its 64-bit length (and, when
// asked, its stamp) and closes it again.
FileError QueryLength(const PathString& path, int64_t* length, FileStamp* stamp = nullptr);

// Opens the header chip share-nothing and not through a link, and reads its first bytes (at most 4)
// as a little-endian count. bytesRead tells how many there were; missing high bytes read as 0.
FileError ReadHeaderCount(const PathString& path, int32_t* count, int64_t* bytesRead);

// Removes a file; never follows a link (a link at the name is removed, not its target).
FileError RemoveFile(const PathString& path);

// What is at a name, the name itself taken (a link is not followed); a name too long for its
// folder is Missing.
enum class NodeKind { Missing, Regular, Other /* a link, folder, FIFO, device or socket */ };
NodeKind KindOf(const PathString& path);
// True when the name is a folder (links followed: a folder reached through a link is a folder).
bool IsFolder(const PathString& path);
// True when both names exist and are one file (the same file, or hard links of it).
bool SameFile(const PathString& a, const PathString& b);

// Renames from onto to, replacing a file of that name at once; NoReplace fails (Generic) where a
// file of that name has appeared meanwhile.
FileError RenameReplacing(const PathString& from, const PathString& to);
FileError RenameNoReplace(const PathString& from, const PathString& to);
// Makes the folder's entries (creations, renames, removals) durable.
FileError SyncFolder(const PathString& folder);

// The folder part of a path ("." for a bare name) and whether a file name fits the limits of the
// file system that would hold it: BadPath when the name or the whole path is too long.
PathString FolderOf(const PathString& path);
FileError CheckNameFits(const PathString& path);

// What the file system holding a folder can take: the bytes free to this user and the largest file
// it holds. -1 where that is not known (a network share that reports no sizes, a file system
// without a limit of its own).
struct VolumeInfo
{
    int64_t freeBytes = -1;
    int64_t largestFile = -1;
    std::string fileSystem; // its name, where it sets largestFile ("FAT32")
};
VolumeInfo QueryVolume(const PathString& folder);
// The space that removing or cutting the regular file at `path` gives back: its allocation, or 0
// where it has other names that keep it (or is no regular file).
int64_t SpaceHeldBy(const PathString& path);

#ifndef _WIN32
// The file error that an errno value stands for.
FileError ErrnoError(int code);
#endif

// Test seam: told of every step that makes a run durable, in the order they happen.
enum class DurableStep { Synced, Renamed, FolderSynced, Removed };
using DurableStepHook = std::function<void(DurableStep step, const PathString& path)>;
void SetDurableStepHook(DurableStepHook hook);
void NoteDurableStep(DurableStep step, const PathString& path);

// Test seam: sees, and may change, what QueryVolume found for a folder.
using VolumeHook = std::function<void(const PathString& folder, VolumeInfo* info)>;
void SetVolumeHook(VolumeHook hook);
// The platform's answer, before the hook.
VolumeInfo QuerySystemVolume(const PathString& folder);

} // namespace zelvo
