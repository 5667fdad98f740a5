// Facts about the program's windows that only its own process can read (control fonts, the menu bar,
// window icons, the size of each control's text in its own font), gathered by the probe DLL that the
// driver loads into the program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "program.h"
#include "ui/layout.h"

namespace e2e {

struct FontFacts {
    bool present = false;  // false: the control uses the system font (WM_GETFONT gave NULL)
    std::wstring face;
    int height = 0;  // LOGFONT lfHeight: negative for a character height in pixels
    int weight = 0;
    bool italic = false;
    int charset = 0;
};

// Pixel sizes, each text measured as one line in the control's own font. The ink bottom is how far below
// the top of its line the text's lowest drawn pixel lies: a line is taller than the glyphs in it.
struct TextFacts {
    std::wstring text;  // the control's own text (its first 63 characters; measured whole)
    int clientWidth = 0, clientHeight = 0;
    int textWidth = 0, textHeight = 0, textInkBottom = 0;
    // Edits only: "65535", the widest text a port field holds, and the formatting rectangle, where the
    // edit draws its text.
    int sampleWidth = 0, sampleHeight = 0, sampleInkBottom = 0;
    int formatWidth = 0, formatHeight = 0;
};

struct ControlFacts {
    int id = 0;
    std::wstring className;
    DWORD style = 0;
    FontFacts font;
    TextFacts text;

    bool IsClass(const wchar_t* name) const;  // regardless of case, as Windows compares class names
    // A static that shows its text from the left: a label, which the program grows to its text where needed.
    bool IsLeftAlignedLabel() const;
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
    int dpi = 0;  // as the program sees its window
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

// Where the program should put the control of `placement` at `dpi` in a client area `client` pixels large:
// its designed rectangle, except that a left-aligned label whose text (as the probe measured it in `control`)
// is wider or taller than that grows to its text, up to the client area's right and bottom edges.
ClientRect ExpectedPlacement(const korvane::ControlPlacement& placement, const ControlFacts& control, int dpi,
                             SIZE client);

// The controls of `window` whose text does not fit them, by name, with the sizes that show it, e.g.
// "About Label1: \"Korvane-远程端口修改V1.0\" is 193 px, room for 153 px across". Checked: the caption of each
// text static, push button and group box across (a button keeps a margin at each side for its border and
// focus rectangle, a group box for the corner of its frame), and down, by the lowest pixel its glyphs
// reach, for a static, and by its line, for a push button; "65535" in each single-line edit, across and
// down to the lowest pixel of its digits. Empty captions and multi-line edits are not checked.
std::vector<std::string> ClippedTexts(const WindowFacts& window);

}  // namespace e2e
