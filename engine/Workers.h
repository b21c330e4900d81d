// The split and merge workers and their job records. A worker reads its record, copies in
// 65,536-byte blocks and reports only through the poster it is given: one progress notification
// per block, one done notification last. It never knows who listens.
#pragma once

#include "FileIO.h"

#include <atomic>
#include <cstdint>
#include <functional>

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

} // namespace zelvo

inline constexpr uint32_t WM_COMMINUTE_PROGRESS = 0x0400 + 200;
inline constexpr uint32_t WM_COMMINUTE_DONE = 0x0400 + 201;
inline constexpr uint32_t WM_MERGE_PROGRESS = 0x0400 + 100;
inline constexpr uint32_t WM_MERGE_DONE = 0x0400 + 101;

static_assert(std::atomic<int32_t>::is_always_lock_free, "runState is also stored from a signal handler");

// The caller fills the paths and counts before the run and reads failedPath / failedError only
// after the done notification; runState is the one field both sides touch during a run.
struct ComminuteJobRecord
{
    zelvo::PathString destFolder;
    zelvo::PathString sourcePath;
    uint32_t blocksPerChip = 0;
    uint32_t chipCount = 0;
    std::atomic<int32_t> runState{zelvo::kRunIdle};
    // Set for outcomes 2 and 3: the file that could not be opened, read or written, and why.
    zelvo::PathString failedPath;
    zelvo::FileError failedError = zelvo::FileError::None;
};

struct MergeJobRecord
{
    zelvo::PathString destPath;
    zelvo::PathString chipBasePath;
    int32_t chipTotal = 0;
    std::atomic<int32_t> runState{zelvo::kRunIdle};
    zelvo::PathString failedPath;
    zelvo::FileError failedError = zelvo::FileError::None;
};

extern ComminuteJobRecord ComminuteJob;
extern MergeJobRecord MergeJob;

// The thread procedures; they return 0 in every case. Called directly (as the tests and the
// command line do), a worker on an idle record (runState 0) sets it to 1 itself; one started
// through Start…Worker finds 1, or 99 if a cancel came first.
uint32_t ComminuteWorker(const zelvo::Poster& post);
uint32_t MergeWorker(const zelvo::Poster& post);
