// Where each translated text of the two operation dialogs comes from: the section, and the key of
// the caption and of each control, in the order the texts are applied; the double-click message
// and its built-in text. Standard C++, for the Qt and the Win32 dialogs alike.
#pragma once

#include "CIniFile.h"

#include <array>
#include <string>
#include <string_view>

namespace zelvo::lang {

enum class LangDialog { Comminute, Merge };

struct DialogKey
{
    int controlId; // 0 for the dialog's caption; 1 and 2 for the start and close buttons
    std::u16string_view key;
};

inline constexpr std::u16string_view kComminuteSection = u"Doc Comminute Dialog";
inline constexpr std::array<DialogKey, 9> kComminuteKeys{{
    {0, u"Dialog Title"},
    {1019, u"File Size Prompt"},
    {1020, u"Chip File Totals Prompt"},
    {1017, u"Group Title Destination"},
    {1016, u"Group Title Source"},
    {1021, u"Destination Path Prompt"},
    {1018, u"Source File Prompt"},
    {1, u"Comminute"},
    {2, u"Close"},
}};

inline constexpr std::u16string_view kMergeSection = u"Doc Merge Dialog";
inline constexpr std::array<DialogKey, 9> kMergeKeys{{
    {0, u"Dialog Title"},
    {1026, u"Group Title Destination"},
    {1027, u"Group Title Source"},
    {1022, u"Source File Prompt"},
    {1024, u"Destination Path Prompt"},
    {1025, u"Destination Name"},
    {1023, u"Chip File Totals Prompt"},
    {1, u"Merge"},
    {2, u"Close"},
}};

// The section of a dialog's texts and its keys.
struct DialogKeySet
{
    std::u16string_view section;
    const std::array<DialogKey, 9>& keys;
};
inline DialogKeySet DialogKeysOf(LangDialog dialog)
{
    return dialog == LangDialog::Comminute ? DialogKeySet{kComminuteSection, kComminuteKeys}
                                           : DialogKeySet{kMergeSection, kMergeKeys};
}

inline constexpr std::u16string_view kGeneralMessageSection = u"General Message";
struct DoubleClickKey
{
    std::u16string_view key;
    std::u16string_view fallback; // shown when the file's text is empty, loaded or not
};
inline constexpr DoubleClickKey DoubleClickKeyOf(LangDialog dialog)
{
    return dialog == LangDialog::Comminute
               ? DoubleClickKey{u"Color Egg in Comminute Dlg", u"To split big file into several chip ones."}
               : DoubleClickKey{u"Color Egg in Merge Dlg", u"Unite all chip files into a big one."};
}
// The message of a double-click on the dialog's surface: the file's text, or the built-in one.
inline std::u16string DoubleClickText(LangDialog dialog, CIniFile& file)
{
    const DoubleClickKey message = DoubleClickKeyOf(dialog);
    std::u16string text = file.GetString(std::u16string(kGeneralMessageSection), std::u16string(message.key));
    return text.empty() ? std::u16string(message.fallback) : text;
}

} // namespace zelvo::lang
