// The application object: start-up (single instance, settings, main window, language), the
// message loop, the language switch and the hand-over of a file from a second start.
#pragma once

#include "AppRules.h"
#include "CIniFile.h"

#include <optional>
#include <string>
#include <windows.h>

namespace zelvo::win {

class CMainFrame;

class CSplitterApp final : public core::LanguagePort
{
public:
    // False: end the program (a second instance, or no main window).
    bool InitInstance(HINSTANCE instance, const std::wstring& fileArgument);
    int Run();

    bool LoadLangFile(const std::u16string& path);
    void RebuildMenu();
    void SwitchLanguage(int index);
    void OnAppAbout();
    // The menu commands of the application (About, Exit, the languages); false for others.
    bool OnCommand(unsigned id);
    void OnUpdateLanguage(HMENU popup);
    // A file from the command line, a drop or a second start: the dialog it belongs to.
    void OpenFile(const std::wstring& path);

    HWND MainWindow() const;
    // The settings store: HKCU\software\Quorvex\Zelvo\<section>, value name; empty when absent.
    static std::wstring GetProfileString(const wchar_t* section, const wchar_t* name);
    static bool WriteProfileString(const wchar_t* section, const wchar_t* name, const std::wstring& value);
    std::wstring LastFolder(const wchar_t* place) const;
    void RememberFolder(const wchar_t* place, const std::wstring& folder);

    int m_nLanguage = 0;
    CIniFile theLangFile;

private:
    // LanguagePort
    std::u16string StoredLanguage() override;
    void StoreLanguage(const std::u16string& name) override;
    std::u16string LangFilePath(const std::u16string& name) override;
    void LanguageLoaded() override;
    void Show(int stringId) override;

    CMainFrame* m_pMainWnd = nullptr;
};

extern CSplitterApp theApp;

} // namespace zelvo::win
