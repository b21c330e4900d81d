// Every box the program shows goes through here: caption "Zelvo", the exclamation icon unless the
// caller names one, modal to the window that is active.
#pragma once

#include <string>
#include <windows.h>

namespace zelvo::win {

int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);
int AfxMessageBox(int stringId, UINT type = MB_OK);

} // namespace zelvo::win
