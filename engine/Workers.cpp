#include "Workers.h"

#include "ChipSet.h"

#include <memory>
#include <system_error>
#include <thread>

ComminuteJobRecord ComminuteJob;
MergeJobRecord MergeJob;

namespace zelvo {
namespace {

std::atomic<bool> g_comminuteAlive{false};
std::atomic<bool> g_mergeAlive{false};

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

template <typename Record> void NoteFailure(Record& job, const PathString& path, FileError error)
{
    job.failedPath = path;
    job.failedError = error;
}

enum class HeaderWrite { Written, NotOpened, Torn };

HeaderWrite WriteHeader(const PathString& path, uint32_t chipCount, FileError* error)
{
    File header = File::CreateTruncate(path, error);
    if (!header.IsOpen())
        return HeaderWrite::NotOpened;
    const auto bytes = EncodeHeader(chipCount);
    if (!header.Write(bytes.data(), bytes.size(), error))
        return HeaderWrite::Torn;
    *error = header.Close();
    return *error == FileError::None ? HeaderWrite::Written : HeaderWrite::Torn;
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
                const Poster post = std::move(poster); // released before the flag is cleared
                worker(post);
            }
            alive.store(false);
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

bool MergeWorkerBusy()
{
    return g_mergeAlive.load();
}

} // namespace zelvo

using namespace zelvo;

uint32_t ComminuteWorker(const Poster& post)
{
    ComminuteJobRecord& job = ComminuteJob;
    EnterRunning(job.runState);
    // The record is read once: nothing of a later run can reach this one.
    const PathString sourcePath = job.sourcePath;
    const PathString destFolder = job.destFolder;
    const uint32_t blocksPerChip = job.blocksPerChip;
    const uint32_t chipCount = job.chipCount;
    job.failedPath.clear();
    job.failedError = FileError::None;

    uint64_t outcome = kOutcomeFinished;
    FileError error = FileError::None;
    File source = File::OpenRead(sourcePath, &error);
    if (!source.IsOpen()) {
        job.runState.store(kRunOpenFailed);
        NoteFailure(job, sourcePath, error);
        outcome = kOutcomeOpenFailed;
    } else {
        const auto buffer = std::make_unique<unsigned char[]>(kCopyBlock);
        const PathString base = BasePath(destFolder, sourcePath);
        uint64_t blocks = 0;
        for (uint32_t k = 1; k <= chipCount && outcome == kOutcomeFinished; ++k) {
            if (!StillRunning(job.runState))
                break;
            const PathString chipPath = ChipName(base, k);
            File chip = File::CreateTruncate(chipPath, &error);
            if (!chip.IsOpen()) {
                NoteFailure(job, chipPath, error);
                outcome = kOutcomeIoFailed;
                break;
            }
            for (uint32_t b = 0; b < blocksPerChip && StillRunning(job.runState); ++b) {
                const CopyStatus copy = source.CopyBlockTo(chip, buffer.get(), kCopyBlock);
                if (copy.error != FileError::None) {
                    NoteFailure(job, copy.failedSide == CopySide::Read ? sourcePath : chipPath, copy.error);
                    outcome = kOutcomeIoFailed;
                    break;
                }
                if (copy.bytes == 0)
                    break; // the source ended early: the remaining chips stay empty
                post(WM_COMMINUTE_PROGRESS, ++blocks);
                if (copy.bytes < kCopyBlock)
                    break;
            }
            // A chip whose folder was removed meanwhile took its bytes with it.
            if (outcome == kOutcomeFinished && !chip.IsNamedBy(chipPath)) {
                NoteFailure(job, chipPath, FileError::NotFound);
                outcome = kOutcomeIoFailed;
            }
            // A late write error shows at close (a network file system, for one).
            const FileError closed = chip.Close();
            if (closed != FileError::None && outcome == kOutcomeFinished) {
                NoteFailure(job, chipPath, closed);
                outcome = kOutcomeIoFailed;
            }
        }
        source.Close();

        if (outcome == kOutcomeFinished) {
            if (!StillRunning(job.runState)) {
                outcome = kOutcomeCancelled;
            } else {
                const PathString headerPath = HeaderChipName(base);
                const HeaderWrite written = WriteHeader(headerPath, chipCount, &error);
                if (written != HeaderWrite::Written) {
                    // A torn header would announce a set that was never completed. One that could
                    // not be opened was never ours to cut or remove (another program may hold it).
                    if (written == HeaderWrite::Torn)
                        RemoveFile(headerPath);
                    NoteFailure(job, headerPath, error);
                    outcome = kOutcomeIoFailed;
                }
            }
        }
    }
    job.runState.store(kRunIdle);
    post(WM_COMMINUTE_DONE, outcome);
    return 0;
}

uint32_t MergeWorker(const Poster& post)
{
    MergeJobRecord& job = MergeJob;
    EnterRunning(job.runState);
    const PathString destPath = job.destPath;
    const PathString chipBasePath = job.chipBasePath;
    const uint64_t chipTotal = static_cast<uint32_t>(job.chipTotal); // a count is unsigned here
    job.failedPath.clear();
    job.failedError = FileError::None;

    uint64_t outcome = kOutcomeFinished;
    FileError error = FileError::None;
    File dest = File::CreateTruncate(destPath, &error);
    if (!dest.IsOpen()) {
        NoteFailure(job, destPath, error);
        outcome = kOutcomeIoFailed;
    } else {
        const auto buffer = std::make_unique<unsigned char[]>(kCopyBlock);
        uint64_t blocks = 0;
        for (uint64_t k = 1; k <= chipTotal; ++k) {
            const PathString chipPath = ChipName(chipBasePath, static_cast<int64_t>(k));
            File chip = File::OpenRead(chipPath, &error);
            if (!chip.IsOpen()) {
                // The open failure wins over a cancel requested meanwhile.
                job.runState.store(kRunOpenFailed);
                NoteFailure(job, chipPath, error);
                outcome = kOutcomeOpenFailed;
                break;
            }
            while (StillRunning(job.runState)) {
                const CopyStatus copy = chip.CopyBlockTo(dest, buffer.get(), kCopyBlock);
                if (copy.error != FileError::None) {
                    NoteFailure(job, copy.failedSide == CopySide::Read ? chipPath : destPath, copy.error);
                    outcome = kOutcomeIoFailed;
                    break;
                }
                if (copy.bytes == 0)
                    break;
                post(WM_MERGE_PROGRESS, ++blocks);
                if (copy.bytes < kCopyBlock)
                    break;
            }
            chip.Close();
            if (outcome != kOutcomeFinished)
                break;
            if (!StillRunning(job.runState)) {
                outcome = kOutcomeCancelled;
                break;
            }
        }
        // A destination removed during the run (its folder deleted, say) is not a finished join.
        if (outcome == kOutcomeFinished && !dest.IsNamedBy(destPath)) {
            NoteFailure(job, destPath, FileError::NotFound);
            outcome = kOutcomeIoFailed;
        }
        const FileError closed = dest.Close();
        if (closed != FileError::None && outcome == kOutcomeFinished) {
            NoteFailure(job, destPath, closed);
            outcome = kOutcomeIoFailed;
        }
    }
    job.runState.store(kRunIdle);
    post(WM_MERGE_DONE, outcome);
    return 0;
}
