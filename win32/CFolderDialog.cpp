#include "CFolderDialog.h"

// windows.h before the headers that build on it.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

namespace zelvo::win {

int CFolderDialog::Browse()
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)))
        return 0;
    PIDLIST_ABSOLUTE root = nullptr;
    if (!m_strRoot.empty()) {
        IShellFolder* desktop = nullptr;
        const bool parsed = SUCCEEDED(SHGetDesktopFolder(&desktop)) &&
                            SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, m_strRoot.data(), nullptr,
                                                                reinterpret_cast<PIDLIST_RELATIVE*>(&root), nullptr));
        if (desktop)
            desktop->Release();
        if (!parsed) {
            allocator->Release();
            return 0;
        }
    }
    wchar_t name[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.pidlRoot = root;
    info.pszDisplayName = name;
    info.lpszTitle = L"Select folder for destination files:";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (root)
        allocator->Free(root);
    if (!chosen) {
        allocator->Release();
        return 0;
    }
    m_iImage = info.iImage;
    m_strPath = name;
    wchar_t path[MAX_PATH] = {};
    const bool converted = SHGetPathFromIDListW(chosen, path);
    allocator->Free(chosen);
    allocator->Release();
    if (!converted)
        return 0;
    m_strPath = path;
    return 1;
}

} // namespace zelvo::win
