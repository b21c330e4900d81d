// The run sessions of the two operation dialogs against a fake front end that writes down what a
// window would show: the press and its refusals on real files, then the run's states driven step
// by step through the poster the worker would get, and the pump that carries its notifications.
#include "RunSession.h"

#include "Checksums.h"
#include "StringTable.h"
#include "Workers.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>
#include <utility>

using namespace zelvo;
using namespace zelvo::core;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t MB = 1048576;

// Every call as one entry of log: "show! text", "show-stop text", "ask[No] text", "notice text",
// "inputs on", "focus Size", "text Count 3", "bar 0..32 %", "pos 8", "status …", "wake", "end ok".
class FakePort final : public RunPort
{
public:
    std::string log;
    std::vector<bool> answers;   // Yes/No per question, in order; No when used up
    std::function<void()> inBox; // runs while the next box or question is open, once; then "closed"
    int64_t now = 0;
    bool ticking = false;

    void Show(const std::string& text, BoxIcon icon) override
    {
        Open((icon == BoxIcon::Stop ? "show-stop " : "show! ") + text);
    }
    bool Ask(const std::string& question, AskDefault byDefault) override
    {
        Open((byDefault == AskDefault::No ? "ask[No] " : "ask[Yes] ") + question);
        return m_asked < answers.size() && answers[m_asked++];
    }
    void Notice(const std::string& text) override { Add("notice " + text); }
    void EnableInputs(bool enable) override { Add(enable ? "inputs on" : "inputs off"); }
    void Focus(Field field) override { Add("focus " + Name(field)); }
    void SetText(Field field, const std::string& text) override { Add("text " + Name(field) + " " + text); }
    void SetBar(int upper, int pos, bool percent) override
    {
        Add("bar " + std::to_string(pos) + ".." + std::to_string(upper) + (percent ? " %" : ""));
    }
    void SetBarPos(int position) override { Add("pos " + std::to_string(position)); }
    void SetStatus(const std::string& text) override { Add("status " + text); }
    void EndDialog(bool ok) override { Add(ok ? "end ok" : "end cancel"); }
    int64_t NowMs() override { return now; }
    void SetTicking(bool on) override { ticking = on; }
    void Wake() override { Add("wake"); }

private:
    static std::string Name(Field field) { return std::array{"Source", "Size", "Count", "Dest", "Name"}[int(field)]; }
    void Add(const std::string& entry) { log += (log.empty() ? "" : " | ") + entry; }
    void Open(const std::string& entry)
    {
        Add(entry);
        if (auto run = std::exchange(inBox, nullptr)) {
            run();
            Add("closed");
        }
    }
    std::size_t m_asked = 0;
};

fs::path Utf8Path(const std::string& text)
{
    return fs::path(PathOfUtf8(text)).make_preferred();
}

// A folder of its own per test, with "out" for the destination.
class Session : public testing::Test
{
protected:
    fs::path dir, out;
    FakePort port;

    void SetUp() override
    {
        dir = fs::temp_directory_path() / Utf8Path("zelvo core 分割 " + std::to_string(std::random_device()()));
        out = dir / "out";
        fs::create_directories(out);
        port = FakePort();
    }
    void TearDown() override
    {
        SetWorkerSeam({});
        fs::remove_all(dir);
    }
    // A file of size bytes (sparse where the file system allows).
    static void Plant(const fs::path& path, uint64_t size, const char* bytes = "x")
    {
        std::ofstream(path, std::ios::binary) << bytes;
        fs::resize_file(path, size);
    }
};

// ---- The press: each refusal's box, where the keyboard goes, and that nothing starts or changes;
// and what the Merge dialog shows of a header chip chosen.
// Comminute: the size field and the source's length (folder: the source is a folder; none: no
// source chosen), then "set" (out holds an older set's header chip) or "nodest". Merge ("merge"
// first) of the set s.D01-s.D03, s.DAV: none, nodest, or count N / remove / shorten / write / cut
// (to 2 bytes) NAME, then "chose NAME" instead of the press. Then the message, the file it names
// (under the test folder) and the log, % standing for the message; questions are answered No.
const std::tuple<const char*, const char*, int, const char*, const char*> kPressRows[] = {
    {"no source", "1 none", IDS_SELECT_SOURCE, "", "show! % | focus Source"},
    {"no destination", "1 1048576 nodest", IDS_SELECT_DEST_FOLDER, "", "show! % | focus Dest"},
    {"size 0", "0 1048576", IDS_INVALID_SIZE, "", "show! % | focus Size"},
    {"4096 MB does not fit 32 bits", "4096 1048576", IDS_INVALID_SIZE, "", "show! % | focus Size"},
    {"source missing", "1 missing", AFX_IDP_FILE_NOT_FOUND, "源 file.bin", "show-stop %"},
    {"source is a folder", "1 folder", AFX_IDP_FILE_ACCESS_DENIED, "源 file.bin", "show-stop %"},
    {"exactly n MB: a set of one chip could never be joined", "2 2097152", IDS_SOURCE_TOO_SMALL, "", "show! %"},
    {"100 n MB + 1 is 101 chips", "2 209715201", IDS_TOO_MANY_CHIPS, "", "show! %"},
    {"an older set: No by default", "1 3145728 set", IDS_CONFIRM_REPLACE_SET, "out/源 file.bin", "ask[No] %"},
    {"merge: no header", "merge none", IDS_SELECT_SOURCE, "", "show! % | focus Source"},
    {"merge: no destination", "merge nodest", IDS_SELECT_DEST_FOLDER, "", "show! % | focus Dest"},
    {"merge: header removed since it was chosen", "merge remove s.DAV", AFX_IDP_FILE_NOT_FOUND, "s.DAV", "show-stop %"},
    {"merge: a chip missing, before the run", "merge remove s.D02", AFX_IDP_FILE_NOT_FOUND, "s.D02", "show-stop %"},
    {"merge: middle chip one byte short", "merge shorten s.D02", IDS_CHIP_WRONG_LENGTH, "s.D02", "show-stop %"},
    {"merge: an existing output, No by default", "merge write out/s", IDS_CONFIRM_REPLACE_FILE, "out/s", "ask[No] %"},
    {"merge: one chip: the box, then the end", "merge count 1", IDS_BAD_HEADER, "", "show! % | end ok"},
    {"merge: a count of 0 as well", "merge count 0", IDS_BAD_HEADER, "", "show! % | end ok"},
    {"merge: FF FF FF FF is -1: no such chip", "merge count -1", AFX_IDP_FILE_NOT_FOUND, "s.D-1", "show-stop %"},
    {"merge: header chosen: count, name", "merge count 7 chose s.DAV", 0, "", "text Count 7 | text Name s"},
    {"merge: a chip chosen: its set's count", "merge count 12 chose s.D02", 0, "", "text Count 12 | text Name s"},
    {"merge: a header of 2 bytes holds no count", "merge cut s.DAV chose s.DAV", 0, "", "text Count 0 | text Name s"},
    {"merge: a chip chosen, not there", "merge count 3 chose s.D05", AFX_IDP_FILE_NOT_FOUND, "s.D05", "show-stop %"},
    {"merge: chip chosen, header gone", "merge remove s.DAV chose s.D02", AFX_IDP_FILE_NOT_FOUND, "s.DAV",
     "show-stop %"},
};

TEST_F(Session, PressRefusedOrHeaderChosenStartsNothing)
{
    for (const auto& [name, setup, message, named, expected] : kPressRows) {
        SCOPED_TRACE(name);
        TearDown();
        SetUp();
        std::string first, second, third, fourth, fifth;
        std::istringstream(setup) >> first >> second >> third >> fourth >> fifth;
        const fs::path source = dir / Utf8Path("源 file.bin");
        ComminuteSession comminute(port);
        MergeSession merge(port);
        if (first != "merge") {
            if (second == "folder")
                fs::create_directories(source);
            else if (second.find_first_not_of("0123456789") == std::string::npos)
                Plant(source, std::stoull(second));
            if (third == "set")
                Plant(out / Utf8Path("源 file.bin.DAV"), 8, "precious");
            comminute.OnPress(second == "none" ? PathString() : source.native(), first,
                              third == "nodest" ? PathString() : out.native());
        } else {
            for (const auto& [chip, size] : {std::pair{"s.D01", MB}, {"s.D02", MB}, {"s.D03", uint64_t(1000)}})
                Plant(dir / chip, size);
            const int32_t count = second == "count" ? std::stoi(third) : 3; // little-endian, as the hosts
            std::ofstream(dir / "s.DAV", std::ios::binary).write(reinterpret_cast<const char*>(&count), 4);
            if (second == "remove")
                fs::remove(dir / third);
            else if (second == "shorten" || second == "write" || second == "cut")
                Plant(dir / Utf8Path(third), second == "shorten" ? MB - 1 : second == "write" ? 8 : 2, "precious");
            if (fourth == "chose")
                merge.OnHeaderChanged((dir / fifth).native());
            else
                merge.OnPress(second == "none" ? PathString() : (dir / "s.DAV").native(),
                              second == "nodest" ? PathString() : out.native());
        }
        std::string log = expected;
        if (const std::size_t at = log.find('%'); at != std::string::npos)
            log.replace(at, 1, FormatString1(LoadString(message), Utf8Of((dir / Utf8Path(named)).native())));
        EXPECT_EQ(port.log, log);
        EXPECT_EQ((first == "merge" ? merge : static_cast<RunSession&>(comminute)).State(),
                  log.ends_with("end ok") ? RunState::Ended : RunState::Ready);
        EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), log.starts_with("ask") ? 1 : 0);
    }
}

TEST(SizeEntry, WholeMegabytesOrZero)
{
    const std::pair<const char*, int64_t> rows[] = {{"", 0},           {" 12 ", 12},
                                                    {"+5", 5},         {"-3", 0},
                                                    {"1a", 0},         {"2147483647", 2147483647},
                                                    {"2147483648", 0}, {"99999999999999999999", 0}};
    for (const auto& [text, value] : rows)
        EXPECT_EQ(SizeEntry(text), value) << text;
}

// ---- A run, step by step. The worker is the test: it posts through the session's poster, and the
// pump between them asks for a wake at most once a frame (16 ms), always for the done, and never
// once the run is over.

// name, script, log from the press on, state. The script's steps: busy: an earlier worker still
// finishes; refuse: the start is refused; press; tN: the clock at N ms; pN / dN: the worker posts a
// count / its outcome; w: the GUI takes what the wake brought; tick; close; input: an input
// changed; msg: the double-click message; yes / no: the next question's answer; inbox:STEP,STEP…:
// the steps happen while the next box is open. In the log, <start> is a run's start, <finished> a
// finished run's line, notice and box, <cancel box> a cancelled run's, <fin> … the texts; "cancel
// seen": the worker found its job told to cancel; "closed": a box that had steps inside it closes.
const std::tuple<const char*, const char*, const char*, RunState> kRunRows[] = {
    {"finished: a burst wakes once; the last count comes with the done", "press t1000 p8 p16 w p24 p32 d0 w",
     "<start> | wake | pos 16 | wake | pos 32 | <finished> | end ok", RunState::Ended},
    {"close asks, No goes on; a count wakes again a frame on", "press no close t484 p4 w t500 p8 tick",
     "<start> | ask[Yes] <ask> | wake | pos 4 | wake | pos 8 | status 512.0 KB of 2.0 MB · 1.0 MB/s · 0:02 left",
     RunState::Running},
    {"Yes cancels: stop box, ready, the line keeps the bytes; nothing after the done; then an input "
     "changed clears the line and count, once (before the run it changed nothing)",
     "input press p8 w yes close d1 w p9 d0 input input",
     "<start> | wake | pos 8 | ask[Yes] <ask> | cancel seen | wake | status 512.0 KB of 2.0 MB | <cancel box> | "
     "status  | text Count ",
     RunState::Ready},
    {"a second close while cancelling ends the dialog; the outcome reaches nothing", "press yes close close d1",
     "<start> | ask[Yes] <ask> | end cancel | cancel seen", RunState::Ended},
    {"Yes after the run ended under the question: no cancel, the end waits for it", "press p32 w inbox:d0,w yes close",
     "<start> | wake | pos 32 | ask[Yes] <ask> | wake | <finished> | closed | end ok", RunState::Ended},
    {"a run that ends under the double-click message ends the dialog after it", "press p32 w inbox:d0,w msg",
     "<start> | wake | pos 32 | show! hello | wake | <finished> | closed | end ok", RunState::Ended},
    {"the source could not be opened: the stop box, ready again", "press d2 w",
     "<start> | wake | status 0 B of 2.0 MB | notice <open> | show-stop <open> | inputs on | bar 0..32",
     RunState::Ready},
    {"stalled: the clock takes a count that did not wake; the speed falls, the time left grows",
     "press t1000 p4 w p8 tick t2000 tick",
     "<start> | wake | pos 4 | pos 8 | status 512.0 KB of 2.0 MB · 512.0 KB/s · 0:03 left | status 512.0 KB of 2.0 "
     "MB · 256.0 KB/s · 0:06 left",
     RunState::Running},
    {"closed while ready", "close", "end cancel", RunState::Ended},
    {"a worker of an earlier run still finishes: the press is refused", "busy press", "show! <busy>", RunState::Ready},
    {"the start refused: the busy box, ready, no line", "refuse press",
     "<start> | show! <busy> | inputs on | bar 0..32 | status ", RunState::Ready},
};

// Each row against a comminute session over a 2 MB source, in 1 MB chips.
TEST_F(Session, RunStepByStep)
{
    const fs::path source = dir / "a.bin";
    Plant(source, 2 * MB);
    for (const auto& [name, script, log, state] : kRunRows) {
        SCOPED_TRACE(name);
        port = FakePort();
        Poster poster;
        bool refuse = false, busy = false;
        SetWorkerSeam({[&](Poster given) {
                           poster = std::move(given);
                           ComminuteJob.runState = refuse ? kRunIdle : kRunRunning;
                           return !refuse;
                       },
                       [&] { return busy; }});
        ComminuteSession session(port);
        // Each step is a name and, for t, p and d, a number.
        const std::map<std::string, std::function<void(uint64_t)>> actions{
            {"press", [&](uint64_t) { session.OnPress(source.native(), "1", out.native()); }},
            {"w", [&](uint64_t) { session.OnWake(); }},
            {"tick", [&](uint64_t) { session.OnTick(); }},
            {"close", [&](uint64_t) { session.OnClose(); }},
            {"input", [&](uint64_t) { session.OnInputChanged(); }},
            {"msg", [&](uint64_t) { session.Message("hello"); }},
            {"yes", [&](uint64_t) { port.answers.push_back(true); }},
            {"no", [&](uint64_t) { port.answers.push_back(false); }},
            {"busy", [&](uint64_t) { busy = true; }},
            {"refuse", [&](uint64_t) { refuse = true; }},
            {"t", [&](uint64_t ms) { port.now = int64_t(ms); }},
            {"p", [&](uint64_t blocks) { poster(WM_COMMINUTE_PROGRESS, blocks); }},
            {"d",
             [&](uint64_t outcome) {
                 // The worker leaves its job idle; it stops early only when the job says cancel.
                 port.log += ComminuteJob.runState.exchange(kRunIdle) == kRunCancel ? " | cancel seen" : "";
                 poster(WM_COMMINUTE_DONE, outcome);
             }},
        };
        std::function<void(const std::string&)> step = [&](const std::string& what) {
            const std::size_t digits = std::min(what.find_first_of("0123456789"), what.size());
            if (!what.starts_with("inbox:"))
                return actions.at(what.substr(0, digits))(std::strtoull(what.c_str() + digits, nullptr, 10));
            port.inBox = [&step, steps = what.substr(6)] {
                std::istringstream list(steps);
                for (std::string one; std::getline(list, one, ',');)
                    step(one);
            };
        };
        std::istringstream steps(script);
        for (std::string what; steps >> what;)
            step(what);

        std::string expected = log;
        for (const auto& [tag, text] : std::initializer_list<std::pair<std::string, std::string>>{
                 {"<start>", "text Count 2 | bar 0..32 % | inputs off | status 0 B of 2.0 MB"},
                 {"<finished>", "status 2.0 MB of 2.0 MB | notice <fin> | show! <fin>"},
                 {"<cancel box>", "notice <cancelled> | show-stop <cancelled> | inputs on | bar 0..32"},
                 {"<fin>", LoadString(IDS_COMMINUTE_FINISHED)},
                 {"<cancelled>", LoadString(IDS_COMMINUTE_CANCELED)},
                 {"<open>", LoadString(IDS_OPEN_SOURCE_ERROR)},
                 {"<ask>", LoadString(IDS_CONFIRM_CANCEL_COMMINUTE)},
                 {"<busy>", LoadString(IDS_WORKER_BUSY)}})
            for (std::size_t at; (at = expected.find(tag)) != std::string::npos;)
                expected.replace(at, tag.size(), text);
        EXPECT_EQ(port.log, expected);
        EXPECT_EQ(session.State(), state);
        EXPECT_EQ(port.ticking, state == RunState::Running);
    }
}

} // namespace
