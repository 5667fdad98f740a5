// Facts about the program's windows that only its own process can read (control fonts, the menu bar,
// window icons), gathered by the probe DLL that the driver loads into the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "program.h"

namespace e2e {

struct FontFacts {
    bool present = false;  // false: the control uses the system font (WM_GETFONT gave NULL)
    std::wstring face;
    int height = 0;  // LOGFONT lfHeight: negative for a character height in pixels
    int weight = 0;
    bool italic = false;
    int charset = 0;
};

struct ControlFacts {
    int id = 0;
    std::wstring className;
    FontFacts font;
};

struct MenuItemFacts {
    UINT id = 0;
    std::wstring text;
    bool hasSubmenu = false;
    UINT type = 0;
    UINT state = 0;
};

struct WindowFacts {
    HWND window = nullptr;
    std::wstring className;
    bool hasMenu = false;
    int menuItemCount = 0;
    std::vector<MenuItemFacts> menuItems;
    bool hasBigIcon = false;
    bool hasSmallIcon = false;
    std::vector<ControlFacts> controls;

    // The control with `id`; ends the scenario when the window has none.
    const ControlFacts& Control(int id) const;
};

// Runs the probe inside the program and returns the facts of its visible top-level windows. Can be
// called again later in the same scenario (after the program opened another window, say).
std::vector<WindowFacts> ProbeWindows(const Program& program);
// The facts of `window` among them; ends the scenario when it is not there.
const WindowFacts& FactsOf(const std::vector<WindowFacts>& windows, HWND window);

}  // namespace e2e
