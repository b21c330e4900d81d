// Tests of the INI reader: what a file's bytes become, what a failed load leaves behind, and how a
// later load merges into what is held.
#include "CIniFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// The little-endian bytes of a byte-order mark and the units, whatever the host's byte order.
std::string Bom(const std::u16string& units, const std::u16string& mark = u"\uFEFF")
{
    std::string bytes;
    for (char16_t unit : mark + units)
        bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

using Model = std::vector<std::pair<std::u16string, std::vector<std::pair<std::u16string, std::u16string>>>>;

// The whole content in order, and nothing else: a new name lands at the end of its list.
// The probe name is one unit longer than a read can take, so no file holds it.
void ExpectModel(CIniFile ini, const Model& expected)
{
    const std::u16string probe(500, u'#');
    int s = 0;
    for (const auto& [section, entries] : expected) {
        ASSERT_EQ(ini.FindSection(section), s);
        int k = 0;
        for (const auto& [key, value] : entries)
            EXPECT_EQ(std::pair(ini.FindKey(s, key), ini.GetString(section, key)), std::pair(k++, value));
        ini.SetValue(section, probe, u"");
        EXPECT_EQ(ini.FindKey(s++, probe), k) << "more keys";
    }
    ini.SetValue(probe, u"k", u"");
    EXPECT_EQ(ini.FindSection(probe), s) << "more sections";
}

class IniReader : public ::testing::Test
{
protected:
    void TearDown() override { fs::remove_all(m_dir); }

    std::u16string Write(const std::string& name, const std::string& bytes)
    {
        fs::create_directories(m_dir);
        std::ofstream(m_dir / name, std::ios::binary) << bytes;
        return (m_dir / name).u16string();
    }

    // A blank and CJK in the path: both are ordinary in a program folder.
    const fs::path m_dir =
        fs::temp_directory_path() / (fs::path(u8"zelvo ini 言語 ") += std::to_string(std::random_device()()));
};

TEST_F(IniReader, LoadsExactlyTheseEntries)
{
    const std::u16string a(495, u'a');
    const std::tuple<const char*, std::string, Model> rows[] = {
        {"no BOM: the first unit is lost", Bom(u"Title=Hello\r\n", u""), {{u"", {{u"itle", u"Hello"}}}}},
        {"LF only: kept in values, no header seen", Bom(u"[S]\nk=v\nj=w\n"), {{u"", {{u"k", u"v\n"}, {u"j", u"w\n"}}}}},
        {"key lines: split at the first =, nothing trimmed",
         Bom(u"q = \"v\\n\" ;note\r\na=b=c\r\n=x\r\nk=\r\n ;c=1\r\n"),
         {{u"", {{u"q ", u" \"v\\n\" ;note"}, {u"a", u"b=c"}, {u"", u"x"}, {u"k", u""}, {u" ;c", u"1"}}}}},
        {"keys: case kept, any units, the last value in the first place",
         Bom(u"d=1\r\nD=3\r\nr=a\rb\0c\r\nd=2\r\n\u540D=\U0001F600\r\n"s),
         {{u"", {{u"d", u"2"}, {u"D", u"3"}, {u"r", u"a\rb\0c"s}, {u"\u540D", u"\U0001F600"}}}}},
        {"sections: outer brackets gone, case kept",
         Bom(u"[ A ]\r\nb=2\r\n[[X]]\r\nc=3\r\n[]x]\r\nd=4\r\n[x]\r\nh=7\r\n"),
         {{u" A ", {{u"b", u"2"}}}, {u"X", {{u"c", u"3"}}}, {u"]x", {{u"d", u"4"}}}, {u"x", {{u"h", u"7"}}}}},
        {"no key from comments, blanks, lines without =, a lone [; keys before a header or under [] in the empty one",
         Bom(u";k=v\r\n\r\na=1\r\nhello\r\n   \r\n[S]\r\n[]\r\nf=6\r\n[\r\n[=g\r\n"),
         {{u"", {{u"a", u"1"}, {u"f", u"6"}, {u"[", u"g"}}}}},
        {"no line end at the end, a last odd byte dropped", Bom(u"[S]\r\nk=v") + "A", {{u"S", {{u"k", u"v"}}}}},
        // One read takes at most 499 units, the byte-order mark included in the first; the rest of
        // a longer line is a line of its own.
        {"long first line", Bom(u"k=" + a + u"aam=n\r\n"), {{u"", {{u"k", a + u"a"}, {u"am", u"n"}}}}},
        {"a CR at the cut stays", Bom(u"k=" + a + u"\r\nj=1\r\n"), {{u"", {{u"k", a + u"\r"}, {u"j", u"1"}}}}},
    };
    for (const auto& [name, bytes, expected] : rows) {
        SCOPED_TRACE(name);
        CIniFile ini;
        ini.SetPath(Write("case.lang", bytes));
        ASSERT_TRUE(ini.Load());
        ExpectModel(ini, expected);
    }
}

TEST_F(IniReader, FailedLoadAddsNothingAndTheNextMergesFromTheEmptySection)
{
    const std::u16string a = Write("A.lang", Bom(u"[App]\r\nTitle=A\r\nOnlyA=a\r\n"));
    const std::u16string b = Write("B.lang", Bom(u"k=2\r\n[App]\r\nOnlyB=b\r\nTitle=B\r\n"));
    // A, then what cannot be loaded: a missing file, a NUL that would name A, a folder, a device
    // that never ends (missing on Windows); a file that is there but cannot be opened takes the
    // folder's way out. Then B, over all that A left.
    CIniFile ini;
    for (const std::u16string& path : {a, a + u"-gone", a + u"\0.x"s, m_dir.u16string(), u"/dev/zero"s, b}) {
        ini.SetPath(path);
        EXPECT_EQ(ini.Load(), path == a || path == b) << fs::path(path);
    }
    ExpectModel(ini, {{u"App", {{u"Title", u"B"}, {u"OnlyA", u"a"}, {u"OnlyB", u"b"}}}, {u"", {{u"k", u"2"}}}});
}

} // namespace
