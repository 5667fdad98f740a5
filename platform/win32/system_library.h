// Functions looked up at run time, always from the DLLs of the system folder. The program imports
// statically only DLLs that Windows takes from its KnownDLLs list; anything else (iphlpapi, say) would be
// found in the program's own folder first, before any code of the program runs, so it is loaded here,
// by name from System32 only, and its functions taken with GetProcAddress. Functions of newer Windows
// versions (SetDefaultDllDirectories, GetDpiForWindow ...) are looked up the same way.
#pragma once

#include <windows.h>

namespace korvane {

// The function `name` of `dll` (a bare file name, "iphlpapi.dll") from the system folder; null when the
// DLL or the function is not there. Safe to call before the C runtime has started.
FARPROC SystemFunction(const wchar_t* dll, const char* name);

template <typename Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

}  // namespace korvane
