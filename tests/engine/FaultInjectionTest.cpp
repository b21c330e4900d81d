// Faults on the real file system: a full or read-only destination, folders and chips that change
// under a running worker, files locked by another process, a read error inside a file, sources
// that are not files, and too few descriptors. Each case checks the outcome and what is on disk:
// no failure may end as "finished", no header chip may announce an incomplete set, and the source
// and the chips are never changed by a run that reads them.
#include "ChipSet.h"
#include "ReadFault.h"
#include "TestFiles.h"
#include "Workers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zelvo;
using namespace zelvo::test;

namespace {

constexpr std::size_t MB = kMegabyte;

struct RunLog
{
    std::vector<uint64_t> progress;
    std::vector<uint64_t> done;
    std::function<void(uint64_t)> onProgress;

    Poster poster()
    {
        return [this](uint32_t message, uint64_t wParam) {
            if (message == WM_COMMINUTE_PROGRESS || message == WM_MERGE_PROGRESS) {
                EXPECT_TRUE(done.empty()) << "progress after the outcome";
                progress.push_back(wParam);
                if (onProgress)
                    onProgress(wParam);
            } else {
                done.push_back(wParam);
            }
        };
    }
    uint64_t outcome() const
    {
        EXPECT_EQ(done.size(), 1u) << "exactly one outcome";
        return done.empty() ? 999 : done.back();
    }
};

// True when `part` is the start of `whole`.
::testing::AssertionResult IsPrefix(const Bytes& part, const Bytes& whole)
{
    if (part.size() > whole.size())
        return ::testing::AssertionFailure() << part.size() << " bytes, longer than " << whole.size();
    if (!std::equal(part.begin(), part.end(), whole.begin()))
        return ::testing::AssertionFailure() << "content differs from the expected start";
    return ::testing::AssertionSuccess();
}

// A tmpfs mounted over a folder for the life of the object; unmounted even when the test fails.
class Tmpfs
{
public:
    Tmpfs(const std::filesystem::path& at, const std::string& options) : at_(at)
    {
        std::filesystem::create_directories(at_);
        if (::geteuid() != 0) {
            why_ = "mounting a tmpfs needs root";
            return;
        }
        // A mount namespace of this process's own: whatever ends the process, even a crash
        // before the destructor runs, takes the mounts with it.
        static const bool isolated =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        (void)isolated;
        if (::mount("zelvo-fault", at_.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            why_ = std::string("mount tmpfs: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~Tmpfs()
    {
        if (mounted_ && ::umount(at_.c_str()) != 0)
            ::umount2(at_.c_str(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }

private:
    std::filesystem::path at_;
    bool mounted_ = false;
    std::string why_;
};

// Another process that holds an exclusive flock on a file until this object ends.
class LockingProcess
{
public:
    explicit LockingProcess(const PathString& path)
    {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            // The child uses async-signal-safe calls only: the parent may have threads.
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(path.c_str(), O_RDONLY);
            const char ok = (fd >= 0 && ::flock(fd, LOCK_EX) == 0) ? 'L' : 'E';
            (void)!::write(ready[1], &ok, 1);
            char ignored;
            (void)!::read(release[0], &ignored, 1); // returns when the parent closes its end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char answer = 0;
        locked_ = pid_ > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'L';
        ::close(ready[0]);
    }
    ~LockingProcess()
    {
        if (release_ >= 0)
            ::close(release_);
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    LockingProcess(const LockingProcess&) = delete;
    LockingProcess& operator=(const LockingProcess&) = delete;

    bool locked() const { return locked_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

// Lowers the soft limit of open descriptors so that exactly `spare` more can be opened.
class DescriptorLimit
{
public:
    explicit DescriptorLimit(int spare)
    {
        ::getrlimit(RLIMIT_NOFILE, &previous_);
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        rlimit next = previous_;
        next.rlim_cur = rlim_t(lowestFree + spare);
        ::setrlimit(RLIMIT_NOFILE, &next);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &previous_); }

private:
    rlimit previous_{};
};

class Fault : public testing::Test
{
protected:
    void SetUp() override
    {
        source = src / "report.doc";
        data = RandomBytes(4 * MB, 21);
        WriteFile(source, data);
        dest = out.path() / "chips";
        std::filesystem::create_directory(dest);
        base = BasePath(dest.native(), source);
    }
    void TearDown() override
    {
        ClearReadError();
        ComminuteJob.runState = kRunIdle;
        MergeJob.runState = kRunIdle;
        EXPECT_EQ(ReadFile(source), data) << "the source must never change";
    }

    void Split(RunLog& run, uint32_t sizeMB, uint32_t chipCount, const PathString& folder)
    {
        RunSplit(source, folder, sizeMB * 16, chipCount, run.poster());
        EXPECT_EQ(ComminuteJob.runState.load(), kRunIdle);
    }
    void Split(RunLog& run) { Split(run, 1, 4, dest.native()); }

    // Chips 1 … 4 of 1 MB each, written directly from `data`.
    std::vector<Bytes> MakeChips()
    {
        std::vector<Bytes> chips;
        for (std::size_t k = 0; k < 4; ++k) {
            chips.push_back(Slice(data, k * MB, (k + 1) * MB));
            WriteFile(ChipName(base, int64_t(k + 1)), chips.back());
        }
        WriteFile(HeaderChipName(base), {4, 0, 0, 0});
        return chips;
    }
    void Merge(RunLog& run, const PathString& to)
    {
        RunMerge(base, 4, to, run.poster());
        EXPECT_EQ(MergeJob.runState.load(), kRunIdle);
    }
    void ExpectChipsUnchanged(const std::vector<Bytes>& chips)
    {
        for (std::size_t k = 0; k < chips.size(); ++k)
            EXPECT_EQ(ReadFile(ChipName(base, int64_t(k + 1))), chips[k]) << "chip " << k + 1 << " changed";
        EXPECT_EQ(ReadFile(HeaderChipName(base)), (Bytes{4, 0, 0, 0}));
    }
    // The chips on disk hold the source's bytes in order, and every reported block reached them.
    void ExpectChipsArePrefixes(const PathString& chipBase, const RunLog& run)
    {
        std::size_t total = 0;
        for (int64_t k = 1; Exists(ChipName(chipBase, k)); ++k) {
            const Bytes chip = ReadFile(ChipName(chipBase, k));
            EXPECT_TRUE(IsPrefix(chip, Slice(data, total, data.size()))) << "chip " << k;
            total += chip.size();
        }
        EXPECT_LE(run.progress.size() * kCopyBlock, total) << "a block was counted that is not on disk";
    }

    TempDir src, out;
    Bytes data;
    PathString source, base;
    std::filesystem::path dest;
};

TEST_F(Fault, DestinationFillsUpMidSplit)
{
    Tmpfs full(dest, "size=2500k");
    if (!full.mounted())
        GTEST_SKIP() << full.why() << " (the RLIMIT_FSIZE variant runs in engine_tests)";
    RunLog run;
    Split(run);
    EXPECT_EQ(run.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(ComminuteJob.failedError, FileError::DiskFull);
    EXPECT_EQ(ComminuteJob.failedPath, ChipName(base, 3));
    EXPECT_FALSE(Exists(HeaderChipName(base)));
    EXPECT_FALSE(Exists(ChipName(base, 4)));
    ExpectChipsArePrefixes(base, run);
}

TEST_F(Fault, DestinationFillsUpJustBeforeTheHeaderChip)
{
    // Both chips fill the tmpfs to its last page: the 4-byte header chip no longer fits.
    Tmpfs full(dest, "size=4m");
    if (!full.mounted())
        GTEST_SKIP() << full.why();
    RunLog run;
    Split(run, 2, 2, dest.native());
    EXPECT_EQ(run.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(run.progress.size(), 64u);
    EXPECT_EQ(ComminuteJob.failedPath, HeaderChipName(base));
    EXPECT_EQ(ComminuteJob.failedError, FileError::DiskFull);
    EXPECT_FALSE(Exists(HeaderChipName(base))) << "a torn header chip is removed";
    EXPECT_EQ(ReadFile(ChipName(base, 1)), Slice(data, 0, 2 * MB));
}

TEST_F(Fault, DestinationFillsUpMidMerge)
{
    const std::vector<Bytes> chips = MakeChips();
    const std::filesystem::path target = out.path() / "joined";
    Tmpfs full(target, "size=2500k");
    if (!full.mounted())
        GTEST_SKIP() << full.why() << " (the RLIMIT_FSIZE variant runs in engine_tests)";
    RunLog run;
    Merge(run, (target / "report.doc").native());
    EXPECT_EQ(run.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(MergeJob.failedError, FileError::DiskFull);
    EXPECT_EQ(MergeJob.failedPath, (target / "report.doc").native());
    EXPECT_EQ(FileCount(target), 0u) << "the unfinished join is removed, nothing is left under any name";
    ExpectChipsUnchanged(chips);
}

TEST_F(Fault, ReadOnlyDestinationFolder)
{
    const std::vector<Bytes> chips = MakeChips();
    const std::filesystem::path readOnly = out.path() / "read-only";
    // Root ignores permission bits, so as root the folder is a read-only mount.
    Tmpfs mount(readOnly, "size=1m");
    if (mount.mounted())
        ASSERT_EQ(::mount(nullptr, readOnly.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    else
        std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);

    RunLog split;
    Split(split, 1, 4, readOnly.native());
    EXPECT_EQ(split.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(ComminuteJob.failedPath, ChipName(BasePath(readOnly.native(), source), 1));
    EXPECT_EQ(ComminuteJob.failedError, FileError::AccessDenied);
    EXPECT_TRUE(split.progress.empty());

    RunLog merge;
    Merge(merge, (readOnly / "report.doc").native());
    EXPECT_EQ(merge.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(MergeJob.failedError, FileError::AccessDenied);
    EXPECT_TRUE(merge.progress.empty());
    EXPECT_EQ(FileCount(readOnly), 0u);
    ExpectChipsUnchanged(chips);
    if (!mount.mounted())
        std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);
}

TEST_F(Fault, DestinationFolderRemovedWhileTheRunGoes)
{
    struct Row
    {
        const char* name;
        uint64_t atBlock;
    };
    // Block 20 falls inside chip 2; block 64 is the very last one, after which only the header
    // chip (split) or nothing at all (merge) remains to be done.
    for (const Row row : {Row{"inside chip 2", 20}, Row{"at the last block", 64}}) {
        SCOPED_TRACE(row.name);
        std::filesystem::create_directory(dest);
        RunLog split;
        split.onProgress = [&](uint64_t block) {
            if (block == row.atBlock)
                std::filesystem::remove_all(dest);
        };
        Split(split);
        EXPECT_EQ(split.outcome(), kOutcomeIoFailed);
        EXPECT_EQ(ComminuteJob.failedError, FileError::NotFound);
        EXPECT_FALSE(Exists(HeaderChipName(base)));

        std::filesystem::create_directory(dest);
        const std::vector<Bytes> chips = MakeChips();
        const std::filesystem::path joined = out.path() / "joined";
        std::filesystem::create_directory(joined);
        RunLog merge;
        merge.onProgress = [&](uint64_t block) {
            if (block == row.atBlock)
                std::filesystem::remove_all(joined);
        };
        Merge(merge, (joined / "report.doc").native());
        EXPECT_EQ(merge.outcome(), kOutcomeIoFailed) << "a join whose file is gone is not finished";
        EXPECT_EQ(MergeJob.failedPath, (joined / "report.doc").native());
        ExpectChipsUnchanged(chips);
    }
}

TEST_F(Fault, ChipChangedAfterTheDialogsChecks)
{
    struct Row
    {
        const char* name;
        std::function<void(const PathString&)> change;
        uint64_t outcome;
    };
    const Bytes longer = RandomBytes(MB + 70000, 5);
    const Row rows[] = {
        {"chip 2 removed", [](const PathString& chip) { std::filesystem::remove(chip); }, kOutcomeOpenFailed},
        {"chip 2 truncated", [](const PathString& chip) { std::filesystem::resize_file(chip, 1000); },
         kOutcomeIoFailed},
        {"chip 2 lengthened", [&](const PathString& chip) { WriteFile(chip, longer); }, kOutcomeIoFailed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MakeChips();
        RunLog run;
        run.onProgress = [&](uint64_t block) {
            if (block == 1)
                row.change(ChipName(base, 2)); // while chip 1 is being read
        };
        const PathString joined = out / "joined.doc";
        WriteFile(joined, Bytes(100, 7));
        Merge(run, joined);
        EXPECT_EQ(run.outcome(), row.outcome);
        EXPECT_EQ(MergeJob.failedPath, ChipName(base, 2));
        EXPECT_EQ(MergeJob.failure, row.outcome == kOutcomeOpenFailed ? RunFailure::File : RunFailure::ChipChanged);
        EXPECT_EQ(ReadFile(joined), Bytes(100, 7)) << "a file already there is replaced only by a whole join";
        EXPECT_EQ(FileCount(out.path()), 2u) << "no temporary is left beside it";
        for (std::size_t i = 0; i < run.progress.size(); ++i)
            ASSERT_EQ(run.progress[i], i + 1) << "progress without gaps or repeats";
    }
}

TEST_F(Fault, FilesLockedByAnotherProcess)
{
    {
        LockingProcess other(source);
        ASSERT_TRUE(other.locked());
        RunLog run;
        Split(run);
        EXPECT_EQ(run.outcome(), kOutcomeOpenFailed);
        EXPECT_EQ(ComminuteJob.failedError, FileError::Sharing);
        EXPECT_EQ(FileCount(dest), 0u);
        int64_t length = 0;
        EXPECT_EQ(QueryLength(source, &length), FileError::Sharing);
    }
    const std::vector<Bytes> chips = MakeChips();
    {
        LockingProcess other(ChipName(base, 2));
        ASSERT_TRUE(other.locked());
        RunLog run;
        const PathString joined = out / "joined.doc";
        Merge(run, joined);
        EXPECT_EQ(run.outcome(), kOutcomeOpenFailed);
        EXPECT_EQ(MergeJob.failedPath, ChipName(base, 2));
        EXPECT_EQ(MergeJob.failedError, FileError::Sharing);
        EXPECT_FALSE(Exists(joined));
    }
    {
        // A split over an older set whose chip 3 another program holds: that chip is not cut.
        LockingProcess other(ChipName(base, 3));
        ASSERT_TRUE(other.locked());
        RunLog run;
        Split(run);
        EXPECT_EQ(run.outcome(), kOutcomeIoFailed);
        EXPECT_EQ(ComminuteJob.failedPath, ChipName(base, 3));
        EXPECT_EQ(ComminuteJob.failedError, FileError::Sharing);
        EXPECT_EQ(ReadFile(ChipName(base, 3)), chips[2]);
    }
    {
        // The older header chip is held: the run fails, and the held file is neither cut nor
        // removed.
        WriteFile(HeaderChipName(base), {9, 0, 0, 0});
        LockingProcess other(HeaderChipName(base));
        ASSERT_TRUE(other.locked());
        int32_t count = 0;
        int64_t read = 0;
        EXPECT_EQ(ReadHeaderCount(HeaderChipName(base), &count, &read), FileError::Sharing);
        RunLog run;
        Split(run);
        EXPECT_EQ(run.outcome(), kOutcomeIoFailed);
        EXPECT_EQ(ComminuteJob.failedPath, HeaderChipName(base));
        EXPECT_EQ(ComminuteJob.failedError, FileError::Sharing);
        EXPECT_EQ(ReadFile(HeaderChipName(base)), (Bytes{9, 0, 0, 0}));
    }
}

TEST_F(Fault, ReadErrorInsideAFile)
{
    const std::vector<Bytes> chips = MakeChips();
    ASSERT_TRUE(InjectReadError(ChipName(base, 2), 100000));
    RunLog merge;
    const PathString joined = out / "joined.doc";
    Merge(merge, joined);
    EXPECT_EQ(merge.outcome(), kOutcomeIoFailed) << "not a short file reported as finished";
    EXPECT_EQ(MergeJob.failedPath, ChipName(base, 2));
    EXPECT_EQ(MergeJob.failedError, FileError::HardIO);
    EXPECT_FALSE(Exists(joined));
    EXPECT_EQ(merge.progress.size(), 17u) << "chip 1 and the first whole block of chip 2";
    ClearReadError();
    ExpectChipsUnchanged(chips);

    std::filesystem::remove_all(dest);
    std::filesystem::create_directory(dest);
    ASSERT_TRUE(InjectReadError(source, 3 * MB / 2));
    RunLog split;
    Split(split);
    EXPECT_EQ(split.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(ComminuteJob.failedPath, source);
    EXPECT_EQ(ComminuteJob.failedError, FileError::HardIO);
    EXPECT_EQ(split.progress.size(), 24u);
    EXPECT_FALSE(Exists(ChipName(base, 3)));
    EXPECT_FALSE(Exists(HeaderChipName(base)));
    ClearReadError();
    ExpectChipsArePrefixes(base, split);
}

TEST_F(Fault, SourcesAndHeaderChipsThatAreNotFiles)
{
    const PathString fifo = src / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const PathString folder = src / "folder";
    std::filesystem::create_directory(folder);
    for (const PathString& notAFile : {folder, fifo, PathString("/dev/zero")}) {
        SCOPED_TRACE(notAFile);
        int64_t length = -1;
        EXPECT_EQ(QueryLength(notAFile, &length), FileError::AccessDenied);
        ComminuteJob.sourcePath = notAFile;
        ComminuteJob.destFolder = dest.native();
        ComminuteJob.blocksPerChip = 16;
        ComminuteJob.chipCount = 2;
        RunLog run;
        ComminuteWorker(run.poster());
        EXPECT_EQ(run.outcome(), kOutcomeOpenFailed);
        EXPECT_EQ(ComminuteJob.failedError, FileError::AccessDenied);
        EXPECT_EQ(FileCount(dest), 0u);
    }

    // A folder where the header chip would go: the split fails and leaves the folder alone.
    std::filesystem::create_directory(HeaderChipName(base));
    int32_t count = 0;
    int64_t read = 0;
    EXPECT_EQ(ReadHeaderCount(HeaderChipName(base), &count, &read), FileError::AccessDenied);
    RunLog split;
    Split(split);
    EXPECT_EQ(split.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(ComminuteJob.failedPath, HeaderChipName(base));
    EXPECT_TRUE(std::filesystem::is_directory(HeaderChipName(base)));
    EXPECT_EQ(FileCount(dest), 1u) << "no chip is written over before the header chip's name is known to be free";

    // A folder in place of chip 3 counts as a chip that cannot be opened.
    std::filesystem::remove(HeaderChipName(base));
    MakeChips();
    std::filesystem::remove(ChipName(base, 3));
    std::filesystem::create_directory(ChipName(base, 3));
    RunLog merge;
    const PathString joined = out / "joined.doc";
    Merge(merge, joined);
    EXPECT_EQ(merge.outcome(), kOutcomeOpenFailed);
    EXPECT_EQ(MergeJob.failedPath, ChipName(base, 3));
    EXPECT_FALSE(Exists(joined));
}

TEST_F(Fault, TooFewFileDescriptors)
{
    // Inside the limited scopes only the worker runs: the sanitizer runtimes need descriptors of
    // their own for their checks (a pipe to probe memory), which the limit would refuse them.
    ComminuteJob.sourcePath = source;
    ComminuteJob.destFolder = dest.native();
    ComminuteJob.blocksPerChip = 16;
    ComminuteJob.chipCount = 4;
    RunLog split;
    {
        DescriptorLimit limit(1); // the source opens, chip 1 does not
        ComminuteWorker(split.poster());
    }
    EXPECT_EQ(split.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(ComminuteJob.failedPath, ChipName(base, 1));
    EXPECT_EQ(ComminuteJob.failedError, FileError::TooManyOpen);
    EXPECT_TRUE(split.progress.empty());
    EXPECT_EQ(FileCount(dest), 0u);

    const std::vector<Bytes> chips = MakeChips();
    const PathString joined = out / "joined.doc";
    MergeJob.destPath = joined;
    MergeJob.chipBasePath = base;
    MergeJob.chipTotal = 4;
    RunLog merge;
    {
        DescriptorLimit limit(1); // the destination opens, chip 1 does not
        MergeWorker(merge.poster());
    }
    EXPECT_EQ(merge.outcome(), kOutcomeOpenFailed);
    EXPECT_EQ(MergeJob.failedPath, ChipName(base, 1));
    EXPECT_EQ(MergeJob.failedError, FileError::TooManyOpen);
    EXPECT_FALSE(Exists(joined));
    ExpectChipsUnchanged(chips);
}

} // namespace
