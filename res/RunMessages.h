// The texts of a plan's refusal and of a failed run, built once for the dialogs and the command
// line alike: the string table's fixed English with the file named in it.
#pragma once

#include "FileIO.h"
#include "Plan.h"
#include "Workers.h"

#include <string>

namespace zelvo {

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
