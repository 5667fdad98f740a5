// Base of the program's top-level windows: one static window procedure binds the object to its window
// on WM_NCCREATE and hands every message to the object's HandleMessage.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "ui/layout.h"

namespace korvane {

class Application;

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

// The fixed frame of one of the program's windows: its style, whether it has a menu bar, and its client
// area and controls in twips.
struct WindowFrame {
    DWORD style;
    bool hasMenu;
    int clientWidth, clientHeight;
    const ControlPlacement* layout;
    std::size_t layoutCount;
};

// The set-up every window of the program shares. On WM_CREATE it creates the controls and their fonts,
// places them at the window's DPI and sizes the window to its client area; on WM_DPICHANGED it remakes
// the fonts and places everything again; it tells the Application when the window opens and closes.
class ProgramWindow : public Window {
protected:
    ProgramWindow(HINSTANCE instance, Application& application, const WindowFrame& frame)
        : instance_(instance), application_(application), frame_(frame) {}

    // Registers the window class with the program's icon and creates the window, still hidden.
    bool CreateProgramWindow(const wchar_t* className, const wchar_t* caption, HMENU menu);

    virtual void CreateControls() = 0;
    // Gives each control its font for dpi_; a control moves to its new font before the old one is deleted.
    virtual void CreateFonts() = 0;
    // Where the window goes once created and sized; by default it stays where the system put it.
    virtual POINT InitialPosition(SIZE outer) const;
    // Every message the shared set-up does not handle.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) { return Default(message, wParam, lParam); }

    HINSTANCE instance_;
    Application& application_;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) final;
    void OnCreate();
    void OnDpiChanged(int dpi, const RECT& suggested);
    void ApplyLayout();
    SIZE OuterSize() const;

    const WindowFrame& frame_;
};

}  // namespace korvane
