#include "Text.h"

#include "Checksums.h"

// windows.h maps LoadString to LoadStringW; here it is the string table's.
#undef LoadString
#include "StringTable.h"

namespace zelvo::win {

// PathString is UTF-16 here: the engine's conversions of file names serve every text.
std::wstring Wide(std::string_view utf8)
{
    return PathOfUtf8(std::string(utf8));
}

std::string Utf8(std::wstring_view text)
{
    return Utf8Of(PathString(text));
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
