// The engine on POSIX: the chip set's arithmetic and names, the header chip's count, runs that go as
// planned (joined back, cancelled, started on threads, made durable in order), and runs that meet
// what they cannot get past (files held, changed or unreadable, a full or read-only disk, folders
// that go away, hostile names, a kill at any moment, a damaged set).
//
// For a read error at a chosen place, and for a file system without RENAME_NOREPLACE and hard links
// (FAT through FUSE, a network share), this program defines read(), copy_file_range(), renameat2()
// and link() itself, so the engine's calls land here before the C library's (as an LD_PRELOAD shim
// would, without the loader ordering that sanitizer runtimes dislike); as root, it mounts file
// systems in a mount namespace of its own.
#include "Plan.h"
#include "RunMessages.h"
#include "TestFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zelvo;
using namespace zelvo::test;

namespace {

struct stat g_unreadable;           // the file that has a bad spot, by device and inode
std::atomic<int64_t> g_badSpot{-1}; // its offset; -1: no file has one

// Reads of the file now at `path` fail with EIO from `offset` on while this lives.
struct ReadErrorAt
{
    ReadErrorAt(const PathString& path, int64_t offset)
    {
        ::stat(path.c_str(), &g_unreadable);
        g_badSpot = offset;
    }
    ~ReadErrorAt() { g_badSpot = -1; }
};

// Cuts a read of that file short of the bad spot; false, with errno EIO, for one that starts there.
bool ReadAllowed(int fd, int64_t pos, size_t* size)
{
    const int64_t badSpot = g_badSpot;
    struct stat info;
    if (badSpot < 0 || ::fstat(fd, &info) != 0 || info.st_dev != g_unreadable.st_dev ||
        info.st_ino != g_unreadable.st_ino)
        return true;
    if (pos >= badSpot) {
        errno = EIO;
        return false;
    }
    *size = std::min<size_t>(*size, size_t(badSpot - pos));
    return true;
}

std::atomic<bool> g_noLinks{false}; // renameat2 knows no flags, link() is refused

} // namespace

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) noexcept
{
    return g_noLinks && flags ? (errno = EINVAL, -1)
                              : int(::syscall(SYS_renameat2, fromFolder, from, toFolder, to, flags));
}

extern "C" int link(const char* from, const char* to) noexcept
{
    return g_noLinks ? (errno = EPERM, -1) : int(::syscall(SYS_linkat, AT_FDCWD, from, AT_FDCWD, to, 0));
}

extern "C" ssize_t read(int fd, void* buffer, size_t size)
{
    return ReadAllowed(fd, ::lseek(fd, 0, SEEK_CUR), &size) ? ::syscall(SYS_read, fd, buffer, size) : -1;
}

extern "C" ssize_t copy_file_range(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t size,
                                   unsigned int flags)
{
    const int64_t pos = inOffset ? *inOffset : ::lseek(in, 0, SEEK_CUR);
    return ReadAllowed(in, pos, &size) ? ::syscall(SYS_copy_file_range, in, inOffset, out, outOffset, size, flags) : -1;
}

namespace {

// The sizes a plan lets through (the dialogs' tests take those it refuses): blocks and chips round
// up, 100 chips and the largest chip size pass, and lengths are counted in 64 bits. The names of a
// set that the dialogs' tests do not show, and the count of a header chip longer than 4 bytes.
TEST(ChipSet, SizesNamesAndTheHeaderCount)
{
    const int64_t M = kMegabyte;
    using Row = std::tuple<int64_t, int64_t, uint32_t, uint32_t>; // length, chip size in MB, chips, blocks
    for (const auto& [length, sizeEntry, chips, blocks] :
         {Row{3 * M + 1, 3, 2, 49}, Row{300 * M, 3, 100, 4800}, Row{8190 * M, 4095, 2, 131040},
          Row{5120 * M + 1, 1024, 6, 81921}}) {
        ChipSetSizing sizing;
        EXPECT_EQ(SizeChipSet(length, sizeEntry, &sizing), SizingStatus::Ok);
        EXPECT_EQ(std::tie(sizing.chipCount, sizing.totalBlocks), std::tie(chips, blocks)) << length << " bytes";
    }
    const std::pair<PathString, PathString> rows[] = {{ChipName("/p/r.doc", 1), "/p/r.doc.D01"},
                                                      {ChipName("/p/r.doc", 100), "/p/r.doc.D100"},
                                                      {BasePath("/o", "/w/a:b.txt"), "/o/a:b.txt"},
                                                      {CountFilePath("/p/r.doc.dav"), "/p/r.doc.dAV"},
                                                      {SourceNameOfHeader("/p/.DAV"), ""}};
    for (const auto& [name, expected] : rows)
        EXPECT_EQ(name, expected);

    const PathString header = (NewFolder() / "r.doc.DAV").native();
    WriteFile(header, {5, 1, 0, 0, 9});
    int32_t count = 0;
    int64_t read = 0;
    EXPECT_EQ(ReadHeaderCount(header, &count, &read), FileError::None);
    EXPECT_EQ(std::make_pair(count, read), std::make_pair(261, int64_t(4))) << "the first four bytes, little-endian";
}

// A file too large for a FAT32 drive: its limit, 4 GiB - 1, plus the byte that no file reaches.
TEST(RunMessages, SayWhatTheDestinationLacks)
{
    EXPECT_EQ(RefusalText({.what = Refusal::FileTooLarge,
                           .path = "d/x.iso",
                           .available = (int64_t(4) << 30) - 1,
                           .fileSystem = "FAT32"}),
              "d/x.iso is on a FAT32 drive, which holds no file of 4 GB or more.");
}

// Writes a file in place and puts its modification time back, again until its change time has
// moved from `changed` (at the clock's next tick).
void RewriteKeepingTime(const PathString& path, const Bytes& bytes, int64_t changed)
{
    const auto modified = std::filesystem::last_write_time(path);
    struct stat now;
    do {
        WriteFile(path, bytes);
        std::filesystem::last_write_time(path, modified);
        ::stat(path.c_str(), &now);
    } while (now.st_ctim.tv_sec * 1000000000 + now.st_ctim.tv_nsec == changed);
}

// A file's bytes; nothing for what is not a regular file (a FIFO would wait for a writer).
Bytes Contents(const PathString& path)
{
    return KindOf(path) == NodeKind::Regular ? ReadFile(path) : Bytes();
}

// A run meeting what it cannot get past, or what a plan would have refused, and what it comes to.
struct FaultRow
{
    const char* name;
    bool merge;
    std::function<void()> arrange;
    uint64_t outcome;
    RunFailure failure;
    const char* failed; // the file the run names, in the test's folder
    FileError error;
    uint64_t blocks, files = 0;    // files: what the set's folder holds after a split
    uint64_t at = 0;               // arranged as this block is reported (0: before the run)
    bool replace = true;           // the user agreed to replace what is there
    const char* refused = nullptr; // when given, what a plan made now refuses ("": nothing, but it asks)
    Refusal refusal = Refusal::None;
};

// A source of 4 MB less 1,000 bytes in report.doc, a folder set/ for its chips and joined/ for the join.
class Runs : public testing::Test
{
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    // Empty output folders, the source as it was, and a file elsewhere that links may point to.
    void Reset()
    {
        ::umount2(out.c_str(), MNT_DETACH); // a tmpfs of the last row, if there is one
        for (const std::filesystem::path& folder : {out, joined}) {
            std::filesystem::remove_all(folder);
            std::filesystem::create_directory(folder);
        }
        std::filesystem::remove(source);
        WriteFile(source, data);
        WriteFile(victim, precious);
        // The locks in a folder of this test's own (its TMPDIR), as they were made.
        ::setenv("TMPDIR", dir.c_str(), 1);
        std::filesystem::remove_all(dir / locks);
    }
    // Runs the worker of the job loaded last, here.
    static Recorder Run(bool merge, std::function<void(uint64_t)> onProgress = {})
    {
        Recorder rec;
        rec.onProgress = std::move(onProgress);
        merge ? MergeWorker(rec.poster()) : ComminuteWorker(rec.poster());
        return rec;
    }
    // A tmpfs over the set's folder until the next Reset, in a mount namespace of the process's own
    // so that whatever ends the process takes the mount with it.
    void Mount(const char* options)
    {
        static const bool isolated =
            ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        EXPECT_TRUE(isolated && ::mount("zelvo-fault", out.c_str(), "tmpfs", 0, options) == 0) << std::strerror(errno);
    }
    void Hold(const PathString& path) { held = std::make_shared<File>(File::OpenRead(path, nullptr)); }
    // What the plans see of the destination until the run ends: the bytes free, or the largest file
    // of a FAT32 drive.
    std::function<void()> Drive(int64_t freeBytes, int64_t largest = -1)
    {
        return [=, this] {
            SetVolumeHook([=](const PathString&, VolumeInfo* info) {
                *info = largest < 0 ? VolumeInfo{freeBytes, -1, ""} : VolumeInfo{info->freeBytes, largest, "FAT32"};
            });
            held = std::shared_ptr<void>(nullptr, [](void*) { SetVolumeHook({}); });
        };
    }
    PathString In(const char* name) const { return *name ? (dir / name).native() : PathString(); }

    // Each run ends with its outcome, the file it names and why, and counts only blocks that reached
    // the disk. It leaves a file it failed on as it was, writes nothing through a link, writes no
    // header chip for a set it did not finish and changes nothing of a set it joins, nor of the
    // file it was to replace unless it finished.
    void Check(const std::vector<FaultRow>& rows)
    {
        for (const FaultRow& row : rows) {
            SCOPED_TRACE(row.name);
            Reset();
            if (row.merge) {
                MakeSet(base, data, MB);
                WriteFile(dest, old);
                LoadMergeJob(PlanMerge(header, joined.native()), row.replace);
            } else {
                LoadComminuteJob(PlanSplit(source, 1, out.native()), row.replace, false);
            }
            if (row.at == 0)
                row.arrange();
            if (row.refused) {
                const SplitPlan split = PlanSplit(source, 1, out.native());
                const MergePlan merge = PlanMerge(header, joined.native());
                const PlanRefusal& refusal = row.merge ? merge.refusal : split.refusal;
                EXPECT_EQ(std::tie(refusal.what, refusal.path), std::make_tuple(row.refusal, In(row.refused)));
                EXPECT_TRUE(*row.refused || (row.merge ? merge.replacesFile : split.replacesFiles)) << "it asks";
            }
            const Bytes failedBefore = Contents(In(row.failed));
            const Bytes chip2 = Contents(ChipName(base, 2));
            const Recorder rec = Run(row.merge, [&](uint64_t block) {
                if (block == row.at)
                    row.arrange();
            });
            held.reset();

            const auto ending = [&](const auto& job) {
                return std::make_tuple(rec.outcome(), rec.blocks, job.failure, job.failedPath, job.failedError,
                                       job.runState.load());
            };
            EXPECT_EQ(row.merge ? ending(MergeJob) : ending(ComminuteJob),
                      std::make_tuple(row.outcome, row.blocks, row.failure, In(row.failed), row.error, kRunIdle));
            EXPECT_TRUE(failedBefore.empty() || !std::filesystem::exists(In(row.failed)) ||
                        Contents(In(row.failed)) == failedBefore || row.failure == RunFailure::SourceChanged)
                << "the file that failed is left as it was (a source that changed is what the run found)";
            EXPECT_EQ(ReadFile(victim), precious) << "nothing is written through a link";
            for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
                struct stat info;
                EXPECT_FALSE(entry.path().filename().string().starts_with("zelvo-set-") &&
                             ::lstat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                             info.st_uid == ::geteuid())
                    << entry.path() << ": a set lock outlived its run";
            }
            if (row.merge) {
                EXPECT_EQ(Contents(ChipName(base, 2)), chip2) << "a join changes nothing of its set";
                EXPECT_TRUE(
                    !std::filesystem::exists(joined) ||
                    (FileCount(joined) == 1 && Contents(dest) == (row.outcome == kOutcomeFinished ? data : old)))
                    << "the output folder holds the file that was there, or the whole join";
            } else if (std::filesystem::exists(out)) {
                EXPECT_EQ(FileCount(out), row.files);
            }
        }
    }

    const std::filesystem::path dir = NewFolder(), out = dir / "set", joined = dir / "joined";
    const PathString source = (dir / "report.doc").native(), base = (out / "report.doc").native();
    const PathString header = HeaderChipName(base), dest = (joined / "report.doc").native();
    const PathString victim = (dir / "elsewhere.bin").native();
    const std::string locks = "zelvo-" + std::to_string(::geteuid()); // the folder of the user's locks
    const Bytes data = RandomBytes(4 * MB - 1000, 21), old = RandomBytes(100, 7), precious = RandomBytes(1000, 32);
    std::shared_ptr<void> held; // what an arrangement keeps until the run ends
};

TEST_F(Runs, SplitThenMergeGivesTheSourceBack)
{
    using Row = std::tuple<const char*, std::size_t, int64_t, std::string, uint64_t, uint64_t>;
    // what; source length; chip size in MB; source name; chips; copy blocks
    for (const auto& [what, length, sizeMB, name, chips, blocks] :
         {Row{"last chip of one byte", MB + 1, 1, "report.doc", 2, 17},
          Row{"last chip whole; spaces, CJK and dots", 3 * MB, 1, "報告 データ v1.2.tar.gz", 3, 48},
          Row{"chips of 2 MB, the last a block and a byte", 2 * MB + 65537, 2, "report.doc", 2, 34},
          Row{"a name with a backslash, ending in CR", MB + 1, 1, "re\\port\r", 2, 17},
          Row{"100 chips, the last .D100", 100 * MB, 1, "report.doc", 100, 1600}}) {
        SCOPED_TRACE(what);
        Reset();
        const Bytes bytes = RandomBytes(length, 11);
        WriteFile((dir / name).native(), bytes);
        LoadComminuteJob(PlanSplit((dir / name).native(), sizeMB, out.native()), false);
        const Recorder split = Run(false);
        EXPECT_EQ(std::make_tuple(split.outcome(), split.blocks, FileCount(out)),
                  std::make_tuple(kOutcomeFinished, blocks, chips + 2))
            << "the chips, the checksum file, the header chip: nothing else";
        const MergePlan join = PlanMerge((out / (name + ".DAV")).native(), joined.native());
        EXPECT_EQ(std::make_tuple(join.refusal.what, join.ProgressRange()), std::make_tuple(Refusal::None, blocks));
        LoadMergeJob(join, false);
        const Recorder merge = Run(true);
        EXPECT_EQ(std::make_tuple(merge.outcome(), merge.blocks, FileCount(joined)),
                  std::make_tuple(kOutcomeFinished, blocks, std::size_t(1)));
        EXPECT_TRUE(ReadFile((joined / name).native()) == bytes);
    }
}

// A cancel takes effect at the next block: the split keeps the chips begun and writes no header
// chip, the join leaves nothing; either reports no block after it.
TEST_F(Runs, CancelStopsAtTheNextBlock)
{
    const auto cancel = [](bool merge) {
        return [merge] { (merge ? MergeJob.runState : ComminuteJob.runState) = kRunCancel; };
    };
    using enum FileError;
    using enum RunFailure;
    const uint64_t Cancelled = kOutcomeCancelled;
    Check({{"split before the first step", false, cancel(false), Cancelled, File, "", None, 0, 0},
           {"split at the first block", false, cancel(false), Cancelled, File, "", None, 1, 1, 1},
           {"split inside chip 3", false, cancel(false), Cancelled, File, "", None, 37, 3, 37},
           {"split at the last block", false, cancel(false), Cancelled, File, "", None, 64, 4, 64},
           {"merge before the first step", true, cancel(true), Cancelled, File, "", None, 0},
           {"merge at the first block", true, cancel(true), Cancelled, File, "", None, 1, 0, 1},
           {"merge inside chip 3", true, cancel(true), Cancelled, File, "", None, 35, 0, 35},
           {"merge at the last block", true, cancel(true), Cancelled, File, "", None, 64, 0, 64}});
}

// Started workers (the Merge dialog's tests start joins): one of a kind at a time; a cancel
// confirmed while one runs stops it, and one left over from an earlier run does not stop the next;
// once its outcome is out, the next may start.
TEST_F(Runs, StartedWorkersRunAlone)
{
    LoadComminuteJob(PlanSplit(source, 1, out.native()), true);
    for (const auto& [cancelledEarlier, outcome] : {std::pair{false, kOutcomeCancelled}, {true, kOutcomeFinished}}) {
        ComminuteJob.runState = cancelledEarlier ? kRunCancel : kRunIdle;
        std::promise<void> release;
        std::promise<uint64_t> done;
        ASSERT_TRUE(StartComminuteWorker([&](uint32_t message, uint64_t wParam) {
            if (message == WM_COMMINUTE_PROGRESS && wParam == 1)
                release.get_future().wait();  // held at its first block
            if (message == WM_COMMINUTE_DONE) // by then the next run may start
                done.set_value(ComminuteWorkerBusy() ? 99 : wParam);
        }));
        EXPECT_TRUE(ComminuteWorkerBusy());
        EXPECT_FALSE(StartComminuteWorker([](uint32_t, uint64_t) {}));
        if (!cancelledEarlier)
            ComminuteJob.runState = kRunCancel;
        release.set_value();
        EXPECT_EQ(done.get_future().get(), outcome);
    }
}

TEST_F(Runs, EverythingIsOnTheDiskBeforeItIsNamed)
{
    std::vector<std::string> steps;
    SetDurableStepHook([&](DurableStep step, const PathString& path) {
        static const char* const kSteps[] = {"sync", "rename to ", "sync folder ", "remove "};
        steps.push_back(kSteps[int(step)] + std::filesystem::path(path).filename().string());
    });
    MakeSet(base, RandomBytes(4 * MB, 4), MB);
    LoadComminuteJob(PlanSplit(source, 1, out.native()), true);
    EXPECT_EQ(Run(false).outcome(), kOutcomeFinished);
    EXPECT_EQ(steps, (std::vector<std::string>{"remove report.doc.DAV", "sync folder set", "sync", "sync", "sync",
                                               "sync", "sync", "rename to report.doc.sha256", "sync folder set", "sync",
                                               "rename to report.doc.DAV", "sync folder set"}))
        << "the older header chip goes first; each file is on the disk before it is named, the header chip last";

    steps.clear();
    LoadMergeJob(PlanMerge(header, joined.native()), false);
    EXPECT_EQ(Run(true).outcome(), kOutcomeFinished);
    EXPECT_EQ(steps, (std::vector<std::string>{"sync", "rename to report.doc", "sync folder joined"}));
    SetDurableStepHook({});
}

TEST_F(Runs, EndWithTheFileThatFailedAndWhy)
{
    using enum FileError;
    using enum RunFailure;
    const uint64_t Open = kOutcomeOpenFailed, Io = kOutcomeIoFailed;
    const auto olderSetHeldAt = [&](const PathString& path) {
        MakeSet(base, data, MB);
        Hold(path);
    };
    const int64_t setBytes = 4 * MB - 1000 + 4 + 4 * 81 + 77; // the source, the header chip, the checksums
    const uint64_t Finished = kOutcomeFinished;
    std::vector<FaultRow> rows = {
        {"split: the source held", false, [&] { Hold(source); }, Open, File, "report.doc", Sharing, 0},
        {"split: the source a FIFO", false,
         [&] {
             std::filesystem::remove(source);
             ::mkfifo(source.c_str(), 0600);
         },
         Open, File, "report.doc", AccessDenied, 0},
        {"split: the source shrunk into chip 2", false,
         [&] { WriteFile(source, Bytes(data.begin(), data.begin() + 3 * MB / 2)); }, Io, SourceChanged, "report.doc",
         None, 24, 2},
        {"split: the source a byte shorter", false, [&] { WriteFile(source, Bytes(data.begin(), data.end() - 1)); }, Io,
         SourceChanged, "report.doc", None, 64, 4},
        {"split: the source rewritten in place, its time restored", false,
         [&] { RewriteKeepingTime(source, RandomBytes(data.size(), 5), ComminuteJob.sourceStamp.changed); }, Io,
         SourceChanged, "report.doc", None, 64, 4, 20},
        {"split: a read error in the source", false, [&] { held = std::make_shared<ReadErrorAt>(source, 3 * MB / 2); },
         Io, File, "report.doc", HardIO, 24, 2, 1},
        {"split: a read error just past the source's end", false,
         [&] { held = std::make_shared<ReadErrorAt>(source, data.size()); }, Io, File, "report.doc", HardIO, 64, 4, 64},
        {"split: files limited to half a chip", false, [&] { held = std::make_shared<FileSizeLimit>(MB / 2 + 100); },
         Io, File, "set/report.doc.D01", TooLarge, 8, 1},
        {"split: the set's folder removed", false, [&] { std::filesystem::remove_all(out); }, Io, File,
         "set/report.doc.D01", NotFound, 16, 0, 1},
        {"split: chip 3 of an older set held", false, [&] { olderSetHeldAt(ChipName(base, 3)); }, Io, File,
         "set/report.doc.D03", Sharing, 32, 4},
        {"split: the header chip of an older set held", false, [&] { olderSetHeldAt(header); }, Io, File,
         "set/report.doc.DAV", Sharing, 0, 5},
        {"merge: chip 2 gone", true, [&] { std::filesystem::remove(ChipName(base, 2)); }, Open, File,
         "set/report.doc.D02", NotFound, 16},
        {"merge: chip 2 cut short", true, [&] { std::filesystem::resize_file(ChipName(base, 2), MB - 1); }, Io,
         ChipChanged, "set/report.doc.D02", None, 32},
        {"merge: chip 2 lengthened", true, [&] { std::filesystem::resize_file(ChipName(base, 2), MB + 1); }, Io,
         ChipChanged, "set/report.doc.D02", None, 32},
        {"merge: chip 4 rewritten in place, its time restored (a set without checksums)", true,
         [&] { RewriteKeepingTime(ChipName(base, 4), ReadFile(ChipName(base, 4)), MergeJob.chipStamps[3].changed); },
         Io, ChipChanged, "set/report.doc.D04", None, 64, 0, 40},
        {"merge: a read error in chip 2", true,
         [&] { held = std::make_shared<ReadErrorAt>(ChipName(base, 2), 100000); }, Io, File, "set/report.doc.D02",
         HardIO, 17, 0, 1},
        {"merge: a read error just past chip 2's end", true,
         [&] { held = std::make_shared<ReadErrorAt>(ChipName(base, 2), MB); }, Io, File, "set/report.doc.D02", HardIO,
         32, 0, 1},
        {"merge: files limited to two chips", true, [&] { held = std::make_shared<FileSizeLimit>(2 * MB); }, Io, File,
         "joined/report.doc", TooLarge, 32},
        {"merge: the output folder gone", true, [&] { std::filesystem::remove_all(joined); }, Io, File,
         "joined/report.doc", NotFound, 0},
        {"merge: the output folder removed", true, [&] { std::filesystem::remove_all(joined); }, Io, File,
         "joined/report.doc", NotFound, 64, 0, 1},
        {"split: a byte less free than the set needs", false, Drive(setBytes - 1), Finished, File, "", None, 64, 5, 0,
         true, "set/report.doc", Refusal::SetNeedsSpace},
        {"split: chips larger than the drive's largest file", false, Drive(-1, MB - 1), Finished, File, "", None, 64, 5,
         0, true, "set/report.doc.D01", Refusal::FileTooLarge},
        {"merge: a byte less free than the join, the file it replaces kept till the end", true, Drive(4 * MB - 1001),
         Finished, File, "", None, 64, 0, 0, true, "joined/report.doc", Refusal::FileNeedsSpace},
        {"merge: a join larger than the drive's largest file", true, Drive(-1, 4 * MB - 1001), Finished, File, "", None,
         64, 0, 0, true, "joined/report.doc", Refusal::FileTooLarge},
    };
    if (::geteuid() == 0) { // a tmpfs needs root
        rows.push_back({"split: the disk full before the header chip", false, [&] { Mount("size=4m"); }, Io, File,
                        "set/report.doc.DAV", DiskFull, 64, 4});
        const auto readOnlyOlderSet = [&] {
            Mount("size=4m");
            MakeSet(base, data, MB);
            ::mount(nullptr, out.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr);
        };
        rows.push_back({"split: an older set on a read-only disk, agreed", false, readOnlyOlderSet, Io, File,
                        "set/report.doc.DAV", ReadOnly, 0, 5});
    }
    Check(rows);
}

// What a folder may hold where a run writes: links, FIFOs, hard links, another run's set, an older
// set, a file already there. The plan refuses the first of them or asks before it replaces; a run
// that meets them after its plan fails or replaces only what was agreed, and never writes through.
TEST_F(Runs, MeetingHostileTargetsWriteNothingThrough)
{
    using enum FileError;
    using enum RunFailure;
    const uint64_t Io = kOutcomeIoFailed, Finished = kOutcomeFinished;
    const auto link = [&](const PathString& at) {
        return [&, at] {
            std::filesystem::remove(at);
            std::filesystem::create_symlink(victim, at);
        };
    };
    const auto hardLink = [](const PathString& at, const PathString& to) {
        return [at, to] {
            std::filesystem::remove(at);
            std::filesystem::create_hard_link(to, at);
        };
    };
    const auto olderSet = [&] { MakeSet(base, RandomBytes(6 * MB, 6), MB); };
    const auto countOf3 = [&] { WriteFile(header, Bytes{3, 0, 0, 0}); };
    const auto noLinks = [&] {
        g_noLinks = true;
        held = std::shared_ptr<void>(nullptr, [](void*) { g_noLinks = false; });
    };
    const auto lockHeld = [&](LockMode mode) {
        return [&, mode] { held = std::make_shared<SetLock>(SetLock::Acquire(base, mode)); };
    };
    const std::string setLock =
        locks + "/" + std::filesystem::path(SetLock::Acquire(base, LockMode::Shared).Path()).filename().string();
    const uid_t other = OtherUser();
    const auto givenTo = [&](const std::string& name, uid_t owner, mode_t mode) {
        return [&, name, owner, mode] {
            WriteFile((dir / name).native(), {}); // a lock file, where it names one
            EXPECT_EQ(::chown((dir / name).c_str(), owner, owner) | ::chmod((dir / name).c_str(), mode), 0);
        };
    };
    std::vector<FaultRow> rows = {
        {"split: a link at chip 2", false, link(ChipName(base, 2)), Io, File, "set/report.doc.D02", AccessDenied, 16, 2,
         0, true, "set/report.doc.D02", Refusal::NotRegular},
        {"split: a link at the header chip", false, link(header), Io, File, "set/report.doc.DAV", AccessDenied, 0, 1, 0,
         true, "set/report.doc.DAV", Refusal::NotRegular},
        {"split: a FIFO at chip 3", false, [&] { ::mkfifo(ChipName(base, 3).c_str(), 0600); }, Io, File,
         "set/report.doc.D03", AccessDenied, 32, 3, 0, true, "set/report.doc.D03", Refusal::NotRegular},
        {"split: chip 1 a hard link of the source", false, hardLink(ChipName(base, 1), source), Io, File,
         "set/report.doc.D01", Sharing, 0, 1, 0, true, "set/report.doc.D01", Refusal::SameFile},
        {"split: another split writes the set", false, lockHeld(LockMode::Exclusive), Io, SetBusy, "set/report.doc",
         Locking, 0, 0, 0, true, "set/report.doc", Refusal::SetBusy},
        {"split: a merge reads the set", false, lockHeld(LockMode::Shared), Io, SetBusy, "set/report.doc", Locking, 0,
         0, 0, true, "set/report.doc", Refusal::SetBusy},
        {"merge: a split writes the set", true, lockHeld(LockMode::Exclusive), Io, SetBusy, "set/report.doc", Locking,
         0, 0, 0, true, "set/report.doc", Refusal::SetBusy},
        {"merge: another merge reads the set", true, lockHeld(LockMode::Shared), Finished, File, "", None, 64, 0, 0,
         true, ""},
        {"split: the folder of locks open to others", false, givenTo(locks, ::geteuid(), 0777), Io, LockUnsafe,
         locks.c_str(), AccessDenied, 0, 0, 0, true, locks.c_str(), Refusal::LockUnsafe},
        {"merge: a link at the set's lock", true, [&] { std::filesystem::create_symlink(victim, dir / setLock); }, Io,
         LockUnsafe, setLock.c_str(), AccessDenied, 0, 0, 0, true, setLock.c_str(), Refusal::LockUnsafe},
        {"split: an older, larger set, not agreed", false, olderSet, Io, DestinationExists, "set/report.doc.DAV", None,
         0, 7, 0, false, ""},
        {"split: chip 3 of an unfinished set, not agreed", false, [&] { WriteFile(ChipName(base, 3), old); }, Io,
         DestinationExists, "set/report.doc.D03", AccessDenied, 32, 3, 0, false, ""},
        {"split: an older, larger set on a full drive, agreed: what it replaces is room", false,
         [&] { olderSet(), Drive(0)(); }, Finished, File, "", None, 64, 5, 0, true, ""},
        {"split: chip 2 a hard link of a file elsewhere, agreed", false, hardLink(ChipName(base, 2), victim), Finished,
         File, "", None, 64, 5, 0, true, ""},
        {"merge: a link at chip 2, to a file elsewhere", true, link(ChipName(base, 2)), kOutcomeOpenFailed, File,
         "set/report.doc.D02", AccessDenied, 16, 0, 0, true, "set/report.doc.D02", Refusal::NotRegular},
        {"merge: a header count below the chips", true, countOf3, Finished, File, "", None, 64, 0, 0, true,
         "set/report.doc.D04", Refusal::BeyondCount},
        {"merge: a link at the output", true, link(dest), Finished, File, "", None, 64, 0, 0, true, "joined/report.doc",
         Refusal::NotRegular},
        // Of the header chip: a new name of a chip changes the chip's change time, which a run takes
        // for a rewrite.
        {"merge: the output a hard link of the header chip", true, hardLink(dest, header), Finished, File, "", None, 64,
         0, 0, true, "joined/report.doc", Refusal::SameFile},
        {"merge: a file at the output, not agreed", true, [] {}, Io, DestinationExists, "joined/report.doc", Generic,
         64, 0, 0, false, ""},
        {"merge: a file at the output, agreed", true, [] {}, Finished, File, "", None, 64, 0, 0, true, ""},
        {"split: no RENAME_NOREPLACE nor hard links", false, noLinks, Finished, File, "", None, 64, 5, 0, false},
        {"merge: no RENAME_NOREPLACE nor hard links, a file at the output, not agreed", true, noLinks, Io,
         DestinationExists, "joined/report.doc", Generic, 64, 0, 0, false},
    };
    if (other != 0) { // a second user needs root
        rows.push_back({"split: the folder of locks another user's", false, givenTo(locks, other, 0700), Io, LockUnsafe,
                        locks.c_str(), AccessDenied, 0, 0, 0, true, locks.c_str(), Refusal::LockUnsafe});
        rows.push_back({"merge: the set's lock another user's", true, givenTo(setLock, other, 0600), Io, LockUnsafe,
                        setLock.c_str(), AccessDenied, 0, 0, 0, true, setLock.c_str(), Refusal::LockUnsafe});
        const auto planted = [&] { // its owner keeps it open and would read what a run wrote into it
            givenTo("set/report.doc.D02", other, 0666)();
            const int fd = ::open(ChipName(base, 2).c_str(), O_RDONLY);
            held = std::shared_ptr<void>(nullptr, [fd](void*) {
                char byte = 0;
                EXPECT_EQ(::pread(fd, &byte, 1, 0), 0) << "a chip is never written into another user's file";
                ::close(fd);
            });
        };
        rows.push_back({"split: chip 2 another user's file open to all, agreed", false, planted, Finished, File, "",
                        None, 64, 5, 0, true, ""});
    }
    Check(rows);
}

// A run killed at any moment leaves the set or the file that was there, or the whole new one:
// never a header chip over chips of two runs, never a part of a file under the final name.
TEST_F(Runs, KilledLeaveTheOldOrTheNewNeverAMix)
{
    const Bytes older = RandomBytes(6 * MB, 42);
    using Row = std::tuple<const char*, bool, uint64_t>; // name, merge, the progress count (0: the done notification)
    for (const auto& [name, merge, killAt] :
         {Row{"split at block 1", false, 1}, Row{"split inside chip 2", false, 20}, Row{"split at the end", false, 0},
          Row{"merge inside chip 3", true, 40}, Row{"merge at the end", true, 0}}) {
        SCOPED_TRACE(name);
        Reset();
        MakeSet(base, merge ? data : older, MB);
        if (merge) {
            WriteFile(dest, older);
            LoadMergeJob(PlanMerge(header, joined.native()), true);
        } else {
            LoadComminuteJob(PlanSplit(source, 1, out.native()), true);
        }
        const pid_t child = ::fork();
        if (child == 0) {
            Run(merge, [killAt = killAt](uint64_t block) {
                if (block == killAt)
                    ::raise(SIGKILL);
            });
            ::raise(SIGKILL); // at the done notification, or after it: the worker has nothing left to do
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        if (merge) {
            EXPECT_TRUE(ReadFile(dest) == (killAt ? older : data)) << "the old file until the new one is whole";
            for (const auto& entry : std::filesystem::directory_iterator(joined))
                EXPECT_TRUE(entry.path() == dest ||
                            entry.path().filename().string().starts_with("report.doc.zelvo-partial-"))
                    << entry.path() << " says nothing of what it is";
        } else {
            EXPECT_TRUE(KindOf(header) == NodeKind::Regular ? VerifyChipSet(header).sourceOk : killAt != 0)
                << "a header chip is there once the run said finished, and announces the new set, whole";
        }
    }
}

// A set damaged in transit: the join fails naming the first chip that does not match its checksum,
// or the whole when every chip does, and replaces nothing; verify names every chip that differs
// (a damaged middle chip through zelvo-cli: tests/cli).
TEST_F(Runs, OfADamagedSetNameTheDamageAndReplaceNothing)
{
    using enum ChipVerdict;
    // name; the file of the set whose digit at `at` is changed; the plan's refusal; the chip the
    // join names (0: the whole); what verify finds of each chip
    using Row = std::tuple<const char*, const char*, std::size_t, Refusal, int32_t, std::vector<ChipVerdict>>;
    constexpr std::size_t kLine = 64 + 2 + 14 + 1; // a line of the checksums: digits, two spaces, name, LF
    const Row rows[] = {
        {"a byte of the last chip", "report.doc.D04", 0, Refusal::None, 4, {Ok, Ok, Ok, Damaged}},
        {"a digit of the source's line", "report.doc.sha256", 4 * kLine, Refusal::None, 0, {Ok, Ok, Ok, Ok}},
        {"a line naming chip 0", "report.doc.sha256", 2 * kLine - 2, Refusal::BadSidecar, 0, {}},
        {"two lines run into one", "report.doc.sha256", 4 * kLine - 1, Refusal::BadSidecar, 0, {}},
    };
    for (const auto& [name, file, at, refusal, failedChip, verdicts] : rows) {
        SCOPED_TRACE(name);
        Reset();
        WriteFile(dest, old);
        LoadComminuteJob(PlanSplit(source, 1, out.native()), false);
        ASSERT_EQ(Run(false).outcome(), kOutcomeFinished);
        Bytes bytes = ReadFile((out / file).native());
        bytes[at] = bytes[at] == '0' ? '1' : '0';
        WriteFile((out / file).native(), bytes);

        const MergePlan plan = PlanMerge(header, joined.native());
        const SetVerification verified = VerifyChipSet(header);
        EXPECT_EQ(std::tie(plan.refusal.what, verified.refusal.what, verified.chips),
                  std::tie(refusal, refusal, verdicts));
        EXPECT_FALSE(verified.sourceOk);
        if (refusal == Refusal::None) {
            LoadMergeJob(plan, true);
            const uint64_t outcome = Run(true).outcome();
            const PathString failed = failedChip ? ChipName(base, failedChip) : dest;
            const RunFailure failure = failedChip ? RunFailure::ChipDamaged : RunFailure::JoinDamaged;
            EXPECT_EQ(std::make_tuple(outcome, MergeJob.failure, MergeJob.failedChip, MergeJob.failedPath),
                      std::make_tuple(kOutcomeIoFailed, failure, failedChip, failed));
        }
        EXPECT_EQ(std::make_pair(FileCount(joined), ReadFile(dest)), std::make_pair(std::size_t(1), old));
    }
}

} // namespace
