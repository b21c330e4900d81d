#include "CDialog.h"

namespace zelvo::win {

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
