// core::Rgb and the Win32 COLORREF, both ways, and the core's readability rule over a system colour.
#pragma once

#include "RunStatus.h"

#include <windows.h>

namespace zelvo::win {

inline core::Rgb RgbOf(COLORREF colour)
{
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

inline COLORREF ColourOf(core::Rgb rgb)
{
    return RGB(rgb.r, rgb.g, rgb.b);
}

// colour as it must be drawn to read on the system colour sysColour (COLOR_WINDOW, ...), which
// the user may have made dark.
inline COLORREF ReadableOnSysColor(COLORREF colour, int sysColour)
{
    return ColourOf(core::ReadableOn(RgbOf(colour), RgbOf(GetSysColor(sysColour))));
}

} // namespace zelvo::win
