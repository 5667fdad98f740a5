// Entry point of the Windows program: the DLL search restricted to the system folder, the COM apartment
// for the script shell object, the common controls, the program's windows and the message loop.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/dll_search.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/scoped.h"
#if defined(__MINGW32__)
#include "platform/win32/stack_guard.h"
#endif
#include "ui/application_win32.h"

#if defined(__GLIBCXX__)
#include <cstdlib>
// What happens when an exception escapes (it should never): the program ends at once. GNU's own handler would
// print the exception's name to a console a window program does not have, and bring a 45 KB symbol
// demangler into the .exe for that.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
#endif

#if defined(__MINGW32__)
// The program's entry point (linked with -e KorvaneStartup): the stack protector's canary is set before any
// guarded function runs, and the DLL search restricted before the C runtime starts, whose own start-up
// (constructors of what is linked in) may already load DLLs.
extern "C" int WinMainCRTStartup();  // mingw-w64's runtime start-up, for wWinMain too
extern "C" int KorvaneStartup() {
    korvane::InitializeStackGuard();
    korvane::RestrictDllSearchToSystemFolder();
    return WinMainCRTStartup();
}
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
#if !defined(__MINGW32__)
    // Before anything that may load a DLL: COM, the common controls and the fonts all load more of them.
    korvane::RestrictDllSearchToSystemFolder();
#endif
    korvane::ComApartment com;

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    korvane::Win32Platform platform;
    korvane::Application application(instance, platform);
    if (!application.Start(showCommand)) {
        MessageBoxW(nullptr, L"无法创建主窗口。", L"错误", MB_OK | MB_ICONERROR);
        return 1;
    }
    // The change's message boxes belong to the main window, which they disable while they are up.
    platform.SetOwner(application.MainWindowHandle());

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) korvane::DispatchProgramMessage(message);
    return static_cast<int>(message.wParam);
}
