#include "RunSession.h"

#include "ChipSet.h"
#include "Plan.h"
#include "RunMessages.h"
#include "StringTable.h"
#include "Workers.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>

namespace zelvo::core {

struct RunKind
{
    std::atomic<int32_t>* runState;
    bool (*workerBusy)();
    bool (*startWorker)(Poster);
    uint32_t progressMessage;
    uint32_t doneMessage;
    OutcomeIds outcomeIds; // the I/O failure's is followed by which file failed and why
    int confirmCancelId;
    // Which file failed and why, from the job's record: read after the done notification only.
    std::string (*failureText)();
    // The count field shows the run's chip count (the split's), not the chosen set's (the merge's).
    bool countIsTheRuns = false;
};

namespace {

const RunKind kComminute{&ComminuteJob.runState,
                         &ComminuteWorkerBusy,
                         &StartComminuteWorker,
                         WM_COMMINUTE_PROGRESS,
                         WM_COMMINUTE_DONE,
                         kComminuteOutcomeIds,
                         IDS_CONFIRM_CANCEL_COMMINUTE,
                         [] { return FailureText(ComminuteJob); },
                         true};

const RunKind kMerge{
    &MergeJob.runState, &MergeWorkerBusy, &StartMergeWorker,        WM_MERGE_PROGRESS,
    WM_MERGE_DONE,      kMergeOutcomeIds, IDS_CONFIRM_CANCEL_MERGE, [] { return FailureText(MergeJob); }};

// The input checks of the dialogs' templates carry the exclamation icon; a file that cannot be
// used, the stop icon.
BoxIcon RefusalIcon(Refusal what)
{
    switch (what) {
    case Refusal::SelectSource:
    case Refusal::InvalidSize:
    case Refusal::SelectDestFolder:
    case Refusal::SourceTooSmall:
    case Refusal::TooManyChips:
    case Refusal::BadHeader:
        return BoxIcon::Exclamation;
    default:
        return BoxIcon::Stop;
    }
}

WorkerSeam& Seam()
{
    static WorkerSeam seam;
    return seam;
}

} // namespace

void SetWorkerSeam(WorkerSeam seam)
{
    Seam() = std::move(seam);
}

int64_t SizeEntry(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return 0;
    int64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
        if (n > INT_MAX)
            return 0;
    }
    return n;
}

RunSession::RunSession(const RunKind& kind, RunPort& port)
    : m_kind(kind), m_port(port), m_pump(kind.progressMessage, kind.doneMessage)
{}

RunSession::~RunSession()
{
    m_pump.Close();
}

void RunSession::Step(Event event, uint64_t value)
{
    const RunState was = m_state;
    switch (event) {
    case Event::Started:
        m_state = RunState::Running;
        m_port.SetTicking(true);
        return;
    case Event::Progress:
        if (was != RunState::Running && was != RunState::Cancelling)
            return;
        m_blocks = value;
        m_port.SetBarPos(static_cast<int>(std::min<uint64_t>(value, INT_MAX)));
        return;
    case Event::Done: {
        if (was != RunState::Running && was != RunState::Cancelling)
            return;
        m_port.SetTicking(false);
        const OutcomeIds& ids = m_kind.outcomeIds;
        std::string text;
        if (value == kOutcomeFinished)
            text = LoadString(ids.finished);
        else if (value == kOutcomeCancelled)
            text = LoadString(ids.cancelled);
        else if (value == kOutcomeOpenFailed)
            text = LoadString(ids.openFailed);
        else
            text = LoadString(ids.ioFailed) + "\n" + m_kind.failureText();
        // The line keeps the bytes the run reached; the rate and time left mean nothing any more.
        ShowStatus(false);
        m_port.Notice(text);
        if (value == kOutcomeFinished) {
            m_state = RunState::EndPending;
            Box(text, BoxIcon::Exclamation);
            if (m_nBoxDepth == 0)
                Step(Event::End, 1);
            return;
        }
        m_state = RunState::Ready;
        m_lineKept = true;
        Box(text, BoxIcon::Stop);
        m_port.EnableInputs(true);
        m_port.SetBar(m_barUpper, 0, false);
        return;
    }
    case Event::Close:
        if (was == RunState::Running) {
            const bool yes = Ask(LoadString(m_kind.confirmCancelId), AskDefault::Yes);
            // Only a run that is still going is cancelled; a Yes given after it ended leaves
            // nothing behind for the next run.
            if (yes && m_state == RunState::Running)
                Step(Event::CancelYes);
            return;
        }
        if (was == RunState::Ready || was == RunState::Cancelling)
            Step(Event::End, 0);
        return;
    case Event::CancelYes: {
        int32_t running = kRunRunning;
        if (m_kind.runState->compare_exchange_strong(running, kRunCancel))
            m_state = RunState::Cancelling;
        return;
    }
    case Event::InputChanged:
        if (was != RunState::Ready || !m_lineKept)
            return;
        m_lineKept = false;
        m_port.SetStatus({});
        if (m_kind.countIsTheRuns)
            m_port.SetText(Field::Count, {});
        return;
    case Event::BoxClosed:
        if (m_nBoxDepth == 0 && was == RunState::EndPending)
            Step(Event::End, 1);
        return;
    case Event::End:
        if (was == RunState::Ended)
            return;
        m_state = RunState::Ended;
        m_pump.Close();
        m_port.SetTicking(false);
        m_port.EndDialog(value != 0);
        return;
    }
}

void RunSession::OnWake()
{
    Take();
}

void RunSession::OnTick()
{
    Take();
    if (m_state == RunState::Running || m_state == RunState::Cancelling)
        ShowStatus(true);
}

void RunSession::OnClose()
{
    Step(Event::Close);
}

void RunSession::OnInputChanged()
{
    Step(Event::InputChanged);
}

void RunSession::OnEnd()
{
    // The front end ends the dialog by itself too (its own accept): then nothing is shown.
    m_pump.Close();
    m_state = RunState::Ended;
}

void RunSession::Message(const std::string& text, BoxIcon icon)
{
    Box(text, icon);
}

void RunSession::Take()
{
    const ProgressPump::Taken taken = m_pump.Take();
    if (taken.blocks)
        Step(Event::Progress, *taken.blocks);
    if (taken.outcome)
        Step(Event::Done, *taken.outcome);
}

void RunSession::ShowStatus(bool withRate)
{
    const uint64_t done = std::min<uint64_t>(m_blocks * kCopyBlock, m_totalBytes);
    m_port.SetStatus(RunStatusText(done, m_totalBytes, m_port.NowMs() - m_startMs, m_texts, withRate));
}

void RunSession::Box(const std::string& text, BoxIcon icon)
{
    ++m_nBoxDepth;
    m_port.Show(text, icon);
    --m_nBoxDepth;
    Step(Event::BoxClosed);
}

bool RunSession::Ask(const std::string& question, AskDefault byDefault)
{
    ++m_nBoxDepth;
    const bool yes = m_port.Ask(question, byDefault);
    --m_nBoxDepth;
    Step(Event::BoxClosed);
    return yes;
}

void RunSession::End(bool ok)
{
    Step(Event::End, ok ? 1 : 0);
}

bool RunSession::RefuseWhileWorkerBusy()
{
    if (!(Seam().busy ? Seam().busy() : m_kind.workerBusy()))
        return false;
    Box(LoadString(IDS_WORKER_BUSY), BoxIcon::Exclamation);
    return true;
}

void RunSession::Refuse(const PlanRefusal& refusal, std::optional<Field> field)
{
    Box(RefusalText(refusal), RefusalIcon(refusal.what));
    if (field)
        m_port.Focus(*field);
}

bool RunSession::AgreeToReplace(int stringId, const PathString& path)
{
    return Ask(FormatString1(LoadString(stringId), DisplayPath(path)), AskDefault::No);
}

void RunSession::Start(int barUpper, uint64_t totalBytes)
{
    m_barUpper = barUpper;
    m_port.SetBar(barUpper, 0, true);
    m_port.EnableInputs(false);
    m_totalBytes = totalBytes;
    m_blocks = 0;
    m_startMs = m_port.NowMs();
    m_port.SetStatus(RunStatusText(0, totalBytes, 0, m_texts));
    RunPort& port = m_port;
    Poster poster = m_pump.Open([&port] { port.Wake(); }, [&port] { return port.NowMs(); });
    if (!(Seam().start ? Seam().start(std::move(poster)) : m_kind.startWorker(std::move(poster)))) {
        m_pump.Close();
        Box(LoadString(IDS_WORKER_BUSY), BoxIcon::Exclamation);
        m_port.EnableInputs(true);
        m_port.SetBar(m_barUpper, 0, false);
        m_port.SetStatus({});
        return;
    }
    Step(Event::Started);
}

ComminuteSession::ComminuteSession(RunPort& port) : RunSession(kComminute, port) {}

namespace {

// The field a refused press sends the user back to; none where the refusal is about no one field.
std::optional<Field> RefusedField(Refusal what)
{
    switch (what) {
    case Refusal::SelectSource:
        return Field::Source;
    case Refusal::InvalidSize:
        return Field::Size;
    case Refusal::SelectDestFolder:
        return Field::Dest;
    default:
        return std::nullopt;
    }
}

} // namespace

void ComminuteSession::OnPress(const PathString& source, std::string_view sizeText, const PathString& destFolder)
{
    if (State() != RunState::Ready || RefuseWhileWorkerBusy())
        return;
    const SplitPlan plan = PlanSplit(source, SizeEntry(sizeText), destFolder);
    if (plan.refusal.what != Refusal::None)
        return Refuse(plan.refusal, RefusedField(plan.refusal.what));
    // Without the user's Yes the worker leaves an existing set alone and fails instead.
    const bool replace = plan.replacesFiles;
    if (replace && !AgreeToReplace(IDS_CONFIRM_REPLACE_SET, plan.base))
        return;
    Port().SetText(Field::Count, std::to_string(plan.sizing.chipCount));
    LoadComminuteJob(plan, replace);
    Start(static_cast<int>(plan.sizing.totalBlocks), static_cast<uint64_t>(plan.sourceLength));
}

MergeSession::MergeSession(RunPort& port) : RunSession(kMerge, port) {}

void MergeSession::OnPress(const PathString& header, const PathString& destFolder)
{
    if (State() != RunState::Ready || RefuseWhileWorkerBusy())
        return;
    const MergePlan plan = PlanMerge(header, destFolder);
    if (plan.refusal.what == Refusal::BadHeader) {
        // A header that holds no set ends the dialog, as the template's did.
        Refuse(plan.refusal, std::nullopt);
        return End(true);
    }
    if (plan.refusal.what != Refusal::None)
        return Refuse(plan.refusal, RefusedField(plan.refusal.what));
    // Without the user's Yes the worker leaves an existing file alone and fails instead.
    const bool replace = plan.replacesFile;
    if (replace && !AgreeToReplace(IDS_CONFIRM_REPLACE_FILE, plan.destPath))
        return;
    LoadMergeJob(plan, replace);
    Start(static_cast<int>(std::min<uint32_t>(plan.ProgressRange(), INT_MAX)),
          static_cast<uint64_t>(plan.TotalLength()));
}

void MergeSession::OnHeaderChanged(const PathString& header)
{
    OnInputChanged();
    int64_t length = 0;
    FileError error = QueryLength(header, &length);
    if (error != FileError::None)
        return Message(FileErrorText(error, header), BoxIcon::Stop);
    // Through any chip 01 to 99 of a set this names the set's header chip; a count of 0 (a header
    // too short to hold one) makes Merge report the bad header.
    PathString countPath;
    int32_t count = 0;
    error = ReadSetCount(header, &count, &countPath);
    if (error != FileError::None)
        return Message(FileErrorText(error, countPath), BoxIcon::Stop);
    Port().SetText(Field::Count, std::to_string(count));
    Port().SetText(Field::Name, DisplayPath(SourceNameOfHeader(header)));
}

} // namespace zelvo::core
