// Reader of the UTF-16 little-endian INI text of the language files. Standard C++ only: the
// Qt side converts its strings at the boundary.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The texts as UTF-8; a lone surrogate, which UTF-8 cannot hold, becomes U+FFFD.
std::string Utf8OfUtf16(std::u16string_view text);

class CIniSection
{
public:
    std::vector<std::u16string> m_values;
    std::vector<std::u16string> m_keys;
};

class CIniFile
{
public:
    CIniFile() = default;

    void SetPath(const std::u16string& path);
    std::u16string GetPath() const;

    // Reads the file at the path and merges its entries into those already held. True when the
    // file was opened; a missing file gives false and leaves m_lastError as it was. Anything that
    // exists but is not a regular file (a folder, a pipe, a device) counts as unopenable.
    // A line that is not blank, not a comment, not a section header and holds no "=" is skipped:
    // it names no key, so it stores nothing and creates no section.
    bool Load();

    // The stored value, or an empty string when the section or the key is missing.
    std::u16string GetString(const std::u16string& section, const std::u16string& key);

    int FindSection(const std::u16string& section) const;
    int FindKey(int sectionIndex, const std::u16string& key) const;
    bool SetValue(const std::u16string& section, const std::u16string& key, const std::u16string& value);

    const std::u16string& LastError() const { return m_lastError; }

private:
    void LoadLine(std::u16string& line, std::u16string& section);

    std::vector<CIniSection> m_sections;
    std::vector<std::u16string> m_sectionNames;
    std::u16string m_path;
    std::u16string m_lastError;
};
