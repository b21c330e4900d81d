// A modal dialog from a template: the base owns the HWND; one static dialog procedure finds the
// object through GWLP_USERDATA (set at WM_INITDIALOG) and calls its virtual handlers.
#pragma once

#include <windows.h>

namespace zelvo::win {

class CDialog
{
public:
    explicit CDialog(int templateId) : m_templateId(templateId) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog, owned by owner (the main window), until it ends; its result.
    INT_PTR DoModal(HWND owner);
    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // A message the dialog handles itself: set result and return true.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void OnDestroy() {}

    void EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
    // Moves the focus the way the dialog manager does (default button included).
    void GotoItem(int id) const;

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    int m_templateId;
};

} // namespace zelvo::win
