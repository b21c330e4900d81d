#include "Commands.h"

#include "ChipSet.h"
#include "ProgressLine.h"
#include "StringTable.h"
#include "Workers.h"

#include <QFile>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace zelvo::cli {
namespace {

// The run whose runState a signal turns into a cancel; set before the run starts.
std::atomic<std::atomic<int32_t>*> g_activeRunState{nullptr};

extern "C" void RequestCancel(int signal)
{
    // Only a running worker is cancelled, exactly like the dialog's confirmed cancel.
    if (std::atomic<int32_t>* state = g_activeRunState.load()) {
        int32_t running = kRunRunning;
        state->compare_exchange_strong(running, kRunCancel);
        return;
    }
    // No run yet (still checking the input): end the program as the signal normally would.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

PathString ToPath(const QString& text)
{
#ifdef _WIN32
    return text.toStdWString();
#else
    return QFile::encodeName(text).toStdString();
#endif
}

std::string Shown(const PathString& path)
{
#ifdef _WIN32
    return QString::fromStdWString(path).toStdString();
#else
    return path;
#endif
}

void Say(const Options& options, const std::string& text)
{
    if (!options.quiet) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout); // a caller watching a pipe sees each line as it comes
    }
}

void Complain(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", text.c_str());
}

int Refuse(int stringId)
{
    Complain(LoadString(stringId));
    return kExitRefused;
}

std::string FileErrorText(FileError error, const PathString& path)
{
    return FormatString1(LoadString(FileErrorStringId(static_cast<int>(error))), Shown(path));
}

int ReportFileError(FileError error, const PathString& path)
{
    Complain(FileErrorText(error, path));
    return kExitOpenFailed;
}

// The size field reads as a whole number; anything else, or a number above 2,147,483,647, is 0.
int64_t ParseSize(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < 0 || value > 2147483647)
        return 0;
    return value;
}

// Ends a run: its message, the failing file where there is one, and the exit status.
int ReportOutcome(uint64_t outcome, const Options& options, const int messages[4], const PathString& failedPath,
                  FileError failedError)
{
    switch (outcome) {
    case kOutcomeFinished:
        Say(options, LoadString(messages[0]));
        return kExitFinished;
    case kOutcomeCancelled:
        Complain(LoadString(messages[1]));
        return kExitCancelled;
    case kOutcomeOpenFailed:
        Complain(LoadString(messages[2]));
        if (!failedPath.empty())
            Complain(FileErrorText(failedError, failedPath));
        return kExitOpenFailed;
    default:
        Complain(LoadString(messages[3]));
        Complain(FileErrorText(failedError, failedPath));
        return kExitIoFailed;
    }
}

} // namespace

void InstallCancelHandlers()
{
#ifdef _WIN32
    std::signal(SIGINT, RequestCancel);
    std::signal(SIGTERM, RequestCancel);
#else
    struct sigaction action = {};
    action.sa_handler = RequestCancel;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // a second Ctrl-C ends the program the usual way
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A parent may hand down a mask that blocks them (some test runners do); a blocked signal
    // would wait, pending, until the run is over.
    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGINT);
    sigaddset(&wanted, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &wanted, nullptr);
#endif
}

int RunSplit(const QString& source, const QString& destFolder, const QString& sizeText, const Options& options)
{
    // The Comminute dialog's order of checks.
    const int64_t sizeEntry = ParseSize(sizeText);
    if (source.isEmpty())
        return Refuse(IDS_SELECT_SOURCE);
    if (sizeEntry == 0 || sizeEntry > kMaxSizeEntry)
        return Refuse(IDS_INVALID_SIZE);
    if (destFolder.isEmpty())
        return Refuse(IDS_SELECT_DEST_FOLDER);

    const PathString sourcePath = ToPath(source);
    int64_t length = 0;
    if (const FileError error = QueryLength(sourcePath, &length); error != FileError::None)
        return ReportFileError(error, sourcePath);

    ChipSetSizing sizing;
    switch (SizeChipSet(length, sizeEntry, &sizing)) {
    case SizingStatus::Ok:
        break;
    case SizingStatus::InvalidSize:
        return Refuse(IDS_INVALID_SIZE);
    case SizingStatus::SourceTooSmall:
        return Refuse(IDS_SOURCE_TOO_SMALL);
    case SizingStatus::TooManyChips:
        return Refuse(IDS_TOO_MANY_CHIPS);
    }
    ComminuteJob.sourcePath = sourcePath;
    ComminuteJob.destFolder = ToPath(destFolder);
    ComminuteJob.blocksPerChip = sizing.blocksPerChip;
    ComminuteJob.chipCount = sizing.chipCount;
    // Running before the first step, so a signal that comes at once is a cancel, not lost.
    ComminuteJob.runState = kRunRunning;
    g_activeRunState = &ComminuteJob.runState;
    Say(options, "Files Total: " + std::to_string(sizing.chipCount));

    ProgressLine line(options.progress, length, sizing.blocksPerChip, sizing.chipCount);
    uint64_t outcome = kOutcomeFinished;
    ComminuteWorker([&](uint32_t message, uint64_t wParam) {
        if (message == WM_COMMINUTE_PROGRESS)
            line.Update(wParam);
        else
            outcome = wParam;
    });
    g_activeRunState = nullptr;
    line.Finish();

    static const int messages[4] = {IDS_COMMINUTE_FINISHED, IDS_COMMINUTE_CANCELED, IDS_OPEN_SOURCE_ERROR,
                                    IDS_COMMINUTE_IO_ERROR};
    return ReportOutcome(outcome, options, messages, ComminuteJob.failedPath, ComminuteJob.failedError);
}

int RunMerge(const QString& headerChip, const QString& destFolder, const Options& options)
{
    if (headerChip.isEmpty())
        return Refuse(IDS_SELECT_SOURCE);

    // What the Merge dialog learns when the header chip is chosen.
    const PathString header = ToPath(headerChip);
    int64_t ignored = 0;
    if (const FileError error = QueryLength(header, &ignored); error != FileError::None)
        return ReportFileError(error, header);
    const PathString countFile = CountFilePath(header);
    int32_t chipTotal = 0;
    int64_t headerBytes = 0;
    if (const FileError error = ReadHeaderCount(countFile, &chipTotal, &headerBytes); error != FileError::None)
        return ReportFileError(error, countFile);
    if (headerBytes < static_cast<int64_t>(kHeaderLength))
        chipTotal = 0; // no complete count: a bad header

    if (static_cast<uint32_t>(chipTotal) < 2)
        return Refuse(IDS_BAD_HEADER);
    if (destFolder.isEmpty())
        return Refuse(IDS_SELECT_DEST_FOLDER);

    const PathString base = BasePathOfHeader(header);
    const PathString dest = MergeDestPath(ToPath(destFolder), SourceNameOfHeader(header));
    int64_t firstLength = 0, lastLength = 0;
    const PathString firstChip = ChipName(base, 1);
    if (const FileError error = QueryLength(firstChip, &firstLength); error != FileError::None)
        return ReportFileError(error, firstChip);
    const PathString lastChip = ChipName(base, chipTotal);
    if (const FileError error = QueryLength(lastChip, &lastLength); error != FileError::None)
        return ReportFileError(error, lastChip);
    const uint32_t range = MergeProgressRange(chipTotal, firstLength, lastLength);
    MergeJob.destPath = dest;
    MergeJob.chipBasePath = base;
    MergeJob.chipTotal = chipTotal;
    MergeJob.runState = kRunRunning;
    g_activeRunState = &MergeJob.runState;
    Say(options, "Files Total: " + std::to_string(chipTotal));

    const int64_t totalBytes = static_cast<int64_t>(range) * kCopyBlock;
    ProgressLine line(options.progress, totalBytes, static_cast<uint32_t>(firstLength / kCopyBlock),
                      static_cast<uint32_t>(chipTotal));
    uint64_t outcome = kOutcomeFinished;
    MergeWorker([&](uint32_t message, uint64_t wParam) {
        if (message == WM_MERGE_PROGRESS)
            line.Update(wParam);
        else
            outcome = wParam;
    });
    g_activeRunState = nullptr;
    line.Finish();

    static const int messages[4] = {IDS_MERGE_FINISHED, IDS_MERGE_CANCELED, IDS_OPEN_CHIP_ERROR, IDS_MERGE_IO_ERROR};
    return ReportOutcome(outcome, options, messages, MergeJob.failedPath, MergeJob.failedError);
}

int RunInfo(const QString& headerChip, const Options& options)
{
    if (headerChip.isEmpty())
        return Refuse(IDS_SELECT_SOURCE);
    const PathString header = ToPath(headerChip);
    const PathString countFile = CountFilePath(header);
    int32_t count = 0;
    int64_t headerBytes = 0;
    if (const FileError error = ReadHeaderCount(countFile, &count, &headerBytes); error != FileError::None)
        return ReportFileError(error, countFile);

    std::vector<std::string> problems;
    if (headerBytes < static_cast<int64_t>(kHeaderLength)) {
        problems.push_back("header " + Shown(countFile) + " is shorter than 4 bytes (" + std::to_string(headerBytes) +
                           ")");
    } else if (count < 2 || count > static_cast<int32_t>(kMaxChips)) {
        problems.push_back("header " + Shown(countFile) + " holds the count " + std::to_string(count) +
                           ", not 2 to 100");
    }
    Say(options, "Files Total: " + std::to_string(count));

    const PathString base = BasePathOfHeader(header);
    const int32_t listed = headerBytes < static_cast<int64_t>(kHeaderLength)
                               ? 0
                               : std::min<int32_t>(std::max<int32_t>(count, 0), kMaxChips);
    int64_t firstLength = -1;
    for (int32_t k = 1; k <= listed; ++k) {
        const PathString chip = ChipName(base, k);
        int64_t length = 0;
        const FileError error = QueryLength(chip, &length);
        if (error == FileError::NotFound) {
            Say(options, "  " + Shown(chip) + "  missing");
            problems.push_back("chip " + Shown(chip) + " is missing");
            continue;
        }
        if (error != FileError::None) {
            Say(options, "  " + Shown(chip) + "  unreadable");
            problems.push_back(FileErrorText(error, chip));
            continue;
        }
        Say(options, "  " + Shown(chip) + "  " + std::to_string(length));
        if (k == 1) {
            firstLength = length;
        } else if (firstLength >= 0 && k < listed && length != firstLength) {
            problems.push_back("chip " + Shown(chip) + " is " + std::to_string(length) + " bytes, chip 1 is " +
                               std::to_string(firstLength));
        } else if (k == listed && length == 0) {
            problems.push_back("last chip " + Shown(chip) + " is empty");
        } else if (k == listed && firstLength >= 0 && length > firstLength) {
            problems.push_back("last chip " + Shown(chip) + " is longer than chip 1");
        }
    }
    // Leftovers of a larger set with the same base path would not be joined.
    for (int32_t k = std::max<int32_t>(listed, 0) + 1; listed > 0 && k <= static_cast<int32_t>(kMaxChips); ++k) {
        int64_t length = 0;
        const PathString chip = ChipName(base, k);
        if (QueryLength(chip, &length) != FileError::NotFound)
            problems.push_back("chip " + Shown(chip) + " lies beyond the count " + std::to_string(count));
    }

    for (const std::string& problem : problems)
        Complain(problem);
    if (!problems.empty()) {
        Complain("The chip set is not complete and consistent.");
        return kExitRefused;
    }
    Say(options, "The chip set is complete and consistent.");
    return kExitFinished;
}

} // namespace zelvo::cli
