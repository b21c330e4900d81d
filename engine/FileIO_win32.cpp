// Win32 file layer: share mode 0 is the "share nothing" open. The create opens an existing file
// without cutting it and truncates only once the handle is ours, like the POSIX variant.
#include "FileIO.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX // MinGW's C++ library defines it already
#define NOMINMAX
#endif
#include <windows.h>

namespace zelvo {
namespace {

FileError FromWin32(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return FileError::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
        return FileError::AccessDenied;
    case ERROR_SHARING_VIOLATION:
        return FileError::Sharing;
    case ERROR_LOCK_VIOLATION:
        return FileError::Locking;
    case ERROR_TOO_MANY_OPEN_FILES:
        return FileError::TooManyOpen;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
        return FileError::DiskFull;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return FileError::BadPath;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:
        return FileError::HardIO;
    case ERROR_INVALID_HANDLE:
        return FileError::InvalidFile;
    case ERROR_HANDLE_EOF:
        return FileError::EndOfFile;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE:
        return FileError::BadSeek;
    case ERROR_CURRENT_DIRECTORY:
        return FileError::RemoveCurrent;
    default:
        return FileError::Generic;
    }
}

void Set(FileError* error, FileError value)
{
    if (error)
        *error = value;
}

HANDLE Open(const PathString& path, DWORD access, DWORD disposition, FileError* error)
{
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory is refused with ERROR_ACCESS_DENIED.
    HANDLE handle = ::CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Set(error, FromWin32(::GetLastError()));
        return nullptr;
    }
    Set(error, FileError::None);
    return handle;
}

} // namespace

File File::OpenRead(const PathString& path, FileError* error)
{
    HANDLE handle = Open(path, GENERIC_READ, OPEN_EXISTING, error);
    return handle ? File(handle) : File();
}

File File::CreateTruncate(const PathString& path, FileError* error)
{
    HANDLE handle = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, error);
    if (!handle)
        return File();
    File file(handle);
    if (!::SetEndOfFile(handle)) { // the position is 0 right after the open
        Set(error, FromWin32(::GetLastError()));
        return File();
    }
    return file;
}

int64_t File::Length(FileError* error)
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_, &size)) {
        Set(error, FromWin32(::GetLastError()));
        return -1;
    }
    Set(error, FileError::None);
    return static_cast<int64_t>(size.QuadPart);
}

int64_t File::Read(void* buffer, std::size_t size, FileError* error)
{
    auto* bytes = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const DWORD want = static_cast<DWORD>(size - done > 0x40000000u ? 0x40000000u : size - done);
        DWORD got = 0;
        if (!::ReadFile(handle_, bytes + done, want, &got, nullptr)) {
            Set(error, FromWin32(::GetLastError()));
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    Set(error, FileError::None);
    return static_cast<int64_t>(done);
}

bool File::Write(const void* buffer, std::size_t size, FileError* error)
{
    const auto* bytes = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const DWORD want = static_cast<DWORD>(size - done > 0x40000000u ? 0x40000000u : size - done);
        DWORD put = 0;
        if (!::WriteFile(handle_, bytes + done, want, &put, nullptr)) {
            Set(error, FromWin32(::GetLastError()));
            return false;
        }
        if (put == 0) {
            Set(error, FileError::DiskFull);
            return false;
        }
        done += put;
    }
    Set(error, FileError::None);
    return true;
}

CopyStatus File::CopyBlockTo(File& to, void* buffer, std::size_t size)
{
    // Win32 has no per-block in-kernel copy between two open handles; the buffer carries it.
    CopyStatus status;
    const int64_t got = Read(buffer, size, &status.error);
    if (got < 0) {
        status.failedSide = CopySide::Read;
        return status;
    }
    if (got > 0 && !to.Write(buffer, static_cast<std::size_t>(got), &status.error)) {
        status.failedSide = CopySide::Write;
        return status;
    }
    status.bytes = static_cast<std::size_t>(got);
    return status;
}

bool File::IsNamedBy(const PathString&) const
{
    // Opened with share mode 0 (no FILE_SHARE_DELETE): neither the file nor its folder can be
    // removed or renamed while the handle is held.
    return handle_ != kInvalid;
}

FileError File::Close()
{
    if (handle_ == kInvalid)
        return FileError::None;
    HANDLE handle = handle_;
    handle_ = kInvalid;
    if (!::CloseHandle(handle))
        return FromWin32(::GetLastError());
    return FileError::None;
}

bool RemoveFile(const PathString& path)
{
    return ::DeleteFileW(path.c_str()) != 0;
}

} // namespace zelvo
