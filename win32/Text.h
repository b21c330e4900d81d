// UTF-16 end to end inside the Windows front end; UTF-8 only where the core and the string table
// speak it. Paths are the engine's PathString, which is UTF-16 here.
#pragma once

#include <string>
#include <string_view>
#include <windows.h>

namespace zelvo::win {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view text);
inline std::wstring Wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}
inline std::u16string U16(std::wstring_view text)
{
    return std::u16string(text.begin(), text.end());
}

// The string table's text for id.
std::wstring StringText(int id);

std::wstring WindowText(HWND window);
inline std::wstring ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

} // namespace zelvo::win
