#include "Workers.h"

#include "ChipSet.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

ComminuteJobRecord ComminuteJob;
MergeJobRecord MergeJob;

namespace zelvo {
namespace {

std::atomic<bool> g_comminuteAlive{false};
std::atomic<bool> g_mergeAlive{false};

// The names of the temporaries that runs have under way, where a signal handler can read them.
struct PendingSlot
{
    std::atomic<bool> claimed{false};
    std::atomic<bool> armed{false};
    PathString::value_type name[4096];
};
PendingSlot g_pending[4];

// Makes a temporary known to RemovePendingTemporaries until it is renamed or removed.
class PendingTemporary
{
public:
    explicit PendingTemporary(const PathString& path)
    {
        for (PendingSlot& slot : g_pending) {
            bool free = false;
            if (path.size() < std::size(slot.name) && slot.claimed.compare_exchange_strong(free, true)) {
                std::copy(path.begin(), path.end(), slot.name);
                slot.name[path.size()] = 0;
                slot.armed = true;
                slot_ = &slot;
                return;
            }
        }
    }
    ~PendingTemporary()
    {
        if (slot_) {
            slot_->armed = false;
            slot_->claimed = false;
        }
    }
    PendingTemporary(const PendingTemporary&) = delete;
    PendingTemporary& operator=(const PendingTemporary&) = delete;

private:
    PendingSlot* slot_ = nullptr;
};

// Step 1 of a run. A started worker already holds 1 (or 99 from a cancel in the gap), which must
// stay; only an idle record is taken to running here.
void EnterRunning(std::atomic<int32_t>& runState)
{
    int32_t idle = kRunIdle;
    runState.compare_exchange_strong(idle, kRunRunning);
}

bool StillRunning(const std::atomic<int32_t>& runState)
{
    return runState.load() == kRunRunning;
}

// Copy blocks between two starts of write-back: the kernel writes a chip out while the next
// blocks are copied, so the flush at its end has little left to do.
constexpr uint64_t kWriteBackBlocks = 128; // 8 MiB
// Copy blocks between flushes on the side: the disk empties its cache while the run goes on.
constexpr uint64_t kWriteBehindBlocks = 1024; // 64 MiB
static_assert(kWriteBehindBlocks % kWriteBackBlocks == 0);

// Paces the disk's share of a run after the run's blocks-th block went into file.
void PaceWriteBack(File& file, uint64_t blocks, WriteBehind& behind)
{
    if (blocks % kWriteBackBlocks != 0)
        return;
    file.StartWriteBack();
    if (blocks % kWriteBehindBlocks == 0)
        behind.Flush(file);
}

// One failure of a run: the first one is kept, later ones (a close after a failed write) are
// consequences.
template <typename Record> class Failures
{
public:
    explicit Failures(Record& job) : job_(job)
    {
        job_.failedPath.clear();
        job_.failedError = FileError::None;
        job_.failure = RunFailure::File;
        job_.failedChip = 0;
    }
    bool Any() const { return failed_; }
    void NoteChip(RunFailure failure, const PathString& path, int32_t chip)
    {
        if (!failed_)
            job_.failedChip = chip;
        Note(failure, path);
    }
    void Note(RunFailure failure, const PathString& path, FileError error = FileError::None)
    {
        if (failed_)
            return;
        failed_ = true;
        job_.failure = failure;
        job_.failedPath = path;
        job_.failedError = error;
    }

private:
    Record& job_;
    bool failed_ = false;
};

// Gives a finished temporary its final name: over a file there only with the user's agreement;
// one that appeared meanwhile without it fails the run instead of being replaced.
template <typename Record>
void RenameInto(const PathString& temp, const PathString& name, bool replace, Failures<Record>& failures)
{
    const FileError error = replace ? RenameReplacing(temp, name) : RenameNoReplace(temp, name);
    if (error != FileError::None)
        failures.Note(!replace && error == FileError::Generic ? RunFailure::DestinationExists : RunFailure::File, name,
                      error);
}

// A run goes on only under its set's lock.
template <typename Record> void NoteLockFailure(const SetLock& lock, const PathString& base, Failures<Record>& failures)
{
    if (lock.Status() == LockStatus::Busy)
        failures.Note(RunFailure::SetBusy, base, lock.Error());
    else if (lock.Status() == LockStatus::Unsafe)
        failures.Note(RunFailure::LockUnsafe, lock.Path(), lock.Error());
    else if (!lock.Held())
        failures.Note(RunFailure::File, lock.Path(), lock.Error());
}

// Makes a written temporary durable, gives it its final name and flushes the folder, so that the
// name exists only for a whole file that is on the disk; on a failure the temporary goes.
template <typename Record>
void Publish(File& file, const PathString& temp, const PathString& name, bool replace, Failures<Record>& failures)
{
    FileError error = FileError::None;
    // A temporary removed during the run (its folder deleted, say) is nothing to publish.
    if (!file.IsNamedBy(temp))
        failures.Note(RunFailure::File, name, FileError::NotFound);
    else if ((error = file.Sync()) != FileError::None)
        failures.Note(RunFailure::File, name, error);
    if ((error = file.Close()) != FileError::None)
        failures.Note(RunFailure::File, name, error);
    if (!failures.Any())
        RenameInto(temp, name, replace, failures);
    if (failures.Any()) {
        RemoveFile(temp);
        return;
    }
    if ((error = SyncFolder(FolderOf(name))) != FileError::None)
        failures.Note(RunFailure::File, FolderOf(name), error);
}

// Writes a small file of the set (the checksums, the header chip) through a temporary.
void CommitFile(const PathString& name, const void* bytes, std::size_t size, bool replace,
                Failures<ComminuteJobRecord>& failures)
{
    FileError error = FileError::None;
    PathString temp;
    File file = File::CreateTemporary(name, &temp, &error);
    if (!file.IsOpen()) {
        failures.Note(RunFailure::File, name, error);
        return;
    }
    const PendingTemporary pending(temp);
    if (!file.Write(bytes, size, &error)) {
        failures.Note(RunFailure::File, name, error);
        file.Close();
        RemoveFile(temp);
        return;
    }
    Publish(file, temp, name, replace, failures);
}

// One block through the hashing pipeline: read into its buffer, written out, handed over.
CopyStatus CopyHashed(File& from, File& to, HashPipeline& hashes, std::size_t size)
{
    const CopyStatus status = from.CopyThroughBuffer(to, hashes.Acquire(), size);
    if (status.error == FileError::None)
        hashes.Submit(status.bytes);
    return status;
}

// The digest of a chip read again, share-nothing and never through a link; false when it cannot be
// opened or read.
bool HashFile(const PathString& path, Digest* digest)
{
    FileError error = FileError::None;
    File file = File::OpenReadNoLink(path, &error);
    if (!file.IsOpen())
        return false;
    const auto buffer = std::make_unique<unsigned char[]>(HashPipeline::kBlock);
    Sha256 hash;
    int64_t got = 0;
    while ((got = file.Read(buffer.get(), HashPipeline::kBlock, &error)) > 0)
        hash.Update(buffer.get(), static_cast<std::size_t>(got));
    if (got < 0)
        return false;
    *digest = hash.Finish();
    return true;
}

// The first chip whose bytes now differ from its line (0: none does, none can be read again, or the
// user cancelled the search: the join is damaged in any case).
int32_t FirstDamagedChip(const PathString& base, const std::vector<Digest>& digests,
                         const std::atomic<int32_t>& runState)
{
    for (std::size_t k = 1; k <= digests.size() && StillRunning(runState); ++k) {
        Digest digest{};
        const auto chip = static_cast<int32_t>(k);
        if (HashFile(ChipName(base, chip), &digest) && digest != digests[k - 1])
            return chip;
    }
    return 0;
}

// Removes a file of an older set before the run overwrites what it speaks of; one that another
// program holds is left alone and ends the run.
void RemoveOlder(const PathString& path, bool replace, Failures<ComminuteJobRecord>& failures, bool* removed)
{
    FileError error = FileError::None;
    switch (KindOf(path)) {
    case NodeKind::Missing:
        return;
    case NodeKind::Regular: {
        if (!replace) {
            failures.Note(RunFailure::DestinationExists, path);
            return;
        }
        const File held = File::OpenRead(path, &error); // held while it goes
        if (!held.IsOpen())
            failures.Note(RunFailure::File, path, error);
        else if ((error = RemoveFile(path)) != FileError::None)
            failures.Note(RunFailure::File, path, error);
        else
            *removed = true;
        return;
    }
    case NodeKind::Other:
        failures.Note(RunFailure::File, path, FileError::AccessDenied);
        return;
    }
}

template <typename Worker>
bool Start(std::atomic<bool>& alive, std::atomic<int32_t>& runState, Worker worker, Poster poster)
{
    bool idle = false;
    if (!alive.compare_exchange_strong(idle, true))
        return false;
    runState.store(kRunRunning);
    try {
        std::thread([&alive, worker, poster = std::move(poster)]() mutable {
            {
                const Poster post = std::move(poster);
                worker(post); // clears alive before it reports its outcome
            }
        }).detach();
    } catch (const std::system_error&) {
        runState.store(kRunIdle);
        alive.store(false);
        return false;
    }
    return true;
}

} // namespace

bool StartComminuteWorker(Poster poster)
{
    return Start(g_comminuteAlive, ComminuteJob.runState, &ComminuteWorker, std::move(poster));
}

bool StartMergeWorker(Poster poster)
{
    return Start(g_mergeAlive, MergeJob.runState, &MergeWorker, std::move(poster));
}

bool ComminuteWorkerBusy()
{
    return g_comminuteAlive.load();
}

void RemovePendingTemporaries()
{
    for (PendingSlot& slot : g_pending) {
        if (slot.armed) {
#ifdef _WIN32
            ::_wunlink(slot.name);
#else
            ::unlink(slot.name);
#endif
        }
    }
}

bool MergeWorkerBusy()
{
    return g_mergeAlive.load();
}

} // namespace zelvo

using namespace zelvo;

// The split's run; what it holds (files, the set's lock, the hashing threads) is released when it
// returns its outcome.
static uint64_t RunComminute(const Poster& post)
{
    ComminuteJobRecord& job = ComminuteJob;
    EnterRunning(job.runState);
    // The record is read once: nothing of a later run can reach this one.
    const PathString sourcePath = job.sourcePath;
    const PathString base = job.chipBasePath;
    const uint32_t blocksPerChip = job.blocksPerChip;
    const uint32_t chipCount = job.chipCount;
    const int64_t plannedLength = job.sourceLength;
    const FileStamp plannedStamp = job.sourceStamp;
    const bool replace = job.replaceExisting;
    const bool writeChecksums = job.writeChecksums;
    Failures failures(job);

    uint64_t outcome = kOutcomeFinished;
    FileError error = FileError::None;
    File source = File::OpenRead(sourcePath, &error);
    if (!source.IsOpen()) {
        failures.Note(RunFailure::File, sourcePath, error);
        return kOutcomeOpenFailed;
    }

    const PathString header = HeaderChipName(base);
    const PathString folder = FolderOf(header);
    const SetLock lock = SetLock::Acquire(base, LockMode::Exclusive);
    NoteLockFailure(lock, base, failures);

    // The old header chip goes first, and durably: from here on no header chip announces chips
    // that this run is about to overwrite. The old checksums go with it.
    bool removed = false;
    for (const PathString& older : {header, SidecarName(base)}) {
        if (!failures.Any())
            RemoveOlder(older, replace, failures, &removed);
    }
    if (removed && !failures.Any() && (error = SyncFolder(folder)) != FileError::None)
        failures.Note(RunFailure::File, folder, error);

    const auto buffer = std::make_unique<unsigned char[]>(kCopyBlock);
    std::optional<HashPipeline> hashes;
    if (writeChecksums)
        hashes.emplace();
    const uint64_t fullChip = uint64_t(blocksPerChip) * kCopyBlock;
    uint64_t blocks = 0;
    int64_t copied = 0;
    std::vector<std::pair<File, PathString>> written; // chips to flush before the header chip
    WriteBehind behind;
    for (uint32_t k = 1; k <= chipCount && !failures.Any() && StillRunning(job.runState); ++k) {
        const PathString chipPath = ChipName(base, k);
        File chip = replace ? File::CreateTruncate(chipPath, &error) : File::CreateNew(chipPath, &error);
        if (!chip.IsOpen()) {
            failures.Note(!replace && KindOf(chipPath) == NodeKind::Regular ? RunFailure::DestinationExists
                                                                            : RunFailure::File,
                          chipPath, error);
            break;
        }
        uint64_t chipBytes = 0;
        bool sourceEnded = false;
        for (uint32_t b = 0; b < blocksPerChip && StillRunning(job.runState); ++b) {
            const CopyStatus copy = hashes ? CopyHashed(source, chip, *hashes, kCopyBlock)
                                           : source.CopyBlockTo(chip, buffer.get(), kCopyBlock);
            if (copy.error != FileError::None) {
                failures.Note(RunFailure::File, copy.failedSide == CopySide::Read ? sourcePath : chipPath, copy.error);
                break;
            }
            chipBytes += copy.bytes;
            if (copy.bytes > 0) {
                PaceWriteBack(chip, ++blocks, behind);
                post(WM_COMMINUTE_PROGRESS, blocks);
            }
            if (copy.bytes < kCopyBlock) {
                sourceEnded = true;
                break;
            }
        }
        copied += static_cast<int64_t>(chipBytes);
        if (hashes)
            hashes->EndChip();
        // Every chip but the last is whole and the last holds something: a source that ended
        // sooner has shrunk since it was sized.
        const bool stopped = !StillRunning(job.runState) || failures.Any();
        if (!stopped && ((k < chipCount && (sourceEnded || chipBytes != fullChip)) || chipBytes == 0))
            failures.Note(RunFailure::SourceChanged, sourcePath);
        // A chip whose folder was removed meanwhile took its bytes with it.
        if (!failures.Any() && !chip.IsNamedBy(chipPath))
            failures.Note(RunFailure::File, chipPath, FileError::NotFound);
        // The chip is flushed with the others at the end: its write-back goes on meanwhile, so
        // copying and hashing the next chip need not wait for the disk.
        chip.StartWriteBack();
        written.push_back({std::move(chip), chipPath});
    }
    for (auto& [chip, chipPath] : written) {
        if (!failures.Any() && StillRunning(job.runState) && (error = chip.Sync()) != FileError::None)
            failures.Note(RunFailure::File, chipPath, error);
        // A late write error shows at close (a network file system, for one).
        if ((error = chip.Close()) != FileError::None)
            failures.Note(RunFailure::File, chipPath, error);
    }

    if (!failures.Any() && StillRunning(job.runState)) {
        // Nothing may follow the last chip, and the source must be the one the plan measured.
        unsigned char probe = 0;
        const int64_t beyond = source.Read(&probe, 1, &error);
        if (beyond < 0)
            failures.Note(RunFailure::File, sourcePath, error);
        else if (beyond > 0 ||
                 (plannedLength >= 0 && (copied != plannedLength || source.Stamp(&error) != plannedStamp)))
            failures.Note(RunFailure::SourceChanged, sourcePath);
    }
    source.Close();

    if (failures.Any()) {
        outcome = kOutcomeIoFailed;
    } else if (!StillRunning(job.runState)) {
        outcome = kOutcomeCancelled;
    } else {
        if (hashes) {
            // The checksums of what was written, then the header chip: it stays the set's last file.
            const std::vector<Digest> digests = hashes->ChipDigests();
            std::vector<SidecarLine> lines = SetSidecarLines(base, chipCount, FileNameOf(sourcePath));
            for (uint32_t k = 1; k <= chipCount; ++k)
                lines[k - 1].digest = digests[k - 1];
            lines.back().digest = hashes->WholeDigest();
            const std::string text = FormatSidecar(lines);
            CommitFile(SidecarName(base), text.data(), text.size(), replace, failures);
        }
        const auto bytes = EncodeHeader(chipCount);
        if (!failures.Any())
            CommitFile(header, bytes.data(), bytes.size(), replace, failures);
        if (failures.Any()) {
            outcome = kOutcomeIoFailed;
        } else if (replace) {
            // Chips of an older, larger set would otherwise stand beside a set that is whole.
            for (uint32_t k = chipCount + 1; k <= kMaxChips; ++k) {
                const PathString leftover = ChipName(base, k);
                if (KindOf(leftover) == NodeKind::Regular)
                    RemoveFile(leftover);
            }
        }
    }
    return outcome;
}

// The worker's flag goes first: a press that follows the outcome finds no worker busy.
uint32_t ComminuteWorker(const Poster& post)
{
    const uint64_t outcome = RunComminute(post);
    ComminuteJob.runState.store(kRunIdle);
    g_comminuteAlive.store(false);
    post(WM_COMMINUTE_DONE, outcome);
    return 0;
}

static uint64_t RunMerge(const Poster& post)
{
    MergeJobRecord& job = MergeJob;
    EnterRunning(job.runState);
    const PathString destPath = job.destPath;
    const PathString chipBasePath = job.chipBasePath;
    const uint64_t chipTotal = static_cast<uint32_t>(job.chipTotal); // a count is unsigned here
    const std::vector<int64_t> plannedLengths = job.chipLengths;
    const std::vector<FileStamp> plannedStamps = job.chipStamps;
    const std::vector<Digest> digests = job.chipDigests;
    const Digest sourceDigest = job.sourceDigest;
    const bool replace = job.replaceExisting;
    Failures failures(job);

    uint64_t outcome = kOutcomeFinished;
    FileError error = FileError::None;
    // Other merges of the set may read it too; a split may not write it meanwhile.
    const SetLock lock = SetLock::Acquire(chipBasePath, LockMode::Shared);
    NoteLockFailure(lock, chipBasePath, failures);
    // The join grows under a name of its own; the destination's name is given to it only when it
    // is whole and on the disk, so a file already there is never cut short.
    PathString tempPath;
    File temp = failures.Any() ? File() : File::CreateTemporary(destPath, &tempPath, &error);
    if (!temp.IsOpen()) {
        failures.Note(RunFailure::File, destPath, error);
        return kOutcomeIoFailed;
    }
    const PendingTemporary pending(tempPath);

    const auto buffer = std::make_unique<unsigned char[]>(kCopyBlock);
    // One pass decides a join that goes well: the joined bytes are the source's or they are not.
    // The chips' lines are read only when they are not, to name the chip at fault.
    std::optional<HashPipeline> hashes;
    WriteBehind behind;
    if (!digests.empty())
        hashes.emplace(HashPipeline::Lanes::WholeOnly);
    uint64_t blocks = 0;
    for (uint64_t k = 1; k <= chipTotal; ++k) {
        const PathString chipPath = ChipName(chipBasePath, static_cast<int64_t>(k));
        File chip = File::OpenReadNoLink(chipPath, &error);
        if (!chip.IsOpen()) {
            // The open failure wins over a cancel requested meanwhile.
            job.runState.store(kRunOpenFailed);
            failures.Note(RunFailure::File, chipPath, error);
            outcome = kOutcomeOpenFailed;
            break;
        }
        const int64_t expected = plannedLengths[k - 1];
        int64_t done = 0;
        while (!failures.Any() && done < expected && StillRunning(job.runState)) {
            const auto want = static_cast<std::size_t>(std::min<int64_t>(kCopyBlock, expected - done));
            const CopyStatus copy =
                hashes ? CopyHashed(chip, temp, *hashes, want) : chip.CopyBlockTo(temp, buffer.get(), want);
            if (copy.error != FileError::None) {
                failures.Note(RunFailure::File, copy.failedSide == CopySide::Read ? chipPath : destPath, copy.error);
                break;
            }
            if (copy.bytes == 0) {
                failures.Note(RunFailure::ChipChanged, chipPath); // shorter than planned
                break;
            }
            done += static_cast<int64_t>(copy.bytes);
            PaceWriteBack(temp, ++blocks, behind);
            post(WM_MERGE_PROGRESS, blocks);
        }
        if (!failures.Any() && done == expected) {
            unsigned char probe = 0;
            const int64_t beyond = chip.Read(&probe, 1, &error);
            if (beyond < 0)
                failures.Note(RunFailure::File, chipPath, error);
            else if (beyond > 0 || chip.Stamp(&error) != plannedStamps[k - 1])
                failures.Note(RunFailure::ChipChanged, chipPath); // longer than planned, or rewritten
        }
        chip.Close();
        if (failures.Any()) {
            outcome = outcome == kOutcomeOpenFailed ? outcome : kOutcomeIoFailed;
            break;
        }
        if (!StillRunning(job.runState)) {
            outcome = kOutcomeCancelled;
            break;
        }
    }

    if (outcome == kOutcomeFinished && hashes && hashes->WholeDigest() != sourceDigest) {
        const int32_t damaged = FirstDamagedChip(chipBasePath, digests, job.runState);
        if (damaged > 0)
            failures.NoteChip(RunFailure::ChipDamaged, ChipName(chipBasePath, damaged), damaged);
        else
            failures.Note(RunFailure::JoinDamaged, destPath);
        outcome = kOutcomeIoFailed;
    }
    if (outcome == kOutcomeFinished) {
        Publish(temp, tempPath, destPath, replace, failures);
        if (failures.Any())
            outcome = kOutcomeIoFailed;
    }
    if (outcome != kOutcomeFinished) {
        temp.Close();
        RemoveFile(tempPath);
    }
    return outcome;
}

uint32_t MergeWorker(const Poster& post)
{
    const uint64_t outcome = RunMerge(post);
    MergeJob.runState.store(kRunIdle);
    g_mergeAlive.store(false);
    post(WM_MERGE_DONE, outcome);
    return 0;
}
