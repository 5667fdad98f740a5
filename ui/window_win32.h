// Base of the program's top-level windows: one static window procedure binds the object to its window
// on WM_NCCREATE and hands every message to the object's HandleMessage.
#pragma once

#include <windows.h>

#include <string>

namespace korvane {

// The whole text of a window or control.
std::wstring WindowTextOf(HWND window);

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    HWND Handle() const { return hwnd_; }

protected:
    // Registers `className` once per process with this class's procedure.
    static bool RegisterWindowClass(HINSTANCE instance, const wchar_t* className, HICON icon);
    HWND CreateTopLevel(HINSTANCE instance, const wchar_t* className, const wchar_t* caption, DWORD style, HWND owner,
                        HMENU menu);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace korvane
