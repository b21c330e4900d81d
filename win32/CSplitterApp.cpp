#include "CSplitterApp.h"

#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "CRunDlg.h"
#include "LanguageTable.h"
#include "MessageBox.h"
#include "Shell.h"
#include "StringTable.h"
#include "Text.h"
#include "resource.h"

#include <commctrl.h>

namespace zelvo::win {

CSplitterApp theApp;

namespace {

// HKCU\software\<company>\<product>\<section>, the names the Linux settings use too.
std::wstring SettingsKey(const wchar_t* section)
{
    return L"software\\" + Wide(core::kCompanyName) + L"\\" + Wide(core::kProductName) + L"\\" + section;
}

// The folders last picked from, one value per place, under the settings group.
std::wstring LastFoldersSection()
{
    return Wide(core::kSettingsGroup) + L"\\LastFolders";
}

std::wstring ModuleFolder()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return path.substr(0, path.rfind(L'\\') + 1);
}

// The running copy's main window takes the path; false when there is none that answers.
bool HandOver(const std::wstring& path)
{
    HWND running = FindWindowW(ZELVO_FRAME_CLASS, nullptr);
    if (!running)
        return false;
    COPYDATASTRUCT data{ZELVO_COPYDATA_OPEN, DWORD((path.size() + 1) * sizeof(wchar_t)),
                        const_cast<wchar_t*>(path.c_str())};
    DWORD_PTR answer = 0;
    AllowSetForegroundWindow(ASFW_ANY);
    return SendMessageTimeoutW(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 5000,
                               &answer) &&
           answer == TRUE;
}

} // namespace

std::wstring CSplitterApp::GetProfileString(const wchar_t* section, const wchar_t* name)
{
    const std::wstring key = SettingsKey(section);
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = DWORD(value.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS)
        return {};
    value.resize(wcslen(value.c_str()));
    return value;
}

bool CSplitterApp::WriteProfileString(const wchar_t* section, const wchar_t* name, const std::wstring& value)
{
    const std::wstring key = SettingsKey(section);
    return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, value.c_str(),
                           DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::wstring CSplitterApp::LastFolder(const wchar_t* place) const
{
    const std::wstring folder = GetProfileString(LastFoldersSection().c_str(), place);
    return IsFolder(folder) ? folder : std::wstring();
}

void CSplitterApp::RememberFolder(const wchar_t* place, const std::wstring& folder)
{
    WriteProfileString(LastFoldersSection().c_str(), place, folder);
}

bool CSplitterApp::InitInstance(HINSTANCE instance, const std::wstring& fileArgument)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    // Never released: the system drops it with the process. In the session's own namespace, where
    // no other user's session can create it first.
    const HANDLE mutex =
        CreateMutexW(nullptr, TRUE, (L"Local\\" + Wide(std::string_view(core::kInstanceName))).c_str());
    const core::LockResult lock = !mutex                                   ? core::LockResult::Unavailable
                                  : GetLastError() == ERROR_ALREADY_EXISTS ? core::LockResult::HeldElsewhere
                                                                           : core::LockResult::Acquired;
    switch (core::InstanceStart(lock, !fileArgument.empty())) {
    case core::StartAction::HandOver:
        if (HandOver(fileArgument))
            return false;
        [[fallthrough]];
    case core::StartAction::Refuse:
    case core::StartAction::RefuseUnsafe: // a lock file's worry: the mutex has none
        AfxMessageBox(IDS_INSTANCE_RUNNING);
        return false;
    case core::StartAction::Run:
    case core::StartAction::RunAndListen:
        break;
    }

    m_pMainWnd = new CMainFrame;
    if (!m_pMainWnd->Create(instance)) {
        delete m_pMainWnd;
        m_pMainWnd = nullptr;
        return false;
    }
    core::StartLanguage(*this, theLangFile, m_nLanguage, GetSystemDefaultLangID());
    ShowWindow(MainWindow(), SW_SHOW);
    UpdateWindow(MainWindow());
    if (!fileArgument.empty())
        OpenFile(fileArgument);
    return true;
}

int CSplitterApp::Run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return int(message.wParam);
}

HWND CSplitterApp::MainWindow() const
{
    return m_pMainWnd ? m_pMainWnd->GetSafeHwnd() : nullptr;
}

bool CSplitterApp::LoadLangFile(const std::u16string& path)
{
    theLangFile.SetPath(path);
    return theLangFile.Load();
}

std::u16string CSplitterApp::StoredLanguage()
{
    return U16(GetProfileString(Wide(core::kSettingsGroup).c_str(), Wide(core::kLanguageKey).c_str()));
}

void CSplitterApp::StoreLanguage(const std::u16string& name)
{
    WriteProfileString(Wide(core::kSettingsGroup).c_str(), Wide(core::kLanguageKey).c_str(), Wide(name));
}

std::u16string CSplitterApp::LangFilePath(const std::u16string& name)
{
    return U16(ModuleFolder()) + u"Lang\\" + name + u".lang";
}

void CSplitterApp::LanguageLoaded()
{
    RebuildMenu();
    SetWindowTextW(MainWindow(), Wide(theLangFile.GetString(u"Application", u"Title")).c_str());
}

void CSplitterApp::Show(int stringId)
{
    AfxMessageBox(stringId);
}

void CSplitterApp::RebuildMenu()
{
    HMENU bar = GetMenu(MainWindow());
    if (!bar)
        return;
    while (GetMenuItemCount(bar) > 0)
        DeleteMenu(bar, 0, MF_BYPOSITION);
    auto text = [this](const char16_t* section, const std::u16string& key) {
        return Wide(theLangFile.GetString(section, key));
    };
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, ID_FILE_COMMINUTE, text(u"File Menu", u"1001").c_str());
    AppendMenuW(file, MF_STRING, ID_FILE_MERGE, text(u"File Menu", u"1002").c_str());
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, ID_APP_EXIT, text(u"File Menu", u"1003").c_str());
    AppendMenuW(bar, MF_POPUP, UINT_PTR(file), text(u"File Menu", u"1000").c_str());

    HMENU languages = CreatePopupMenu();
    for (const auto& entry : theLanguageTable)
        AppendMenuW(languages, MF_STRING, entry.commandId, text(u"Lang Menu", std::u16string(entry.menuKey)).c_str());
    HMENU setting = CreatePopupMenu();
    AppendMenuW(setting, MF_POPUP, UINT_PTR(languages), text(u"Setting Menu", u"1001").c_str());
    AppendMenuW(bar, MF_POPUP, UINT_PTR(setting), text(u"Setting Menu", u"1000").c_str());

    HMENU help = CreatePopupMenu();
    AppendMenuW(help, MF_STRING, ID_APP_ABOUT, text(u"Help Menu", u"1001").c_str());
    AppendMenuW(bar, MF_POPUP, UINT_PTR(help), text(u"Help Menu", u"1000").c_str());
    DrawMenuBar(MainWindow());
}

void CSplitterApp::OnUpdateLanguage(HMENU popup)
{
    for (std::size_t i = 0; i < theLanguageTable.size(); ++i) {
        const UINT id = theLanguageTable[i].commandId;
        CheckMenuItem(popup, id,
                      MF_BYCOMMAND | (core::LanguageChecked(int(i), m_nLanguage) ? MF_CHECKED : MF_UNCHECKED));
        EnableMenuItem(popup, id, MF_BYCOMMAND | MF_ENABLED);
    }
}

void CSplitterApp::SwitchLanguage(int index)
{
    core::SwitchLanguage(*this, theLangFile, m_nLanguage, index);
}

void CSplitterApp::OnAppAbout()
{
    CAboutDlg about;
    about.DoModal(MainWindow());
}

bool CSplitterApp::OnCommand(unsigned id)
{
    if (const auto language = core::LanguageOfCommand(id)) {
        SwitchLanguage(*language);
        return true;
    }
    switch (id) {
    case ID_APP_ABOUT:
        OnAppAbout();
        return true;
    case ID_APP_EXIT:
        SendMessageW(MainWindow(), WM_CLOSE, 0, 0);
        return true;
    }
    return false;
}

void CSplitterApp::OpenFile(const std::wstring& path)
{
    // A dialog (or a box) of the program is open: the main window is disabled while it is.
    if (!IsWindowEnabled(MainWindow())) {
        AfxMessageBox(IDS_BUSY_WITH_DIALOG);
        return;
    }
    const core::FileRequest request = core::ClassifyFile(path, [](const PathString& candidate) {
        return GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
    RunDialog(request.dialog, MainWindow(), request.path);
}

} // namespace zelvo::win
