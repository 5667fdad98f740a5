#include "ui/application_win32.h"

#include <string>

#include "platform/win32/dispatch.h"

namespace korvane {

bool Application::Start(int showCommand) {
    if (!mainWindow_.Create()) return false;
    mainWindow_.Show(showCommand);
    return true;
}

void Application::ShowAbout() {
    if (aboutWindow_.Show(mainWindow_.Handle())) return;
    const DWORD error = GetLastError();
    std::wstring text = L"无法打开“关于程序”窗口。";
    const std::wstring reason = error != ERROR_SUCCESS ? SystemErrorText(HRESULT_FROM_WIN32(error)) : L"";
    if (!reason.empty()) text += L"\r\n原因：" + reason;
    MessageBoxW(mainWindow_.Handle(), text.c_str(), L"错误", MB_OK | MB_ICONERROR);
}

void Application::EndProgram() {
    if (HWND about = aboutWindow_.Handle()) DestroyWindow(about);
    if (HWND main = mainWindow_.Handle()) DestroyWindow(main);
}

void DispatchProgramMessage(MSG& message) {
    HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogMessageW(root, &message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void Application::WindowOpened() {
    ++openWindows_;
}

void Application::WindowClosed() {
    if (--openWindows_ <= 0) PostQuitMessage(0);
}

}  // namespace korvane
