// The yardstick of the start-up benchmark: the least a Win32 program has to do to show a window like the
// main window. Same style, caption, menu bar and outer size, one edit box, nothing else (no COM, no common
// controls, no fonts of its own, no manifest). Whatever the real program takes beyond this is its own cost.
#include <windows.h>

#include "ui/app_identity.h"
#include "ui/layout.h"

namespace {

constexpr const wchar_t* kClassName = L"KorvaneBenchMinimal";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassW(&windowClass)) return 1;

    HMENU menuBar = CreateMenu();
    AppendMenuW(menuBar, MF_STRING, 1, L"关于程序");

    // The main window's client area, in pixels at the screen's DPI, grown by the caption, borders and menu bar.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT rect = {0, 0, MulDiv(korvane::kMainClientWidth, dpi, 1440), MulDiv(korvane::kMainClientHeight, dpi, 1440)};
    AdjustWindowRectEx(&rect, kStyle, TRUE, 0);

    HWND window = CreateWindowExW(0, kClassName, korvane::kMainCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, menuBar, instance, nullptr);
    if (!window) return 1;
    CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                    MulDiv(600, dpi, 1440), MulDiv(600, dpi, 1440), MulDiv(1500, dpi, 1440), MulDiv(500, dpi, 1440),
                    window, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
