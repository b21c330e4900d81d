#include "CPercentProgressCtrl.h"

#include "Colour.h"
#include "Text.h"

#include <commctrl.h>

namespace zelvo::win {
namespace {

// A memory DC the size of the target's clip box; its destructor copies it to the target in one
// block transfer. Drawing uses the target's coordinates (the window origin is moved).
class COffscreenDC
{
public:
    explicit COffscreenDC(HDC target) : m_pTargetDC(target)
    {
        GetClipBox(target, &m_rcClip);
        m_hDC = CreateCompatibleDC(target);
        m_bitmap = CreateCompatibleBitmap(target, m_rcClip.right - m_rcClip.left, m_rcClip.bottom - m_rcClip.top);
        m_pOldBitmap = SelectObject(m_hDC, m_bitmap);
        SetWindowOrgEx(m_hDC, m_rcClip.left, m_rcClip.top, nullptr);
    }
    ~COffscreenDC()
    {
        BitBlt(m_pTargetDC, m_rcClip.left, m_rcClip.top, m_rcClip.right - m_rcClip.left, m_rcClip.bottom - m_rcClip.top,
               m_hDC, m_rcClip.left, m_rcClip.top, SRCCOPY);
        SelectObject(m_hDC, m_pOldBitmap);
        DeleteObject(m_bitmap);
        DeleteDC(m_hDC);
    }
    COffscreenDC(const COffscreenDC&) = delete;
    COffscreenDC& operator=(const COffscreenDC&) = delete;
    operator HDC() const { return m_hDC; }

private:
    HDC m_hDC = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_pOldBitmap = nullptr;
    HDC m_pTargetDC;
    RECT m_rcClip{};
};

void Fill(HDC dc, const RECT& rect, COLORREF colour)
{
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

} // namespace

CPercentProgressCtrl::CPercentProgressCtrl()
    : m_crFill(GetSysColor(COLOR_HIGHLIGHT)), m_crEmpty(GetSysColor(COLOR_WINDOW))
{
    // The percent over each part in the other part's colour, unless that does not read there.
    const core::BarTextColours text = core::PercentTextColours(RgbOf(m_crFill), RgbOf(m_crEmpty));
    m_crLabelOnFill = ColourOf(text.onFill);
    m_crLabelOnEmpty = ColourOf(text.onEmpty);
}

CPercentProgressCtrl::~CPercentProgressCtrl()
{
    if (m_hWnd)
        RemoveWindowSubclass(m_hWnd, &SubclassProc, 1);
}

void CPercentProgressCtrl::SubclassDlgItem(int id, HWND dialog)
{
    m_hWnd = GetDlgItem(dialog, id);
    SetWindowSubclass(m_hWnd, &SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void CPercentProgressCtrl::SetRange(int lower, int upper)
{
    m_nLower = lower;
    m_nUpper = upper;
}

int CPercentProgressCtrl::SetPos(int position)
{
    if (!m_hWnd)
        return -1;
    const int old = m_nPosition;
    m_nPosition = position;
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int filled = core::ProgressFilledWidth(m_nPosition, m_nLower, m_nUpper, client.right - client.left);
    if (filled != m_nFilledWidth) {
        m_nFilledWidth = filled;
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    return old;
}

void CPercentProgressCtrl::ShowLabel(bool show)
{
    if (m_hWnd && show != m_bShowLabel)
        InvalidateRect(m_hWnd, nullptr, TRUE);
    m_bShowLabel = show;
}

void CPercentProgressCtrl::OnPaint()
{
    PAINTSTRUCT paint;
    HDC target = BeginPaint(m_hWnd, &paint);
    if (m_nLower < m_nUpper) {
        COffscreenDC dc(target);
        RECT client;
        GetClientRect(m_hWnd, &client);
        const int x =
            client.left + core::ProgressFilledWidth(m_nPosition, m_nLower, m_nUpper, client.right - client.left);
        const RECT filled{client.left, client.top, x, client.bottom};
        const RECT empty{x, client.top, client.right, client.bottom};
        Fill(dc, filled, m_crFill);
        Fill(dc, empty, m_crEmpty);
        if (m_bShowLabel) {
            std::wstring text =
                m_strLabel.empty() ? Wide(core::PercentText(m_nPosition, m_nLower, m_nUpper)) : m_strLabel;
            SetBkMode(dc, TRANSPARENT);
            // The dialog's font rather than the memory DC's stock one, which does not follow the
            // monitor's scale.
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(GetParent(m_hWnd), WM_GETFONT, 0, 0)));
            const UINT format = DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX;
            for (const auto& [part, colour] :
                 {std::pair{filled, m_crLabelOnFill}, std::pair{empty, m_crLabelOnEmpty}}) {
                // The clip region is in device units, which the window origin does not move.
                POINT corners[2] = {{part.left, part.top}, {part.right, part.bottom}};
                LPtoDP(dc, corners, 2);
                HRGN clip = CreateRectRgn(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
                SelectClipRgn(dc, clip);
                DeleteObject(clip);
                SetTextColor(dc, colour);
                RECT where = client;
                DrawTextW(dc, text.c_str(), int(text.size()), &where, format);
            }
            SelectClipRgn(dc, nullptr);
        }
    }
    EndPaint(m_hWnd, &paint);
}

LRESULT CALLBACK CPercentProgressCtrl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                    DWORD_PTR data)
{
    auto* self = reinterpret_cast<CPercentProgressCtrl*>(data);
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE; // the paint pass covers every pixel
    case WM_PAINT:
        self->OnPaint();
        return 0;
    case WM_SIZE:
        self->m_nFilledWidth = -1;
        break;
    case WM_SETTEXT: {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
        const std::wstring label = text ? text : L"";
        if (label != self->m_strLabel) {
            self->m_strLabel = label;
            InvalidateRect(window, nullptr, TRUE);
        }
        return result;
    }
    // Queries of the native bar (accessibility tools, the tests' inspector) get this control's own
    // range and position, which the native bar never receives.
    case PBM_GETPOS:
        return self->m_nPosition;
    case PBM_GETRANGE:
        if (lParam) {
            auto* range = reinterpret_cast<PBRANGE*>(lParam);
            range->iLow = self->m_nLower;
            range->iHigh = self->m_nUpper;
        }
        return wParam ? self->m_nLower : self->m_nUpper;
    case WM_GETTEXTLENGTH:
        return LRESULT(self->m_strLabel.size());
    case WM_GETTEXT: {
        if (wParam == 0)
            return 0;
        const std::size_t count = std::min<std::size_t>(self->m_strLabel.size(), wParam - 1);
        auto* buffer = reinterpret_cast<wchar_t*>(lParam);
        self->m_strLabel.copy(buffer, count);
        buffer[count] = L'\0';
        return LRESULT(count);
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, &SubclassProc, 1);
        self->m_hWnd = nullptr;
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace zelvo::win
