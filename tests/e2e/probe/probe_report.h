// What the probe DLL, running inside the program, hands back to the driver through shared memory:
// for each top-level window of the program, its DPI, its menu bar, and for each child control its font
// and how large its text comes out in that font. These facts cannot be asked for from another process
// under Wine (WM_GETFONT answers NULL there, and GetMenuItemInfoW fails on another process's menu).
// Plain fixed-size data, the same in both.
#pragma once

#include <cstdint>

namespace e2e::probe {

constexpr uint32_t kReportMagic = 0x4B505232;  // "KPR2"
constexpr int kMaxWindows = 4;
constexpr int kMaxControls = 32;
constexpr int kMaxMenuItems = 8;
constexpr int kTextLength = 64;

// Name of the shared memory the probe of process `pid` writes into: swprintf(name, kMappingFormat, pid).
constexpr const wchar_t* kMappingFormat = L"Local\\KorvaneE2eProbe-%lu";
// The probe's entry point, started with CreateRemoteThread in the program: DWORD WINAPI CollectFacts(void*).
constexpr const char* kEntryPoint = "CollectFacts";

struct FontFacts {
    int32_t present;  // 0 when the control answers WM_GETFONT with NULL (the system font)
    int32_t height;   // LOGFONT lfHeight
    int32_t weight;
    int32_t italic;
    int32_t charset;
    wchar_t face[32];
};

// Text that each single-line edit is measured with: the highest port, the widest text the port fields hold.
constexpr const wchar_t* kEditSample = L"65535";

// Sizes in pixels, measured in the control's own font as one line (DrawTextW with DT_CALCRECT | DT_SINGLELINE).
// A line is taller than its glyphs: the ink bottom is how far below the top of the line the lowest drawn
// pixel of the text lies (its deepest glyph's descent below the baseline, from the glyphs' own outlines).
struct TextFacts {
    int32_t clientWidth;
    int32_t clientHeight;
    int32_t textWidth;  // the control's own text (its caption, for buttons and group boxes)
    int32_t textHeight;
    int32_t textInkBottom;
    int32_t sampleWidth;  // kEditSample; edits only
    int32_t sampleHeight;
    int32_t sampleInkBottom;
    int32_t formatWidth;  // the edit's formatting rectangle (EM_GETRECT), where it draws its text; edits only
    int32_t formatHeight;
    wchar_t text[kTextLength];  // the start of the control's own text, which is measured whole
};

struct ControlFacts {
    int32_t id;
    wchar_t className[kTextLength];
    uint32_t style;  // GWL_STYLE
    FontFacts font;
    TextFacts text;
};

struct MenuItemFacts {
    uint32_t id;
    uint32_t type;   // MFT_*
    uint32_t state;  // MFS_*
    int32_t hasSubmenu;
    wchar_t text[kTextLength];
};

struct WindowFacts {
    uint64_t window;  // HWND
    wchar_t className[kTextLength];
    int32_t dpi;  // GetDpiForWindow, or the system's where that function does not exist
    int32_t hasMenu;
    int32_t menuItemCount;  // GetMenuItemCount; may exceed kMaxMenuItems, of which the first are listed
    MenuItemFacts menuItems[kMaxMenuItems];
    int32_t hasBigIcon;    // WM_GETICON ICON_BIG or the class icon
    int32_t hasSmallIcon;  // WM_GETICON ICON_SMALL or the class's small icon
    int32_t controlCount;
    ControlFacts controls[kMaxControls];
};

struct Report {
    uint32_t magic;  // set last, once everything else is written
    int32_t windowCount;
    WindowFacts windows[kMaxWindows];
};

}  // namespace e2e::probe
