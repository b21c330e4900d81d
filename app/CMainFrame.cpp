#include "CMainFrame.h"

#include "AppRules.h"
#include "CComminuteDlg.h"
#include "CMergeDlg.h"
#include "CSplitterApp.h"
#include "CTitleView.h"
#include "LangMenu.h"
#include "LockKeys.h"
#include "MessageBox.h"
#include "PathText.h"
#include "StringTable.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <new>

namespace {

QString LoadText(int id)
{
    return QString::fromStdString(zelvo::LoadString(id));
}

// The one local file of a drag, or nothing: several files or a folder are not taken.
QString DroppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    const QString path = data->urls().front().toLocalFile();
    return QFileInfo(path).isDir() ? QString() : path;
}

// A dialog shows the texts of the language chosen when it opens (it is modal: no switch meanwhile).
zelvo::lang::LanguageTexts DialogLanguage(const CSplitterApp& app)
{
    return {app.m_nLanguage, app.theLangFile};
}

QLabel* MakeIndicatorPane(int id)
{
    auto* pane = new QLabel;
    pane->setObjectName(QString::number(id));
    pane->setProperty("id", id);
    pane->setAlignment(Qt::AlignCenter);
    // The pane keeps its place and width; only its text comes and goes with the lock.
    const QString text = LoadText(id);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(text) + 12);
    pane->setProperty("indicatorText", text);
    return pane;
}

} // namespace

CMainFrame::CMainFrame(CSplitterApp& app) : m_app(app)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    setWindowTitle(LoadText(zelvo::IDR_MAINFRAME));
    resize(640, 420);
}

int CMainFrame::OnCreate()
{
    try {
        m_wndView = new CTitleView(this);
        m_wndView->setObjectName(QStringLiteral("59648"));
        setCentralWidget(m_wndView);
        setFocusProxy(m_wndView);

        QStatusBar* bar = statusBar();
        bar->setObjectName(QStringLiteral("59393"));
        m_paneMessage = new QLabel(LoadText(zelvo::AFX_IDS_IDLEMESSAGE));
        m_paneMessage->setObjectName(QStringLiteral("0"));
        m_paneMessage->setProperty("id", 0);
        bar->addWidget(m_paneMessage, 1);
        m_paneCaps = MakeIndicatorPane(zelvo::ID_INDICATOR_CAPS);
        m_paneNum = MakeIndicatorPane(zelvo::ID_INDICATOR_NUM);
        m_paneScroll = MakeIndicatorPane(zelvo::ID_INDICATOR_SCRL);
        bar->addPermanentWidget(m_paneCaps);
        bar->addPermanentWidget(m_paneNum);
        bar->addPermanentWidget(m_paneScroll);

        BuildDefaultMenu();

        // Lock keys change while the window is not focused too, so their state is polled; where
        // the platform cannot tell, the panes stay empty and nothing is polled.
        if (zelvo::app::QueryLockKeys()) {
            m_lockKeyTimer = new QTimer(this);
            connect(m_lockKeyTimer, &QTimer::timeout, this, &CMainFrame::PollLockKeys);
            m_lockKeyTimer->start(250);
            PollLockKeys();
        }
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return 0;
}

void CMainFrame::BuildDefaultMenu()
{
    using zelvo::app::AddCommand;
    QMenuBar* bar = menuBar();
    auto* file = bar->addMenu(QStringLiteral("&File"));
    AddCommand(*file, QStringLiteral("File &Comminute"), zelvo::ID_FILE_COMMINUTE);
    AddCommand(*file, QStringLiteral("File &Merge"), zelvo::ID_FILE_MERGE);
    file->addSeparator();
    AddCommand(*file, QStringLiteral("E&xit"), zelvo::ID_APP_EXIT);
    auto* help = bar->addMenu(QStringLiteral("&Help"));
    AddCommand(*help, QStringLiteral("&About Zelvo for Doc"), zelvo::ID_APP_ABOUT);
    WireMenuBar();
}

void CMainFrame::WireMenuBar()
{
    auto* bar = qobject_cast<QMenuBar*>(menuWidget());
    if (!bar)
        return;
    std::function<void(QMenu*)> wire = [&](QMenu* menu) {
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(*menu); });
        connect(menu, &QMenu::aboutToHide, this, &CMainFrame::ShowIdleMessageWhenMenusClosed);
        const auto actions = menu->actions();
        for (QAction* action : actions) {
            if (action->menu()) {
                wire(action->menu());
            } else if (const int id = zelvo::app::CommandId(action)) {
                connect(action, &QAction::triggered, this,
                        [this, action, id] { OnCmdMsg(static_cast<unsigned>(id), CN_COMMAND, action); });
            }
        }
        UpdateMenu(*menu);
    };
    const auto popups = bar->actions();
    for (QAction* popup : popups) {
        if (popup->menu())
            wire(popup->menu());
    }
}

void CMainFrame::UpdateMenu(QMenu& menu)
{
    const auto actions = menu.actions();
    for (QAction* action : actions) {
        const int id = zelvo::app::CommandId(action);
        if (id && !OnCmdMsg(static_cast<unsigned>(id), CN_UPDATE_COMMAND_UI, action))
            action->setEnabled(false);
    }
}

bool CMainFrame::OnCmdMsg(unsigned commandId, int code, QAction* item)
{
    // The view comes first on the route but takes no commands; then the frame's own handlers.
    if (commandId == zelvo::ID_FILE_COMMINUTE || commandId == zelvo::ID_FILE_MERGE) {
        const bool comminute = commandId == zelvo::ID_FILE_COMMINUTE;
        if (code == CN_COMMAND) {
            comminute ? OnFileComminute() : OnFileMerge();
            return true;
        }
        if (code == CN_UPDATE_COMMAND_UI && item) {
            item->setEnabled(true);
            return true;
        }
        return false;
    }
    return m_app.OnCmdMsg(commandId, code, item);
}

void CMainFrame::OnFileComminute()
{
    // Modal, without a parent; the result is not used.
    CComminuteDlg dlg(DialogLanguage(m_app));
    dlg.exec();
}

void CMainFrame::OnFileMerge()
{
    // Modal, without a parent; the result is not used.
    CMergeDlg dlg(DialogLanguage(m_app));
    dlg.exec();
}

void CMainFrame::OpenFile(const QString& path)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    if (QApplication::activeModalWidget()) {
        zelvo::ui::ZelvoMessageBox(zelvo::IDS_BUSY_WITH_DIALOG);
        return;
    }
    const auto request = zelvo::core::ClassifyFile(zelvo::ToPathString(path), [](const zelvo::PathString& p) {
        return QFileInfo::exists(zelvo::FromPathString(p));
    });
    const QString chosen = zelvo::FromPathString(request.path);
    // The path goes in once the dialog shows, so that a box about the file stands over the dialog.
    if (request.dialog == zelvo::core::FileDialog::Comminute) {
        CComminuteDlg dlg(DialogLanguage(m_app));
        QMetaObject::invokeMethod(
            &dlg, [&dlg, &chosen] { dlg.SetSourcePath(chosen); }, Qt::QueuedConnection);
        dlg.exec();
    } else {
        CMergeDlg dlg(DialogLanguage(m_app));
        QMetaObject::invokeMethod(
            &dlg, [&dlg, &chosen] { dlg.SetHeaderPath(chosen); }, Qt::QueuedConnection);
        dlg.exec();
    }
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QString path = DroppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The drag ends before the dialog runs its own loop, so the source is not kept waiting.
    QMetaObject::invokeMethod(
        this, [this, path] { OpenFile(path); }, Qt::QueuedConnection);
}

bool CMainFrame::event(QEvent* event)
{
    // The message pane shows the prompt of the highlighted item while a menu is open, nothing on
    // a popup title or a separator, and "Ready" once no menu is open.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (!tip.isEmpty() || QApplication::activePopupWidget())
            m_paneMessage->setText(tip);
        else
            m_paneMessage->setText(LoadText(zelvo::AFX_IDS_IDLEMESSAGE));
        if (tip.isEmpty())
            ShowIdleMessageWhenMenusClosed();
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::ShowIdleMessageWhenMenusClosed()
{
    // A popup is still the active one while it announces its hiding; look once it is gone.
    QTimer::singleShot(0, this, [this] {
        if (!QApplication::activePopupWidget())
            m_paneMessage->setText(LoadText(zelvo::AFX_IDS_IDLEMESSAGE));
    });
}

void CMainFrame::ShowLockKeys(bool caps, bool num, bool scroll)
{
    const auto show = [](QLabel* pane, bool on) {
        pane->setText(on ? pane->property("indicatorText").toString() : QString());
    };
    show(m_paneCaps, caps);
    show(m_paneNum, num);
    show(m_paneScroll, scroll);
}

void CMainFrame::PollLockKeys()
{
    if (const auto keys = zelvo::app::QueryLockKeys())
        ShowLockKeys(keys->caps, keys->num, keys->scroll);
}
