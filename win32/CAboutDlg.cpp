#include "CAboutDlg.h"

#include "Colour.h"
#include "Text.h"
#include "resource.h"

#include <commctrl.h>
#include <shellapi.h>

namespace zelvo::win {

HCURSOR CStaticLink::s_linkCursor = nullptr;
bool CStaticLink::s_cursorFallbackTried = false;

CStaticLink::~CStaticLink()
{
    if (m_hWnd)
        RemoveWindowSubclass(m_hWnd, &SubclassProc, 1);
    if (m_underlineFont)
        DeleteObject(m_underlineFont);
}

void CStaticLink::SubclassDlgItem(int id, HWND dialog)
{
    m_hWnd = GetDlgItem(dialog, id);
    SetWindowSubclass(m_hWnd, &SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    // The static paints with the font it holds, whatever CtlColor selects into its DC.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0)), sizeof font, &font);
    font.lfUnderline = TRUE;
    m_underlineFont = CreateFontIndirectW(&font);
    SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_underlineFont), FALSE);
}

HBRUSH CStaticLink::CtlColor(HDC dc)
{
    SetTextColor(dc, ReadableOnSysColor(m_textColor, COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    return GetSysColorBrush(COLOR_BTNFACE);
}

bool CStaticLink::OnSetCursor()
{
    if (!s_linkCursor && !s_cursorFallbackTried) {
        wchar_t folder[MAX_PATH] = {};
        GetWindowsDirectoryW(folder, MAX_PATH);
        const std::wstring viewer = std::wstring(folder) + L"\\winhlp32.exe";
        if (HMODULE module = LoadLibraryW(viewer.c_str())) {
            if (HCURSOR cursor = LoadCursorW(module, MAKEINTRESOURCEW(106)))
                s_linkCursor = CopyIcon(cursor);
            FreeLibrary(module);
        }
        s_cursorFallbackTried = true;
    }
    if (!s_linkCursor)
        return false;
    SetCursor(s_linkCursor);
    return true;
}

void CStaticLink::OnClick()
{
    if (m_target.empty())
        m_target = WindowText(m_hWnd);
    const auto opened = reinterpret_cast<INT_PTR>(
        ShellExecuteW(GetDesktopWindow(), L"open", m_target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > 32) {
        m_textColor = RGB(128, 0, 128);
        InvalidateRect(m_hWnd, nullptr, TRUE);
    } else {
        MessageBeep(0);
    }
}

LRESULT CALLBACK CStaticLink::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data)
{
    auto* self = reinterpret_cast<CStaticLink*>(data);
    switch (message) {
    case WM_NCHITTEST:
        return HTCLIENT; // a static is otherwise transparent to the mouse
    case WM_LBUTTONUP:
        self->OnClick();
        return 0;
    case WM_SETCURSOR:
        if (self->OnSetCursor())
            return TRUE;
        return FALSE;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, &SubclassProc, 1);
        self->m_hWnd = nullptr;
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX), m_wndLink(L"https://www.quorvex.example/") {}

BOOL CAboutDlg::OnInitDialog()
{
    CStaticLink::s_linkCursor = LoadCursorW(nullptr, IDC_HAND);
    m_wndLink.SubclassDlgItem(IDC_ABOUT_LINK, m_hWnd);
    return TRUE;
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    if (message == WM_CTLCOLORSTATIC && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_ABOUT_LINK) {
        result = reinterpret_cast<INT_PTR>(m_wndLink.CtlColor(reinterpret_cast<HDC>(wParam)));
        return true;
    }
    return CDialog::OnMessage(message, wParam, lParam, result);
}

} // namespace zelvo::win
