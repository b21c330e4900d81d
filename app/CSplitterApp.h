// The application object: start-up, the language state the dialogs read, and the application's
// commands (About, Exit, the four languages). The rules of the start, the language choice and the
// switch are the core's (core/AppRules.h); this class carries them out with Qt.
#pragma once

#include "AppRules.h"
#include "CIniFile.h"
#include "CMainFrame.h"
#include "SingleInstance.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>

class QAction;

// Notification codes of the command route: a command, or a request to update its menu item.
inline constexpr int CN_COMMAND = 0;
inline constexpr int CN_UPDATE_COMMAND_UI = -1;

class CSplitterApp : private zelvo::core::LanguagePort
{
public:
    CSplitterApp() = default;
    ~CSplitterApp() override;
    CSplitterApp(const CSplitterApp&) = delete;
    CSplitterApp& operator=(const CSplitterApp&) = delete;

    // Single instance, settings scope, hidden main frame, icon, language, show. False ends the
    // program before any window is shown. One file among files opens its dialog once the event
    // loop runs; when another copy runs, that file is handed to it instead (HandedOver()).
    bool InitInstance(const QStringList& files = {});
    bool HandedOver() const { return m_bHandedOver; }
    // Frees the main window if it is still there; the lock goes with the process.
    void ExitInstance();

    void RebuildMenu();
    // The application's step of the command route; true when it took the command.
    bool OnCmdMsg(unsigned commandId, int code, QAction* item);
    void OnUpdateLanguage(int index, QAction* item);
    void SwitchLanguage(int index);
    void OnAppAbout();
    void OnAppExit();

    // The language file of a language name: <program folder>/Lang/<name>.lang.
    QString LangFilePath(const QString& languageName) const;

    CMainFrame* MainWnd() const { return m_pMainWnd; }

    // Seams for tests; a real start leaves them at their defaults.
    void SetProgramFolder(const QString& folder) { m_strProgramFolder = folder; } // default: the executable's
    void SetSystemLanguageId(std::uint16_t id) { m_systemLanguageId = id; }       // default: the system's
    void SetInstanceLockFolder(const QString& folder) { m_strLockFolder = folder; }

    int m_nLanguage = 0;
    CIniFile theLangFile;

protected:
    // Creates the main frame, hidden; false when it could not be created.
    virtual bool CreateMainFrame();

    QPointer<CMainFrame> m_pMainWnd;

private:
    QString ProgramFolder() const;
    // zelvo::core::LanguagePort
    std::u16string StoredLanguage() override;
    void StoreLanguage(const std::u16string& name) override;
    std::u16string LangFilePath(const std::u16string& name) override;
    void LanguageLoaded() override;
    void Show(int stringId) override;

    zelvo::app::SingleInstanceLock m_instanceLock;
    std::unique_ptr<zelvo::app::FileHandOver> m_handOver;
    bool m_bHandedOver = false;
    QString m_strProgramFolder;
    QString m_strLockFolder;
    std::optional<std::uint16_t> m_systemLanguageId;
};

extern CSplitterApp theApp;
