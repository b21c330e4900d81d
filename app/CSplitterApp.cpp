#include "CSplitterApp.h"

#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "LangMenu.h"
#include "LangText.h"
#include "LanguageTable.h"
#include "MessageBox.h"
#include "PathText.h"
#include "StringTable.h"
#include "SystemLanguage.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QSettings>
#include <new>

CSplitterApp theApp;

namespace {

const QString kInstanceLockName = QString::fromUtf8(zelvo::core::kInstanceName);

QString SettingsKey()
{
    return QString::fromUtf8(zelvo::core::kSettingsGroup) + QLatin1Char('/') +
           QString::fromUtf8(zelvo::core::kLanguageKey);
}

} // namespace

CSplitterApp::~CSplitterApp() = default;

bool CSplitterApp::InitInstance(const QStringList& files)
{
    // Several files, like none, open the main window only.
    const QString file = files.size() == 1 ? QFileInfo(files.front()).absoluteFilePath() : QString();
    const auto lock = m_instanceLock.Acquire(kInstanceLockName, m_strLockFolder);
    const QString serverName = zelvo::app::FileHandOver::ServerName(kInstanceLockName, m_strLockFolder);
    using Action = zelvo::core::StartAction;
    const Action action = zelvo::core::InstanceStart(lock, !file.isEmpty());
    if (action == Action::RefuseUnsafe) {
        zelvo::ui::ZelvoMessageBox(QString::fromStdString(zelvo::FormatString1(
            zelvo::LoadString(zelvo::IDS_LOCK_UNSAFE), m_instanceLock.UnsafePath().toStdString())));
        return false;
    }
    if (action == Action::HandOver && zelvo::app::FileHandOver::Send(serverName, file)) {
        m_bHandedOver = true;
        return false;
    }
    if (action == Action::HandOver || action == Action::Refuse) {
        zelvo::ui::ZelvoMessageBox(zelvo::IDS_INSTANCE_RUNNING);
        return false;
    }
    if (action == Action::RunAndListen) {
        m_handOver = std::make_unique<zelvo::app::FileHandOver>([this](const QString& path) {
            if (m_pMainWnd)
                m_pMainWnd->OpenFile(path);
        });
        m_handOver->Listen(serverName);
    }

    // The desktop entry's name, so that Wayland shows its icon; the icon (from the dialogs library)
    // on every window.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.quorvex.Zelvo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zelvo.png")));

    // The settings scope, which the remembered folders share.
    QCoreApplication::setOrganizationName(QString::fromUtf8(zelvo::core::kCompanyName));
    QCoreApplication::setApplicationName(QString::fromUtf8(zelvo::core::kProductName));

    if (!CreateMainFrame())
        return false;

    zelvo::core::StartLanguage(*this, theLangFile, m_nLanguage,
                               m_systemLanguageId.value_or(zelvo::app::SystemDefaultLanguageId()));

    m_pMainWnd->show();
    m_pMainWnd->repaint();
    // Once the event loop runs, so that the dialog's own loop does not run inside start-up.
    if (!file.isEmpty())
        QMetaObject::invokeMethod(
            m_pMainWnd.data(), [this, file] { m_pMainWnd->OpenFile(file); }, Qt::QueuedConnection);
    return true;
}

void CSplitterApp::ExitInstance()
{
    m_handOver.reset();
    delete m_pMainWnd.data();
}

bool CSplitterApp::CreateMainFrame()
{
    try {
        auto* frame = new CMainFrame(*this);
        if (frame->OnCreate() != 0) {
            delete frame;
            return false;
        }
        m_pMainWnd = frame;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

QString CSplitterApp::ProgramFolder() const
{
    return m_strProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_strProgramFolder;
}

QString CSplitterApp::LangFilePath(const QString& languageName) const
{
    // The name goes into the path as it stands, whatever the settings hold.
    const QChar sep = QDir::separator();
    return QDir::toNativeSeparators(ProgramFolder()) + sep + QStringLiteral("Lang") + sep + languageName +
           QStringLiteral(".lang");
}

std::u16string CSplitterApp::LangFilePath(const std::u16string& name)
{
    return std::as_const(*this).LangFilePath(QString::fromStdU16String(name)).toStdU16String();
}

std::u16string CSplitterApp::StoredLanguage()
{
    return QSettings().value(SettingsKey()).toString().toStdU16String();
}

void CSplitterApp::StoreLanguage(const std::u16string& name)
{
    QSettings().setValue(SettingsKey(), QString::fromStdU16String(name));
}

void CSplitterApp::LanguageLoaded()
{
    RebuildMenu();
    if (m_pMainWnd)
        m_pMainWnd->setWindowTitle(zelvo::lang::Text(theLangFile, u"Application", u"Title"));
}

void CSplitterApp::Show(int stringId)
{
    zelvo::ui::ZelvoMessageBox(stringId);
}

void CSplitterApp::RebuildMenu()
{
    if (!m_pMainWnd)
        return;
    auto* bar = qobject_cast<QMenuBar*>(m_pMainWnd->menuWidget());
    if (!bar)
        return;
    zelvo::app::RebuildMenuBar(*bar, theLangFile);
    m_pMainWnd->WireMenuBar();
}

bool CSplitterApp::OnCmdMsg(unsigned commandId, int code, QAction* item)
{
    if (const auto index = zelvo::core::LanguageOfCommand(commandId)) {
        if (code == CN_COMMAND)
            SwitchLanguage(*index);
        else if (code == CN_UPDATE_COMMAND_UI && item)
            OnUpdateLanguage(*index, item);
        return true;
    }

    const bool isAbout = commandId == zelvo::ID_APP_ABOUT;
    if (!isAbout && commandId != zelvo::ID_APP_EXIT)
        return false;
    if (code == CN_COMMAND) {
        isAbout ? OnAppAbout() : OnAppExit();
        return true;
    }
    if (code == CN_UPDATE_COMMAND_UI && item) {
        item->setEnabled(true);
        return true;
    }
    return false;
}

void CSplitterApp::OnUpdateLanguage(int index, QAction* item)
{
    item->setCheckable(true);
    item->setChecked(zelvo::core::LanguageChecked(index, m_nLanguage));
    item->setEnabled(true);
}

void CSplitterApp::SwitchLanguage(int index)
{
    zelvo::core::SwitchLanguage(*this, theLangFile, m_nLanguage, index);
}

void CSplitterApp::OnAppAbout()
{
    // Without a parent the box is application modal: the main window takes no input meanwhile.
    CAboutDlg dlg;
    dlg.exec();
}

void CSplitterApp::OnAppExit()
{
    // The same close request as the close box: the window goes, and with it the program.
    if (m_pMainWnd)
        m_pMainWnd->close();
}
