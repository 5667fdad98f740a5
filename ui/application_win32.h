// The program's windows taken together: the main window, the About window opened from it, and how long
// the program runs. It runs while any of its top-level windows is open: closing the main window leaves
// an open About window working, and the last window to close ends the message loop. 退出 closes them all.
#pragma once

#include <windows.h>

#include "platform/platform.h"
#include "ui/about_window_win32.h"
#include "ui/main_window_win32.h"

namespace korvane {

class Application {
public:
    Application(HINSTANCE instance, Platform& platform)
        : mainWindow_(instance, platform, *this), aboutWindow_(instance, *this) {}
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Creates the main window (which runs the start-up sequence) and shows it.
    bool Start(int showCommand);
    HWND MainWindowHandle() const { return mainWindow_.Handle(); }
    HWND AboutWindowHandle() const { return aboutWindow_.Handle(); }

    // The About window: created on first use and again after it was closed, otherwise brought to the front.
    void ShowAbout();
    // Closes every window at once; the message loop then ends.
    void EndProgram();

    // Each top-level window reports its creation and its destruction.
    void WindowOpened();
    void WindowClosed();

private:
    MainWindow mainWindow_;
    AboutWindow aboutWindow_;
    int openWindows_ = 0;
};

// Handles one message of the program's message loop: Tab and Shift+Tab move between the controls of
// whichever of the program's windows the message is for, everything else is dispatched.
void DispatchProgramMessage(MSG& message);

}  // namespace korvane
