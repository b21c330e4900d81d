// The commands of zelvo-cli. Each asks the engine for a verdict on its inputs, runs the worker
// (split, merge) on the calling thread and returns the process exit status.
#pragma once

#include "FileIO.h"

#include <string>

namespace zelvo::cli {

enum ExitCode : int {
    kExitFinished = 0, // or, for info, a complete and consistent set; for verify, a matching one
    kExitCancelled = 1,
    kExitOpenFailed = 2,
    kExitIoFailed = 3,
    kExitRefused = 4, // a validation message, or a bad, inconsistent or damaged set
    kExitUsage = 64,
};

struct Options
{
    bool quiet = false;    // errors only
    bool progress = false; // stderr is a terminal and not quiet
    bool force = false;    // replace chips or a joined file that are already there
    bool checksums = true; // split writes the set's checksum file
};

// File names arrive as the bytes the user gave (POSIX) or as UTF-16 (Windows), never re-encoded.
int RunSplit(const PathString& source, const PathString& destFolder, const std::string& sizeText,
             const Options& options);
int RunMerge(const PathString& headerChip, const PathString& destFolder, const Options& options);
int RunInfo(const PathString& headerChip, const Options& options);
int RunVerify(const PathString& headerChip, const Options& options);

// Ctrl-C and SIGTERM request a cancel of the run in progress, as a confirmed cancel does; a
// closed output pipe is no reason to end a run.
void InstallSignalHandlers();

} // namespace zelvo::cli
