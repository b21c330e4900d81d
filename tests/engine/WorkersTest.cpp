#include "Workers.h"

#include "Checksums.h"
#include "ChipSet.h"
#include "Plan.h"
#include "TestFiles.h"

#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>

using namespace zelvo;
using namespace zelvo::test;

namespace {

constexpr std::size_t MB = kMegabyte;

// Records every notification; `onProgress` runs inside the poster, on the worker's thread, so a
// test can request a cancel at an exact block.
struct Recorder
{
    std::vector<std::pair<uint32_t, uint64_t>> notes;
    std::function<void(uint64_t)> onProgress;

    Poster poster()
    {
        return [this](uint32_t message, uint64_t wParam) {
            notes.emplace_back(message, wParam);
            if (onProgress && (message == WM_COMMINUTE_PROGRESS || message == WM_MERGE_PROGRESS))
                onProgress(wParam);
        };
    }
    // The progress values, after checking that exactly one done notification came, last.
    std::vector<uint64_t> progress(uint32_t progressMessage, uint32_t doneMessage) const
    {
        std::vector<uint64_t> values;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            if (notes[i].first == progressMessage)
                values.push_back(notes[i].second);
            else
                EXPECT_TRUE(notes[i].first == doneMessage && i + 1 == notes.size()) << "done must come once, last";
        }
        return values;
    }
    uint64_t outcome() const { return notes.empty() ? 999 : notes.back().second; }
};

std::vector<uint64_t> OneTo(uint64_t n)
{
    std::vector<uint64_t> values(n);
    for (uint64_t i = 0; i < n; ++i)
        values[i] = i + 1;
    return values;
}

class Workers : public testing::Test
{
protected:
    void SetUp() override
    {
        source = src / "report.doc";
        base = BasePath(out.path().native(), source);
    }
    void TearDown() override
    {
        ComminuteJob.runState = kRunIdle;
        MergeJob.runState = kRunIdle;
    }

    // Fills the job for a split of `source` into `out` and runs the worker here.
    void Split(Recorder& rec, uint32_t sizeMB, uint32_t chipCount)
    {
        EXPECT_EQ(RunSplit(source, out.path().native(), sizeMB * 16, chipCount, rec.poster()), 0u);
        EXPECT_EQ(ComminuteJob.runState.load(), kRunIdle);
    }
    void Merge(Recorder& rec, int32_t chipTotal, const PathString& dest)
    {
        EXPECT_EQ(RunMerge(base, chipTotal, dest, rec.poster()), 0u);
        EXPECT_EQ(MergeJob.runState.load(), kRunIdle);
    }
    // Writes chips as a split would have, without the worker.
    void MakeChips(const std::vector<Bytes>& chips)
    {
        for (std::size_t k = 0; k < chips.size(); ++k)
            WriteFile(ChipName(base, int64_t(k + 1)), chips[k]);
    }

    TempDir src, out, joined;
    PathString source, base;
};

struct RoundTripRow
{
    const char* name;
    std::size_t length;
    uint32_t sizeMB;
};
void PrintTo(const RoundTripRow& row, std::ostream* os)
{
    *os << row.name;
}

class RoundTrip : public Workers, public testing::WithParamInterface<RoundTripRow>
{};

TEST_P(RoundTrip, SplitThenMergeGivesTheSourceBack)
{
    const RoundTripRow& row = GetParam();
    const Bytes data = RandomBytes(row.length, 11);
    WriteFile(source, data);
    const SplitPlan plan = PlanSplit(source, row.sizeMB, out.path().native());
    ASSERT_EQ(plan.refusal.what, Refusal::None);
    const ChipSetSizing& sizing = plan.sizing;

    Recorder split;
    LoadComminuteJob(plan, false);
    ComminuteWorker(split.poster());
    ASSERT_EQ(split.outcome(), kOutcomeFinished);
    EXPECT_EQ(split.progress(WM_COMMINUTE_PROGRESS, WM_COMMINUTE_DONE), OneTo(sizing.totalBlocks));

    // Every chip holds its slice; only the last may be short; the header holds N.
    for (uint32_t k = 1; k <= sizing.chipCount; ++k) {
        const std::size_t from = std::size_t(k - 1) * sizing.chipSize;
        const std::size_t to = std::min<std::size_t>(from + sizing.chipSize, row.length);
        EXPECT_EQ(ReadFile(ChipName(base, k)), Slice(data, from, to)) << "chip " << k;
    }
    const auto header = EncodeHeader(sizing.chipCount);
    EXPECT_EQ(ReadFile(HeaderChipName(base)), Bytes(header.begin(), header.end()));
    EXPECT_EQ(FileCount(out.path()), sizing.chipCount + 2) << "the chips, the checksums, the header chip: no more";

    const MergePlan join = PlanMerge(HeaderChipName(base), joined.path().native());
    ASSERT_EQ(join.refusal.what, Refusal::None);
    EXPECT_TRUE(join.checksummed);
    EXPECT_EQ(join.progressRange, sizing.totalBlocks);
    Recorder merge;
    LoadMergeJob(join, false);
    MergeWorker(merge.poster());
    ASSERT_EQ(merge.outcome(), kOutcomeFinished);
    EXPECT_EQ(merge.progress(WM_MERGE_PROGRESS, WM_MERGE_DONE), OneTo(join.progressRange));
    EXPECT_TRUE(ReadFile(join.destPath) == data) << "the joined file differs from the source";
    EXPECT_EQ(FileCount(joined.path()), 1u);
}

INSTANTIATE_TEST_SUITE_P(Workers, RoundTrip,
                         testing::Values(RoundTripRow{"last_chip_one_byte", 1 * MB + 1, 1},
                                         RoundTripRow{"last_chip_full_size", 3 * MB, 1},
                                         RoundTripRow{"last_block_short", 3 * MB - 5, 1},
                                         RoundTripRow{"last_chip_a_block_plus_one", 2 * MB + 65537, 2},
                                         RoundTripRow{"hundred_chips_last_named_D100", 100 * MB, 1}),
                         [](const testing::TestParamInfo<RoundTripRow>& info) { return std::string(info.param.name); });

TEST_F(Workers, NamesWithSpacesCjkAndSeveralDotsRoundTrip)
{
    TempDir parent;
    const std::filesystem::path folder = parent.path() / "分割 out";
    std::filesystem::create_directory(folder);
    const PathString name = src / "報告 データ v1.2.tar.gz";
    const Bytes data = RandomBytes(2 * MB + 10, 5);
    WriteFile(name, data);

    ComminuteJob.sourcePath = name;
    ComminuteJob.destFolder = folder.native() + "/"; // a trailing separator is not doubled
    ComminuteJob.blocksPerChip = 16;
    ComminuteJob.chipCount = 3;
    Recorder split;
    ComminuteWorker(split.poster());
    ASSERT_EQ(split.outcome(), kOutcomeFinished);
    const PathString header = (folder / "報告 データ v1.2.tar.gz.DAV").native();
    ASSERT_TRUE(Exists(header));
    EXPECT_TRUE(Exists((folder / "報告 データ v1.2.tar.gz.D03").native()));

    MergeJob.destPath = MergeDestPath(joined.path().native(), SourceNameOfHeader(header));
    MergeJob.chipBasePath = BasePathOfHeader(header);
    MergeJob.chipTotal = 3;
    Recorder merge;
    MergeWorker(merge.poster());
    ASSERT_EQ(merge.outcome(), kOutcomeFinished);
    EXPECT_TRUE(ReadFile(joined / "報告 データ v1.2.tar.gz") == data);
}

TEST_F(Workers, SplitCancelAtChip3Of5KeepsWhatWasWritten)
{
    const Bytes data = RandomBytes(5 * MB, 2);
    WriteFile(source, data);
    // An older set's header goes first: it must not announce chips that this run overwrote.
    WriteFile(HeaderChipName(base), Bytes{9, 0, 0, 0});

    Recorder rec;
    rec.onProgress = [](uint64_t block) {
        if (block == 2 * 16 + 5)
            ComminuteJob.runState = kRunCancel;
    };
    Split(rec, 1, 5);
    EXPECT_EQ(rec.outcome(), kOutcomeCancelled);
    EXPECT_EQ(rec.progress(WM_COMMINUTE_PROGRESS, WM_COMMINUTE_DONE), OneTo(37)) << "no block after the check";
    EXPECT_EQ(ReadFile(ChipName(base, 1)), Slice(data, 0, MB));
    EXPECT_EQ(ReadFile(ChipName(base, 2)), Slice(data, MB, 2 * MB));
    EXPECT_EQ(ReadFile(ChipName(base, 3)), Slice(data, 2 * MB, 2 * MB + 5 * 65536)) << "chip 3 partial";
    EXPECT_FALSE(Exists(ChipName(base, 4)));
    EXPECT_FALSE(Exists(ChipName(base, 5)));
    EXPECT_FALSE(Exists(HeaderChipName(base)));
}

TEST_F(Workers, SplitCancelAfterTheLastBlockWritesNoHeader)
{
    WriteFile(source, RandomBytes(2 * MB, 2));
    Recorder rec;
    rec.onProgress = [](uint64_t block) {
        if (block == 32)
            ComminuteJob.runState = kRunCancel;
    };
    Split(rec, 1, 2);
    EXPECT_EQ(rec.outcome(), kOutcomeCancelled);
    EXPECT_TRUE(Exists(ChipName(base, 2)));
    EXPECT_FALSE(Exists(HeaderChipName(base)));
}

TEST_F(Workers, SplitOfASourceThatChangedEndsWithoutAHeaderChip)
{
    struct Row
    {
        const char* name;
        std::size_t planned, actual; // the length the set was sized for, the length found
        bool touched;                // same length, written since the plan
    };
    for (const Row row : {Row{"shrunk into the last chip but one", 3 * MB, MB + MB / 2, false},
                          Row{"shrunk by one byte", 3 * MB, 3 * MB - 1, false},
                          Row{"grown past the last chip", 2 * MB, 2 * MB + MB / 2, false},
                          Row{"grown by one byte inside the last chip", 2 * MB - 1, 2 * MB, false},
                          Row{"rewritten at the same length", 2 * MB, 2 * MB, true}}) {
        SCOPED_TRACE(row.name);
        WriteFile(source, RandomBytes(row.planned, 4));
        const SplitPlan plan = PlanSplit(source, 1, out.path().native());
        ASSERT_EQ(plan.refusal.what, Refusal::None);
        WriteFile(source, RandomBytes(row.actual, 5));
        if (row.touched)
            std::filesystem::last_write_time(source,
                                             std::filesystem::last_write_time(source) + std::chrono::seconds(1));
        Recorder rec;
        LoadComminuteJob(plan, true);
        ComminuteWorker(rec.poster());
        EXPECT_EQ(rec.outcome(), kOutcomeIoFailed);
        EXPECT_EQ(ComminuteJob.failure, RunFailure::SourceChanged);
        EXPECT_EQ(ComminuteJob.failedPath, source);
        EXPECT_FALSE(Exists(HeaderChipName(base)));
    }
}

TEST_F(Workers, SplitOfASourceThatCannotBeOpenedWritesNothing)
{
    WriteFile(source, RandomBytes(2 * MB, 1));
    FileError error = FileError::None;
    File holder = File::OpenRead(source, &error); // another opener holds it
    ASSERT_TRUE(holder.IsOpen());

    Recorder rec;
    Split(rec, 1, 2);
    EXPECT_EQ(rec.outcome(), kOutcomeOpenFailed);
    EXPECT_TRUE(rec.progress(WM_COMMINUTE_PROGRESS, WM_COMMINUTE_DONE).empty());
    EXPECT_EQ(FileCount(out.path()), 0u);
    EXPECT_EQ(ComminuteJob.failedPath, source);
    EXPECT_EQ(ComminuteJob.failedError, FileError::Sharing);

    holder.Close();
    std::filesystem::remove(source);
    Recorder missing;
    Split(missing, 1, 2);
    EXPECT_EQ(missing.outcome(), kOutcomeOpenFailed);
    EXPECT_EQ(ComminuteJob.failedError, FileError::NotFound);
    EXPECT_EQ(FileCount(out.path()), 0u);
}

TEST_F(Workers, SplitIntoAFolderThatIsGoneFailsInOrder)
{
    WriteFile(source, RandomBytes(2 * MB, 1));
    ComminuteJob.sourcePath = source;
    ComminuteJob.destFolder = out / "gone";
    ComminuteJob.blocksPerChip = 16;
    ComminuteJob.chipCount = 2;
    Recorder rec;
    ComminuteWorker(rec.poster());
    EXPECT_EQ(rec.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(ComminuteJob.runState.load(), kRunIdle);
    EXPECT_EQ(ComminuteJob.failedPath, out / "gone/report.doc.D01");
    EXPECT_EQ(ComminuteJob.failedError, FileError::NotFound);
}

TEST_F(Workers, WriteFailuresEndTheRunInOrder)
{
    const Bytes data = RandomBytes(4 * MB, 8);
    WriteFile(source, data);
    {
        FileSizeLimit limit(MB + 100);
        Recorder split;
        Split(split, 2, 2);
        EXPECT_EQ(split.outcome(), kOutcomeIoFailed);
        EXPECT_EQ(split.progress(WM_COMMINUTE_PROGRESS, WM_COMMINUTE_DONE), OneTo(16))
            << "a block that did not reach the chip is not counted";
        EXPECT_EQ(ComminuteJob.failedPath, ChipName(base, 1));
        EXPECT_EQ(ComminuteJob.failedError, FileError::DiskFull);
        EXPECT_FALSE(Exists(ChipName(base, 2)));
        EXPECT_FALSE(Exists(HeaderChipName(base)));
    }
    // What was written stays: the first MB of chip 1 is correct.
    const Bytes chip1 = ReadFile(ChipName(base, 1));
    ASSERT_GE(chip1.size(), MB);
    EXPECT_EQ(Slice(chip1, 0, MB), Slice(data, 0, MB));

    MakeChips({Slice(data, 0, 2 * MB), Slice(data, 2 * MB, 4 * MB)});
    {
        FileSizeLimit limit(3 * MB);
        Recorder merge;
        const PathString dest = joined / "report.doc";
        Merge(merge, 2, dest);
        EXPECT_EQ(merge.outcome(), kOutcomeIoFailed);
        EXPECT_EQ(merge.progress(WM_MERGE_PROGRESS, WM_MERGE_DONE), OneTo(48));
        EXPECT_EQ(MergeJob.failedPath, dest);
        EXPECT_EQ(MergeJob.failedError, FileError::DiskFull);
    }
}

TEST_F(Workers, MergeThatFailsReplacesNothing)
{
    struct Row
    {
        const char* name;
        std::function<File()> arrange; // may hold a file open for the run
        uint64_t outcome;
        RunFailure failure;
        int failedChip; // 0: the destination
    };
    const Row rows[] = {
        {"chip 2 missing",
         [&] {
             std::filesystem::remove(ChipName(base, 2));
             return File();
         },
         kOutcomeOpenFailed, RunFailure::File, 2},
        {"chip 1 held by another program",
         [&] {
             FileError error;
             return File::OpenRead(ChipName(base, 1), &error);
         },
         kOutcomeOpenFailed, RunFailure::File, 1},
        {"middle chip cut short",
         [&] {
             std::filesystem::resize_file(ChipName(base, 2), MB - 1);
             return File();
         },
         kOutcomeIoFailed, RunFailure::ChipChanged, 2},
        {"middle chip lengthened",
         [&] {
             std::filesystem::resize_file(ChipName(base, 2), MB + 1);
             return File();
         },
         kOutcomeIoFailed, RunFailure::ChipChanged, 2},
        {"last chip longer than chip 1",
         [&] {
             std::filesystem::resize_file(ChipName(base, 3), MB + 1);
             return File();
         },
         kOutcomeIoFailed, RunFailure::ChipChanged, 3},
        {"destination folder gone",
         [&] {
             std::filesystem::remove_all(joined.path());
             return File();
         },
         kOutcomeIoFailed, RunFailure::File, 0},
    };
    const Bytes data = RandomBytes(2 * MB + 1000, 9);
    const PathString dest = joined / "report.doc";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::create_directories(joined.path());
        WriteFile(dest, Bytes(5000, 1));
        MakeChips({Slice(data, 0, MB), Slice(data, MB, 2 * MB), Slice(data, 2 * MB, data.size())});
        const File held = row.arrange();
        Recorder rec;
        Merge(rec, 3, dest);
        EXPECT_EQ(rec.outcome(), row.outcome);
        EXPECT_EQ(MergeJob.failure, row.failure);
        EXPECT_EQ(MergeJob.failedPath, row.failedChip ? ChipName(base, row.failedChip) : dest);
        if (row.failedChip) {
            EXPECT_EQ(ReadFile(dest), Bytes(5000, 1)) << "the file already there is untouched";
            EXPECT_EQ(FileCount(joined.path()), 1u) << "no temporary is left";
        }
    }
}

TEST_F(Workers, MergeCancelAtChip3Of5KeepsWhatWasJoined)
{
    const Bytes data = RandomBytes(5 * MB, 12);
    MakeChips({Slice(data, 0, MB), Slice(data, MB, 2 * MB), Slice(data, 2 * MB, 3 * MB), Slice(data, 3 * MB, 4 * MB),
               Slice(data, 4 * MB, 5 * MB)});
    Recorder rec;
    rec.onProgress = [](uint64_t block) {
        if (block == 2 * 16 + 3)
            MergeJob.runState = kRunCancel;
    };
    const PathString dest = joined / "report.doc";
    Merge(rec, 5, dest);
    EXPECT_EQ(rec.outcome(), kOutcomeCancelled);
    EXPECT_EQ(rec.progress(WM_MERGE_PROGRESS, WM_MERGE_DONE), OneTo(35)) << "no block after the check";
    EXPECT_EQ(FileCount(joined.path()), 0u) << "the unfinished join is removed";
    EXPECT_EQ(ReadFile(ChipName(base, 3)), Slice(data, 2 * MB, 3 * MB)) << "chips are never changed";
}

TEST_F(Workers, CancelBeforeTheFirstStepIsKept)
{
    // What a cancel confirmed between the thread start and the worker's first step leaves.
    WriteFile(source, RandomBytes(2 * MB, 1));
    ComminuteJob.runState = kRunCancel;
    Recorder rec;
    Split(rec, 1, 2);
    EXPECT_EQ(rec.outcome(), kOutcomeCancelled);
    EXPECT_EQ(FileCount(out.path()), 0u);
}

void WaitUntilIdle(bool (*busy)())
{
    while (busy())
        std::this_thread::yield();
}

TEST_F(Workers, StartedWorkerRunsAloneAndALeftoverCancelDoesNotStopTheNext)
{
    WriteFile(source, RandomBytes(2 * MB, 1));
    ComminuteJob.sourcePath = source;
    ComminuteJob.destFolder = out.path().native();
    ComminuteJob.blocksPerChip = 16;
    ComminuteJob.chipCount = 2;
    ComminuteJob.sourceLength = -1;
    ComminuteJob.replaceExisting = true; // the second run writes over the first one's chip
    ComminuteJob.writeChecksums = false;

    // First run: held at its first block until the test has tried a second start.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<uint64_t> firstDone;
    ASSERT_TRUE(StartComminuteWorker([&, released](uint32_t message, uint64_t wParam) {
        if (message == WM_COMMINUTE_PROGRESS && wParam == 1)
            released.wait();
        if (message == WM_COMMINUTE_DONE)
            firstDone.set_value(wParam);
    }));
    EXPECT_TRUE(ComminuteWorkerBusy());
    EXPECT_FALSE(StartComminuteWorker([](uint32_t, uint64_t) {})) << "one split at a time";
    ComminuteJob.runState = kRunCancel; // a confirmed cancel
    release.set_value();
    EXPECT_EQ(firstDone.get_future().get(), kOutcomeCancelled);
    WaitUntilIdle(&ComminuteWorkerBusy);

    // A late cancel leaves 99 behind; the next start must not inherit it.
    ComminuteJob.runState = kRunCancel;
    std::promise<uint64_t> secondDone;
    ASSERT_TRUE(StartComminuteWorker([&](uint32_t message, uint64_t wParam) {
        if (message == WM_COMMINUTE_DONE)
            secondDone.set_value(wParam);
    }));
    EXPECT_EQ(secondDone.get_future().get(), kOutcomeFinished);
    WaitUntilIdle(&ComminuteWorkerBusy);
    EXPECT_TRUE(Exists(HeaderChipName(base)));
}

TEST_F(Workers, StartedMergeReportsThroughItsPoster)
{
    const Bytes data = RandomBytes(MB + 3, 1);
    MakeChips({Slice(data, 0, MB), Slice(data, MB, data.size())});
    MergeJob.destPath = joined / "report.doc";
    MergeJob.chipBasePath = base;
    MergeJob.chipTotal = 2;
    std::promise<uint64_t> done;
    ASSERT_TRUE(StartMergeWorker([&](uint32_t message, uint64_t wParam) {
        if (message == WM_MERGE_DONE)
            done.set_value(wParam);
    }));
    EXPECT_EQ(done.get_future().get(), kOutcomeFinished);
    WaitUntilIdle(&MergeWorkerBusy);
    EXPECT_EQ(ReadFile(joined / "report.doc"), data);
}

// What a folder may hold where a run writes: links, pipes, devices, hard links, another run's set,
// an older set, a file already there. The plan names the first of them; a worker run without a
// plan (replace agreed) may fail, but never writes through any of them.
TEST_F(Workers, HostileTargetsAreRefusedAndNeverWrittenThrough)
{
    struct Row
    {
        const char* name;
        bool merge;
        std::function<PathString()> arrange; // returns the name the plan refuses, if any
        Refusal refusal;
        bool replace;     // the user agreed to replace what is there
        uint64_t outcome; // of the worker run with that agreement
    };
    const Bytes data = RandomBytes(3 * MB + 1000, 31);
    const Bytes precious = RandomBytes(1000, 32);
    TempDir elsewhere;
    const PathString victim = elsewhere / "precious.bin";
    const PathString header = HeaderChipName(base);
    const PathString dest = joined / "report.doc";
    const auto link = [&](const PathString& at, const PathString& to) {
        std::filesystem::create_symlink(std::filesystem::path(to), std::filesystem::path(at));
        return at;
    };
    const auto fifo = [](const PathString& at) {
        EXPECT_EQ(::mkfifo(at.c_str(), 0600), 0);
        return at;
    };
    // A device of its own where the system allows it (root), else a link to one.
    const auto device = [&](const PathString& at) {
        return ::mknod(at.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) == 0 ? at : link(at, "/dev/null");
    };
    std::optional<SetLock> otherRun;
    const Row rows[] = {
        {"split: link at chip 2 to a file elsewhere", false, [&] { return link(ChipName(base, 2), victim); },
         Refusal::NotRegular, true, kOutcomeIoFailed},
        {"split: link at the header chip", false, [&] { return link(header, victim); }, Refusal::NotRegular, true,
         kOutcomeIoFailed},
        {"split: FIFO at chip 3", false, [&] { return fifo(ChipName(base, 3)); }, Refusal::NotRegular, true,
         kOutcomeIoFailed},
        {"split: device at chip 1", false, [&] { return device(ChipName(base, 1)); }, Refusal::NotRegular, true,
         kOutcomeIoFailed},
        {"split: chip 1 a hard link of the source", false,
         [&] {
             std::filesystem::create_hard_link(std::filesystem::path(source), std::filesystem::path(ChipName(base, 1)));
             return ChipName(base, 1);
         },
         Refusal::SameFile, false, kOutcomeIoFailed},
        {"split: another run writes the set", false,
         [&] {
             FileError error;
             otherRun.emplace(SetLock::Acquire(base, &error));
             return base;
         },
         Refusal::SetBusy, true, kOutcomeIoFailed},
        {"split: older, larger set, not agreed", false,
         [&] {
             MakeChips(std::vector<Bytes>(6, Bytes(MB, 6)));
             return PathString();
         },
         Refusal::None, false, kOutcomeIoFailed},
        {"split: older, larger set, agreed", false,
         [&] {
             MakeChips(std::vector<Bytes>(6, Bytes(MB, 6)));
             return PathString();
         },
         Refusal::None, true, kOutcomeFinished},
        {"merge: link at the output to a file elsewhere", true, [&] { return link(dest, victim); }, Refusal::NotRegular,
         true, kOutcomeFinished},
        {"merge: FIFO at the output", true, [&] { return fifo(dest); }, Refusal::NotRegular, true, kOutcomeFinished},
        {"merge: device at the output", true, [&] { return device(dest); }, Refusal::NotRegular, true,
         kOutcomeFinished},
        {"merge: output a hard link of chip 2", true,
         [&] {
             std::filesystem::create_hard_link(std::filesystem::path(ChipName(base, 2)), std::filesystem::path(dest));
             return dest;
         },
         Refusal::SameFile, true, kOutcomeFinished},
        {"merge: existing output, not agreed", true,
         [&] {
             WriteFile(dest, precious);
             return PathString();
         },
         Refusal::None, false, kOutcomeIoFailed},
        {"merge: existing output, agreed", true,
         [&] {
             WriteFile(dest, precious);
             return PathString();
         },
         Refusal::None, true, kOutcomeFinished},
    };
    WriteFile(source, data);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(out.path());
        std::filesystem::remove_all(joined.path());
        std::filesystem::create_directory(out.path());
        std::filesystem::create_directory(joined.path());
        WriteFile(victim, precious);
        otherRun.reset();
        if (row.merge) {
            MakeChips({Slice(data, 0, MB), Slice(data, MB, 2 * MB), Slice(data, 2 * MB, 3 * MB),
                       Slice(data, 3 * MB, data.size())});
            WriteFile(header, {4, 0, 0, 0});
        }
        const PathString named = row.arrange();
        // Read only what cannot block: a FIFO waits for a writer.
        const auto contents = [](const PathString& path) {
            return KindOf(path) == NodeKind::Regular ? ReadFile(path) : Bytes();
        };
        const std::vector<Bytes> before = {contents(header), contents(ChipName(base, 5)), contents(dest)};

        if (row.merge) {
            const MergePlan plan = PlanMerge(header, joined.path().native());
            EXPECT_EQ(plan.refusal.what, row.refusal);
            EXPECT_EQ(plan.refusal.path, named);
            EXPECT_TRUE(row.refusal != Refusal::None || plan.replacesFile) << "an older file or set is there";
            Recorder rec;
            MergeJob.destPath = dest;
            MergeJob.chipBasePath = base;
            MergeJob.chipTotal = 4;
            MergeJob.chipLengths.clear();
            MergeJob.chipDigests.clear();
            MergeJob.replaceExisting = row.replace;
            MergeWorker(rec.poster());
            EXPECT_EQ(rec.outcome(), row.outcome);
            if (row.outcome == kOutcomeFinished)
                EXPECT_TRUE(ReadFile(dest) == data);
            else
                EXPECT_EQ(contents(dest), before[2]) << "the file already there is untouched";
            EXPECT_EQ(ReadFile(ChipName(base, 2)), Slice(data, MB, 2 * MB)) << "a chip is never written";
        } else {
            const SplitPlan plan = PlanSplit(source, 1, out.path().native());
            EXPECT_EQ(plan.refusal.what, row.refusal);
            EXPECT_EQ(plan.refusal.path, named);
            EXPECT_TRUE(row.refusal != Refusal::None || plan.replacesFiles) << "an older file or set is there";
            Recorder rec;
            ComminuteJob.sourcePath = source;
            ComminuteJob.destFolder = out.path().native();
            ComminuteJob.blocksPerChip = 16;
            ComminuteJob.chipCount = 4;
            ComminuteJob.sourceLength = -1;
            ComminuteJob.writeChecksums = false;
            ComminuteJob.replaceExisting = row.replace;
            ComminuteWorker(rec.poster());
            EXPECT_EQ(rec.outcome(), row.outcome);
            if (row.outcome == kOutcomeFinished) {
                EXPECT_EQ(ReadFile(header), (Bytes{4, 0, 0, 0}));
                EXPECT_FALSE(Exists(ChipName(base, 5))) << "chips of the older set beyond the count are removed";
            } else {
                EXPECT_EQ(contents(header), before[0]) << "no header chip but the one that was there";
                EXPECT_EQ(contents(ChipName(base, 5)), before[1]);
            }
        }
        EXPECT_EQ(ReadFile(victim), precious) << "nothing is written through a link";
        EXPECT_TRUE(ReadFile(source) == data);
    }
}

// A run killed at any moment leaves the set or the file the user had, or the whole new one:
// never a header chip over chips of two runs, never a part of a file under the final name.
TEST_F(Workers, KilledRunLeavesTheOldOrTheNewNeverAMix)
{
    struct Row
    {
        const char* name;
        bool merge;
        uint64_t killAt; // progress count; 0: at the done notification
    };
    const Bytes data = RandomBytes(4 * MB - 1000, 41);
    const Bytes old = RandomBytes(6 * MB, 42);
    const PathString dest = joined / "report.doc";
    WriteFile(source, data);
    for (const Row row : {Row{"split at block 1", false, 1}, Row{"split inside chip 2", false, 20},
                          Row{"split at the last block", false, 64}, Row{"split at the end", false, 0},
                          Row{"merge at block 1", true, 1}, Row{"merge inside chip 3", true, 40},
                          Row{"merge at the last block", true, 64}, Row{"merge at the end", true, 0}}) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(out.path());
        std::filesystem::remove_all(joined.path());
        std::filesystem::create_directory(out.path());
        std::filesystem::create_directory(joined.path());
        if (row.merge) {
            MakeChips({Slice(data, 0, MB), Slice(data, MB, 2 * MB), Slice(data, 2 * MB, 3 * MB),
                       Slice(data, 3 * MB, data.size())});
            WriteFile(dest, old);
        } else {
            // An older set of six chips, from another source.
            MakeChips({Slice(old, 0, MB), Slice(old, MB, 2 * MB), Slice(old, 2 * MB, 3 * MB),
                       Slice(old, 3 * MB, 4 * MB), Slice(old, 4 * MB, 5 * MB), Slice(old, 5 * MB, 6 * MB)});
            WriteFile(HeaderChipName(base), {6, 0, 0, 0});
        }

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const Poster killer = [&row](uint32_t message, uint64_t wParam) {
                const bool done = message == WM_COMMINUTE_DONE || message == WM_MERGE_DONE;
                if (done ? row.killAt == 0 : wParam == row.killAt)
                    ::raise(SIGKILL);
            };
            if (row.merge)
                RunMerge(base, 4, dest, killer);
            else
                RunSplit(source, out.path().native(), 16, 4, killer);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        if (row.merge) {
            const Bytes there = ReadFile(dest);
            EXPECT_TRUE(there == old || there == data) << "a file of " << there.size() << " bytes";
            for (const auto& entry : std::filesystem::directory_iterator(joined.path()))
                EXPECT_TRUE(entry.path() == dest ||
                            entry.path().filename().native().find(".zelvo-partial-") != std::string::npos)
                    << entry.path() << " says nothing of what it is";
        } else if (Exists(HeaderChipName(base))) {
            // A header chip that is there announces the new set, whole.
            const MergePlan plan = PlanMerge(HeaderChipName(base), joined.path().native());
            ASSERT_EQ(plan.refusal.what, Refusal::None);
            Recorder merge;
            LoadMergeJob(plan, false);
            MergeWorker(merge.poster());
            EXPECT_EQ(merge.outcome(), kOutcomeFinished);
            EXPECT_TRUE(ReadFile(plan.destPath) == data);
        }
        EXPECT_TRUE(row.killAt != 0 || Exists(row.merge ? dest : HeaderChipName(base)))
            << "a run killed after it said finished has its result on the disk";
    }
}

// A set damaged in transit: the join fails naming the first chip that does not match its checksum
// and replaces nothing; verify names every such chip.
TEST_F(Workers, DamagedChipsAreNamedAndNothingIsReplaced)
{
    using V = ChipVerdict;
    struct Row
    {
        const char* name;
        std::function<void()> damage;
        Refusal refusal;    // of the merge plan
        int32_t failedChip; // the run's ChipDamaged, when the plan passes
        std::vector<ChipVerdict> verdicts;
    };
    const Bytes data = RandomBytes(4 * MB - 999, 51);
    const PathString sidecar = SidecarName(base);
    const auto flip = [](const PathString& path, std::size_t at) {
        Bytes bytes = ReadFile(path);
        bytes[at] ^= 0x20;
        WriteFile(path, bytes);
    };
    const auto editSidecar = [&](const std::string& from, const std::string& to) {
        const Bytes bytes = ReadFile(sidecar);
        std::string text(bytes.begin(), bytes.end());
        text.replace(text.find(from), from.size(), to);
        WriteFile(sidecar, Bytes(text.begin(), text.end()));
    };
    const auto splitOther = [&](std::size_t length) {
        TempDir other;
        WriteFile(other / "report.doc", RandomBytes(length, 52));
        LoadComminuteJob(PlanSplit(other / "report.doc", 1, other.path().native()), false, true);
        Recorder rec;
        ComminuteWorker(rec.poster());
        std::filesystem::copy_file(SidecarName(other / "report.doc"), sidecar,
                                   std::filesystem::copy_options::overwrite_existing);
    };
    const Row rows[] = {
        {"a byte of a middle chip",
         [&] { flip(ChipName(base, 2), 12345); },
         Refusal::None,
         2,
         {V::Ok, V::Damaged, V::Ok, V::Ok}},
        {"a byte of the last chip",
         [&] { flip(ChipName(base, 4), 0); },
         Refusal::None,
         4,
         {V::Ok, V::Ok, V::Ok, V::Damaged}},
        {"chips 1 and 2 swapped",
         [&] {
             std::filesystem::rename(ChipName(base, 1), out / "held");
             std::filesystem::rename(ChipName(base, 2), ChipName(base, 1));
             std::filesystem::rename(out / "held", ChipName(base, 2));
         },
         Refusal::None,
         1,
         {V::Damaged, V::Damaged, V::Ok, V::Ok}},
        {"a digit of chip 3's line",
         [&] {
             Bytes text = ReadFile(sidecar);
             const std::size_t digit = 2 * (64 + 2 + 14 + 1); // each line: digits, two spaces, name, LF
             text[digit] = text[digit] == '0' ? '1' : '0';
             WriteFile(sidecar, text);
         },
         Refusal::None,
         3,
         {V::Ok, V::Ok, V::Damaged, V::Ok}},
        {"a line naming a chip that is not there",
         [&] { editSidecar("report.doc.D02", "report.doc.D09"); },
         Refusal::BadSidecar,
         0,
         {}},
        {"the checksums of another set of three chips", [&] { splitOther(3 * MB - 5); }, Refusal::BadSidecar, 0, {}},
        {"the checksums of another split of the same name",
         [&] { splitOther(4 * MB - 999); },
         Refusal::None,
         1,
         {V::Damaged, V::Damaged, V::Damaged, V::Damaged}},
    };
    WriteFile(source, data);
    const PathString dest = joined / "report.doc";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(out.path());
        std::filesystem::create_directory(out.path());
        WriteFile(dest, Bytes(100, 7));
        LoadComminuteJob(PlanSplit(source, 1, out.path().native()), false, true);
        Recorder split;
        ComminuteWorker(split.poster());
        ASSERT_EQ(split.outcome(), kOutcomeFinished);
        row.damage();

        const MergePlan plan = PlanMerge(HeaderChipName(base), joined.path().native());
        EXPECT_EQ(plan.refusal.what, row.refusal);
        const SetVerification verified = VerifyChipSet(HeaderChipName(base));
        EXPECT_EQ(verified.refusal.what, row.refusal);
        EXPECT_EQ(verified.chips, row.verdicts);
        EXPECT_FALSE(verified.sourceOk);
        if (row.refusal == Refusal::None) {
            Recorder merge;
            LoadMergeJob(plan, true);
            MergeWorker(merge.poster());
            EXPECT_EQ(merge.outcome(), kOutcomeIoFailed);
            EXPECT_EQ(MergeJob.failure, RunFailure::ChipDamaged);
            EXPECT_EQ(MergeJob.failedChip, row.failedChip);
            EXPECT_EQ(MergeJob.failedPath, ChipName(base, row.failedChip));
        }
        EXPECT_EQ(ReadFile(dest), Bytes(100, 7)) << "the file already there is untouched";
        EXPECT_EQ(FileCount(joined.path()), 1u);
    }
}

TEST_F(Workers, EverythingIsOnTheDiskBeforeTheHeaderChipOrTheJoinIsNamed)
{
    std::vector<std::string> steps;
    const auto name = [](const PathString& path) { return std::filesystem::path(path).filename().string(); };
    SetDurableStepHook([&](DurableStep step, const PathString& path) {
        switch (step) {
        case DurableStep::Synced:
            steps.push_back("sync");
            break;
        case DurableStep::Renamed:
            steps.push_back("rename to " + name(path));
            break;
        case DurableStep::FolderSynced:
            steps.push_back("sync folder " + name(path));
            break;
        case DurableStep::Removed:
            steps.push_back("remove " + name(path));
            break;
        }
    });
    WriteFile(source, RandomBytes(2 * MB + 5, 3));
    MakeChips({Bytes(MB, 1), Bytes(MB, 2), Bytes(MB, 3)});
    WriteFile(HeaderChipName(base), {3, 0, 0, 0});
    Recorder split;
    Split(split, 1, 3);
    ASSERT_EQ(split.outcome(), kOutcomeFinished);
    const std::string folder = "sync folder " + name(out.path().native());
    EXPECT_EQ(steps, (std::vector<std::string>{"remove report.doc.DAV", folder, "sync", "sync", "sync", "sync",
                                               "rename to report.doc.DAV", folder}))
        << "the old header chip goes first; the chips, then the new header chip's bytes reach the disk "
           "before it is named; the folder last";

    steps.clear();
    Recorder merge;
    Merge(merge, 3, joined / "report.doc");
    ASSERT_EQ(merge.outcome(), kOutcomeFinished);
    EXPECT_EQ(steps, (std::vector<std::string>{"sync", "rename to report.doc", "sync folder " + name(joined.path())}));
    SetDurableStepHook({});
}

} // namespace
