// The core's rules that are plain functions of their inputs: the status line, the bar's maths and
// colours, which dialog a file opens, the language chosen and switched, the single-instance start
// and the hand-over message.
#include "AppRules.h"
#include "LanguageTable.h"
#include "RunStatus.h"
#include "StringTable.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

using namespace zelvo;
using namespace zelvo::core;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t MB = 1048576;

// The line at the start, in the middle and after a failure is in the sessions' rows; here the hours,
// the end with its rate, and another language's order.
TEST(StatusLine, HoursAndTheEnd)
{
    const std::tuple<uint64_t, uint64_t, int64_t, const char*> rows[] = {
        {MB, 361 * MB, 10000, "1.0 MB of 361.0 MB · 102.4 KB/s · 1:00:00 left"},
        {1024 * MB, 400 * 1024 * MB, 3600000, "1.0 GB of 400.0 GB · 291.3 KB/s · 399:00:00 left"}, // no days
        {5 * MB, 5 * MB, 2000, "5.0 MB of 5.0 MB · 2.5 MB/s"},
    };
    for (const auto& [done, total, ms, line] : rows)
        EXPECT_EQ(RunStatusText(done, total, ms, {}), line);
    EXPECT_EQ(RunStatusText(3 * MB, 4 * MB, 1000, {"%2 中 %1", "%1/秒", "残り %1"}),
              "4.0 MB 中 3.0 MB · 3.0 MB/秒 · 残り 0:01");
}

TEST(Bar, FilledWidthAndPercent)
{
    // width, lower, upper, position → pixels filled, text (the first pixel and percent painted: tests/ui)
    const std::tuple<int, int, int, int, int, const char*> rows[] = {
        {300, 0, 100, 29, 87, "29%"}, // no float shortfall
        {300, 0, 15, 11, 220, "73%"},
        {300, 100, 1100, 105, 1, "0%"},                // 1.5 pixels and 0.5 % round down
        {300, INT_MIN, INT_MAX, INT_MAX, 300, "100%"}, // the whole int range does not overflow
        {100, 0, 0, 0, 0, "0%"},                       // an empty range fills nothing
    };
    for (const auto& [width, lower, upper, position, filled, text] : rows) {
        EXPECT_EQ(ProgressFilledWidth(position, lower, upper, width), filled);
        EXPECT_EQ(PercentText(position, lower, upper), text);
    }
}

TEST(Bar, ColoursReadOnTheirBackground)
{
    const Rgb blue{0, 0, 255}, white{255, 255, 255}, dark{0x35, 0x35, 0x35};
    // A known ratio first, so that a wrong ratio cannot pass the checks below.
    EXPECT_EQ(std::lround(ContrastRatio(blue, white) * 100), 859);
    EXPECT_EQ(ReadableOn(blue, white), blue);
    const Rgb lightened = ReadableOn(blue, dark);
    EXPECT_TRUE(lightened.r == lightened.g && lightened.b > lightened.r); // still blue: only mixed towards white
    // The percent text over both parts of the bar, on a light and on a dark palette.
    const std::pair<Rgb, Rgb> bars[] = {
        {{48, 140, 198}, white}, {{48, 140, 198}, {42, 42, 42}}, {{0, 120, 215}, white}, {blue, dark}};
    for (const auto& [fill, empty] : bars) {
        const BarTextColours text = PercentTextColours(fill, empty);
        EXPECT_GE(ContrastRatio(text.onFill, fill), 4.5);
        EXPECT_GE(ContrastRatio(text.onEmpty, empty), 4.5);
    }
}

TEST(FileArgument, WhichDialogOpens)
{
    // x.bin.DAV exists, y.bin.DAV does not.
    const auto exists = [](const PathString& path) { return path == fs::path("x.bin.DAV").native(); };
    const std::pair<const char*, const char*> rows[] = {
        {"a.bin", "split a.bin"},
        {"x.bin.DAV", "merge x.bin.DAV"},
        {"x.bin.D01", "merge x.bin.DAV"},
        {"x.bin.d01", "split x.bin.d01"}, // its header name is x.bin.dAV, which is not there
        {"y.bin.D07", "split y.bin.D07"},
        {"x.bin.D00", "split x.bin.D00"},
        {"x.bin.D100", "split x.bin.D100"},
        {"x.bin.D7", "split x.bin.D7"},
        {"DAV", "split DAV"},
    };
    for (const auto& [path, expected] : rows) {
        const auto [dialog, chosen] = ClassifyFile(fs::path(path).native(), exists);
        EXPECT_EQ((dialog == FileDialog::Merge ? "merge " : "split ") + fs::path(chosen).string(), expected);
    }
}

TEST(Language, DefaultFromTheSystem)
{
    // Neutral ids, and Chinese sub-language 31: only sub-language 1 is Traditional.
    const std::pair<int, int> rows[] = {{0x0404, 2}, {0x0C04, 1}, {0x0804, 1}, {0x0004, 1}, {0x7C04, 1},
                                        {0x0411, 3}, {0x0011, 3}, {0x0409, 0}, {0x0412, 0}};
    for (const auto& [id, index] : rows)
        EXPECT_EQ(DefaultLanguageIndex(static_cast<uint16_t>(id)), index) << id;
    EXPECT_EQ(LanguageOfCommand(ID_LANG_JAP), 3);
    EXPECT_EQ(LanguageOfCommand(ID_APP_ABOUT), std::nullopt);
}

// Settings and boxes written down; language files in a folder of their own.
class FakeLanguage final : public LanguagePort
{
public:
    fs::path folder = fs::temp_directory_path() / ("zelvo lang " + std::to_string(std::random_device()()));
    std::u16string stored;
    std::string log;

    std::u16string StoredLanguage() override { return stored; }
    void StoreLanguage(const std::u16string& name) override { log += " store " + fs::path(name).string(); }
    std::u16string LangFilePath(const std::u16string& name) override { return (folder / name).u16string() + u".lang"; }
    void LanguageLoaded() override { log += " loaded"; }
    void Show(int stringId) override { log += " show " + std::to_string(stringId); }
};

TEST(LanguageFiles, ChosenAtStartAndSwitched)
{
    // stored name, files there (UTF-16LE, titled by their names), the index before, -1 for the
    // start or the index chosen from the menu → the index after, [the title loaded], what happened.
    // The system's language is CHT; nothing is stored at start, and a switch that cannot load its
    // file changes nothing.
    const std::tuple<const char*, std::vector<std::string>, int, int, std::string> rows[] = {
        {"", {}, 0, -1, "99 []"},
        {"JAP", {"ENG", "CHS", "CHT", "JAP"}, 0, -1, "3 [JAP] loaded"},
        {"FRA", {"FRA", "CHT"}, 2, -1, "2 [FRA] loaded"}, // a name outside the table leaves the index
        {"CHS", {"CHT"}, 0, -1, "99 []"},
        {"", {"ENG", "CHT"}, 0, -1, "2 [CHT] loaded"},
        {"CHS", {"JAP"}, 1, 3, "3 [JAP] loaded store JAP"},
        {"CHS", {"JAP"}, 1, 0, "1 [] show " + std::to_string(IDS_LANG_FILE_FAILED)},
    };
    for (auto [stored, files, nLanguage, chosen, after] : rows) {
        FakeLanguage port;
        fs::create_directories(port.folder);
        for (const std::string& name : files) {
            std::ofstream out(port.folder / (name + ".lang"), std::ios::binary);
            for (const char16_t c : u"\uFEFF[Application]\r\nTitle=" + fs::path(name).u16string() + u"\r\n")
                out.put(char(c & 0xFF)).put(char(c >> 8));
        }
        port.stored = fs::path(stored).u16string();
        CIniFile file;
        chosen < 0 ? StartLanguage(port, file, nLanguage, 0x0404) : SwitchLanguage(port, file, nLanguage, chosen);
        const std::string title = fs::path(file.GetString(u"Application", u"Title")).string();
        EXPECT_EQ(std::to_string(nLanguage) + " [" + title + "]" + port.log, after) << stored << chosen;
        fs::remove_all(port.folder);
    }
}

TEST(SingleInstance, StartAndHandOver)
{
    const std::tuple<LockResult, bool, StartAction> rows[] = {
        {LockResult::Acquired, false, StartAction::RunAndListen},
        {LockResult::Acquired, true, StartAction::RunAndListen},
        {LockResult::HeldElsewhere, true, StartAction::HandOver},
        {LockResult::HeldElsewhere, false, StartAction::Refuse},
        {LockResult::Unavailable, true, StartAction::Run},
        {LockResult::Unsafe, true, StartAction::RefuseUnsafe},
    };
    for (const auto& [lock, oneFile, action] : rows)
        EXPECT_EQ(InstanceStart(lock, oneFile), action);
    // Each path comes back from its line cut at the first line break: a break in a name cannot end it.
    for (const std::string path : {"", "/a", "/tmp/line\nbreak.bin", "/数据/分割 ファイル.DAV", "ab", "abc"}) {
        const std::string line = HandOverMessage(path);
        EXPECT_EQ(ReadHandOverMessage(line.substr(0, line.find('\n'))), path);
    }
    EXPECT_EQ(HandOverMessage("/a"), "L2E=\n");
    EXPECT_EQ(ReadHandOverMessage("L2E=\r\n"), "/a");
    EXPECT_EQ(ReadHandOverMessage("L2E!"), std::nullopt);
}

} // namespace
