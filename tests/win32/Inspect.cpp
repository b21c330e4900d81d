// zelvo-inspect: reads and drives the windows of another program in the same Wine prefix (or
// Windows session), for the end-to-end test. Output is UTF-8, one line per item.
//   windows                         visible top-level windows: handle, class, title
//   find CLASS TEXT [MS]            waits for a visible top-level window of CLASS ("*" for any)
//                                   whose title, or message text (a box's static 65535), holds
//                                   TEXT; prints its handle
//   controls HWND                   every child: id, class, enabled, text, a combo box's selection
//   text HWND ID | set HWND ID TEXT | press HWND ID | command HWND ID | close HWND
//   focus HWND                      the id of the control with the keyboard focus in HWND's thread
//   centred HWND                    "centred" where HWND is over the middle of its owner, else the offset
//   gone HWND [MS]                  waits until the window no longer exists
#include "Text.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>
#include <windows.h>

namespace {

void Print(const std::wstring& line)
{
    std::fputs(zelvo::win::Utf8(line + L"\n").c_str(), stdout);
    std::fflush(stdout);
}

std::wstring TextOf(HWND window)
{
    // WM_GETTEXT, not GetWindowText: across processes only the message reads a control's text.
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(std::size_t(length) + 1, L'\0');
    text.resize(std::size_t(SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

// The visible top-level windows, or every child of parent.
std::vector<HWND> Windows(HWND parent = nullptr)
{
    std::vector<HWND> found;
    const WNDENUMPROC add = [](HWND window, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    };
    if (parent)
        EnumChildWindows(parent, add, reinterpret_cast<LPARAM>(&found));
    else
        EnumWindows(add, reinterpret_cast<LPARAM>(&found));
    std::erase_if(found, [&](HWND window) { return !parent && !IsWindowVisible(window); });
    return found;
}

// Polls done every 50 ms until it holds or timeoutMs have passed.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs)
{
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; !done(); Sleep(50)) {
        if (GetTickCount64() >= end)
            return false;
    }
    return true;
}

int Find(const std::wstring& cls, const std::wstring& text, DWORD timeoutMs)
{
    const auto holds = [&](HWND window) { return window && TextOf(window).find(text) != std::wstring::npos; };
    HWND shown = nullptr;
    if (WaitFor(
            [&] {
                for (HWND window : Windows()) {
                    if ((cls == L"*" || ClassOf(window) == cls) && (holds(window) || holds(GetDlgItem(window, 0xFFFF))))
                        return (shown = window) != nullptr;
                }
                return false;
            },
            timeoutMs)) {
        Print(std::to_wstring(reinterpret_cast<uintptr_t>(shown)));
        return 0;
    }
    std::fwprintf(stderr, L"no window %ls holding \"%ls\"\n", cls.c_str(), text.c_str());
    return 1;
}

// "centred" where window sits over the middle of its owner (to the pixel), else the offset.
int Centred(HWND window)
{
    RECT box, over;
    if (!GetWindowRect(window, &box) || !GetWindowRect(GetWindow(window, GW_OWNER), &over))
        return 1;
    const int dx = (box.left + box.right) - (over.left + over.right);
    const int dy = (box.top + box.bottom) - (over.top + over.bottom);
    Print(std::abs(dx) <= 1 && std::abs(dy) <= 1 ? L"centred"
                                                 : std::to_wstring(dx / 2) + L"," + std::to_wstring(dy / 2));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t* argv[])
{
    const std::wstring verb = argc > 1 ? argv[1] : L"";
    auto timeout = [&](int at) { return argc > at ? DWORD(std::wcstoul(argv[at], nullptr, 10)) : DWORD(10000); };
    if (verb == L"windows") {
        for (HWND window : Windows())
            Print(std::to_wstring(reinterpret_cast<uintptr_t>(window)) + L"\t" + ClassOf(window) + L"\t" +
                  TextOf(window));
        return 0;
    }
    if (verb == L"find" && argc >= 4)
        return Find(argv[2], argv[3], timeout(4));
    if (argc < 3)
        return 64;
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::wcstoull(argv[2], nullptr, 0)));
    if (verb == L"gone")
        return WaitFor([&] { return !IsWindow(window); }, timeout(3)) ? 0 : 1;
    if (!IsWindow(window))
        return 2;
    if (verb == L"controls") {
        for (HWND child : Windows(window))
            Print(std::to_wstring(GetDlgCtrlID(child)) + L"\t" + ClassOf(child) + L"\t" +
                  (IsWindowEnabled(child) ? L"enabled" : L"disabled") + L"\t" + TextOf(child) +
                  (ClassOf(child) == L"ComboBox" ? L"\tsel=" + std::to_wstring(SendMessageW(child, CB_GETCURSEL, 0, 0))
                                                 : L""));
        return 0;
    }
    if (verb == L"focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
            return 1;
        Print(std::to_wstring(info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0));
        return 0;
    }
    if (verb == L"centred")
        return Centred(window);
    if (verb == L"close")
        return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    if (argc < 4)
        return 64;
    const int id = int(std::wcstol(argv[3], nullptr, 10));
    HWND control = GetDlgItem(window, id);
    if (verb == L"command")
        return PostMessageW(window, WM_COMMAND, WPARAM(id), 0) ? 0 : 1;
    if (!control)
        return 3;
    if (verb == L"text") {
        Print(TextOf(control));
        return 0;
    }
    if (verb == L"press")
        return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control)) ? 0 : 1;
    if (verb == L"set" && argc >= 5)
        return SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4])) ? 0 : 1;
    return 64;
}
