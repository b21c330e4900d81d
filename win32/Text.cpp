#include "Text.h"

// windows.h maps LoadString to LoadStringW; here it is the string table's.
#undef LoadString
#include "StringTable.h"

namespace zelvo::win {

std::wstring Wide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring text(std::size_t(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), size);
    return text;
}

std::string Utf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(std::size_t(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring StringText(int id)
{
    return Wide(LoadString(id));
}

std::wstring WindowText(HWND window)
{
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

} // namespace zelvo::win
