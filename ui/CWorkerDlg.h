// What the Comminute and Merge dialogs have in common: a modal dialog that starts one worker,
// follows its progress on a CPercentProgressCtrl, asks before cancelling a run, reports the
// outcome, and shows a message on a double click of its surface. Each dialog supplies its job's
// run state, its worker and its texts (RunTraits) and switches its own inputs (EnableInputs).
#pragma once

#include "CPercentProgressCtrl.h"
#include "DialogUnits.h"
#include "FileIO.h"
#include "LangText.h"
#include "MessageBox.h"
#include "PathText.h"
#include "Plan.h"
#include "RunMessages.h"
#include "WorkerChannel.h"
#include "Workers.h"

#include <QDialog>
#include <QElapsedTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zelvo::ui {

struct RunTraits
{
    lang::LangDialog langDialog;
    std::atomic<int32_t>* runState;
    bool (*workerBusy)();
    bool (*startWorker)(Poster);
    uint32_t progressMessage;
    uint32_t doneMessage;
    OutcomeIds outcomeIds; // the I/O failure's is followed by which file failed and why
    int confirmCancelId;   // the question of a close request during a run
    // Which file failed and why, from the job's record: read after the done notification only.
    std::string (*failureText)();
    // "Comminute" or "Merge": the places under which its "..." buttons remember their folders.
    const char* name;
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

    // Called once the derived dialog has built its controls: the bar starts without its text, the
    // language texts replace the template's (unless no language file was loaded), every field is
    // named after the label that is its buddy, and the run's status line goes under the bar.
    void InitRunDialog(CPercentProgressCtrl* progress);

    // The "..." buttons: the file-open dialog and the folder chooser, each opening where it was
    // last used; an empty text when cancelled.
    QString BrowseSourceFile(const QString& filter);
    QString BrowseDestFolder();
    // A local file (a folder when folder is set) dropped on field is handed to choose, as if it
    // had been chosen with button, and only while button can be pressed.
    void AcceptDrops(QLineEdit* field, QPushButton* button, bool folder, std::function<void(const QString&)> choose);

    // Message boxes of this dialog: the nesting is counted so that a run that finishes while a
    // box is open ends the dialog only after the outermost box has closed.
    MsgAnswer Box(int stringId, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::Exclamation);
    MsgAnswer Box(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::Exclamation);
    void FileErrorBox(FileError error, const PathString& path);
    // Asks before a run replaces what is already there (the question of stringId about path);
    // true for Yes.
    bool AgreeToReplace(int stringId, const PathString& path);
    // A plan's refusal: the input checks of the dialogs' templates with the exclamation icon,
    // a file that cannot be used with the stop icon.
    void RefusalBox(const PlanRefusal& refusal);

    // True (after telling the user) when a worker of an earlier run of this kind still finishes;
    // the press must then change nothing.
    bool RefuseWhileWorkerBusy();
    // Ends the press: the bar is set up by the caller; this disables the inputs and starts the
    // worker, or, should the start be refused, reports it and leaves the dialog ready. totalBytes:
    // what the run copies, for the status line.
    void StartRun(uint64_t totalBytes);
    // End with OK now, or as soon as no box of this dialog is open any more.
    void EndWithOk();

    virtual void EnableInputs(bool enable) = 0;

    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnProgress(uint64_t blocks);
    void OnDone(uint64_t outcome);
    void BackToReady();
    // The dialog, or a box or picker it opened, has the keyboard.
    bool InForeground() const;

    const RunTraits m_traits;
    CPercentProgressCtrl* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QElapsedTimer m_runClock;
    int64_t m_lastStatusMs = 0;
    uint64_t m_totalBytes = 0;
    WorkerReceiver* m_receiver;
    int m_nBoxDepth = 0;
    bool m_bEndPending = false;
    bool m_bOwnWorkerFinishing = false; // this dialog's worker has posted its outcome
};

} // namespace zelvo::ui
