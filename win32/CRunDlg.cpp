#include "CRunDlg.h"

#include "CFolderDialog.h"
#include "CSplitterApp.h"
#include "LanguageTable.h"
#include "MessageBox.h"
#include "Shell.h"
#include "Text.h"
#include "resource.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <vector>

namespace zelvo::win {
namespace {

constexpr UINT WM_RUN_WAKE = WM_APP + 1;
constexpr UINT_PTR kTickTimer = 1;

UINT IconFlag(core::BoxIcon icon)
{
    switch (icon) {
    case core::BoxIcon::Stop:
        return MB_ICONSTOP;
    case core::BoxIcon::Question:
        return MB_ICONQUESTION;
    case core::BoxIcon::Information:
        return MB_ICONINFORMATION;
    case core::BoxIcon::Exclamation:
        break;
    }
    return MB_ICONEXCLAMATION;
}

} // namespace

// The main window's taskbar button shows the run's progress (Windows 7 and later).
struct CRunDlg::Taskbar
{
    ITaskbarList3* list = nullptr;
    int upper = 0;
    Taskbar()
    {
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                    reinterpret_cast<void**>(&list))))
            list = nullptr;
    }
    ~Taskbar()
    {
        if (list) {
            list->SetProgressState(theApp.MainWindow(), TBPF_NOPROGRESS);
            list->Release();
        }
    }
    void Set(int position)
    {
        if (!list)
            return;
        if (upper <= 0) {
            list->SetProgressState(theApp.MainWindow(), TBPF_NOPROGRESS);
            return;
        }
        list->SetProgressValue(theApp.MainWindow(), ULONGLONG(std::max(position, 0)), ULONGLONG(upper));
    }
};

CRunDlg::CRunDlg(int templateId, lang::LangDialog kind, int progressId, FieldIds fieldIds)
    : CDialog(templateId), m_kind(kind), m_progressId(progressId), m_fieldIds(fieldIds)
{}

CRunDlg::~CRunDlg() = default;

BOOL CRunDlg::OnInitDialog()
{
    m_wndProgress.SubclassDlgItem(m_progressId, m_hWnd);
    m_wndProgress.ShowLabel(false);
    ApplyLanguage();
    Session().SetStatusTexts(core::RunStatusTextsFrom(theApp.theLangFile));
    DragAcceptFiles(m_hWnd, TRUE);
    m_taskbar = std::make_unique<Taskbar>();
    if (!m_initialSource.empty())
        SetSource(m_initialSource);
    return TRUE; // the first control that takes the focus: the start button
}

void CRunDlg::ApplyLanguage()
{
    if (theApp.m_nLanguage == lang::kNoLanguage)
        return;
    const lang::DialogKeySet set = lang::DialogKeysOf(m_kind);
    const std::u16string section(set.section);
    for (const lang::DialogKey& item : set.keys) {
        const std::wstring text = Wide(theApp.theLangFile.GetString(section, std::u16string(item.key)));
        SetWindowTextW(item.controlId == 0 ? m_hWnd : Item(item.controlId), text.c_str());
    }
}

bool CRunDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_RUN_WAKE:
        Session().OnWake();
        return true;
    case WM_TIMER:
        if (wParam != kTickTimer)
            return false;
        Session().OnTick();
        return true;
    case WM_CLOSE:
        Session().OnClose();
        return true;
    case WM_LBUTTONDBLCLK:
        Session().Message(Utf8(Wide(lang::DoubleClickText(m_kind, theApp.theLangFile))));
        return false; // and the click takes its default course
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE) {
            if (LOWORD(wParam) == FieldId(core::Field::Source))
                OnSourceChanged();
            else if (LOWORD(wParam) == FieldId(core::Field::Size) || LOWORD(wParam) == IDC_DEST_PATH)
                Session().OnInputChanged();
        }
        if (HIWORD(wParam) != BN_CLICKED)
            return false;
        switch (LOWORD(wParam)) {
        case IDOK:
            OnPress();
            return true;
        case IDC_BROWSE_SOURCE:
            OnBrowseSource();
            return true;
        case IDC_BROWSE_DEST:
            OnBrowseDest();
            return true;
        }
        break;
    }
    return CDialog::OnMessage(message, wParam, lParam, result);
}

void CRunDlg::OnSourceChanged()
{
    Session().OnInputChanged();
}

void CRunDlg::OnCancel()
{
    Session().OnClose();
}

void CRunDlg::OnDestroy()
{
    KillTimer(m_hWnd, kTickTimer);
    Session().OnEnd();
    m_taskbar.reset();
}

void CRunDlg::OnBrowseDest()
{
    CFolderDialog chooser;
    if (chooser.Browse() == 1)
        SetDlgItemTextW(m_hWnd, IDC_DEST_PATH, chooser.m_strPath.c_str());
}

void CRunDlg::SetSource(const std::wstring& path)
{
    // The Merge dialog reads the set when its field changes (EN_CHANGE).
    SetDlgItemTextW(m_hWnd, FieldId(core::Field::Source), path.c_str());
}

std::wstring CRunDlg::BrowseFile(const wchar_t* filter, const wchar_t* place)
{
    std::vector<wchar_t> path(32768, L'\0');
    const std::wstring folder = theApp.LastFolder(place);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = m_hWnd;
    open.lpstrFilter = filter;
    open.lpstrFile = path.data();
    open.nMaxFile = DWORD(path.size());
    open.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    open.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&open))
        return {};
    std::wstring chosen(path.data());
    theApp.RememberFolder(place, chosen.substr(0, open.nFileOffset));
    return chosen;
}

void CRunDlg::OnDropFiles(HDROP drop)
{
    POINT at{};
    const std::wstring path = TakeDroppedFile(drop, &at);
    // Only a ready dialog takes a file, and only on one of its path fields.
    if (path.empty() || !IsWindowEnabled(Item(IDOK)))
        return;
    const HWND target = ChildWindowFromPointEx(m_hWnd, at, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    const bool folder = IsFolder(path);
    if (target == Item(IDC_DEST_PATH) && folder)
        SetDlgItemTextW(m_hWnd, IDC_DEST_PATH, path.c_str());
    else if (target == Item(FieldId(core::Field::Source)) && !folder)
        SetSource(path);
}

void CRunDlg::Show(const std::string& text, core::BoxIcon icon)
{
    AfxMessageBox(Wide(text), MB_OK | IconFlag(icon));
}

bool CRunDlg::Ask(const std::string& question, core::AskDefault byDefault)
{
    const UINT type = MB_YESNO | MB_ICONQUESTION | (byDefault == core::AskDefault::No ? MB_DEFBUTTON2 : 0);
    return AfxMessageBox(Wide(question), type) == IDYES;
}

void CRunDlg::Notice(const std::string&)
{
    // A run that ends behind another window flashes the taskbar button until it is looked at.
    if (GetForegroundWindow() == m_hWnd)
        return;
    FLASHWINFO flash{sizeof flash, theApp.MainWindow(), FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}

void CRunDlg::EnableInputs(bool enable)
{
    // The focus leaves the inputs first: a dialog whose focused control is disabled takes no Esc.
    if (!enable)
        GotoItem(IDCANCEL);
    for (const int id : {IDOK, IDC_BROWSE_SOURCE, IDC_BROWSE_DEST, IDC_CHIP_SIZE})
        if (HWND control = Item(id))
            EnableWindow(control, enable);
    DragAcceptFiles(m_hWnd, enable);
}

void CRunDlg::Focus(core::Field field)
{
    GotoItem(FieldId(field));
}

void CRunDlg::SetText(core::Field field, const std::string& text)
{
    HWND control = Item(FieldId(field));
    SetWindowTextW(control, Wide(text).c_str());
    UpdateWindow(control);
}

void CRunDlg::SetBar(int upper, int position, bool showPercent)
{
    m_wndProgress.ShowLabel(showPercent);
    m_wndProgress.SetRange(0, upper);
    m_wndProgress.SetPos(position);
    if (m_taskbar) {
        m_taskbar->upper = showPercent ? upper : 0;
        m_taskbar->Set(position);
    }
}

void CRunDlg::SetBarPos(int position)
{
    m_wndProgress.SetPos(position);
    if (m_taskbar)
        m_taskbar->Set(position);
}

void CRunDlg::SetStatus(const std::string& text)
{
    SetDlgItemTextW(m_hWnd, IDC_RUN_STATUS, Wide(text).c_str());
}

void CRunDlg::EndDialog(bool ok)
{
    CDialog::EndDialog(ok ? IDOK : IDCANCEL);
}

int64_t CRunDlg::NowMs()
{
    return int64_t(GetTickCount64());
}

void CRunDlg::SetTicking(bool on)
{
    if (on)
        SetTimer(m_hWnd, kTickTimer, core::RunSession::kTickMs, nullptr);
    else
        KillTimer(m_hWnd, kTickTimer);
}

void CRunDlg::Wake()
{
    PostMessageW(m_hWnd, WM_RUN_WAKE, 0, 0);
}

// Source, Size, Count, Dest; Name has no field here.
CComminuteDlg::CComminuteDlg()
    : CRunDlg(IDD_COMMINUTE, lang::LangDialog::Comminute, IDC_CMNT_PROGRESS,
              {IDC_SOURCE_PATH, IDC_CHIP_SIZE, IDC_CHIP_COUNT, IDC_DEST_PATH, IDC_DEST_PATH})
{}

BOOL CComminuteDlg::OnInitDialog()
{
    HWND unit = Item(IDC_SIZE_UNIT);
    SendMessageW(unit, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"K Bytes"));
    SendMessageW(unit, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"M Bytes"));
    SendMessageW(unit, CB_SETCURSEL, 1, 0); // the chip size is always in megabytes
    EnableWindow(unit, FALSE);
    return CRunDlg::OnInitDialog();
}

void CComminuteDlg::OnPress()
{
    m_session.OnPress(ItemText(m_hWnd, IDC_SOURCE_PATH), Utf8(ItemText(m_hWnd, IDC_CHIP_SIZE)),
                      ItemText(m_hWnd, IDC_DEST_PATH));
}

void CComminuteDlg::OnBrowseSource()
{
    const std::wstring path = BrowseFile(L"All Files (*.*)\0*.*\0", L"ComminuteSource");
    if (!path.empty())
        SetSource(path);
}

// The header chip stands for both Source and Size.
CMergeDlg::CMergeDlg()
    : CRunDlg(IDD_MERGE, lang::LangDialog::Merge, IDC_MERGE_PROGRESS,
              {IDC_HEADER_PATH, IDC_HEADER_PATH, IDC_CHIP_TOTAL, IDC_DEST_PATH, IDC_FILE_NAME})
{}

void CMergeDlg::OnPress()
{
    m_session.OnPress(ItemText(m_hWnd, IDC_HEADER_PATH), ItemText(m_hWnd, IDC_DEST_PATH));
}

void CMergeDlg::OnBrowseSource()
{
    const std::wstring path = BrowseFile(L"First Chip Files (*.DAV)\0*.DAV\0", L"MergeHeader");
    if (path.empty())
        return;
    // The same file chosen again changes no text, but its set is read again.
    if (path == ItemText(m_hWnd, IDC_HEADER_PATH))
        OnSourceChanged();
    else
        SetSource(path);
}

void CMergeDlg::OnSourceChanged()
{
    m_session.OnHeaderChanged(ItemText(m_hWnd, IDC_HEADER_PATH));
}

void RunDialog(core::FileDialog which, HWND owner, const std::wstring& source)
{
    std::unique_ptr<CRunDlg> dialog;
    if (which == core::FileDialog::Merge)
        dialog = std::make_unique<CMergeDlg>();
    else
        dialog = std::make_unique<CComminuteDlg>();
    dialog->SetInitialSource(source);
    dialog->DoModal(owner);
}

} // namespace zelvo::win
