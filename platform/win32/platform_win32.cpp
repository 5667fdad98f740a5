#include "platform/win32/platform_win32.h"

#include "platform/win32/dispatch.h"
#include "platform/win32/responsive_wait.h"
#include "platform/win32/system_library.h"

namespace korvane {

int Win32Platform::ShowMessage(const std::wstring& prompt, int style, const std::wstring& title) {
    return MessageBoxW(owner_, prompt.c_str(), title.c_str(), static_cast<UINT>(style) | MB_APPLMODAL);
}

Status Win32Platform::Launch(const std::wstring& program, const std::wstring& arguments, STARTUPINFOW& startup,
                             DWORD flags, KernelHandle& process) {
    // The program is named by its full path, so no search through the current or the program's folder
    // happens; CreateProcessW needs a writable command line.
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    const BOOL inherit = (flags & EXTENDED_STARTUPINFO_PRESENT) != 0;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, inherit, flags, nullptr, nullptr,
                        &startup, &started))
        return LastErrorStatus();
    CloseHandle(started.hThread);
    process.Reset(started.hProcess);
    return Status::Ok();
}

Status Win32Platform::StartProgram(const std::wstring& program, const std::wstring& arguments, int windowStyle,
                                   uint32_t waitMilliseconds, ProgramExit& exit) {
    exit = {};
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    KernelHandle process;
    const Status status = Launch(program, arguments, startup, 0, process);
    if (!status) return status;
    DWORD code = 0;
    if (WaitKeepingWindowsPainted(owner_, process.Get(), waitMilliseconds) &&
        GetExitCodeProcess(process.Get(), &code)) {
        exit.ended = true;
        exit.code = code;
        if (code != 0) exit.codeText = SystemErrorText(static_cast<HRESULT>(code));
    }
    return Status::Ok();
}

std::wstring Win32Platform::SystemDirectory() {
    wchar_t buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(buffer, length);
}

std::wstring Win32Platform::DisplayText(const std::wstring& text) {
    if (text.empty() || text[0] != L'@') return text;
    // shlwapi's resolver of indirect strings (Vista and later; package resources from Windows 8 on).
    using LoadIndirectString = HRESULT(WINAPI*)(PCWSTR, PWSTR, UINT, void**);
    const auto load = SystemFunction<LoadIndirectString>(L"shlwapi.dll", "SHLoadIndirectString");
    wchar_t buffer[1024] = {};
    if (!load || FAILED(load(text.c_str(), buffer, static_cast<UINT>(std::size(buffer)), nullptr)) || !buffer[0])
        return text;
    return buffer;
}

}  // namespace korvane
