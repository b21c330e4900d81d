// The run sessions of the two operation dialogs against a fake front end that writes down what a
// window would show: the press and its refusals on real files, then the run's states driven step
// by step through the poster the worker would get, and the pump that carries its notifications.
#include "RunSession.h"

#include "StringTable.h"
#include "Workers.h"

#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <utility>

using namespace zelvo;
using namespace zelvo::core;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t MB = 1048576;

// Every call as one entry of log: "show! text", "show-stop text", "ask[No] text", "notice text",
// "inputs on", "focus Size", "text Count 3", "bar 0..32 %", "pos 8", "status …", "end ok".
class FakePort final : public RunPort
{
public:
    std::string log;
    std::vector<bool> answers;   // Yes/No per question, in order; Yes when used up
    std::function<void()> inBox; // runs while the next box or question is open, once
    int64_t now = 0;
    bool ticking = false;
    int wakes = 0;

    void Show(const std::string& text, BoxIcon icon) override
    {
        Open((icon == BoxIcon::Stop ? "show-stop " : "show! ") + text);
    }
    bool Ask(const std::string& question, AskDefault byDefault) override
    {
        Open((byDefault == AskDefault::No ? "ask[No] " : "ask[Yes] ") + question);
        return m_asked < answers.size() ? answers[m_asked++] : true;
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
    void Wake() override { ++wakes; }

private:
    static std::string Name(Field field) { return std::array{"Source", "Size", "Count", "Dest", "Name"}[int(field)]; }
    void Add(const std::string& entry) { log += (log.empty() ? "" : " | ") + entry; }
    void Open(const std::string& entry)
    {
        Add(entry);
        if (auto run = std::exchange(inBox, nullptr))
            run();
    }
    std::size_t m_asked = 0;
};

fs::path Utf8Path(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end())).make_preferred();
}

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

struct RunRow;

// A folder of its own per test, with "out" for the destination.
class Session : public testing::Test
{
protected:
    void RunScript(const RunRow& row);
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

// ---- The press: each refusal's box, where the keyboard goes, and that nothing starts or changes.
// Comminute: the size field and the source's length (folder: the source is a folder; none: no
// source chosen), then "set" (out holds an older set) or "nodest". Merge ("merge" first) of the set
// s.D01-s.D03, s.DAV: none, nodest, or count N / remove / shorten / write NAME.
struct PressRow
{
    const char* name;
    const char* setup;
    int message;
    const char* named; // the file the message names, under the test folder: then the stop icon
    const char* then;  // the entry after the box; "asked": the box is the replace question, answered No
};

const PressRow kPressRows[] = {
    {"no source", "1 none", IDS_SELECT_SOURCE, "", "focus Source"},
    {"no destination", "1 1048576 nodest", IDS_SELECT_DEST_FOLDER, "", "focus Dest"},
    {"size 0", "0 1048576", IDS_INVALID_SIZE, "", "focus Size"},
    {"4096 MB does not fit 32 bits", "4096 1048576", IDS_INVALID_SIZE, "", "focus Size"},
    {"source missing", "1 missing", AFX_IDP_FILE_NOT_FOUND, "源 file.bin", ""},
    {"source is a folder", "1 folder", AFX_IDP_FILE_ACCESS_DENIED, "源 file.bin", ""},
    {"exactly n MB: a set of one chip could never be joined", "2 2097152", IDS_SOURCE_TOO_SMALL, "", ""},
    {"100 n MB + 1 is 101 chips", "2 209715201", IDS_TOO_MANY_CHIPS, "", ""},
    {"an older set: the question defaults to No", "1 3145728 set", IDS_CONFIRM_REPLACE_SET, "out/源 file.bin", "asked"},
    {"merge: no header", "merge none", IDS_SELECT_SOURCE, "", "focus Source"},
    {"merge: no destination", "merge nodest", IDS_SELECT_DEST_FOLDER, "", "focus Dest"},
    {"merge: header removed since it was chosen", "merge remove s.DAV", AFX_IDP_FILE_NOT_FOUND, "s.DAV", ""},
    {"merge: a chip missing, before the run", "merge remove s.D02", AFX_IDP_FILE_NOT_FOUND, "s.D02", ""},
    {"merge: middle chip one byte short", "merge shorten s.D02", IDS_CHIP_WRONG_LENGTH, "s.D02", ""},
    {"merge: an existing output, the question defaults to No", "merge write out/s", IDS_CONFIRM_REPLACE_FILE, "out/s",
     "asked"},
    {"merge: a set of one chip, the box, then the dialog ends", "merge count 1", IDS_BAD_HEADER, "", "end ok"},
    {"merge: a count of 0 as well", "merge count 0", IDS_BAD_HEADER, "", "end ok"},
    {"merge: FF FF FF FF reads as -1, whose chip is not there", "merge count -1", AFX_IDP_FILE_NOT_FOUND, "s.D-1", ""},
};

TEST_F(Session, PressRefusedStartsNothing)
{
    for (const PressRow& row : kPressRows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        std::istringstream setup(row.setup);
        std::string first, second, third;
        setup >> first >> second >> third;
        const fs::path source = dir / Utf8Path("源 file.bin");
        ComminuteSession comminute(port);
        MergeSession merge(port);
        port.answers = {false};
        if (first != "merge") {
            if (second == "folder")
                fs::create_directories(source);
            else if (isdigit(second[0]))
                Plant(source, std::stoull(second));
            for (const char* suffix : {".D01", ".D02", ".DAV"})
                if (third == "set")
                    Plant(out / Utf8Path("源 file.bin" + std::string(suffix)), 8, "precious");
            comminute.OnPress(second == "none" ? PathString() : source.native(), first,
                              third == "nodest" ? PathString() : out.native());
        } else {
            Plant(dir / "s.D01", MB, "1");
            Plant(dir / "s.D02", MB, "2");
            Plant(dir / "s.D03", 1000, "3");
            const int32_t count = second == "count" ? std::stoi(third) : 3; // little-endian, as the hosts
            std::ofstream(dir / "s.DAV", std::ios::binary).write(reinterpret_cast<const char*>(&count), 4);
            if (second == "remove")
                fs::remove(dir / third);
            else if (second == "shorten" || second == "write")
                Plant(dir / Utf8Path(third), second == "write" ? 8 : MB - 1, "precious");
            merge.OnPress(second == "none" ? PathString() : (dir / "s.DAV").native(),
                          second == "nodest" ? PathString() : out.native());
        }
        const std::string then = row.then;
        std::string box = *row.named
                              ? "show-stop " + FormatString1(LoadString(row.message), Utf8(dir / Utf8Path(row.named)))
                              : "show! " + LoadString(row.message);
        if (then == "asked")
            box.replace(0, box.find(' '), "ask[No]");
        EXPECT_EQ(port.log, box + (then.empty() || then == "asked" ? "" : " | " + then));
        EXPECT_EQ((first == "merge" ? merge : static_cast<RunSession&>(comminute)).State(),
                  then == "end ok" ? RunState::Ended : RunState::Ready);
        EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), third == "set" ? 3 : then == "asked" ? 1 : 0);
    }
}

TEST_F(Session, MergeHeaderChosen)
{
    const auto notFound = [&](const char* name) {
        return "show-stop " + FormatString1(LoadString(AFX_IDP_FILE_NOT_FOUND), Utf8(dir / name));
    };
    // chosen, what report.doc.DAV holds ("none": no such file) → what the dialog shows
    const std::tuple<const char*, std::string, std::string> rows[] = {
        {"report.doc.DAV", std::string("\7\0\0\0", 4), "text Count 7 | text Name report.doc"},
        {"report.doc.DAV", std::string("\5\0", 2), "text Count 0 | text Name report.doc"}, // 2 bytes hold no count
        {"report.doc.D07", std::string("\14\0\0\0", 4), "text Count 12 | text Name report.doc"},
        {"report.doc.D05", "", notFound("report.doc.D05")},
        {"report.doc.D07", "none", notFound("report.doc.DAV")},
    };
    for (const auto& [chosen, header, shown] : rows) {
        fs::remove(dir / "report.doc.DAV");
        if (header != "none")
            std::ofstream(dir / "report.doc.DAV", std::ios::binary) << header;
        Plant(dir / "report.doc.D07", 4, "chip");
        port.log.clear();
        MergeSession(port).OnHeaderChanged((dir / chosen).native());
        EXPECT_EQ(port.log, shown) << chosen;
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

// ---- A run, step by step. The worker is the test: it posts through the session's poster.

struct RunRow
{
    const char* name;
    // busy: an earlier worker still finishes; refuse: the start is refused; press; tN: the clock
    // at N ms; pN / dN: the worker posts a count / its outcome (the GUI then takes it); tick;
    // close; input: an input changed; msg: the double-click message; yes / no: the next question's answer;
    // inbox:STEP: STEP happens while the next box is open.
    const char* script;
    const char* log; // from the press on; <start> is a run's start, <fin> … the texts of the outcomes
    RunState state;  // the job's too: running, or idle
};

const RunRow kRunRows[] = {
    {"started: the bar with its percent, inputs off, the line at nothing", "press", "<start>", RunState::Running},
    {"finished: the bar full, the line on the whole size, the box, the end with OK", "press t1000 p32 d0",
     "<start> | pos 32 | status 2.0 MB of 2.0 MB | notice <fin> | show! <fin> | end ok", RunState::Ended},
    {"a close asks; No lets the run go on", "press no close t500 p8 tick",
     "<start> | ask[Yes] <ask> | pos 8 | status 512.0 KB of 2.0 MB · 1.0 MB/s · 0:02 left", RunState::Running},
    {"Yes cancels; its outcome: the stop box, ready again, the line keeps the bytes reached", "press p8 yes close d1",
     "<start> | pos 8 | ask[Yes] <ask> | status 512.0 KB of 2.0 MB | notice <cancelled> | show-stop <cancelled> | "
     "inputs on | bar 0..32",
     RunState::Ready},
    {"a second close while the cancel goes on ends the dialog; the outcome reaches nothing", "press yes close close d1",
     "<start> | ask[Yes] <ask> | end cancel", RunState::Ended},
    {"Yes given after the run ended under the question cancels nothing; the end waits for the question",
     "press p32 inbox:d0 yes close",
     "<start> | pos 32 | ask[Yes] <ask> | status 2.0 MB of 2.0 MB | notice <fin> | show! <fin> | end ok",
     RunState::Ended},
    {"a run that ends under the double-click message ends the dialog after it", "press p32 inbox:d0 msg",
     "<start> | pos 32 | show! hello | status 2.0 MB of 2.0 MB | notice <fin> | show! <fin> | end ok", RunState::Ended},
    {"the source could not be opened: the stop box, ready again", "press d2",
     "<start> | status 0 B of 2.0 MB | notice <open> | show-stop <open> | inputs on | bar 0..32", RunState::Ready},
    {"a stalled run: the clock refreshes the line, the speed falls and the time left grows",
     "press t1000 p8 tick t2000 tick",
     "<start> | pos 8 | status 512.0 KB of 2.0 MB · 512.0 KB/s · 0:03 left | status 512.0 KB of 2.0 MB · "
     "256.0 KB/s · 0:06 left",
     RunState::Running},
    {"an input changed after a cancel clears the run's line and count, once; before any run it shows nothing",
     "input press p8 yes close d1 input input",
     "<start> | pos 8 | ask[Yes] <ask> | status 512.0 KB of 2.0 MB | notice <cancelled> | show-stop <cancelled> | "
     "inputs on | bar 0..32 | status  | text Count ",
     RunState::Ready},
    {"closed while ready", "close", "end cancel", RunState::Ended},
    {"a worker of an earlier run still finishes: the press is refused", "busy press", "show! <busy>", RunState::Ready},
    {"the start refused: the busy box, ready, no line", "refuse press",
     "text Count 2 | bar 0..32 % | inputs off | status 0 B of 2.0 MB | show! <busy> | inputs on | bar 0..32 | status ",
     RunState::Ready},
};

TEST_F(Session, RunStepByStep)
{
    for (const RunRow& row : kRunRows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        RunScript(row);
    }
}

// One row: the script against a comminute session over a 2 MB source, in 1 MB chips.
void Session::RunScript(const RunRow& row)
{
    const fs::path source = dir / "a.bin";
    Plant(source, 2 * MB);
    Poster poster;
    bool refuse = false, busy = false;
    SetWorkerSeam({[&](Poster given) {
                       if (refuse)
                           return false;
                       poster = std::move(given);
                       ComminuteJob.runState = kRunRunning;
                       return true;
                   },
                   [&] { return busy; }});
    ComminuteJob.runState = kRunIdle;
    ComminuteSession session(port);
    std::function<void(const std::string&)> step = [&](const std::string& what) {
        const uint64_t n = what.size() > 1 && isdigit(what[1]) ? std::stoull(what.substr(1)) : 0;
        if (what.rfind("inbox:", 0) == 0) {
            port.inBox = [&step, rest = what.substr(6)] { step(rest); };
        } else if (what == "press") {
            session.OnPress(source.native(), "1", out.native());
        } else if (what[0] == 't' && what != "tick") {
            port.now = int64_t(n);
        } else if (what[0] == 'p' || what[0] == 'd') {
            if (what[0] == 'd')
                ComminuteJob.runState = kRunIdle; // as the worker leaves it
            const int wakes = port.wakes;
            poster(what[0] == 'p' ? WM_COMMINUTE_PROGRESS : WM_COMMINUTE_DONE, n);
            if (port.wakes > wakes)
                session.OnWake();
        } else if (what == "tick") {
            session.OnTick();
        } else if (what == "close") {
            session.OnClose();
        } else if (what == "input") {
            session.OnInputChanged();
        } else if (what == "msg") {
            session.Message("hello");
        } else if (what == "yes" || what == "no") {
            port.answers.push_back(what == "yes");
        } else if (what == "busy" || what == "refuse") {
            (what == "busy" ? busy : refuse) = true;
        } else {
            FAIL() << what;
        }
    };
    std::istringstream script(row.script);
    for (std::string what; script >> what;)
        step(what);

    std::string expected = row.log;
    for (const auto& [tag, text] : std::initializer_list<std::pair<std::string, std::string>>{
             {"<start>", "text Count 2 | bar 0..32 % | inputs off | status 0 B of 2.0 MB"},
             {"<fin>", LoadString(IDS_COMMINUTE_FINISHED)},
             {"<cancelled>", LoadString(IDS_COMMINUTE_CANCELED)},
             {"<open>", LoadString(IDS_OPEN_SOURCE_ERROR)},
             {"<ask>", LoadString(IDS_CONFIRM_CANCEL_COMMINUTE)},
             {"<busy>", LoadString(IDS_WORKER_BUSY)}})
        for (std::size_t at; (at = expected.find(tag)) != std::string::npos;)
            expected.replace(at, tag.size(), text);
    EXPECT_EQ(port.log, expected);
    EXPECT_EQ(session.State(), row.state);
    EXPECT_EQ(ComminuteJob.runState.load(), row.state == RunState::Running ? kRunRunning : kRunIdle);
    EXPECT_EQ(port.ticking, row.state == RunState::Running);
}

// ---- The pump alone.

TEST(ProgressPump, CoalescesAndDropsWhatComesTooLate)
{
    // pN / dN: the run's poster; op…/od…: the poster of the run before; take: the GUI takes
    // (logs bN, dN); tN: the clock; new: a new run's channel; close. "w" is a wake.
    const std::pair<const char*, const char*> rows[] = {
        {"p1 p2 p3 take p4 p5 d9 take", "w b3 w b5 d9"}, // a burst wakes once; the last count comes with the done
        {"p1 take t16 p2 take", "w b1 w b2"},            // a frame later a count wakes again
        {"p1 take p2 take", "w b1 b2"},                  // inside the frame the clock's take gets it
        {"d0 take p5 d1 take", "w d0"},                  // nothing after the done
        {"p1 new op2 od3 p4 take", "w w b4"},            // an earlier run's poster reaches nothing
        {"p1 close p2 d0 take", "w"},                    // nor does anything once closed
    };
    for (const auto& [script, expected] : rows) {
        std::string got;
        int64_t now = 0;
        ProgressPump pump(7, 8);
        const auto open = [&] { return pump.Open([&] { got += " w"; }, [&] { return now; }); };
        Poster post = open(), earlier;
        std::istringstream steps(script);
        for (std::string what; steps >> what;) {
            const bool old = what[0] == 'o';
            if (old)
                what.erase(0, 1);
            if (what == "take") {
                const auto taken = pump.Take();
                got += taken.blocks ? " b" + std::to_string(*taken.blocks) : "";
                got += taken.outcome ? " d" + std::to_string(*taken.outcome) : "";
            } else if (what == "new") {
                earlier = post;
                post = open();
            } else if (what == "close") {
                pump.Close();
            } else if (what[0] == 't') {
                now = std::stoll(what.substr(1));
            } else {
                (old ? earlier : post)(what[0] == 'p' ? 7 : 8, std::stoull(what.substr(1)));
            }
        }
        EXPECT_EQ(got.empty() ? got : got.substr(1), expected) << script;
    }
}

} // namespace
