#include "CWorkerDlg.h"

#include "CFolderDialog.h"
#include "DesktopNotice.h"
#include "FileDialogs.h"
#include "MessageBox.h"
#include "RunDialogText.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpacerItem>
#include <chrono>

namespace zelvo::ui {
namespace {

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

CWorkerDlg::CWorkerDlg(const RunTraits& traits, lang::LanguageTexts language, QWidget* parent)
    : QDialog(parent), m_traits(traits), m_language(std::move(language))
{
    m_tick.setInterval(core::RunSession::kTickMs);
    connect(&m_tick, &QTimer::timeout, this, [this] { m_session->OnTick(); });
}

CWorkerDlg::~CWorkerDlg()
{
    // A worker that is still running must not wake a dialog that is half destroyed.
    if (m_session)
        m_session->OnEnd();
}

void CWorkerDlg::InitRunDialog(std::unique_ptr<core::RunSession> session, CPercentProgressCtrl* progress,
                               QSpacerItem* statusRoom)
{
    m_session = std::move(session);
    m_session->SetStatusTexts(core::RunStatusTextsFrom(m_language.file));
    m_progress = progress;
    m_progress->ShowLabel(false);
    lang::ApplyDialogTexts(*this, m_traits.langDialog, m_language);

    const auto labels = findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (label->buddy())
            label->buddy()->setAccessibleName(PlainLabelText(label->text()));
    m_progress->setAccessibleName(RunText(u"Progress Bar", "Progress"));
    // "..." says nothing to a screen reader; both templates use 1001 for the source (the header
    // chip in Merge) and 1007 for the destination folder.
    const bool merge = m_traits.langDialog == lang::LangDialog::Merge;
    if (auto* source = findChild<QPushButton*>(QStringLiteral("1001")))
        source->setAccessibleName(merge ? RunText(u"Choose Header Chip", "Choose the header chip file")
                                        : RunText(u"Choose Source File", "Choose the source file"));
    if (auto* dest = findChild<QPushButton*>(QStringLiteral("1007")))
        dest->setAccessibleName(RunText(u"Choose Destination Folder", "Choose the destination folder"));

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
        const int room = statusRoom->sizeHint().height() - m_status->minimumHeight() - box->spacing();
        statusRoom->changeSize(0, std::max(room, 0), QSizePolicy::Minimum, QSizePolicy::Fixed);
        box->insertWidget(box->indexOf(statusRoom), m_status);
    }
}

QString CWorkerDlg::RunText(const char16_t* key, const char* builtIn)
{
    return QString::fromStdString(core::RunDialogText(m_language.file, key, builtIn));
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

void CWorkerDlg::reject()
{
    m_session->OnClose();
}

void CWorkerDlg::done(int result)
{
    // From here on the dialog is no window a worker may report to.
    m_session->OnEnd();
    m_tick.stop();
    QDialog::done(result);
}

void CWorkerDlg::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_session->Message(lang::DoubleClickMessage(m_traits.langDialog, m_language.file).toStdString());
    QDialog::mouseDoubleClickEvent(event);
}

void CWorkerDlg::Show(const std::string& text, core::BoxIcon icon)
{
    ZelvoMessageBox(QString::fromStdString(text), MsgButtons::Ok, icon);
}

bool CWorkerDlg::Ask(const std::string& question, core::AskDefault byDefault)
{
    return ZelvoMessageBox(QString::fromStdString(question), MsgButtons::YesNo, MsgIcon::Question,
                           byDefault == core::AskDefault::No) == MsgAnswer::Yes;
}

void CWorkerDlg::Notice(const std::string& text)
{
    // A run that ends behind other windows would go unnoticed: the box alone does not come forward.
    if (!InForeground())
        SendDesktopNotice(windowTitle(), QString::fromStdString(text));
}

void CWorkerDlg::Focus(core::Field field)
{
    FieldControl(field)->setFocus();
}

void CWorkerDlg::SetText(core::Field field, const std::string& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(FieldControl(field)))
        edit->setText(QString::fromStdString(text));
}

void CWorkerDlg::SetBar(int upper, int position, bool showPercent)
{
    m_progress->SetRange(0, upper);
    m_progress->ShowLabel(showPercent);
    m_progress->SetPos(position);
}

void CWorkerDlg::SetBarPos(int position)
{
    m_progress->SetPos(position);
}

void CWorkerDlg::SetStatus(const std::string& text)
{
    m_status->setText(QString::fromStdString(text));
    m_status->setVisible(!text.empty());
}

void CWorkerDlg::EndDialog(bool ok)
{
    if (ok)
        accept();
    else
        QDialog::reject();
}

int64_t CWorkerDlg::NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void CWorkerDlg::SetTicking(bool on)
{
    on ? m_tick.start() : m_tick.stop();
}

void CWorkerDlg::Wake()
{
    // On the worker's thread; the call is dropped if the dialog is gone by the time it would run.
    QMetaObject::invokeMethod(
        this, [this] { m_session->OnWake(); }, Qt::QueuedConnection);
}

bool CWorkerDlg::InForeground() const
{
    for (const QWidget* w = QApplication::activeWindow(); w; w = w->parentWidget())
        if (w == this)
            return true;
    return false;
}

} // namespace zelvo::ui
