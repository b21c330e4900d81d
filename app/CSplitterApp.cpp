#include "CSplitterApp.h"

#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "LangMenu.h"
#include "LangText.h"
#include "LanguageTable.h"
#include "MessageBox.h"
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

const QString kInstanceLockName = QStringLiteral("Zelvo for File");
const QString kSettingsGroup = QStringLiteral("Settings");
const QString kLanguageKey = QStringLiteral("Language");

QString tableName(int index)
{
    return zelvo::lang::ToQString(theLanguageTable[static_cast<std::size_t>(index)].name);
}

} // namespace

CSplitterApp::~CSplitterApp()
{
    zelvo::lang::UnregisterLanguageState(theLangFile);
}

bool CSplitterApp::InitInstance(const QStringList& files)
{
    // Several files, like none, open the main window only.
    const QString file = files.size() == 1 ? QFileInfo(files.front()).absoluteFilePath() : QString();
    const auto lock = m_instanceLock.Acquire(kInstanceLockName, m_strLockFolder);
    if (lock == zelvo::app::SingleInstanceLock::Result::Unsafe) {
        // Another user could hold the lock for us or take the files we hand over.
        zelvo::ui::ZelvoMessageBox(QString::fromStdString(zelvo::FormatString1(
            zelvo::LoadString(zelvo::IDS_LOCK_UNSAFE), m_instanceLock.UnsafePath().toStdString())));
        return false;
    }
    const QString serverName = zelvo::app::FileHandOver::ServerName(kInstanceLockName, m_strLockFolder);
    if (lock == zelvo::app::SingleInstanceLock::Result::HeldElsewhere) {
        if (!file.isEmpty() && zelvo::app::FileHandOver::Send(serverName, file)) {
            m_bHandedOver = true;
            return false;
        }
        zelvo::ui::ZelvoMessageBox(zelvo::IDS_INSTANCE_RUNNING);
        return false;
    }
    if (lock == zelvo::app::SingleInstanceLock::Result::Acquired) {
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

    // The settings scope: company "Quorvex", application "Zelvo".
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvex"));
    QCoreApplication::setApplicationName(QString::fromStdString(zelvo::LoadString(zelvo::AFX_IDS_APP_TITLE)));

    zelvo::lang::RegisterLanguageState(m_nLanguage, theLangFile);
    if (!CreateMainFrame())
        return false;

    // Read once; a default taken from the system serves this run only and is not stored.
    QString name;
    {
        QSettings settings;
        settings.beginGroup(kSettingsGroup);
        name = settings.value(kLanguageKey).toString();
    }
    if (name.isEmpty())
        name = zelvo::app::DefaultLanguageName(m_systemLanguageId.value_or(zelvo::app::SystemDefaultLanguageId()));

    if (LoadLangFile(LangFilePath(name))) {
        // Exact, case-sensitive match; a name outside the table leaves the index as it was.
        for (int i = 0; i < static_cast<int>(theLanguageTable.size()); ++i) {
            if (name == tableName(i)) {
                m_nLanguage = i;
                break;
            }
        }
        RebuildMenu();
        m_pMainWnd->setWindowTitle(zelvo::lang::Text(theLangFile, u"Application", u"Title"));
    } else {
        m_nLanguage = zelvo::lang::kNoLanguage;
    }

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

bool CSplitterApp::LoadLangFile(const QString& path)
{
    // Nothing held is cleared: a load adds to and overwrites the entries of earlier files.
    theLangFile.SetPath(path.toStdU16String());
    return theLangFile.Load();
}

void CSplitterApp::RebuildMenu()
{
    if (!m_pMainWnd)
        return;
    auto* bar = qobject_cast<QMenuBar*>(m_pMainWnd->menuWidget());
    if (!bar)
        return;
    zelvo::lang::RebuildMenuBar(*bar, theLangFile);
    m_pMainWnd->WireMenuBar();
}

bool CSplitterApp::OnCmdMsg(unsigned commandId, int code, QAction* item)
{
    int index = -1;
    for (int i = static_cast<int>(theLanguageTable.size()) - 1; i >= 0; --i) {
        if (theLanguageTable[static_cast<std::size_t>(i)].commandId == commandId) {
            index = i;
            break;
        }
    }
    if (index >= 0) {
        if (code == CN_COMMAND)
            SwitchLanguage(index);
        else if (code == CN_UPDATE_COMMAND_UI && item)
            OnUpdateLanguage(index, item);
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
    item->setChecked(index == m_nLanguage);
    item->setEnabled(true);
}

void CSplitterApp::SwitchLanguage(int index)
{
    const QString name = tableName(index);
    if (!LoadLangFile(LangFilePath(name))) {
        zelvo::ui::ZelvoMessageBox(zelvo::IDS_LANG_FILE_FAILED);
        return;
    }
    RebuildMenu();
    if (m_pMainWnd)
        m_pMainWnd->setWindowTitle(zelvo::lang::Text(theLangFile, u"Application", u"Title"));
    m_nLanguage = index;
    QSettings settings;
    settings.beginGroup(kSettingsGroup);
    settings.setValue(kLanguageKey, name);
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
