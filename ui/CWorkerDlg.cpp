#include "CWorkerDlg.h"

#include "CFolderDialog.h"
#include "ChipSet.h"
#include "DesktopNotice.h"
#include "FileDialogs.h"
#include "RunMessages.h"
#include "RunStatus.h"
#include "StringTable.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <chrono>
#include <climits>
#include <thread>

namespace zelvo::ui {
namespace {

std::function<void()>& runStartHook()
{
    static std::function<void()> hook;
    return hook;
}

// Takes drops on one path field for as long as the field lives.
class PathDrop final : public QObject
{
public:
    PathDrop(QLineEdit* field, QPushButton* button, bool folder, std::function<void(const QString&)> choose)
        : QObject(field), m_button(button), m_folder(folder), m_choose(std::move(choose))
    {
        field->setAcceptDrops(true);
        field->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove && event->type() != QEvent::Drop)
            return false;
        // The field itself is read-only and would refuse the drop; it is taken here or nowhere.
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = m_button->isEnabled() ? DroppedPath(drop->mimeData(), m_folder) : QString();
        // Only as a copy: a move offered by the file manager would have it delete what it dragged.
        if (path.isEmpty() || !(drop->possibleActions() & Qt::CopyAction)) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop)
            m_choose(path);
        return true;
    }

private:
    QPushButton* m_button;
    bool m_folder;
    std::function<void(const QString&)> m_choose;
};

} // namespace

void SetRunStartHook(std::function<void()> hook)
{
    runStartHook() = std::move(hook);
}

CWorkerDlg::CWorkerDlg(const RunTraits& traits, QWidget* parent)
    : QDialog(parent), m_traits(traits),
      m_receiver(new WorkerReceiver(
          this, [this](uint64_t blocks) { OnProgress(blocks); }, [this](uint64_t outcome) { OnDone(outcome); }))
{}

CWorkerDlg::~CWorkerDlg()
{
    // The receiver is a child and goes with the dialog; closing its channel first keeps a worker
    // that is still running from posting while the dialog is half destroyed.
    m_receiver->CloseChannel();
}

void CWorkerDlg::InitRunDialog(CPercentProgressCtrl* progress)
{
    m_progress = progress;
    m_progress->ShowLabel(false);
    lang::ApplyDialogTexts(*this, m_traits.langDialog);

    const auto labels = findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (label->buddy())
            label->buddy()->setAccessibleName(PlainLabelText(label->text()));
    m_progress->setAccessibleName(RunDialogText(u"Progress Bar", QStringLiteral("Progress")));

    // The status line sits in the gap between the bar and the buttons, so the template's frame
    // keeps its size; hidden while no run goes on, its room kept.
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("runStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setMinimumHeight(m_status->fontMetrics().height());
    QSizePolicy policy = m_status->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_status->setSizePolicy(policy);
    m_status->hide();
    if (auto* box = qobject_cast<QBoxLayout*>(layout())) {
        const int at = box->indexOf(m_progress) + 1;
        if (QLayoutItem* gap = at > 0 ? box->itemAt(at) : nullptr; gap && gap->spacerItem()) {
            const int room = gap->sizeHint().height() - m_status->minimumHeight() - box->spacing();
            delete box->takeAt(at);
            if (room > 0)
                box->insertSpacing(at, room);
        }
        box->insertWidget(at, m_status);
    }
}

QString CWorkerDlg::BrowseSourceFile(const QString& filter)
{
    return GetOpenFilePath(this, filter, QLatin1String(m_traits.name) + QLatin1String("Source"));
}

QString CWorkerDlg::BrowseDestFolder()
{
    CFolderDialog dlg;
    dlg.m_strPlace = QLatin1String(m_traits.name) + QLatin1String("Destination");
    return dlg.Browse() == 1 ? dlg.m_strPath : QString();
}

void CWorkerDlg::AcceptDrops(QLineEdit* field, QPushButton* button, bool folder,
                             std::function<void(const QString&)> choose)
{
    new PathDrop(field, button, folder, std::move(choose));
}

MsgAnswer CWorkerDlg::Box(const QString& text, MsgButtons buttons, MsgIcon icon)
{
    ++m_nBoxDepth;
    const MsgAnswer answer = ZelvoMessageBox(text, buttons, icon);
    --m_nBoxDepth;
    if (m_nBoxDepth == 0 && m_bEndPending)
        accept();
    return answer;
}

MsgAnswer CWorkerDlg::Box(int stringId, MsgButtons buttons, MsgIcon icon)
{
    return Box(QString::fromStdString(LoadString(stringId)), buttons, icon);
}

void CWorkerDlg::FileErrorBox(FileError error, const PathString& path)
{
    Box(QString::fromStdString(FileErrorText(error, path)), MsgButtons::Ok, MsgIcon::Stop);
}

bool CWorkerDlg::AgreeToReplace(int stringId, const PathString& path)
{
    const std::string question = FormatString1(LoadString(stringId), DisplayPath(path));
    return Box(QString::fromStdString(question), MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes;
}

void CWorkerDlg::RefusalBox(const PlanRefusal& refusal)
{
    MsgIcon icon = MsgIcon::Stop;
    switch (refusal.what) {
    case Refusal::SelectSource:
    case Refusal::InvalidSize:
    case Refusal::SelectDestFolder:
    case Refusal::SourceTooSmall:
    case Refusal::TooManyChips:
    case Refusal::BadHeader:
        icon = MsgIcon::Exclamation;
        break;
    default:
        break;
    }
    Box(QString::fromStdString(RefusalText(refusal)), MsgButtons::Ok, icon);
}

bool CWorkerDlg::RefuseWhileWorkerBusy()
{
    // The worker of this dialog's own last run has posted its outcome as its last act and is only
    // returning: give it that moment rather than refusing a run the user cannot tell apart.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (m_bOwnWorkerFinishing && m_traits.workerBusy() && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    if (!m_traits.workerBusy())
        return false;
    Box(IDS_WORKER_BUSY);
    return true;
}

void CWorkerDlg::StartRun(uint64_t totalBytes)
{
    m_totalBytes = totalBytes;
    m_runClock.start();
    m_lastStatusMs = 0;
    m_status->setText(RunStatusText(0, totalBytes, 0));
    m_status->show();
    const auto channel = m_receiver->OpenChannel(m_traits.progressMessage, m_traits.doneMessage);
    m_bOwnWorkerFinishing = false;
    if (runStartHook())
        runStartHook()();
    if (!m_traits.startWorker(WorkerChannel::MakePoster(channel))) {
        m_receiver->CloseChannel();
        Box(IDS_WORKER_BUSY);
        BackToReady();
    }
}

void CWorkerDlg::EndWithOk()
{
    if (m_nBoxDepth > 0)
        m_bEndPending = true;
    else
        accept();
}

void CWorkerDlg::reject()
{
    // The question is about this dialog's own run; a run of a dialog that has already ended
    // (it still finishes in the background) is not this dialog's to cancel.
    if (m_receiver->HasChannel() && m_traits.runState->load() == kRunRunning) {
        if (Box(m_traits.confirmCancelId, MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes) {
            // Only a run that is still going is cancelled; a Yes given after it ended leaves
            // nothing behind for the next run.
            int32_t running = kRunRunning;
            m_traits.runState->compare_exchange_strong(running, kRunCancel);
        }
        return;
    }
    QDialog::reject();
}

void CWorkerDlg::done(int result)
{
    // From here on the dialog is no window a worker may report to.
    m_receiver->CloseChannel();
    m_bEndPending = false;
    QDialog::done(result);
}

void CWorkerDlg::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Box(lang::DoubleClickMessage(m_traits.langDialog));
    QDialog::mouseDoubleClickEvent(event);
}

void CWorkerDlg::OnProgress(uint64_t blocks)
{
    m_progress->SetPos(static_cast<int>(std::min<uint64_t>(blocks, INT_MAX)));
    // A few updates a second are all anyone can read; the last block is always shown.
    const uint64_t done = std::min<uint64_t>(blocks * kCopyBlock, m_totalBytes);
    const int64_t now = m_runClock.elapsed();
    if (done < m_totalBytes && now - m_lastStatusMs < 250)
        return;
    m_lastStatusMs = now;
    m_status->setText(RunStatusText(done, m_totalBytes, now));
}

void CWorkerDlg::OnDone(uint64_t outcome)
{
    m_bOwnWorkerFinishing = true;
    std::string text;
    switch (outcome) {
    case kOutcomeFinished:
        text = LoadString(m_traits.outcomeIds.finished);
        break;
    case kOutcomeCancelled:
        text = LoadString(m_traits.outcomeIds.cancelled);
        break;
    case kOutcomeOpenFailed:
        text = LoadString(m_traits.outcomeIds.openFailed);
        break;
    case kOutcomeIoFailed:
        text = LoadString(m_traits.outcomeIds.ioFailed) + "\n" + m_traits.failureText();
        break;
    default:
        return;
    }
    // A run that ends behind other windows would go unnoticed: the box alone does not come forward.
    if (!InForeground())
        SendDesktopNotice(windowTitle(), QString::fromStdString(text));
    if (outcome == kOutcomeFinished) {
        Box(QString::fromStdString(text));
        EndWithOk();
        return;
    }
    Box(QString::fromStdString(text), MsgButtons::Ok, MsgIcon::Stop);
    BackToReady();
}

bool CWorkerDlg::InForeground() const
{
    for (const QWidget* w = QApplication::activeWindow(); w; w = w->parentWidget())
        if (w == this)
            return true;
    return false;
}

void CWorkerDlg::BackToReady()
{
    EnableInputs(true);
    m_progress->SetPos(0);
    m_progress->ShowLabel(false);
    m_status->hide();
}

} // namespace zelvo::ui
