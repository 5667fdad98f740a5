// Stands in for the system's shutdown.exe in the test prefix: instead of restarting anything it appends
// one line to C:\shutdown-record.txt with where it was started from, its command line and the window
// style it was asked for, so the bench can tell which shutdown.exe ran and how. It exits with 0, as
// shutdown.exe does once the restart is scheduled, or with the number in C:\shutdown-exit-code.txt, as when
// Windows refuses (1190: a shutdown is already scheduled).
#include <windows.h>

#include <cstdlib>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    const std::wstring line = std::wstring(module) + L"|" + GetCommandLineW() + L"|" + std::to_wstring(show) + L"\r\n";
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), size, nullptr, nullptr);

    HANDLE file = CreateFileW(L"C:\\shutdown-record.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);

    HANDLE exitCode = CreateFileW(L"C:\\shutdown-exit-code.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exitCode == INVALID_HANDLE_VALUE) return 0;
    char digits[16] = {};
    DWORD read = 0;
    ReadFile(exitCode, digits, sizeof digits - 1, &read, nullptr);
    CloseHandle(exitCode);
    return std::atoi(digits);
}
