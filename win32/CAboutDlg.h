// The About box (template 100) and its hyperlink, CStaticLink: a static control drawn underlined
// in blue, purple once its target has been opened, with the hand cursor over it.
#pragma once

#include "CDialog.h"

#include <string>

namespace zelvo::win {

class CStaticLink
{
public:
    explicit CStaticLink(std::wstring target = {}) : m_target(std::move(target)) {}
    ~CStaticLink();
    CStaticLink(const CStaticLink&) = delete;
    CStaticLink& operator=(const CStaticLink&) = delete;

    void SubclassDlgItem(int id, HWND dialog);
    // The parent's WM_CTLCOLORSTATIC for this control (Win32 does not reflect it).
    HBRUSH CtlColor(HDC dc);

    static HCURSOR s_linkCursor;
    static bool s_cursorFallbackTried;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    bool OnSetCursor();
    void OnClick();

    HWND m_hWnd = nullptr;
    std::wstring m_target;
    COLORREF m_textColor = RGB(0, 0, 255);
    HFONT m_underlineFont = nullptr;
};

class CAboutDlg final : public CDialog
{
public:
    CAboutDlg();

private:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    CStaticLink m_wndLink;
};

} // namespace zelvo::win
