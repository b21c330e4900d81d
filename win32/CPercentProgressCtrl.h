// The operation dialogs' progress bar: takes over the template's progress bar and paints it
// itself, the filled part in the highlight colour, the rest in the window colour, and the percent
// over both, each half in the colour that reads on its part; off-screen, then one BitBlt. It
// repaints only when the filled width changes, so a stream of updates costs little.
#pragma once

#include <string>
#include <windows.h>

namespace zelvo::win {

class CPercentProgressCtrl
{
public:
    CPercentProgressCtrl();
    ~CPercentProgressCtrl();
    CPercentProgressCtrl(const CPercentProgressCtrl&) = delete;
    CPercentProgressCtrl& operator=(const CPercentProgressCtrl&) = delete;

    // Binds the object to the dialog's control (it subclasses it until the control goes).
    void SubclassDlgItem(int id, HWND dialog);
    void SetRange(int lower, int upper);
    // The previous position, or -1 when the control has no window.
    int SetPos(int position);
    void ShowLabel(bool show);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void OnPaint();

    HWND m_hWnd = nullptr;
    int m_nPosition = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    std::wstring m_strLabel;
    bool m_bShowLabel = true;
    int m_nFilledWidth = -1;
    COLORREF m_crFill;
    COLORREF m_crEmpty;
    COLORREF m_crLabelOnEmpty;
    COLORREF m_crLabelOnFill;
};

} // namespace zelvo::win
