// The split and merge workers and their job records. A worker reads its record, copies in
// 65,536-byte blocks and reports only through the poster it is given: one progress notification
// per block, one done notification last. It never knows who listens.
#pragma once

#include "Checksums.h"
#include "FileIO.h"
#include "Locks.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace zelvo {

// Outcome carried by a done notification.
inline constexpr uint64_t kOutcomeFinished = 0;
inline constexpr uint64_t kOutcomeCancelled = 1;
inline constexpr uint64_t kOutcomeOpenFailed = 2; // split: the source; merge: a chip
inline constexpr uint64_t kOutcomeIoFailed = 3;   // a create, read, write or close failed

// Values of a job's runState.
inline constexpr int32_t kRunIdle = 0;
inline constexpr int32_t kRunRunning = 1;
inline constexpr int32_t kRunOpenFailed = 2;
inline constexpr int32_t kRunCancel = 99;

// Why a run ended with outcome 3 (or 2): the failed file is the job's failedPath.
enum class RunFailure {
    File,              // failedError says what the file system refused
    SourceChanged,     // the source's length or time differs from the plan's, or it grew or shrank
    ChipChanged,       // a chip did not deliver exactly its planned length
    SetBusy,           // another run holds the set
    LockUnsafe,        // failedPath, the set's lock or the folder of locks, is open to another user
    DestinationExists, // a file of the name appeared that the user did not agree to replace
    ChipDamaged,       // chip failedChip does not match its checksum
    JoinDamaged,       // the joined bytes do not match the source's checksum
};

// Receives (message, wParam). Called on the worker's thread: a GUI hands it on to its own thread.
using Poster = std::function<void(uint32_t message, uint64_t wParam)>;

// Start a worker on a detached thread. runState is set to 1 before the thread exists, so a cancel
// confirmed before the worker's first step is kept, and a 99 left from an earlier run does not
// reach the new one. Refused (false, nothing started) while a worker of the same kind is alive.
// Fill the job record only after checking that no worker of its kind is busy.
bool StartComminuteWorker(Poster poster);
bool StartMergeWorker(Poster poster);
bool ComminuteWorkerBusy();
bool MergeWorkerBusy();

// Removes the temporaries of the runs under way, for a signal handler that ends the process at
// once (async-signal-safe); what a run renamed already stays.
void RemovePendingTemporaries();

} // namespace zelvo

inline constexpr uint32_t WM_COMMINUTE_PROGRESS = 0x0400 + 200;
inline constexpr uint32_t WM_COMMINUTE_DONE = 0x0400 + 201;
inline constexpr uint32_t WM_MERGE_PROGRESS = 0x0400 + 100;
inline constexpr uint32_t WM_MERGE_DONE = 0x0400 + 101;

static_assert(std::atomic<int32_t>::is_always_lock_free, "runState is also stored from a signal handler");

// The caller fills the paths and counts before the run (LoadComminuteJob / LoadMergeJob from a
// plan) and reads the failed… fields only after the done notification; runState is the one field
// both sides touch during a run.
struct ComminuteJobRecord
{
    zelvo::PathString destFolder;   // as the dialog gave it
    zelvo::PathString chipBasePath; // the plan's base path in it: the set's names and its lock
    zelvo::PathString sourcePath;
    uint32_t blocksPerChip = 0;
    uint32_t chipCount = 0;
    std::atomic<int32_t> runState{zelvo::kRunIdle};
    // The source as the plan saw it; a source found otherwise at the end is no finished run.
    // A length of -1 leaves only the checks that need no plan (the source ends in the last chip).
    int64_t sourceLength = -1;
    zelvo::FileStamp sourceStamp;
    // Chips and a header chip of this set already there may be replaced; otherwise they end the
    // run before anything is written over.
    bool replaceExisting = false;
    // Also write <base>.sha256, from the bytes written, before the header chip.
    bool writeChecksums = false;
    // Set for outcomes 2 and 3: the file that could not be opened, read or written, and why.
    zelvo::PathString failedPath;
    zelvo::FileError failedError = zelvo::FileError::None;
    zelvo::RunFailure failure = zelvo::RunFailure::File;
    int32_t failedChip = 0;
};

struct MergeJobRecord
{
    zelvo::PathString destPath;
    zelvo::PathString chipBasePath;
    int32_t chipTotal = 0;
    std::atomic<int32_t> runState{zelvo::kRunIdle};
    // Chip k delivers exactly chipLengths[k - 1] bytes.
    std::vector<int64_t> chipLengths;
    // Chip k as the plan saw it: one rewritten meanwhile (its length and time kept) is no chip of
    // the set that was checked, and a set without checksums would be joined wrong.
    std::vector<zelvo::FileStamp> chipStamps;
    // A file of the destination's name is replaced only with this (and only once the new one is
    // whole); otherwise it is left as it is and the run fails.
    bool replaceExisting = false;
    // From the set's checksum file: chip k must hash to chipDigests[k - 1], the join to
    // sourceDigest. Empty: no checksums to check.
    std::vector<zelvo::Digest> chipDigests;
    zelvo::Digest sourceDigest{};
    zelvo::PathString failedPath;
    zelvo::FileError failedError = zelvo::FileError::None;
    zelvo::RunFailure failure = zelvo::RunFailure::File;
    int32_t failedChip = 0; // for ChipDamaged
};

extern ComminuteJobRecord ComminuteJob;
extern MergeJobRecord MergeJob;

// The thread procedures; they return 0 in every case. Called directly (as the tests and the
// command line do), a worker on an idle record (runState 0) sets it to 1 itself; one started
// through Start…Worker finds 1, or 99 if a cancel came first.
uint32_t ComminuteWorker(const zelvo::Poster& post);
uint32_t MergeWorker(const zelvo::Poster& post);
