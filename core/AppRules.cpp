#include "AppRules.h"

#include "ChipSet.h"
#include "LanguageTable.h"
#include "StringTable.h"

#include <cstddef>

namespace zelvo::core {

FileRequest ClassifyFile(const PathString& path, const std::function<bool(const PathString&)>& exists)
{
    // The Merge dialog finds the set's count in the chosen name less its last two characters plus
    // "AV": the header chip itself, the header chip of a chip ".D01" to ".D99", and for "x.dav"
    // the name "x.dAV", which only a file system that ignores letter case has. Chip 100 has three
    // digits and no such header name, so it stays an ordinary file.
    const std::size_t n = path.size();
    const auto at = [&path, n](std::size_t fromEnd) { return static_cast<char32_t>(path[n - fromEnd]); };
    const auto upper = [](char32_t c) { return c >= 'a' && c <= 'z' ? c - 32 : c; };
    const auto digit = [](char32_t c) { return c >= '0' && c <= '9'; };
    const bool headerName = n >= 4 && at(4) == '.' && upper(at(3)) == 'D' && upper(at(2)) == 'A' && upper(at(1)) == 'V';
    const bool chipName =
        n > 4 && at(4) == '.' && upper(at(3)) == 'D' && digit(at(2)) && digit(at(1)) && !(at(2) == '0' && at(1) == '0');
    if (headerName || chipName) {
        const PathString header = CountFilePath(path);
        if (exists(header))
            return {FileDialog::Merge, headerName ? path : header};
    }
    return {FileDialog::Comminute, path};
}

int DefaultLanguageIndex(uint16_t systemLanguageId)
{
    const unsigned primary = systemLanguageId & 0x3FFu;
    const unsigned sub = systemLanguageId >> 10;
    if (primary == 0x04)
        return sub == 1 ? 2 : 1;
    return primary == 0x11 ? 3 : 0;
}

std::u16string LanguageName(int index)
{
    return std::u16string(theLanguageTable.at(static_cast<std::size_t>(index)).name);
}

std::optional<int> LanguageOfCommand(unsigned commandId)
{
    for (std::size_t i = 0; i < theLanguageTable.size(); ++i)
        if (theLanguageTable[i].commandId == commandId)
            return static_cast<int>(i);
    return std::nullopt;
}

void StartLanguage(LanguagePort& port, CIniFile& langFile, int& nLanguage, uint16_t systemLanguageId)
{
    // Read once; a default taken from the system serves this run only and is not stored.
    std::u16string name = port.StoredLanguage();
    if (name.empty())
        name = LanguageName(DefaultLanguageIndex(systemLanguageId));
    // Nothing held is cleared: a load adds to and overwrites the entries of earlier files.
    langFile.SetPath(port.LangFilePath(name));
    if (!langFile.Load()) {
        nLanguage = lang::kNoLanguage;
        return;
    }
    // Exact, case-sensitive match; a name outside the table leaves the index as it was.
    for (std::size_t i = 0; i < theLanguageTable.size(); ++i)
        if (name == theLanguageTable[i].name)
            nLanguage = static_cast<int>(i);
    port.LanguageLoaded();
}

void SwitchLanguage(LanguagePort& port, CIniFile& langFile, int& nLanguage, int index)
{
    const std::u16string name = LanguageName(index);
    langFile.SetPath(port.LangFilePath(name));
    if (!langFile.Load()) {
        port.Show(IDS_LANG_FILE_FAILED);
        return;
    }
    port.LanguageLoaded();
    nLanguage = index;
    port.StoreLanguage(name);
}

StartAction InstanceStart(LockResult lock, bool oneFile)
{
    switch (lock) {
    case LockResult::Acquired:
        return StartAction::RunAndListen;
    case LockResult::HeldElsewhere:
        return oneFile ? StartAction::HandOver : StartAction::Refuse;
    case LockResult::Unsafe:
        return StartAction::RefuseUnsafe;
    case LockResult::Unavailable:
        break;
    }
    return StartAction::Run;
}

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::string HandOverMessage(const std::string& utf8Path)
{
    std::string line;
    uint32_t bits = 0;
    int count = 0;
    for (const unsigned char c : utf8Path) {
        bits = bits << 8 | c;
        count += 8;
        while (count >= 6) {
            count -= 6;
            line += kBase64[bits >> count & 63];
        }
    }
    if (count > 0)
        line += kBase64[bits << (6 - count) & 63];
    while (line.size() % 4 != 0)
        line += '=';
    return line + '\n';
}

std::optional<std::string> ReadHandOverMessage(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    while (!line.empty() && line.back() == '=')
        line.remove_suffix(1);
    std::string path;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : line) {
        const char* at = c ? std::char_traits<char>::find(kBase64, 64, c) : nullptr;
        if (!at)
            return std::nullopt;
        bits = bits << 6 | static_cast<uint32_t>(at - kBase64);
        count += 6;
        if (count >= 8) {
            count -= 8;
            path += static_cast<char>(bits >> count & 0xFF);
        }
    }
    return path;
}

} // namespace zelvo::core
