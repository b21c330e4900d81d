// Zelvo for File on Windows: one executable of the Win32 API, no runtime beside it.
#include "CSplitterApp.h"

#include <objbase.h>
#include <shellapi.h>
#include <string>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // The taskbar progress and the folder chooser are COM objects of this thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring file = argc == 2 ? argv[1] : L"";
    LocalFree(argv);
    if (!zelvo::win::theApp.InitInstance(instance, file))
        return 0;
    return zelvo::win::theApp.Run();
}
