#include "platform/win32/system_library.h"

namespace korvane {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32 is known to Windows 8 and later, and to Windows 7 with update KB2533623,
// which brought AddDllDirectory with it; without it LoadLibraryExW refuses the flag.
bool LoaderKnowsSearchFlags() {
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 && GetProcAddress(kernel32, "AddDllDirectory");
}

HMODULE LoadFromSystemFolder(const wchar_t* dll) {
    if (LoaderKnowsSearchFlags()) return LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // By full path: the DLL is the system folder's, and with the altered search path the DLLs it needs are
    // searched for beside it first.
    wchar_t path[MAX_PATH];
    const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    const int length = lstrlenW(dll);
    if (folder == 0 || folder + 1 + length + 1 > MAX_PATH) return nullptr;
    path[folder] = L'\\';
    lstrcpynW(path + folder + 1, dll, length + 1);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

FARPROC SystemFunction(const wchar_t* dll, const char* name) {
    // A DLL already in the process (kernel32, user32 ...) came from the system folder: every DLL is looked
    // up there, statically imported or not. Otherwise it is loaded, and kept for the life of the program as
    // a statically imported DLL would be.
    HMODULE module = GetModuleHandleW(dll);
    if (!module) module = LoadFromSystemFolder(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace korvane
