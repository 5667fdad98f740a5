// Stands in for a DLL planted beside the program under the name of a system DLL that Windows does not take
// from its KnownDLLs: iphlpapi.dll. Loaded anywhere, it leaves a mark a scenario can look for. It offers
// the function the program uses, so that a loader resolving the program's imports would take it.
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
