#include "Workers.h"

#include "ChipSet.h"
#include "TestFiles.h"

#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <sys/resource.h>
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
    ChipSetSizing sizing;
    ASSERT_EQ(SizeChipSet(int64_t(row.length), row.sizeMB, &sizing), SizingStatus::Ok);

    Recorder split;
    Split(split, row.sizeMB, sizing.chipCount);
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
    EXPECT_FALSE(Exists(ChipName(base, sizing.chipCount + 1)));
    EXPECT_EQ(FileCount(out.path()), sizing.chipCount + 1);

    if (sizing.chipCount < 2)
        return; // such a set is written but never joined
    int64_t first = 0, last = 0;
    ASSERT_EQ(QueryLength(ChipName(base, 1), &first), FileError::None);
    ASSERT_EQ(QueryLength(ChipName(base, sizing.chipCount), &last), FileError::None);
    const uint32_t range = MergeProgressRange(int32_t(sizing.chipCount), first, last);
    EXPECT_EQ(range, sizing.totalBlocks);

    Recorder merge;
    const PathString dest = MergeDestPath(joined.path().native(), SourceNameOfHeader(HeaderChipName(base)));
    Merge(merge, int32_t(sizing.chipCount), dest);
    ASSERT_EQ(merge.outcome(), kOutcomeFinished);
    EXPECT_EQ(merge.progress(WM_MERGE_PROGRESS, WM_MERGE_DONE), OneTo(range));
    EXPECT_TRUE(ReadFile(dest) == data) << "the joined file differs from the source";
}

INSTANTIATE_TEST_SUITE_P(Workers, RoundTrip,
                         testing::Values(RoundTripRow{"exactly_one_chip_makes_a_set_of_one", 1 * MB, 1},
                                         RoundTripRow{"last_chip_one_byte", 1 * MB + 1, 1},
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
    // An older set's header stays untouched: a cancelled run deletes and writes nothing more.
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
    EXPECT_EQ(ReadFile(HeaderChipName(base)), (Bytes{9, 0, 0, 0}));
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

TEST_F(Workers, SplitFollowsASourceThatChangedSinceSizing)
{
    // Shrunk: sized for 3 chips, 1.5 MB left. The remaining chips are created empty.
    const Bytes shrunk = RandomBytes(MB + MB / 2, 4);
    WriteFile(source, shrunk);
    Recorder small;
    Split(small, 1, 3);
    EXPECT_EQ(small.outcome(), kOutcomeFinished);
    EXPECT_EQ(ReadFile(ChipName(base, 2)), Slice(shrunk, MB, shrunk.size()));
    EXPECT_TRUE(Exists(ChipName(base, 3)));
    EXPECT_TRUE(ReadFile(ChipName(base, 3)).empty());
    EXPECT_EQ(ReadFile(HeaderChipName(base)), (Bytes{3, 0, 0, 0}));

    // Grown: sized for 2 chips, now 2.5 MB. Bytes beyond N x S are not copied.
    const Bytes grown = RandomBytes(2 * MB + MB / 2, 6);
    WriteFile(source, grown);
    Recorder big;
    Split(big, 1, 2);
    EXPECT_EQ(big.outcome(), kOutcomeFinished);
    EXPECT_EQ(ReadFile(ChipName(base, 2)), Slice(grown, MB, 2 * MB));
    EXPECT_EQ(ReadFile(ChipName(base, 3)), Bytes()) << "the third chip of the earlier run is left alone";
    EXPECT_EQ(ReadFile(HeaderChipName(base)), (Bytes{2, 0, 0, 0}));
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

// Files may not grow past `limit` bytes while this lives; SIGXFSZ is ignored so the write fails
// with EFBIG instead of killing the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit next = previous_;
        next.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &next);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

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

TEST_F(Workers, MergeWithChip2MissingKeepsChip1)
{
    const Bytes data = RandomBytes(2 * MB + 1000, 9);
    MakeChips({Slice(data, 0, MB), Slice(data, MB, 2 * MB), Slice(data, 2 * MB, data.size())});
    std::filesystem::remove(ChipName(base, 2));

    Recorder rec;
    const PathString dest = joined / "report.doc";
    Merge(rec, 3, dest);
    EXPECT_EQ(rec.outcome(), kOutcomeOpenFailed);
    EXPECT_EQ(ReadFile(dest), Slice(data, 0, MB));
    EXPECT_EQ(MergeJob.failedPath, ChipName(base, 2));
    EXPECT_EQ(MergeJob.failedError, FileError::NotFound);
}

TEST_F(Workers, MergeFailingAtChip1StillReplacesTheDestination)
{
    const PathString dest = joined / "report.doc";
    WriteFile(dest, Bytes(5000, 1));
    MakeChips({Bytes(10, 1), Bytes(10, 2)});
    FileError error = FileError::None;
    File holder = File::OpenRead(ChipName(base, 1), &error); // chip held by another program
    ASSERT_TRUE(holder.IsOpen());

    Recorder rec;
    Merge(rec, 2, dest);
    EXPECT_EQ(rec.outcome(), kOutcomeOpenFailed);
    EXPECT_EQ(MergeJob.failedError, FileError::Sharing);
    EXPECT_TRUE(ReadFile(dest).empty());
}

TEST_F(Workers, MergeJoinsChipsAsTheyStandAndOnlyUpToTheCount)
{
    // Chips of uneven length are joined unchanged; chip 3 lies beyond the count and is not read.
    MakeChips({Bytes(65536, 1), Bytes(100, 2), Bytes(70000, 3), Bytes(5, 4)});
    Recorder rec;
    const PathString dest = joined / "report.doc";
    Merge(rec, 3, dest);
    EXPECT_EQ(rec.outcome(), kOutcomeFinished);
    Bytes expected(65536, 1);
    expected.insert(expected.end(), 100, 2);
    expected.insert(expected.end(), 70000, 3);
    EXPECT_EQ(ReadFile(dest), expected);
    EXPECT_EQ(rec.progress(WM_MERGE_PROGRESS, WM_MERGE_DONE), OneTo(4)) << "no step for the empty read at 64 KiB";
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
    EXPECT_EQ(ReadFile(dest), Slice(data, 0, 2 * MB + 3 * 65536));
    EXPECT_EQ(ReadFile(ChipName(base, 3)), Slice(data, 2 * MB, 3 * MB)) << "chips are never changed";
}

TEST_F(Workers, MergeIntoAFolderThatIsGoneFailsInOrder)
{
    MakeChips({Bytes(10, 1), Bytes(10, 2)});
    Recorder rec;
    Merge(rec, 2, joined / "gone/report.doc");
    EXPECT_EQ(rec.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(MergeJob.failedPath, joined / "gone/report.doc");
    EXPECT_EQ(MergeJob.failedError, FileError::NotFound);
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

} // namespace
