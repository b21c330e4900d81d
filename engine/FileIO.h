// The engine's file layer: "share nothing" opens, 64-bit lengths, whole-block reads and writes, and
// a per-block copy that stays in the kernel where it can. Standard C++ over POSIX or Win32; no
// error is ever thrown, every failure comes back as a FileError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace zelvo {

using PathString = std::filesystem::path::string_type;

// The numeric values are the framework's file-exception causes, so the text of a failure is the
// string table's entry 61856 + cause.
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
};

// Which side of a copy failed, so the caller can name the right file.
enum class CopySide { None, Read, Write };

struct CopyStatus
{
    std::size_t bytes = 0; // bytes that reached the destination
    FileError error = FileError::None;
    CopySide failedSide = CopySide::None;
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
    // Read and write; created, or truncated to 0 once this opener holds the file alone, so a file
    // that another program holds is never cut.
    static File CreateTruncate(const PathString& path, FileError* error);

    bool IsOpen() const;
    int64_t Length(FileError* error);

    // Reads until size bytes came or the file ended; returns the count, or -1 on failure.
    int64_t Read(void* buffer, std::size_t size, FileError* error);
    // Writes all size bytes or fails.
    bool Write(const void* buffer, std::size_t size, FileError* error);
    // Copies up to size bytes from this file's position to the end of `to`, filling the block
    // unless this file ends. The kernel copies where it can; the buffer (at least size bytes)
    // carries the block where it cannot.
    CopyStatus CopyBlockTo(File& to, void* buffer, std::size_t size);

    // True while `path` still names this open file; false once the file or its folder was removed
    // or replaced, so that a run whose output vanished is not reported as finished.
    bool IsNamedBy(const PathString& path) const;

    // Closes the file; a written file may report a late write error here.
    FileError Close();

private:
#ifdef _WIN32
    // A failed CreateFileW gives INVALID_HANDLE_VALUE; the class keeps nullptr for "not open".
    static constexpr Handle kInvalid = nullptr;
#else
    static constexpr Handle kInvalid = -1;
#endif
    explicit File(Handle handle) : handle_(handle) {}

    Handle handle_ = kInvalid;
    [[maybe_unused]] bool kernelCopy_ = true; // Linux: copy_file_range works for this pair
};

// Opens the file share-nothing, takes its 64-bit length and closes it again.
FileError QueryLength(const PathString& path, int64_t* length);

// Opens the file share-nothing and reads its first bytes (at most 4) as a little-endian count.
// bytesRead tells how many there were; missing high bytes read as 0.
FileError ReadHeaderCount(const PathString& path, int32_t* count, int64_t* bytesRead);

// Removes a file; used only for a header chip whose write failed.
bool RemoveFile(const PathString& path);

} // namespace zelvo
