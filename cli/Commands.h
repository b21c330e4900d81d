// The three commands of zelvo-cli. Each validates like its dialog, runs the worker on the calling
// thread and returns the process exit status.
#pragma once

#include <QString>

namespace zelvo::cli {

enum ExitCode : int {
    kExitFinished = 0, // or, for info, a complete and consistent set
    kExitCancelled = 1,
    kExitOpenFailed = 2,
    kExitIoFailed = 3,
    kExitRefused = 4, // a validation message, or a bad or inconsistent set
    kExitUsage = 64,
};

struct Options
{
    bool quiet = false;    // errors only
    bool progress = false; // stderr is a terminal and not quiet
};

int RunSplit(const QString& source, const QString& destFolder, const QString& sizeText, const Options& options);
int RunMerge(const QString& headerChip, const QString& destFolder, const Options& options);
int RunInfo(const QString& headerChip, const Options& options);

// Ctrl-C and SIGTERM request a cancel of the run in progress, as a confirmed cancel does.
void InstallCancelHandlers();

} // namespace zelvo::cli
