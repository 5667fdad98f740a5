#include "ui/window_win32.h"

#include <vector>

#include "resources/resource_ids.h"
#include "ui/application_win32.h"
#include "ui/control_placement_win32.h"
#include "ui/dpi_win32.h"

namespace korvane {

std::wstring WindowTextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

bool Window::RegisterWindowClass(HINSTANCE instance, const wchar_t* className, HICON icon) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, className, &existing)) return true;

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &Window::Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) != 0;
}

HWND Window::CreateTopLevel(HINSTANCE instance, const wchar_t* className, const wchar_t* caption, DWORD style,
                            HWND owner, HMENU menu) {
    return CreateWindowExW(0, className, caption, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           owner, menu, instance, this);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

bool ProgramWindow::CreateProgramWindow(const wchar_t* className, const wchar_t* caption, HMENU menu) {
    HICON icon = static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!RegisterWindowClass(instance_, className, icon)) return false;
    return CreateTopLevel(instance_, className, caption, frame_.style, nullptr, menu) != nullptr;
}

LRESULT ProgramWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_DESTROY:
            application_.WindowClosed();
            return 0;
        default:
            return OnMessage(message, wParam, lParam);
    }
}

void ProgramWindow::OnCreate() {
    application_.WindowOpened();
    dpi_ = WindowDpi(hwnd_);
    CreateControls();
    CreateFonts();
    ApplyLayout();
    const SIZE outer = OuterSize();
    const POINT position = InitialPosition(outer);
    SetWindowPos(hwnd_, nullptr, position.x, position.y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT ProgramWindow::InitialPosition(SIZE) const {
    RECT now = {};
    GetWindowRect(hwnd_, &now);
    return {now.left, now.top};
}

void ProgramWindow::OnDpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    CreateFonts();
    ApplyLayout();
    const SIZE outer = OuterSize();
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ProgramWindow::ApplyLayout() {
    PlaceControls(hwnd_, frame_.layout, frame_.layoutCount, TwipsToPixels(frame_.clientWidth, dpi_),
                  TwipsToPixels(frame_.clientHeight, dpi_), dpi_);
}

SIZE ProgramWindow::OuterSize() const {
    return OuterSizeForClient(TwipsToPixels(frame_.clientWidth, dpi_), TwipsToPixels(frame_.clientHeight, dpi_),
                              frame_.style, 0, frame_.hasMenu, dpi_);
}

}  // namespace korvane
