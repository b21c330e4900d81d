// The main window: menu, status bar with the command prompts and the lock indicators, and the
// title view that fills the rest. Its commands open the dialogs modally.
#pragma once

#include <windows.h>

namespace zelvo::win {

// The view under the menu: "Zelvo for File" in navy, centred, in every language.
class CTitleView
{
public:
    bool Create(HINSTANCE instance, HWND parent);
    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

class CMainFrame
{
public:
    // Creates the frame hidden, from resource 128 (menu and caption).
    bool Create(HINSTANCE instance);
    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    int OnCreate();
    void OnSize();
    void OnMenuSelect(UINT item, UINT flags, HMENU menu);
    void UpdateIndicators();
    void SetMessageText(const wchar_t* text);
    void OnFileComminute();
    void OnFileMerge();

    HWND m_hWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    HWND m_wndStatusBar = nullptr;
    CTitleView m_wndView;
};

} // namespace zelvo::win
