#include "MessageBox.h"

#include "StringTable.h"
#include "Text.h"

namespace zelvo::win {

int AfxMessageBox(const std::wstring& text, UINT type)
{
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    // The owner is the active window (a dialog, or the main window), which the box disables
    // while it is open; without one the box stands on its own and stays in front.
    HWND owner = GetActiveWindow();
    if (!owner)
        type |= MB_SETFOREGROUND | MB_TASKMODAL;
    return MessageBoxW(owner, text.c_str(), StringText(AFX_IDS_APP_TITLE).c_str(), type);
}

int AfxMessageBox(int stringId, UINT type)
{
    return AfxMessageBox(StringText(stringId), type);
}

} // namespace zelvo::win
