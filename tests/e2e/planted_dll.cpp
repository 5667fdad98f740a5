// Stands in for a DLL planted beside the program under the name of a system DLL that Windows does not take
// from its KnownDLLs (the tests copy it as iphlpapi.dll and as scrrun.dll). Loaded anywhere, it leaves a mark
// a test can look for. It offers the functions the program and the script shell object import from those
// DLLs, so that a loader resolving imports would take it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        const HANDLE mark = CreateFileW(L"C:\\planted-dll-ran.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    }
    return TRUE;
}

extern "C" __declspec(dllexport) DWORD WINAPI GetExtendedTcpTable(PVOID, PDWORD, BOOL, ULONG, int, ULONG) {
    return ERROR_NOT_SUPPORTED;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DoOpenPipeStream(HANDLE, DWORD, void**) {
    return E_NOTIMPL;
}
