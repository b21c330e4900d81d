// What the Comminute and Merge dialogs have in common: a modal dialog that starts one worker,
// follows its progress on a CPercentProgressCtrl, asks before cancelling a run, reports the
// outcome, and shows a message on a double click of its surface. Each dialog supplies its job's
// run state, its worker and its texts (RunTraits) and switches its own inputs (EnableInputs).
#pragma once

#include "CPercentProgressCtrl.h"
#include "FileIO.h"
#include "LangText.h"
#include "MessageBox.h"
#include "Plan.h"
#include "WorkerChannel.h"
#include "Workers.h"

#include <QDialog>
#include <QFontMetrics>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace zelvo::ui {

// Paths travel as the engine's native path text; every path is held whole, whatever its length.
PathString ToPathString(const QString& path);
QString FromPathString(const PathString& path);

// Dialog units of the templates: a quarter of the font's average character width across, an
// eighth of its height down.
class DialogUnits
{
public:
    explicit DialogUnits(const QFontMetrics& metrics);
    int X(int units) const;
    int Y(int units) const;

private:
    double m_x;
    double m_y;
};

struct RunTraits
{
    lang::LangDialog langDialog;
    std::atomic<int32_t>* runState;
    bool (*workerBusy)();
    bool (*startWorker)(Poster);
    uint32_t progressMessage;
    uint32_t doneMessage;
    int finishedId;      // outcome 0, then the dialog ends with OK
    int canceledId;      // outcome 1
    int openFailedId;    // outcome 2
    int ioFailedId;      // outcome 3, followed by which file failed and why
    int confirmCancelId; // the question of a close request during a run
    // Which file failed and why, from the job's record: read after the done notification only.
    std::string (*failureText)();
};

// Test seam: called on the GUI thread when a press has passed all its checks and filled the job
// record, just before the worker starts. Pass an empty function to remove it.
void SetRunStartHook(std::function<void()> hook);

class CWorkerDlg : public QDialog
{
    Q_OBJECT

public:
    ~CWorkerDlg() override;
    Q_DISABLE_COPY_MOVE(CWorkerDlg)

    // OnCancel: the Close button, Esc and (through QDialog's closeEvent) the close box.
    void reject() override;
    void done(int result) override;

protected:
    CWorkerDlg(const RunTraits& traits, QWidget* parent);

    // Called once the derived dialog has built its controls: the bar starts without its text and
    // the language texts replace the template's (unless no language file was loaded).
    void InitRunDialog(CPercentProgressCtrl* progress);

    // Message boxes of this dialog: the nesting is counted so that a run that finishes while a
    // box is open ends the dialog only after the outermost box has closed.
    MsgAnswer Box(int stringId, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::Exclamation);
    MsgAnswer Box(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::Exclamation);
    void FileErrorBox(FileError error, const PathString& path);
    // A plan's refusal: the input checks of the dialogs' templates with the exclamation icon,
    // a file that cannot be used with the stop icon.
    void RefusalBox(const PlanRefusal& refusal);

    // True (after telling the user) when a worker of an earlier run of this kind still finishes;
    // the press must then change nothing.
    bool RefuseWhileWorkerBusy();
    // Ends the press: the bar is set up by the caller; this disables the inputs and starts the
    // worker, or, should the start be refused, reports it and leaves the dialog ready.
    void StartRun();
    // End with OK now, or as soon as no box of this dialog is open any more.
    void EndWithOk();

    virtual void EnableInputs(bool enable) = 0;

    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnProgress(uint64_t blocks);
    void OnDone(uint64_t outcome);
    void BackToReady();

    const RunTraits m_traits;
    CPercentProgressCtrl* m_progress = nullptr;
    WorkerReceiver* m_receiver;
    int m_nBoxDepth = 0;
    bool m_bEndPending = false;
    bool m_bOwnWorkerFinishing = false; // this dialog's worker has posted its outcome
};

} // namespace zelvo::ui
