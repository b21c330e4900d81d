#include "CDialog.h"

#include <algorithm>

namespace zelvo::win {
namespace {

// Over the middle of the owner, not over its caption and menu, yet whole on the owner's monitor.
void CentreOnOwner(HWND window)
{
    HWND owner = GetWindow(window, GW_OWNER);
    if (!owner || IsIconic(owner))
        return; // DS_CENTER has put it in the middle of the screen
    RECT box, over;
    GetWindowRect(window, &box);
    GetWindowRect(owner, &over);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcWork;
    const int width = box.right - box.left, height = box.bottom - box.top;
    const int x =
        std::max(int(area.left), std::min(int((over.left + over.right - width) / 2), int(area.right - width)));
    const int y =
        std::max(int(area.top), std::min(int((over.top + over.bottom - height) / 2), int(area.bottom - height)));
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

INT_PTR CDialog::DoModal(HWND owner)
{
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner, &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR&)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
    }
    return false;
}

void CDialog::GotoItem(int id) const
{
    SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        self->m_hWnd = window;
        CentreOnOwner(window);
        return self->OnInitDialog();
    }
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return FALSE;
    if (message == WM_DESTROY) {
        self->OnDestroy();
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        return FALSE;
    }
    INT_PTR result = TRUE;
    if (!self->OnMessage(message, wParam, lParam, result))
        return FALSE;
    // Messages whose answer is the procedure's own return value rather than DWLP_MSGRESULT.
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORDLG)
        return result;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

} // namespace zelvo::win
