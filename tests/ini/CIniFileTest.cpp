// Tests of the INI reader: what a file's bytes become, what failures leave behind, and how a second
// load merges into the first.
#include "CIniFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

const std::u16string kBom = u"\uFEFF";

// Little-endian bytes of the units, written byte by byte so the test does not depend on the host.
std::string Utf16Le(const std::u16string& units)
{
    std::string bytes;
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::u16string Repeat(char16_t unit, std::size_t count)
{
    return std::u16string(count, unit);
}

struct Section
{
    std::u16string name;
    std::vector<std::pair<std::u16string, std::u16string>> entries;
};

// Checks the whole model: section order, key order, values, and that nothing else is held. The
// counts are found by adding a probe entry to a copy: a new name always lands at the end. The probe
// is one unit longer than a read can take, so no file can hold it.
void ExpectModel(const CIniFile& loaded, const std::vector<Section>& expected)
{
    const std::u16string probe(500, u'#');
    CIniFile ini = loaded;
    for (std::size_t s = 0; s < expected.size(); ++s) {
        const Section& section = expected[s];
        SCOPED_TRACE("section " + std::to_string(s));
        ASSERT_EQ(ini.FindSection(section.name), static_cast<int>(s));
        for (std::size_t k = 0; k < section.entries.size(); ++k) {
            SCOPED_TRACE("key " + std::to_string(k));
            EXPECT_EQ(ini.FindKey(static_cast<int>(s), section.entries[k].first), static_cast<int>(k));
            EXPECT_EQ(ini.GetString(section.name, section.entries[k].first), section.entries[k].second);
        }
        ini.SetValue(section.name, probe, u"");
        EXPECT_EQ(ini.FindKey(static_cast<int>(s), probe), static_cast<int>(section.entries.size()))
            << "the section holds more keys than expected";
    }
    ini.SetValue(probe, u"k", u"");
    EXPECT_EQ(ini.FindSection(probe), static_cast<int>(expected.size()))
        << "the file holds more sections than expected";
}

class TempFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device random;
        // A blank and CJK in every path: both are ordinary input.
        m_dir = fs::temp_directory_path() / (fs::path(u8"zelvo ini 言語 ") += std::to_string(random()));
        fs::create_directories(m_dir);
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(m_dir / "locked.lang", fs::perms::owner_all, ignored);
        fs::remove_all(m_dir, ignored);
    }

    std::u16string Write(const std::string& name, const std::string& bytes)
    {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path.u16string();
    }

    std::u16string PathOf(const std::string& name) const { return (m_dir / name).u16string(); }

    fs::path m_dir;
};

struct ParseCase
{
    std::string name;
    std::string bytes;
    std::vector<Section> expected;
};

void PrintTo(const ParseCase& row, std::ostream* out)
{
    *out << row.name;
}

class Parse : public TempFolder, public ::testing::WithParamInterface<ParseCase>
{};

TEST_P(Parse, LoadsExactlyTheseEntries)
{
    CIniFile ini;
    ini.SetPath(Write("case.lang", GetParam().bytes));
    ASSERT_TRUE(ini.Load());
    ExpectModel(ini, GetParam().expected);
    EXPECT_EQ(ini.LastError(), u"");
}

std::string Bom(const std::u16string& units)
{
    return Utf16Le(kBom + units);
}

const ParseCase kParseCases[] = {
    {"empty_file", "", {}},
    {"BOM_only", Bom(u""), {}},
    {"comment_only", Bom(u";k=v\r\n"), {}},
    {"no_BOM_first_header_loses_its_bracket",
     Utf16Le(u"[Application]\r\nTitle=Hello\r\n[Next]\r\nk=v\r\n"),
     {{u"", {{u"Title", u"Hello"}}}, {u"Next", {{u"k", u"v"}}}}},
    {"no_BOM_first_key_loses_its_first_unit", Utf16Le(u"Title=Hello\r\n"), {{u"", {{u"itle", u"Hello"}}}}},
    {"LF_only_keeps_LF_and_sees_no_header", Bom(u"[S]\nk=v\nj=w\n"), {{u"", {{u"k", u"v\n"}, {u"j", u"w\n"}}}}},
    {"Title_blank_equals_blank_Hello", Bom(u"[A]\r\nTitle = Hello\r\n"), {{u"A", {{u"Title ", u" Hello"}}}}},
    {"a_eq_b_eq_c_splits_at_first_equals", Bom(u"a=b=c\r\n"), {{u"", {{u"a", u"b=c"}}}}},
    {"eq_x_gives_empty_key", Bom(u"=x\r\n"), {{u"", {{u"", u"x"}}}}},
    {"k_eq_gives_empty_value", Bom(u"k=\r\n"), {{u"", {{u"k", u""}}}}},
    {"empty_header_selects_empty_section", Bom(u"[S]\r\n[]\r\nk=v\r\n"), {{u"", {{u"k", u"v"}}}}},
    {"header_with_blanks_keeps_them", Bom(u"[ A ]\r\nk=v\r\n"), {{u" A ", {{u"k", u"v"}}}}},
    {"every_outer_bracket_removed",
     Bom(u"[[X]]\r\nk=v\r\n[[]]\r\nj=w\r\n"),
     {{u"X", {{u"k", u"v"}}}, {u"", {{u"j", u"w"}}}}},
    {"inner_brackets_kept", Bom(u"[]x]\r\nk=v\r\n"), {{u"]x", {{u"k", u"v"}}}}},
    {"header_with_no_keys_creates_no_section", Bom(u"[Empty]\r\n[S]\r\nk=v\r\n[Tail]\r\n"), {{u"S", {{u"k", u"v"}}}}},
    {"lone_bracket_is_no_header", Bom(u"[S]\r\n[\r\n[=x\r\n"), {{u"S", {{u"[", u"x"}}}}},
    {"blank_before_semicolon_is_a_key_line", Bom(u" ;c=1\r\n;d=2\r\n"), {{u"", {{u" ;c", u"1"}}}}},
    {"semicolon_after_value_is_part_of_it", Bom(u"k=v ;note\r\n"), {{u"", {{u"k", u"v ;note"}}}}},
    {"line_without_equals_is_skipped", Bom(u"[S]\r\nhello\r\n   \r\n\t\r\n"), {}},
    {"keys_before_first_header_go_to_empty_section",
     Bom(u"a=1\r\n[S]\r\nb=2\r\n"),
     {{u"", {{u"a", u"1"}}}, {u"S", {{u"b", u"2"}}}}},
    {"duplicate_key_keeps_position_takes_last_value",
     Bom(u"k=1\r\nj=2\r\nk=3\r\n"),
     {{u"", {{u"k", u"3"}, {u"j", u"2"}}}}},
    {"duplicate_section_feeds_one_section",
     Bom(u"[A]\r\na=1\r\n[B]\r\nb=1\r\n[A]\r\nc=1\r\n"),
     {{u"A", {{u"a", u"1"}, {u"c", u"1"}}}, {u"B", {{u"b", u"1"}}}}},
    {"names_are_case_sensitive",
     Bom(u"[S]\r\nTitle=1\r\ntitle=2\r\n[s]\r\nx=3\r\n"),
     {{u"S", {{u"Title", u"1"}, {u"title", u"2"}}}, {u"s", {{u"x", u"3"}}}}},
    {"nothing_trimmed_tabs_quotes_escapes", Bom(u"\tk\t=\"v\\n\" \r\n"), {{u"", {{u"\tk\t", u"\"v\\n\" "}}}}},
    {"NUL_unit_kept_inside_value", Bom(u"k=a\0b\r\n"s), {{u"", {{u"k", u"a\0b"s}}}}},
    {"lone_CR_inside_line_kept", Bom(u"k=a\rb\r\n"), {{u"", {{u"k", u"a\rb"}}}}},
    {"last_line_without_line_end", Bom(u"[S]\r\nk=v"), {{u"S", {{u"k", u"v"}}}}},
    {"odd_byte_count_drops_the_last_byte", Bom(u"k=v") + "\x41", {{u"", {{u"k", u"v"}}}}},
    {"odd_byte_after_line_end", Bom(u"k=v\r\n") + "\x41", {{u"", {{u"k", u"v"}}}}},
    {"non_ASCII_units",
     Bom(u"[\u8A00\u8A9E]\r\n\u540D=\u5024\U0001F600\r\n"),
     {{u"\u8A00\u8A9E", {{u"\u540D", u"\u5024\U0001F600"}}}}},
    // Bytes of other encodings pair up into units that form no line end and no "=".
    {"UTF8_text_yields_nothing", "[A]\r\nk=v\r\nx", {}},
    {"big_endian_text_yields_nothing", "\xFE\xFF"s + "\0[\0]\0\r\0\n\0k\0=\0v"s, {}},
    // One read takes at most 499 units; the byte-order mark counts in the first one.
    {"first_line_cut_at_499_units_with_BOM",
     Bom(u"k=" + Repeat(u'v', 600) + u"\r\n"),
     {{u"", {{u"k", Repeat(u'v', 496)}}}}},
    {"line_of_497_units_plus_CRLF_is_whole",
     Bom(u"[S]\r\nk=" + Repeat(u'a', 495) + u"\r\nj=1\r\n"),
     {{u"S", {{u"k", Repeat(u'a', 495)}, {u"j", u"1"}}}}},
    {"line_of_499_units_CRLF_comes_alone",
     Bom(u"[S]\r\nk=" + Repeat(u'a', 497) + u"\r\nj=1\r\n"),
     {{u"S", {{u"k", Repeat(u'a', 497)}, {u"j", u"1"}}}}},
    {"line_of_498_units_keeps_CR_and_LF_comes_alone",
     Bom(u"[S]\r\nk=" + Repeat(u'a', 496) + u"\r\nj=1\r\n"),
     {{u"S", {{u"k", Repeat(u'a', 496) + u"\r"}, {u"j", u"1"}}}}},
    {"cut_piece_with_equals_is_a_key_line",
     Bom(u"[S]\r\nk=" + Repeat(u'a', 497) + u"m=n\r\n"),
     {{u"S", {{u"k", Repeat(u'a', 497)}, {u"m", u"n"}}}}},
    {"cut_piece_that_looks_like_a_header",
     Bom(u"[S]\r\nk=" + Repeat(u'a', 497) + u"[T]\r\nm=n\r\n"),
     {{u"S", {{u"k", Repeat(u'a', 497)}}}, {u"T", {{u"m", u"n"}}}}},
    {"line_of_100000_units",
     Bom(u"[S]\r\nk=" + Repeat(u'z', 99998) + u"\r\nnext=1\r\n"),
     {{u"S", {{u"k", Repeat(u'z', 497)}, {u"next", u"1"}}}}},
};

INSTANTIATE_TEST_SUITE_P(Ini, Parse, ::testing::ValuesIn(kParseCases),
                         [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

class Reader : public TempFolder
{};

TEST_F(Reader, LookupFailuresSayWhatIsMissing)
{
    CIniFile ini;
    ini.SetPath(Write("a.lang", Bom(u"[Empty]\r\n[Application]\r\nTitle=Zelvo\r\n[Other]\r\nOnly=1\r\n")));
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.LastError(), u"");

    EXPECT_EQ(ini.GetString(u"Missing", u"Title"), u"");
    EXPECT_EQ(ini.LastError(), u"Unable to locate specified key: [Missing]");

    // A header with no keys under it is as missing as a section never named.
    EXPECT_EQ(ini.GetString(u"Empty", u"Title"), u"");
    EXPECT_EQ(ini.LastError(), u"Unable to locate specified key: [Empty]");

    // The key exists, but in another section.
    EXPECT_EQ(ini.GetString(u"Application", u"Only"), u"");
    EXPECT_EQ(ini.LastError(), u"Unable to locate specified value: Only.");

    EXPECT_EQ(ini.GetString(u"Application", u"title"), u"");
    EXPECT_EQ(ini.LastError(), u"Unable to locate specified value: title.");

    // A success leaves the last failure standing.
    EXPECT_EQ(ini.GetString(u"Application", u"Title"), u"Zelvo");
    EXPECT_EQ(ini.LastError(), u"Unable to locate specified value: title.");

    EXPECT_EQ(ini.FindKey(-1, u"Title"), -1);
    EXPECT_EQ(ini.FindKey(2, u"Only"), -1);
    EXPECT_EQ(ini.FindKey(1000, u"Only"), -1);
}

struct FailureCase
{
    std::string name;
    bool setsOpenError;
};

class LoadFailure : public TempFolder, public ::testing::WithParamInterface<FailureCase>
{
protected:
    // Makes the thing the case is about and returns the path to load, or an empty optional when
    // the platform cannot make it.
    std::optional<std::u16string> Make(const std::string& name)
    {
        if (name == "missing_file")
            return PathOf("absent.lang");
        if (name == "empty_path")
            return u"";
        if (name == "missing_folder_on_the_way")
            return PathOf("absent/ENG.lang");
        if (name == "path_with_NUL_names_nothing")
            return Write("real.lang", Bom(u"k=v\r\n")) + u"\0.x"s;
        if (name == "folder_given_as_path") {
            fs::create_directory(m_dir / "Lang");
            return PathOf("Lang");
        }
#ifndef _WIN32
        if (name == "broken_symlink") {
            fs::create_symlink(m_dir / "gone.lang", m_dir / "link.lang");
            return PathOf("link.lang");
        }
        if (name == "pipe_never_blocks") {
            if (mkfifo((m_dir / "pipe.lang").c_str(), 0600) != 0)
                return std::nullopt;
            return PathOf("pipe.lang");
        }
        if (name == "device_never_ends")
            return u"/dev/zero";
        if (name == "unreadable_file") {
            const std::u16string path = Write("locked.lang", Bom(u"k=v\r\n"));
            fs::permissions(m_dir / "locked.lang", fs::perms::none);
            if (std::ifstream(m_dir / "locked.lang").is_open())
                return std::nullopt; // running with rights that read anything
            return path;
        }
#endif
        return std::nullopt;
    }
};

TEST_P(LoadFailure, AddsNothingAndReportsOnlyOpenFailures)
{
    CIniFile ini;
    ini.SetPath(Write("held.lang", Bom(u"[S]\r\nk=held\r\n")));
    ASSERT_TRUE(ini.Load());
    ini.GetString(u"S", u"absent");
    const std::u16string before = ini.LastError();

    const std::optional<std::u16string> path = Make(GetParam().name);
    if (!path)
        GTEST_SKIP() << "cannot be made on this system";
    ini.SetPath(*path);
    EXPECT_FALSE(ini.Load());

    EXPECT_EQ(ini.GetPath(), *path);
    if (GetParam().setsOpenError)
        EXPECT_EQ(ini.LastError(), u"Unable to open file: \"" + *path + u"\"!!");
    else
        EXPECT_EQ(ini.LastError(), before);
    ExpectModel(ini, {{u"S", {{u"k", u"held"}}}});
}

const FailureCase kFailureCases[] = {
    {"missing_file", false},
    {"empty_path", false},
    {"missing_folder_on_the_way", false},
    {"path_with_NUL_names_nothing", false},
    {"broken_symlink", false},
    {"folder_given_as_path", true},
    {"pipe_never_blocks", true},
    {"device_never_ends", true},
    {"unreadable_file", true},
};

INSTANTIATE_TEST_SUITE_P(Ini, LoadFailure, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(Reader, SecondLoadMergesIntoTheFirst)
{
    CIniFile ini;
    ini.SetPath(Write("A.lang", Bom(u"[App]\r\nTitle=A\r\nOnlyA=a\r\n[Menu]\r\n1000=Eng\r\n")));
    ASSERT_TRUE(ini.Load());
    ini.SetPath(PathOf("missing.lang"));
    EXPECT_FALSE(ini.Load());
    ini.SetPath(Write("B.lang", Bom(u"[App]\r\nOnlyB=b\r\nTitle=B\r\n[Dialog]\r\nCaption=C\r\n")));
    ASSERT_TRUE(ini.Load());

    ExpectModel(ini, {{u"App", {{u"Title", u"B"}, {u"OnlyA", u"a"}, {u"OnlyB", u"b"}}},
                      {u"Menu", {{u"1000", u"Eng"}}},
                      {u"Dialog", {{u"Caption", u"C"}}}});

    // Loading the same file again changes nothing.
    ASSERT_TRUE(ini.Load());
    ExpectModel(ini, {{u"App", {{u"Title", u"B"}, {u"OnlyA", u"a"}, {u"OnlyB", u"b"}}},
                      {u"Menu", {{u"1000", u"Eng"}}},
                      {u"Dialog", {{u"Caption", u"C"}}}});
}

TEST_F(Reader, EachLoadStartsInTheEmptySectionAndDropsItsOwnMark)
{
    CIniFile ini;
    ini.SetPath(Write("A.lang", Bom(u"[Last]\r\nk=1\r\n")));
    ASSERT_TRUE(ini.Load());
    ini.SetPath(Write("B.lang", Bom(u"k=2\r\n")));
    ASSERT_TRUE(ini.Load());
    ExpectModel(ini, {{u"Last", {{u"k", u"1"}}}, {u"", {{u"k", u"2"}}}});
}

} // namespace
