// The four interface languages, in menu order. The position in the table is the language index
// kept in the application object; the name is both the language file's base name and the value
// stored in the settings.
#pragma once

#include <array>
#include <string_view>

namespace zelvo::lang {

struct LanguageEntry
{
    std::u16string_view name;
    unsigned commandId;
    std::u16string_view menuKey; // key in section "Lang Menu" of the item's text
};

// Index of the application object's language when no language file was loaded at start-up.
inline constexpr int kNoLanguage = 99;

} // namespace zelvo::lang

inline constexpr std::array<zelvo::lang::LanguageEntry, 4> theLanguageTable{{
    {u"ENG", 61215, u"1000"},
    {u"CHS", 61216, u"1001"},
    {u"CHT", 61217, u"1002"},
    {u"JAP", 61218, u"1003"},
}};
