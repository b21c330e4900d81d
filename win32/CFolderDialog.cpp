#include "CFolderDialog.h"

// windows.h before the headers that build on it.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

namespace zelvo::win {

int CFolderDialog::Browse()
{
    wchar_t name[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.pszDisplayName = name;
    info.lpszTitle = L"Select folder for destination files:";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return 0;
    wchar_t path[MAX_PATH] = {};
    const bool converted = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    if (!converted)
        return 0;
    m_strPath = path;
    return 1;
}

} // namespace zelvo::win
