// The destination folder chooser of both operation dialogs: the shell's folder browser.
#pragma once

#include <string>

namespace zelvo::win {

class CFolderDialog
{
public:
    // 1 when the user chose a folder of the file system (then in m_strPath), 0 otherwise.
    int Browse();

    std::wstring m_strPath;
    std::wstring m_strRoot; // the tree's root; the desktop when empty
    int m_iImage = 0;
};

} // namespace zelvo::win
