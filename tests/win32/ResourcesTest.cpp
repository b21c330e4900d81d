// The resources of the Windows program as the system loads them: every dialog control where the
// templates put it, with its class, style and tab order; the menu; the string table made from
// res/; the settings' registry round trip; the progress bar's own range and position.
#include "Text.h"
// windows.h maps LoadString to LoadStringW; here it is the string table's. Its names come before
// resource.h's macros of the same names.
#undef LoadString
#include "CPercentProgressCtrl.h"
#include "CSplitterApp.h"
#include "StringTable.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

using namespace zelvo::win;

namespace {

// A template's dialog, created hidden (the templates have no WS_VISIBLE).
class Dialog
{
public:
    explicit Dialog(int id)
    {
        static INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
        [[maybe_unused]] static const bool registered = InitCommonControlsEx(&controls);
        const DLGPROC none = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; };
        m_hWnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr, none, 0);
    }
    ~Dialog() { DestroyWindow(m_hWnd); }
    HWND m_hWnd;
};

struct ControlRow
{
    int templateId;
    int id;
    const wchar_t* cls;
    RECT dlu;   // left, top, width, height in dialog units
    LONG style; // bits that must be set
};

// The progress bars' WS_BORDER is not checked: the control takes it out of its style when created.
constexpr LONG kReadOnly = ES_READONLY | ES_AUTOHSCROLL;
const ControlRow kControls[] = {
    {130, IDOK, L"Button", {80, 163, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {130, IDCANCEL, L"Button", {146, 163, 50, 14}, WS_TABSTOP},
    {130, 1016, L"Button", {7, 16, 123, 111}, BS_GROUPBOX},
    {130, 1017, L"Button", {139, 16, 130, 111}, BS_GROUPBOX},
    {130, 1018, L"Static", {16, 44, 110, 16}, 0},
    {130, 1000, L"Edit", {17, 63, 96, 12}, kReadOnly},
    {130, 1001, L"Button", {116, 64, 10, 10}, WS_TABSTOP},
    {130, 1019, L"Static", {150, 45, 36, 10}, 0},
    {130, 1002, L"Edit", {197, 45, 22, 12}, ES_NUMBER},
    {130, 1010, L"ComboBox", {221, 45, 40, 30}, CBS_DROPDOWNLIST | CBS_SORT},
    {130, 1020, L"Static", {150, 68, 41, 8}, 0},
    {130, 1005, L"Edit", {197, 68, 63, 12}, ES_READONLY | ES_NUMBER},
    {130, 1021, L"Static", {150, 93, 97, 8}, 0},
    {130, 1006, L"Edit", {151, 104, 98, 12}, kReadOnly},
    {130, 1007, L"Button", {251, 105, 10, 10}, WS_TABSTOP},
    {130, 1008, PROGRESS_CLASSW, {7, 145, 262, 8}, PBS_SMOOTH},
    {132, 1027, L"Button", {7, 7, 123, 95}, BS_GROUPBOX},
    {132, IDOK, L"Button", {73, 141, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {132, IDCANCEL, L"Button", {152, 141, 50, 14}, WS_TABSTOP},
    {132, 1026, L"Button", {139, 7, 130, 96}, BS_GROUPBOX},
    {132, 1022, L"Static", {15, 25, 110, 16}, 0},
    {132, 1011, L"Edit", {17, 41, 95, 12}, kReadOnly},
    {132, 1001, L"Button", {115, 42, 10, 10}, WS_TABSTOP},
    {132, 1023, L"Static", {17, 84, 39, 8}, 0},
    {132, 1012, L"Edit", {61, 83, 51, 12}, ES_READONLY | ES_NUMBER},
    {132, 1006, L"Edit", {148, 83, 99, 12}, kReadOnly},
    {132, 1007, L"Button", {251, 84, 10, 10}, WS_TABSTOP},
    {132, 1024, L"Static", {148, 72, 97, 8}, 0},
    {132, 1013, PROGRESS_CLASSW, {6, 122, 264, 8}, PBS_SMOOTH},
    {132, 1025, L"Static", {148, 24, 115, 8}, 0},
    {132, 1009, L"Edit", {148, 41, 103, 12}, ES_READONLY | ES_NUMBER},
    {100, IDOK, L"Button", {167, 61, 50, 14}, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
    {100, 1030, L"Static", {40, 63, 100, 12}, WS_GROUP},
};

TEST(Templates, EveryControlHasItsIdClassPlaceAndStyle)
{
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE("template " + std::to_string(row.templateId) + ", control " + std::to_string(row.id));
        Dialog dialog(row.templateId);
        ASSERT_TRUE(dialog.m_hWnd);
        HWND control = GetDlgItem(dialog.m_hWnd, row.id);
        ASSERT_TRUE(control);
        wchar_t cls[64] = {};
        GetClassNameW(control, cls, 64);
        EXPECT_EQ(_wcsicmp(cls, row.cls), 0) << Utf8(cls);
        EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & row.style, row.style);
        // The dialog manager scales the position and the size each on its own.
        RECT scaled = row.dlu;
        MapDialogRect(dialog.m_hWnd, &scaled);
        const RECT want{scaled.left, scaled.top, scaled.left + scaled.right, scaled.top + scaled.bottom};
        RECT got;
        GetWindowRect(control, &got);
        MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&got), 2);
        if (row.id == 1010) // a drop-down list is as tall as its font, not as its template's list
            got.bottom = want.bottom;
        EXPECT_EQ(std::tie(got.left, got.top, got.right, got.bottom),
                  std::tie(want.left, want.top, want.right, want.bottom));
    }
}

TEST(Templates, CaptionsSizesAndTabOrders)
{
    struct Row
    {
        int templateId;
        const wchar_t* caption;
        SIZE dlu;
        std::vector<int> tabOrder;
    };
    const Row rows[] = {
        {130, L"File Comminute", {276, 184}, {IDOK, IDCANCEL, 1000, 1001, 1002, 1005, 1006, 1007, 1010}},
        {132, L"File Merge", {277, 162}, {IDOK, IDCANCEL, 1011, 1001, 1012, 1006, 1007, 1009}},
        {100, L"About Zelvo for File", {233, 87}, {IDOK}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("template " + std::to_string(row.templateId));
        Dialog dialog(row.templateId);
        EXPECT_EQ(WindowText(dialog.m_hWnd), row.caption);
        const LONG style = GetWindowLongW(dialog.m_hWnd, GWL_STYLE);
        EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER),
                  WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER);
        RECT want{0, 0, row.dlu.cx, row.dlu.cy};
        MapDialogRect(dialog.m_hWnd, &want);
        RECT client;
        GetClientRect(dialog.m_hWnd, &client);
        EXPECT_EQ(std::tie(client.right, client.bottom), std::tie(want.right, want.bottom));
        std::vector<int> order;
        HWND item = GetDlgItem(dialog.m_hWnd, row.tabOrder.front());
        do {
            order.push_back(GetDlgCtrlID(item));
            item = GetNextDlgTabItem(dialog.m_hWnd, item, FALSE);
        } while (item && GetDlgCtrlID(item) != row.tabOrder.front() && order.size() < 20);
        EXPECT_EQ(order, row.tabOrder);
    }
}

TEST(Resources, MenuIconAndVersion)
{
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_TRUE(menu);
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    auto ids = [](HMENU popup) {
        std::vector<int> found;
        for (int i = 0; i < GetMenuItemCount(popup); ++i)
            found.push_back(int(GetMenuItemID(popup, i)));
        return found;
    };
    EXPECT_EQ(ids(GetSubMenu(menu, 0)), (std::vector<int>{ID_FILE_COMMINUTE, ID_FILE_MERGE, 0, ID_APP_EXIT}));
    EXPECT_EQ(ids(GetSubMenu(menu, 1)), std::vector<int>{ID_APP_ABOUT});
    wchar_t title[32] = {};
    GetMenuStringW(menu, ID_APP_ABOUT, title, 32, MF_BYCOMMAND);
    EXPECT_STREQ(title, L"&About Zelvo for Doc");
    DestroyMenu(menu);
    EXPECT_TRUE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    EXPECT_TRUE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_VERSION));
    EXPECT_TRUE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_MANIFEST));
}

// The .rc table is generated from res/StringTable.cpp: every text there loads here, unchanged.
TEST(Resources, StringTableEqualsTheProgramsTexts)
{
    int compared = 0;
    for (int id = 1; id < 65536; ++id) {
        const std::string text = zelvo::LoadString(id);
        const wchar_t* loaded = nullptr;
        const int length = LoadStringW(GetModuleHandleW(nullptr), UINT(id), reinterpret_cast<LPWSTR>(&loaded), 0);
        EXPECT_EQ(std::wstring(loaded ? loaded : L"", std::size_t(length)), Wide(text)) << "id " << id;
        compared += text.empty() ? 0 : 1;
    }
    EXPECT_GE(compared, 60);
    EXPECT_EQ(StringText(zelvo::AFX_IDP_FILE_NOT_FOUND), L"%1 was not found.");
}

TEST(Settings, RegistryRoundTrip)
{
    const wchar_t* section = L"SettingsTest";
    RegDeleteTreeW(HKEY_CURRENT_USER, L"software\\Quorvex\\Zelvo\\SettingsTest");
    EXPECT_EQ(CSplitterApp::GetProfileString(section, L"Language"), L"");
    for (const std::wstring value : {L"CHS", L"", L"日本語 ENG"}) {
        ASSERT_TRUE(CSplitterApp::WriteProfileString(section, L"Language", value));
        EXPECT_EQ(CSplitterApp::GetProfileString(section, L"Language"), value);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"software\\Quorvex\\Zelvo\\SettingsTest");
}

TEST(PercentProgress, KeepsItsOwnRangeAndPositionAndAnswersForThem)
{
    CPercentProgressCtrl unbound;
    EXPECT_EQ(unbound.SetPos(5), -1);
    Dialog dialog(130);
    CPercentProgressCtrl bar;
    bar.SubclassDlgItem(1008, dialog.m_hWnd);
    HWND control = GetDlgItem(dialog.m_hWnd, 1008);
    bar.SetRange(0, 1000);
    EXPECT_EQ(bar.SetPos(999), 0);
    EXPECT_EQ(bar.SetPos(15), 999);
    EXPECT_EQ(SendMessageW(control, PBM_GETPOS, 0, 0), 15);
    EXPECT_EQ(SendMessageW(control, PBM_GETRANGE, FALSE, 0), 1000);
    // The window text is the label, not the template's "Progress1".
    EXPECT_EQ(WindowText(control), L"");
    SetWindowTextW(control, L"Busy");
    EXPECT_EQ(WindowText(control), L"Busy");
}

} // namespace
