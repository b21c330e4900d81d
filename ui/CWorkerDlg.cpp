#include "CWorkerDlg.h"

#include "RunMessages.h"
#include "StringTable.h"

#include <QFile>
#include <QMouseEvent>
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

} // namespace

void SetRunStartHook(std::function<void()> hook)
{
    runStartHook() = std::move(hook);
}

PathString ToPathString(const QString& path)
{
#ifdef _WIN32
    return path.toStdWString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

QString FromPathString(const PathString& path)
{
#ifdef _WIN32
    return QString::fromStdWString(path);
#else
    return QFile::decodeName(QByteArray::fromStdString(path));
#endif
}

DialogUnits::DialogUnits(const QFontMetrics& metrics)
    : m_x(metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 /
          4.0),
      m_y(metrics.height() / 8.0)
{}

int DialogUnits::X(int units) const
{
    return qRound(units * m_x);
}

int DialogUnits::Y(int units) const
{
    return qRound(units * m_y);
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

void CWorkerDlg::StartRun()
{
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
}

void CWorkerDlg::OnDone(uint64_t outcome)
{
    m_bOwnWorkerFinishing = true;
    switch (outcome) {
    case kOutcomeFinished:
        Box(m_traits.finishedId);
        EndWithOk();
        return;
    case kOutcomeCancelled:
        Box(m_traits.canceledId, MsgButtons::Ok, MsgIcon::Stop);
        break;
    case kOutcomeOpenFailed:
        Box(m_traits.openFailedId, MsgButtons::Ok, MsgIcon::Stop);
        break;
    case kOutcomeIoFailed: {
        const std::string cause = m_traits.failureText();
        Box(QString::fromStdString(LoadString(m_traits.ioFailedId) + "\n" + cause), MsgButtons::Ok, MsgIcon::Stop);
        break;
    }
    default:
        return;
    }
    BackToReady();
}

void CWorkerDlg::BackToReady()
{
    EnableInputs(true);
    m_progress->SetPos(0);
    m_progress->ShowLabel(false);
}

} // namespace zelvo::ui
