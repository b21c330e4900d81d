// What the windows ask of the file system and the shell.
#pragma once

#include <string>
// windows.h before the headers that build on it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

namespace zelvo::win {

inline bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first file of a drop (empty when there is none) and, when at is given, the point it was
// dropped at in the window's client coordinates. Ends the drop.
inline std::wstring TakeDroppedFile(HDROP drop, POINT* at = nullptr)
{
    if (at)
        DragQueryPoint(drop, at);
    std::wstring path(std::size_t(DragQueryFileW(drop, 0, nullptr, 0)) + 1, L'\0');
    path.resize(DragQueryFileW(drop, 0, path.data(), UINT(path.size())));
    DragFinish(drop);
    return path;
}

} // namespace zelvo::win
