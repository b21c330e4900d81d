// Win32 file layer: share mode 0 is the "share nothing" open. The create opens an existing file
// without cutting it and truncates only once the handle is ours, like the POSIX variant. Opens that
// write take the name itself (FILE_FLAG_OPEN_REPARSE_POINT) and keep only a plain file on a disk.
#include "FileIO.h"

#include <algorithm>
#include <random>
#include <string_view>
#include <windows.h>

namespace zelvo {
namespace {

constexpr DWORD kFileSystemLimitation = 665; // ERROR_FILE_SYSTEM_LIMITATION, not in MinGW's headers

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
    case ERROR_NETWORK_ACCESS_DENIED:
        return FileError::AccessDenied;
    case ERROR_WRITE_PROTECT:
        return FileError::ReadOnly;
    case ERROR_SHARING_VIOLATION:
        return FileError::Sharing;
    case ERROR_LOCK_VIOLATION:
        return FileError::Locking;
    case ERROR_TOO_MANY_OPEN_FILES:
        return FileError::TooManyOpen;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileError::DiskFull;
    case ERROR_FILE_TOO_LARGE:
    case kFileSystemLimitation:
        return FileError::TooLarge;
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

HANDLE Open(const PathString& path, DWORD access, DWORD disposition, DWORD flags, FileError* error)
{
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory is refused with ERROR_ACCESS_DENIED.
    HANDLE handle =
        ::CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Set(error, FromWin32(::GetLastError()));
        return nullptr;
    }
    // A device name (NUL, CON, COM1, also with an extension on older systems) or a pipe opens
    // without complaint; it has no length that means anything and is no file to write.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        ::SetLastError(ERROR_ACCESS_DENIED); // callers may look at the code of a failed open
        Set(error, FileError::AccessDenied);
        return nullptr;
    }
    Set(error, FileError::None);
    return handle;
}

// The opens that write: the name itself, never what a link at it points to.
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT;

// A handle opened with kNoFollow is kept only for a plain file: a link or a folder at the name is
// refused before anything is written.
FileError CheckPlainFile(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info)
{
    if (!::GetFileInformationByHandle(handle, info))
        return FromWin32(::GetLastError());
    if (info->dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return FileError::AccessDenied;
    return FileError::None;
}

// Opens the name itself and keeps the handle only for a plain file.
HANDLE OpenPlain(const PathString& path, DWORD access, DWORD disposition, BY_HANDLE_FILE_INFORMATION* info,
                 FileError* error)
{
    HANDLE handle = Open(path, access, disposition, kNoFollow, error);
    if (!handle)
        return nullptr;
    if (const FileError plain = CheckPlainFile(handle, info); plain != FileError::None) {
        ::CloseHandle(handle);
        Set(error, plain);
        return nullptr;
    }
    return handle;
}

// CREATE_NEW's refusal: something is at the name already.
bool NameTaken(DWORD code)
{
    return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
}

std::size_t NameStart(const PathString& path)
{
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator != PathString::npos)
        return separator + 1;
    return path.size() >= 2 && path[1] == L':' ? 2 : 0; // "E:name"
}

PathString FullPath(const PathString& path)
{
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    PathString full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

} // namespace

File File::OpenRead(const PathString& path, FileError* error)
{
    HANDLE handle = Open(path, GENERIC_READ, OPEN_EXISTING, 0, error);
    return handle ? File(handle) : File();
}

File File::OpenReadNoLink(const PathString& path, FileError* error)
{
    BY_HANDLE_FILE_INFORMATION info;
    HANDLE handle = OpenPlain(path, GENERIC_READ, OPEN_EXISTING, &info, error);
    return handle ? File(handle) : File();
}

File File::CreateTruncate(const PathString& path, FileError* error)
{
    BY_HANDLE_FILE_INFORMATION info;
    HANDLE handle = OpenPlain(path, kReadWrite, OPEN_ALWAYS, &info, error);
    if (!handle)
        return File();
    File file(handle);
    if (info.nNumberOfLinks > 1) {
        // Other names share these bytes (a backup made with hard links, say): they keep them.
        file.Close();
        if (!::DeleteFileW(path.c_str())) {
            Set(error, FromWin32(::GetLastError()));
            return File();
        }
        return CreateNew(path, error);
    }
    if ((info.nFileSizeHigh != 0 || info.nFileSizeLow != 0) && !::SetEndOfFile(handle)) {
        // The position is 0 right after the open.
        Set(error, FromWin32(::GetLastError()));
        return File();
    }
    return file;
}

File File::CreateNew(const PathString& path, FileError* error)
{
    HANDLE handle = Open(path, kReadWrite, CREATE_NEW, kNoFollow, error);
    if (!handle) {
        if (NameTaken(::GetLastError()))
            Set(error, FileError::AccessDenied); // whatever is there is not ours to write into
        return File();
    }
    return File(handle);
}

File File::CreateTemporary(const PathString& beside, PathString* tempPath, FileError* error)
{
    static constexpr wchar_t kAlphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::minstd_rand random(seed());
    PathString stem = beside + L".zelvo-partial-";
    if (CheckNameFits(stem + L"XXXXXX") != FileError::None)
        stem = beside.substr(0, NameStart(beside)) + L"zelvo-partial-";
    FileError last = FileError::Generic;
    for (int attempt = 0; attempt < 64; ++attempt) {
        PathString candidate = stem;
        for (int i = 0; i < 6; ++i)
            candidate.push_back(kAlphabet[random() % (sizeof kAlphabet / sizeof kAlphabet[0] - 1)]);
        File file = CreateNew(candidate, &last);
        if (file.IsOpen()) {
            *tempPath = candidate;
            Set(error, FileError::None);
            return file;
        }
        if (!NameTaken(::GetLastError()))
            break;
    }
    Set(error, last);
    return File();
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

FileStamp File::Stamp(FileError* error)
{
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO times;
    if (!::GetFileInformationByHandle(handle_, &info) ||
        !::GetFileInformationByHandleEx(handle_, FileBasicInfo, &times, sizeof times)) {
        Set(error, FromWin32(::GetLastError()));
        return {};
    }
    Set(error, FileError::None);
    // 100 ns units since 1601, as nanoseconds since 1970 like the POSIX side (and within int64).
    const auto nanoseconds = [](int64_t ticks) { return (ticks - 116444736000000000) * 100; };
    const auto join = [](DWORD high, DWORD low) { return uint64_t(high) << 32 | low; };
    return {static_cast<int64_t>(join(info.nFileSizeHigh, info.nFileSizeLow)),
            nanoseconds(
                static_cast<int64_t>(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))),
            nanoseconds(times.ChangeTime.QuadPart), info.dwVolumeSerialNumber,
            join(info.nFileIndexHigh, info.nFileIndexLow)};
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
    return CopyThroughBuffer(to, buffer, size);
}

bool File::IsNamedBy(const PathString&) const
{
    // Opened with share mode 0 (no FILE_SHARE_DELETE): neither the file nor its folder can be
    // removed or renamed while the handle is held.
    return handle_ != kInvalid;
}

void File::StartWriteBack()
{
    // Win32 has no call that starts a write-back without waiting for it.
}

FileError File::Sync()
{
    if (!::FlushFileBuffers(handle_))
        return FromWin32(::GetLastError());
    NoteDurableStep(DurableStep::Synced, PathString());
    return FileError::None;
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

FileError RemoveFile(const PathString& path)
{
    // DeleteFileW removes a symbolic link itself, not its target.
    if (!::DeleteFileW(path.c_str()))
        return FromWin32(::GetLastError());
    NoteDurableStep(DurableStep::Removed, path);
    return FileError::None;
}

NodeKind KindOf(const PathString& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_FILENAME_EXCED_RANGE
                   ? NodeKind::Missing
                   : NodeKind::Other;
    }
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return NodeKind::Other;
    // A device name has the attributes of a file; an open without access rights tells it apart
    // (and is not refused by another program's share-nothing handle).
    HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, kNoFollow, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return NodeKind::Regular;
    const bool disk = ::GetFileType(handle) == FILE_TYPE_DISK;
    ::CloseHandle(handle);
    return disk ? NodeKind::Regular : NodeKind::Other;
}

bool IsFolder(const PathString& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameFile(const PathString& a, const PathString& b)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const PathString* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE handle = ::CreateFileW(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const bool known = ::GetFileInformationByHandle(handle, &info[i]);
        ::CloseHandle(handle);
        if (!known)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

FileError RenameReplacing(const PathString& from, const PathString& to)
{
    if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return FromWin32(::GetLastError());
    NoteDurableStep(DurableStep::Renamed, to);
    return FileError::None;
}

FileError RenameNoReplace(const PathString& from, const PathString& to)
{
    if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = ::GetLastError();
        return NameTaken(code) ? FileError::Generic : FromWin32(code);
    }
    NoteDurableStep(DurableStep::Renamed, to);
    return FileError::None;
}

FileError SyncFolder(const PathString& folder)
{
    // An ordinary process cannot flush a folder on Win32; the renames above are written through.
    NoteDurableStep(DurableStep::FolderSynced, folder);
    return FileError::None;
}

VolumeInfo QuerySystemVolume(const PathString& folder)
{
    VolumeInfo info;
    ULARGE_INTEGER available;
    if (::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        info.freeBytes = static_cast<int64_t>(std::min<ULONGLONG>(available.QuadPart, INT64_MAX));
    wchar_t root[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (::GetVolumePathNameW(folder.c_str(), root, MAX_PATH + 1) &&
        ::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH + 1) &&
        std::wstring_view(name).starts_with(L"FAT")) { // FAT, FAT12, FAT16, FAT32; not exFAT
        info.largestFile = (int64_t(1) << 32) - 1;
        for (const wchar_t* c = name; *c; ++c)
            info.fileSystem.push_back(static_cast<char>(*c));
    }
    return info;
}

int64_t SpaceHeldBy(const PathString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return 0;
    return static_cast<int64_t>((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

PathString FolderOf(const PathString& path)
{
    const std::size_t start = NameStart(path);
    if (start == 0)
        return L".";
    // A root keeps its separator: the folder of E:\name is E:\ (the root), not E: (the current
    // folder of drive E).
    const bool root = start == 1 || ((start == 2 || start == 3) && path[1] == L':');
    return path.substr(0, root ? start : start - 1);
}

FileError CheckNameFits(const PathString& path)
{
    // No long-path prefix is used, so MAX_PATH (with its terminating null) bounds the whole path.
    if (path.size() - NameStart(path) > 255 || FullPath(path).size() >= MAX_PATH)
        return FileError::BadPath;
    return FileError::None;
}

WriteBehind::~WriteBehind() = default;

void WriteBehind::Flush(const File&) {}

} // namespace zelvo
