// The run of one operation dialog (Comminute or Merge), without a toolkit: the press, its plan and
// its refusals, the replace question, the worker's start, progress and outcome, the confirmed
// cancel, and the end of the dialog. One state and one transition function; everything a window
// does goes through the RunPort the session is given.
//
//   Ready      --press, refused--------------> Ready     (a box; the refused field gets the focus)
//   Ready      --press, replace answered No--> Ready
//   Ready      --press, started--------------> Running   (inputs off, bar and status line on)
//   Running    --close, asked, No------------> Running
//   Running    --close, asked, Yes-----------> Cancelling
//   Cancelling --close-----------------------> Ended     (the worker finishes unseen)
//   Running/Cancelling --done, finished------> Ended, or EndPending while a box is open
//   Running/Cancelling --done, not finished--> Ready     (after the outcome's box)
//   Ready      --an input changed------------> Ready     (the ended run's line goes)
//   EndPending --the outermost box closes----> Ended
//   Ready      --close-----------------------> Ended
#pragma once

#include "FileIO.h"
#include "Plan.h"
#include "ProgressPump.h"
#include "RunPort.h"
#include "RunStatus.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zelvo::core {

enum class RunState { Ready, Running, Cancelling, EndPending, Ended };

struct RunKind; // the job, worker and texts of one operation (RunSession.cpp)

class RunSession
{
public:
    virtual ~RunSession();
    RunSession(const RunSession&) = delete;
    RunSession& operator=(const RunSession&) = delete;

    RunState State() const { return m_state; }

    // The line under the bar in the loaded language (RunStatusTextsFrom); built-in English until set.
    void SetStatusTexts(RunStatusTexts texts) { m_texts = std::move(texts); }

    // The front end's events. OnWake after RunPort::Wake, OnTick while ticking.
    void OnWake();
    void OnTick();
    // Close, Esc or the close box: asks before cancelling a run; ends the dialog when no run of
    // this dialog goes on.
    void OnClose();
    // The user changed an input (source, size, destination): a line left by a run that failed or
    // was cancelled no longer speaks of what the dialog now shows.
    void OnInputChanged();
    // The dialog goes (whatever ended it): nothing of its run reaches it any more.
    void OnEnd();
    // A box of the dialog's own (the double click's message): counted like the session's boxes,
    // so a run that finishes meanwhile ends the dialog after it.
    void Message(const std::string& text, BoxIcon icon = BoxIcon::Exclamation);

    // How often the status line is refreshed while a run goes on (also when no progress comes).
    static constexpr int kTickMs = 250;

protected:
    RunSession(const RunKind& kind, RunPort& port);

    RunPort& Port() { return m_port; }
    // True (after telling the user) while a worker of an earlier run of this kind still finishes.
    bool RefuseWhileWorkerBusy();
    // A plan's refusal: its box, then the focus on field (when given).
    void Refuse(const PlanRefusal& refusal, std::optional<Field> field);
    // The question before a run replaces what is there (stringId about path); true for Yes.
    bool AgreeToReplace(int stringId, const PathString& path);
    // The job is loaded: the bar from 0 to barUpper, inputs off, the worker started.
    void Start(int barUpper, uint64_t totalBytes);
    // Ends the dialog now (with OK when ok), or after the outermost box when one is open.
    void End(bool ok);

private:
    enum class Event { Started, Progress, Done, Close, CancelYes, BoxClosed, InputChanged, End };
    void Step(Event event, uint64_t value = 0);
    void Box(const std::string& text, BoxIcon icon);
    bool Ask(const std::string& question, AskDefault byDefault);
    void Take();
    void ShowStatus(bool withRate);

    const RunKind& m_kind;
    RunPort& m_port;
    RunState m_state = RunState::Ready;
    ProgressPump m_pump;
    RunStatusTexts m_texts;
    int m_nBoxDepth = 0;
    int64_t m_startMs = 0;
    uint64_t m_totalBytes = 0;
    uint64_t m_blocks = 0;
    int m_barUpper = 0;
    bool m_lineKept = false; // the line still shows where a run that did not finish stopped
};

class ComminuteSession final : public RunSession
{
public:
    explicit ComminuteSession(RunPort& port);
    // The Comminute button: the source, the size field's text as typed, the destination folder.
    void OnPress(const PathString& source, std::string_view sizeText, const PathString& destFolder);
};

class MergeSession final : public RunSession
{
public:
    explicit MergeSession(RunPort& port);
    // The Merge button: the header chip and the destination folder.
    void OnPress(const PathString& header, const PathString& destFolder);
    // The header field changed (or the same file was chosen again): the chip total and the
    // rebuilt file's name, or the file error of what could not be read.
    void OnHeaderChanged(const PathString& header);
};

// Test seam: while start is set, a run starts it instead of the engine's worker (it gets the
// poster; false is a refused start), and busy replaces the engine's busy check. {} removes it.
struct WorkerSeam
{
    std::function<bool(Poster)> start;
    std::function<bool()> busy;
};
void SetWorkerSeam(WorkerSeam seam);

// The size field as a whole number: empty, not a number, negative or above 2,147,483,647 is 0.
int64_t SizeEntry(std::string_view text);

} // namespace zelvo::core
