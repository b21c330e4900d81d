#include "Commands.h"

#include "ChipSet.h"
#include "Plan.h"
#include "ProgressLine.h"
#include "RunMessages.h"
#include "StringTable.h"
#include "Workers.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zelvo::cli {
namespace {

// The run whose runState a signal turns into a cancel; set before the run starts.
std::atomic<std::atomic<int32_t>*> g_activeRunState{nullptr};
std::atomic<bool> g_cancelled{false};

extern "C" void RequestCancel(int signal)
{
    // Only a running worker is cancelled, exactly like the dialog's confirmed cancel.
    if (std::atomic<int32_t>* state = g_activeRunState.load()) {
        if (!g_cancelled.exchange(true)) {
            int32_t running = kRunRunning;
            state->compare_exchange_strong(running, kRunCancel);
            return;
        }
        // A second signal will not wait for the run to stop, but leaves no temporary behind.
        RemovePendingTemporaries();
        std::_Exit(kExitCancelled);
    }
    // No run yet (still checking the input): end the program as the signal normally would.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

const char* const kSetConsistent = "The chip set is complete and consistent.";
const char* const kSetInconsistent = "The chip set is not complete and consistent.";
const char* const kSetMatches = "The chip set matches its checksums.";
const char* const kSetDoesNotMatch = "The chip set does not match its checksums.";

// A set's names come from anyone: a carriage return or an escape sequence in one must not redraw
// the terminal (a "Finished" over the failure), so control characters, C1 ones too, print escaped.
std::string Printable(const std::string& text)
{
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto code = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        const bool c1 = code == 0xC2 && next >= 0x80 && next <= 0x9F;
        if (code >= 0x20 && code != 0x7F && !c1) {
            shown.push_back(text[i]);
            continue;
        }
        code = c1 ? static_cast<unsigned char>(text[++i]) : code;
        static constexpr char kHex[] = "0123456789abcdef";
        if (code == '\r')
            shown += "\\r";
        else if (code == '\n')
            shown += "\\n";
        else
            shown += {'\\', 'x', kHex[code >> 4], kHex[code & 15]};
    }
    return shown;
}

// Writes whose reader has gone fail with EPIPE and are otherwise ignored: the files are what the
// run is for, and the exit status says how it went.
void Say(const Options& options, const std::string& text)
{
    if (!options.quiet) {
        std::printf("%s\n", Printable(text).c_str());
        std::fflush(stdout); // a caller watching a pipe sees each line as it comes
    }
}

// A line that is printed even with --quiet: part of a listing that shows what is wrong.
void Show(const Options& options, bool problem, const std::string& text)
{
    if (problem)
        std::printf("%s\n", Printable(text).c_str());
    else
        Say(options, text);
}

void Complain(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", Printable(text).c_str());
}

int Refuse(const std::string& text)
{
    Complain(text);
    return kExitRefused;
}

// A file that cannot be opened or is not there ends with the status of a run that could not open
// it, and a set that another run holds (or whose lock is not safe) with that of a run that met it;
// every other refusal is refused input.
int ReportRefusal(const PlanRefusal& refusal)
{
    Complain(RefusalText(refusal));
    if (refusal.what == Refusal::SetBusy || refusal.what == Refusal::LockUnsafe)
        return kExitIoFailed;
    return refusal.what == Refusal::FileError ? kExitOpenFailed : kExitRefused;
}

// The size reads as a whole number of megabytes, or of gigabytes with G (700, 700M, 1G); anything
// else, or more than 2,147,483,647 megabytes, is 0, which the plan refuses with the size message.
int64_t ParseSize(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    std::string digits = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    int64_t unit = 1;
    if (!digits.empty() && (digits.back() == 'M' || digits.back() == 'm')) {
        digits.pop_back();
    } else if (!digits.empty() && (digits.back() == 'G' || digits.back() == 'g')) {
        digits.pop_back();
        unit = 1024;
    }
    if (!digits.empty() && digits.front() == '+')
        digits.erase(0, 1);
    if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const int64_t value = std::stoll(digits);
    if (value > 2147483647 / unit)
        return 0;
    return value * unit;
}

// Ends a run: its message, the failing file and why where there is one, and the exit status.
template <typename JobRecord>
int ReportOutcome(uint64_t outcome, const Options& options, const OutcomeIds& texts, const JobRecord& job)
{
    switch (outcome) {
    case kOutcomeFinished:
        Say(options, LoadString(texts.finished));
        return kExitFinished;
    case kOutcomeCancelled:
        Complain(LoadString(texts.cancelled));
        return kExitCancelled;
    case kOutcomeOpenFailed:
        Complain(LoadString(texts.openFailed));
        if (!job.failedPath.empty())
            Complain(FailureText(job));
        return kExitOpenFailed;
    default:
        Complain(LoadString(texts.ioFailed));
        if (!job.failedPath.empty())
            Complain(FailureText(job));
        return kExitIoFailed;
    }
}

} // namespace

void InstallSignalHandlers()
{
#ifdef _WIN32
    for (const int signal : {SIGINT, SIGTERM, SIGBREAK})
        std::signal(signal, RequestCancel);
#else
    // Every signal that would end the program cancels: a closed terminal (SIGHUP), kill's and
    // timeout's choices, the real-time ones.
    std::vector<int> ending = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGUSR1, SIGUSR2,
                               SIGALRM, SIGPOLL, SIGPROF, SIGVTALRM, SIGXCPU};
#ifdef SIGPWR
    ending.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
    ending.push_back(SIGSTKFLT);
#endif
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        ending.push_back(signal);
    struct sigaction action = {};
    action.sa_handler = RequestCancel;
    sigemptyset(&action.sa_mask);
    for (const int signal : ending)
        sigaddset(&action.sa_mask, signal); // one handler at a time: the second sees the first's cancel
    for (const int signal : ending)
        sigaction(signal, &action, nullptr);
    // `zelvo-cli split … | head -1`: the reader may leave long before a finished run says so. A file
    // grown past the size limit fails its write (a failed run) instead of ending the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // A parent may hand down a mask that blocks them (some test runners do); a blocked signal
    // would wait, pending, until the run is over.
    sigprocmask(SIG_UNBLOCK, &action.sa_mask, nullptr);
#endif
}

int RunSplit(const PathString& source, const PathString& destFolder, const std::string& sizeText,
             const Options& options)
{
    const SplitPlan plan = PlanSplit(source, ParseSize(sizeText), destFolder, options.checksums);
    if (plan.refusal.what != Refusal::None)
        return ReportRefusal(plan.refusal);
    if (plan.replacesFiles && !options.force)
        return Refuse(FormatString1("The folder already holds chip files of %1. Use --force to replace them.",
                                    DisplayPath(plan.base)));

    LoadComminuteJob(plan, options.force, options.checksums);
    // Running before the first step, so a signal that comes at once is a cancel, not lost.
    ComminuteJob.runState = kRunRunning;
    g_activeRunState = &ComminuteJob.runState;
    Say(options, "Files Total: " + std::to_string(plan.sizing.chipCount));

    ProgressLine line(options.progress, plan.sourceLength, plan.sizing.blocksPerChip, plan.sizing.chipCount);
    uint64_t outcome = kOutcomeFinished;
    ComminuteWorker([&](uint32_t message, uint64_t wParam) {
        if (message == WM_COMMINUTE_PROGRESS)
            line.Update(wParam);
        else
            outcome = wParam;
    });
    g_activeRunState = nullptr;
    line.Finish();

    return ReportOutcome(outcome, options, kComminuteOutcomeIds, ComminuteJob);
}

int RunMerge(const PathString& headerChip, const PathString& destFolder, const Options& options)
{
    const MergePlan plan = PlanMerge(headerChip, destFolder);
    if (plan.refusal.what != Refusal::None)
        return ReportRefusal(plan.refusal);
    if (plan.replacesFile && !options.force)
        return Refuse(FormatString1("%1 already exists. Use --force to replace it.", DisplayPath(plan.destPath)));

    LoadMergeJob(plan, options.force);
    MergeJob.runState = kRunRunning;
    g_activeRunState = &MergeJob.runState;
    Say(options, "Files Total: " + std::to_string(plan.chipTotal));

    const auto blocksPerChip = static_cast<uint32_t>(plan.chipLengths.front() / kCopyBlock);
    ProgressLine line(options.progress, plan.TotalLength(), blocksPerChip, static_cast<uint32_t>(plan.chipTotal));
    uint64_t outcome = kOutcomeFinished;
    MergeWorker([&](uint32_t message, uint64_t wParam) {
        if (message == WM_MERGE_PROGRESS)
            line.Update(wParam);
        else
            outcome = wParam;
    });
    g_activeRunState = nullptr;
    line.Finish();

    return ReportOutcome(outcome, options, kMergeOutcomeIds, MergeJob);
}

int RunInfo(const PathString& headerChip, const Options& options)
{
    const MergePlan plan = PlanMerge(headerChip, {}, /*checkSetOnly*/ true);
    const PlanRefusal& refusal = plan.refusal;
    if (refusal.what == Refusal::SelectSource ||
        (refusal.what == Refusal::FileError &&
         (refusal.path == headerChip || refusal.path == CountFilePath(headerChip))))
        return ReportRefusal(refusal); // no header to read: nothing is known of a set
    if (refusal.what != Refusal::None) {
        Complain(RefusalText(refusal));
        return Refuse(kSetInconsistent);
    }

    Say(options, "Files Total: " + std::to_string(plan.chipTotal));
    for (int32_t k = 1; k <= plan.chipTotal; ++k)
        Say(options, "  " + DisplayPath(ChipName(plan.chipBasePath, k)) + "  " +
                         std::to_string(plan.chipLengths[static_cast<std::size_t>(k - 1)]));
    Say(options, plan.checksummed
                     ? "Checksums: " + DisplayPath(SidecarName(plan.chipBasePath)) + " (names and count match the set)"
                     : std::string("Checksums: none"));
    Say(options, kSetConsistent);
    return kExitFinished;
}

int RunVerify(const PathString& headerChip, const Options& options)
{
    const SetVerification check = VerifyChipSet(headerChip);
    if (check.refusal.what != Refusal::None)
        return ReportRefusal(check.refusal);

    bool chipsOk = true;
    for (std::size_t i = 0; i < check.chips.size(); ++i) {
        const char* verdict = "OK";
        switch (check.chips[i]) {
        case ChipVerdict::Ok:
            break;
        case ChipVerdict::Damaged:
            verdict = "DAMAGED";
            break;
        case ChipVerdict::Missing:
            verdict = "MISSING";
            break;
        case ChipVerdict::WrongLength:
            verdict = "WRONG LENGTH";
            break;
        }
        const bool ok = check.chips[i] == ChipVerdict::Ok;
        chipsOk = chipsOk && ok;
        Show(options, !ok, "  " + DisplayPath(check.chipPaths[i]) + "  " + verdict);
    }
    // The whole source's checksum says something only of a join of chips that are all intact.
    const bool setOk = chipsOk && check.sourceOk;
    Show(options, !setOk,
         "  " + DisplayPath(SourceNameOfHeader(headerChip)) + "  " +
             (!chipsOk         ? "NOT CHECKED"
              : check.sourceOk ? "OK"
                               : "DAMAGED"));
    if (!setOk)
        return Refuse(kSetDoesNotMatch);
    Say(options, kSetMatches);
    return kExitFinished;
}

} // namespace zelvo::cli
