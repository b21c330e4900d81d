// Reader of the UTF-16 little-endian INI text of the language files.
#include "CIniFile.h"

#include <filesystem>
#include <fstream>
#include <streambuf>
#include <system_error>

namespace {

// One read takes at most this many units: the line end included, the byte-order mark included on
// the first read. Longer lines arrive as several pieces, each treated as a line of its own.
constexpr std::size_t kPieceUnits = 499;

std::filesystem::path ToFsPath(const std::u16string& text)
{
#ifdef _WIN32
    return std::filesystem::path(std::wstring(text.begin(), text.end()));
#else
    // POSIX names are bytes; ours are UTF-16, so they go out as UTF-8 (the library's own
    // conversion would throw on a lone surrogate).
    return std::filesystem::path(Utf8OfUtf16(text));
#endif
}

// Reads units up to and including the next LF, at most kPieceUnits of them. The units are put
// together low byte first from single bytes, so the host's byte order plays no part. A last odd
// byte is not a whole unit and is dropped; a read error ends the text like the end of the file.
bool ReadPiece(std::streambuf& in, std::u16string& piece)
{
    using Traits = std::streambuf::traits_type;
    piece.clear();
    while (piece.size() < kPieceUnits) {
        const auto low = in.sbumpc();
        if (Traits::eq_int_type(low, Traits::eof()))
            break;
        const auto high = in.sbumpc();
        if (Traits::eq_int_type(high, Traits::eof()))
            break;
        const auto unit =
            static_cast<char16_t>((Traits::to_char_type(low) & 0xFF) | ((Traits::to_char_type(high) & 0xFF) << 8));
        piece.push_back(unit);
        if (unit == u'\n')
            break;
    }
    return !piece.empty();
}

} // namespace

std::string Utf8OfUtf16(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            bytes += static_cast<char>(cp);
        } else if (cp < 0x800) {
            bytes += static_cast<char>(0xC0 | (cp >> 6));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            bytes += static_cast<char>(0xE0 | (cp >> 12));
            bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (cp >> 18));
            bytes += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return bytes;
}

void CIniFile::SetPath(const std::u16string& path)
{
    m_path = path;
}

std::u16string CIniFile::GetPath() const
{
    return m_path;
}

bool CIniFile::Load()
{
    // A NUL would cut the name short at the system call and open some other file: such a path
    // names nothing.
    if (m_path.empty() || m_path.find(u'\0') != std::u16string::npos)
        return false;

    const std::filesystem::path path = ToFsPath(m_path);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status))
        return false;

    // Only a regular file is opened: a folder would open on POSIX and then fail every read, and a
    // pipe or a device could block the open or never end.
    std::ifstream in;
    if (std::filesystem::is_regular_file(status))
        in.open(path, std::ios::in | std::ios::binary);
    if (!in.is_open()) {
        m_lastError = u"Unable to open file: \"" + m_path + u"\"!!";
        return false;
    }

    std::u16string section;
    std::u16string piece;
    piece.reserve(kPieceUnits);
    bool first = true;
    while (ReadPiece(*in.rdbuf(), piece)) {
        if (first) {
            // The byte-order mark is dropped as it stands: a file without one loses a real unit.
            piece.erase(0, 1);
            first = false;
        }
        LoadLine(piece, section);
    }
    return true;
}

void CIniFile::LoadLine(std::u16string& line, std::u16string& section)
{
    // A piece ends at the first LF, so a CR LF pair can only stand at its end.
    if (line.size() >= 2 && line[line.size() - 2] == u'\r' && line.back() == u'\n')
        line.resize(line.size() - 2);
    if (line.empty() || line.front() == u';')
        return;

    if (line.front() == u'[' && line.back() == u']') {
        const auto begin = line.find_first_not_of(u'[');
        const auto end = line.find_last_not_of(u']');
        if (begin == std::u16string::npos || end == std::u16string::npos || end < begin)
            section.clear();
        else
            section = line.substr(begin, end - begin + 1);
        return;
    }

    const auto equals = line.find(u'=');
    if (equals == std::u16string::npos)
        return;
    SetValue(section, line.substr(0, equals), line.substr(equals + 1));
}

std::u16string CIniFile::GetString(const std::u16string& section, const std::u16string& key)
{
    const int sectionIndex = FindSection(section);
    if (sectionIndex < 0) {
        m_lastError = u"Unable to locate specified key: [" + section + u"]";
        return {};
    }
    const int keyIndex = FindKey(sectionIndex, key);
    if (keyIndex < 0) {
        m_lastError = u"Unable to locate specified value: " + key + u".";
        return {};
    }
    return m_sections[static_cast<std::size_t>(sectionIndex)].m_values[static_cast<std::size_t>(keyIndex)];
}

int CIniFile::FindSection(const std::u16string& section) const
{
    for (std::size_t i = 0; i < m_sectionNames.size(); ++i) {
        if (m_sectionNames[i] == section)
            return static_cast<int>(i);
    }
    return -1;
}

int CIniFile::FindKey(int sectionIndex, const std::u16string& key) const
{
    if (sectionIndex < 0 || static_cast<std::size_t>(sectionIndex) >= m_sections.size())
        return -1;
    const std::vector<std::u16string>& keys = m_sections[static_cast<std::size_t>(sectionIndex)].m_keys;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == key)
            return static_cast<int>(i);
    }
    return -1;
}

bool CIniFile::SetValue(const std::u16string& section, const std::u16string& key, const std::u16string& value)
{
    int sectionIndex = FindSection(section);
    if (sectionIndex < 0) {
        m_sectionNames.push_back(section);
        m_sections.emplace_back();
        sectionIndex = static_cast<int>(m_sections.size()) - 1;
    }
    CIniSection& entries = m_sections[static_cast<std::size_t>(sectionIndex)];
    int keyIndex = FindKey(sectionIndex, key);
    if (keyIndex < 0) {
        entries.m_keys.push_back(key);
        entries.m_values.emplace_back();
        keyIndex = static_cast<int>(entries.m_keys.size()) - 1;
    }
    entries.m_values[static_cast<std::size_t>(keyIndex)] = value;
    return true;
}
