// The texts of a plan's refusal and of a failed run, built once for the dialogs and the command
// line alike: the string table's fixed English with the file named in it.
#pragma once

#include "FileIO.h"
#include "Plan.h"
#include "StringTable.h"
#include "Workers.h"

#include <string>

namespace zelvo {

// The messages of a run's outcomes (kOutcomeFinished to kOutcomeIoFailed), the same in the
// dialogs and on the command line.
struct OutcomeIds
{
    int finished;
    int cancelled;
    int openFailed;
    int ioFailed;
};
inline constexpr OutcomeIds kComminuteOutcomeIds{IDS_COMMINUTE_FINISHED, IDS_COMMINUTE_CANCELED, IDS_OPEN_SOURCE_ERROR,
                                                 IDS_COMMINUTE_IO_ERROR};
inline constexpr OutcomeIds kMergeOutcomeIds{IDS_MERGE_FINISHED, IDS_MERGE_CANCELED, IDS_OPEN_CHIP_ERROR,
                                             IDS_MERGE_IO_ERROR};

// A path as UTF-8 text for a message.
std::string DisplayPath(const PathString& path);

// The framework's file-error text for error, with path in place of "%1".
std::string FileErrorText(FileError error, const PathString& path);

// The message of a refusal. Refusal::None gives an empty text.
std::string RefusalText(const PlanRefusal& refusal);

// The string id a refusal is shown with (for the refusals that are plain string-table texts).
int RefusalStringId(Refusal what);

// The line under "… has failed!" that says which file and why.
std::string FailureText(RunFailure failure, FileError error, const PathString& path);
// The same for the failure a job's record holds (a damaged chip is named "chip k of N").
std::string FailureText(const ComminuteJobRecord& job);
std::string FailureText(const MergeJobRecord& job);

} // namespace zelvo
