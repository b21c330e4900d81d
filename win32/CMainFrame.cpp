#include "CMainFrame.h"

#include "CRunDlg.h"
#include "CSplitterApp.h"
#include "Colour.h"
#include "Shell.h"
#include "StringTable.h"
#include "Text.h"
#include "resource.h"

#include <commctrl.h>
#include <shellapi.h>
#include <string>

namespace zelvo::win {
namespace {

constexpr UINT WM_OPEN_FILE = WM_APP + 2; // lParam: a new'd std::wstring
constexpr UINT_PTR kIndicatorTimer = 1;
constexpr int kIndicators[] = {ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
constexpr int kIndicatorKeys[] = {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};

} // namespace

bool CTitleView::Create(HINSTANCE instance, HWND parent)
{
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    cls.lpfnWndProc = &CTitleView::WindowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = L"ZelvoTitleView";
    RegisterClassExW(&cls);
    m_hWnd = CreateWindowExW(WS_EX_CLIENTEDGE, cls.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(AFX_IDW_PANE_FIRST), instance, nullptr);
    return m_hWnd != nullptr;
}

LRESULT CALLBACK CTitleView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetTextColor(dc, ReadableOnSysColor(RGB(0, 0, 128), COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    RECT client;
    GetClientRect(window, &client);
    const std::wstring title = StringText(IDR_MAINFRAME);
    DrawTextW(dc, title.c_str(), int(title.size()), &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    EndPaint(window, &paint);
    return 0;
}

bool CMainFrame::Create(HINSTANCE instance)
{
    m_hInstance = instance;
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &CMainFrame::WindowProc;
    cls.hInstance = instance;
    cls.lpszClassName = ZELVO_FRAME_CLASS;
    RegisterClassExW(&cls);
    CreateWindowExW(0, ZELVO_FRAME_CLASS, StringText(IDR_MAINFRAME).c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                    LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME)), instance, this);
    if (!m_hWnd)
        return false;
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    if (HICON old = reinterpret_cast<HICON>(SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon))))
        DestroyIcon(old);
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    DragAcceptFiles(m_hWnd, TRUE);
    return true;
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CMainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hWnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete self;
        PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

int CMainFrame::OnCreate()
{
    if (!m_wndView.Create(m_hInstance, m_hWnd))
        return -1;
    m_wndStatusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                     m_hWnd, reinterpret_cast<HMENU>(AFX_IDW_STATUS_BAR), m_hInstance, nullptr);
    if (!m_wndStatusBar)
        return -1;
    SetMessageText(StringText(AFX_IDS_IDLEMESSAGE).c_str());
    SetTimer(m_hWnd, kIndicatorTimer, 200, nullptr);
    return 0;
}

void CMainFrame::OnSize()
{
    SendMessageW(m_wndStatusBar, WM_SIZE, 0, 0);
    RECT client, bar;
    GetClientRect(m_hWnd, &client);
    GetWindowRect(m_wndStatusBar, &bar);
    // The message pane takes what the three indicators leave.
    HDC dc = GetDC(m_wndStatusBar);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(m_wndStatusBar, WM_GETFONT, 0, 0)));
    int widths[4];
    int right = client.right - GetSystemMetrics(SM_CXVSCROLL);
    for (int i = 3; i >= 1; --i) {
        widths[i] = right;
        const std::wstring text = StringText(kIndicators[i - 1]);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
        right -= size.cx + 12;
    }
    widths[0] = right;
    SelectObject(dc, old);
    ReleaseDC(m_wndStatusBar, dc);
    SendMessageW(m_wndStatusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(widths));
    UpdateIndicators();
    MoveWindow(m_wndView.m_hWnd, 0, 0, client.right, client.bottom - (bar.bottom - bar.top), TRUE);
}

void CMainFrame::UpdateIndicators()
{
    for (int i = 0; i < 3; ++i) {
        const bool on = GetKeyState(kIndicatorKeys[i]) & 1;
        const std::wstring text = on ? StringText(kIndicators[i]) : std::wstring();
        wchar_t shown[16] = {};
        SendMessageW(m_wndStatusBar, SB_GETTEXTW, i + 1, reinterpret_cast<LPARAM>(shown));
        if (text != shown)
            SendMessageW(m_wndStatusBar, SB_SETTEXTW, i + 1, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void CMainFrame::SetMessageText(const wchar_t* text)
{
    SendMessageW(m_wndStatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text));
}

void CMainFrame::OnMenuSelect(UINT item, UINT flags, HMENU menu)
{
    if (flags == 0xFFFF && !menu) { // the menu closed
        SetMessageText(StringText(AFX_IDS_IDLEMESSAGE).c_str());
        return;
    }
    // Popup titles and separators have no prompt.
    std::wstring prompt;
    if (!(flags & (MF_POPUP | MF_SEPARATOR))) {
        prompt = StringText(int(item));
        prompt = prompt.substr(0, prompt.find(L'\n'));
    }
    SetMessageText(prompt.c_str());
}

void CMainFrame::OnFileComminute()
{
    RunDialog(core::FileDialog::Comminute, m_hWnd);
}

void CMainFrame::OnFileMerge()
{
    RunDialog(core::FileDialog::Merge, m_hWnd);
}

LRESULT CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate();
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_DPICHANGED: { // moved to a monitor of another scale: take the size Windows suggests
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_SETFOCUS:
        SetFocus(m_wndView.m_hWnd);
        return 0;
    case WM_TIMER:
        UpdateIndicators();
        return 0;
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        return 0;
    case WM_EXITMENULOOP:
        SetMessageText(StringText(AFX_IDS_IDLEMESSAGE).c_str());
        return 0;
    case WM_INITMENUPOPUP:
        theApp.OnUpdateLanguage(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case ID_FILE_COMMINUTE:
            OnFileComminute();
            return 0;
        case ID_FILE_MERGE:
            OnFileMerge();
            return 0;
        }
        if (theApp.OnCommand(LOWORD(wParam)))
            return 0;
        break;
    case WM_DROPFILES: {
        const std::wstring path = TakeDroppedFile(reinterpret_cast<HDROP>(wParam));
        if (!path.empty())
            PostMessageW(m_hWnd, WM_OPEN_FILE, 0, reinterpret_cast<LPARAM>(new std::wstring(path)));
        return 0;
    }
    case WM_COPYDATA: {
        // A second start hands over its file; the dialog opens after the sender has its answer.
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData != ZELVO_COPYDATA_OPEN || data->cbData < sizeof(wchar_t) || data->cbData % sizeof(wchar_t))
            return FALSE;
        std::wstring path(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
        path.resize(wcsnlen(path.c_str(), path.size()));
        if (IsIconic(m_hWnd))
            ShowWindow(m_hWnd, SW_RESTORE);
        SetForegroundWindow(m_hWnd);
        PostMessageW(m_hWnd, WM_OPEN_FILE, 0, reinterpret_cast<LPARAM>(new std::wstring(path)));
        return TRUE;
    }
    case WM_OPEN_FILE: {
        const std::unique_ptr<std::wstring> path(reinterpret_cast<std::wstring*>(lParam));
        theApp.OpenFile(*path);
        return 0;
    }
    }
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

} // namespace zelvo::win
