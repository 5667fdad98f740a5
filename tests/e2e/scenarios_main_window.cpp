// The main window as a person meets it: geometry, fonts, menu, keyboard and mouse.
#include "bench.h"
#include "listener_ports.h"
#include "probe.h"
#include "program.h"
#include "screenshot.h"
#include "ui/control_ids.h"
#include "ui/layout.h"

using namespace e2e;
using namespace korvane;

namespace {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Presses `key` (with `modifiers`) once per expected control and checks where the focus lands each time.
void WalkFocus(const Program& program, WORD key, std::initializer_list<WORD> modifiers, const std::vector<int>& stops,
               const char* keyName) {
    int from = program.FocusedId();
    for (int expected : stops) {
        PressKey(key, modifiers);
        const int reached = program.WaitForFocus(expected);
        if (reached != expected) {
            FAIL_SCENARIO(std::string(keyName) + " from " + ControlName(from) + " went to " + ControlName(reached) +
                          ", expected " + ControlName(expected));
        }
        from = reached;
    }
}

}  // namespace

SCENARIO(main_window_layout_96dpi) {
    SeedListenerPorts(3389, 3389);
    REQUIRE_EQ(ScreenDpi(), 96);
    Program program;
    const SIZE client = program.ClientSize();
    CHECK_EQ(client.cx, TwipsToPixels(kMainClientWidth, 96));
    CHECK_EQ(client.cy, TwipsToPixels(kMainClientHeight, 96));
    CHECK_EQ(client.cx, 326);  // the designed 4890 x 3975 twips at 15 twips a pixel
    CHECK_EQ(client.cy, 265);
    // Each control at its designed rectangle; a label only grows where its text would not fit it.
    const std::vector<WindowFacts> windows = ProbeWindows(program);
    const WindowFacts& main = FactsOf(windows, program.MainWindow());
    for (size_t i = 0; i < kMainLayoutCount; ++i) {
        const ControlPlacement& placement = kMainLayout[i];
        Context context(ControlName(placement.id));
        CHECK_EQ(program.RectInClient(placement.id),
                 ExpectedPlacement(placement, main.Control(placement.id), 96, client));
        CHECK(program.IsVisible(placement.id));
    }
}

SCENARIO(main_window_fonts_and_menu_96dpi) {
    SeedListenerPorts(3389, 3389);
    REQUIRE_EQ(ScreenDpi(), 96);
    Program program;
    const std::vector<WindowFacts> windows = ProbeWindows(program);
    const WindowFacts& main = FactsOf(windows, program.MainWindow());

    // Character heights at 96 DPI: 21.75 pt = 29 px, 10.5 pt = 14 px, 9 pt = 12 px.
    struct ExpectedFont {
        int id;
        int pixelHeight;
        bool bold;
    };
    const ExpectedFont kFonts[] = {
        {kIdText1, 29, true},   {kIdText2, 29, true},   {kIdLabel1, 14, false},   {kIdRizhi, 14, false},
        {kIdFrame1, 12, false}, {kIdFrame2, 12, false}, {kIdCommand1, 12, false}, {kIdCommand2, 12, false},
        {kIdLabel2, 12, false}, {kIdLabel3, 12, false},
    };
    for (const ExpectedFont& expected : kFonts) {
        Context context(ControlName(expected.id));
        const FontFacts& font = main.Control(expected.id).font;
        if (!CHECK_MSG(font.present, "uses the system font, no font of its own")) continue;
        CHECK_EQ(font.face, L"宋体");
        CHECK_EQ(font.height, -expected.pixelHeight);
        CHECK_EQ(font.weight, expected.bold ? FW_BOLD : FW_NORMAL);
        CHECK(!font.italic);
        CHECK_EQ(font.charset, GB2312_CHARSET);
    }

    REQUIRE_MSG(main.hasMenu, "the main window has no menu bar");
    REQUIRE_EQ(main.menuItemCount, 1);
    const MenuItemFacts& about = main.menuItems.at(0);
    CHECK_EQ(about.text, L"关于程序");
    CHECK_MSG(!about.hasSubmenu, "关于程序 opens a submenu instead of acting at once");
    CHECK_EQ(about.id, static_cast<UINT>(kIdMenuAC1));
    CHECK_MSG(main.hasBigIcon, "the main window shows no icon");
}

SCENARIO(tab_order_with_real_keys) {
    SeedListenerPorts(3389, 3389);
    Program program;
    program.BringToFront();
    REQUIRE_EQ(ControlName(program.WaitForFocus(kIdText2)), ControlName(kIdText2));
    WalkFocus(program, VK_TAB, {}, {kIdCommand1, kIdCommand2, kIdRizhi, kIdText2}, "Tab");
    WalkFocus(program, VK_TAB, {VK_SHIFT}, {kIdRizhi, kIdCommand2, kIdCommand1, kIdText2}, "Shift+Tab");
}

SCENARIO(exit_button_ends_program) {
    SeedListenerPorts(3389, 3389);
    Program program;
    program.Click(kIdCommand2);
    const std::optional<DWORD> exitCode = program.WaitForExit(3000);
    REQUIRE_MSG(exitCode.has_value(), "the program still runs 3 s after a click on 退出");
    CHECK_EQ(*exitCode, DWORD{0});
}

SCENARIO(log_box_is_read_only) {
    SeedListenerPorts(3389, 3389);
    Program program;
    const std::wstring before = program.Text(kIdRizhi);
    program.Click(kIdRizhi);
    REQUIRE_EQ(ControlName(program.WaitForFocus(kIdRizhi)), ControlName(kIdRizhi));
    PressKey('A', {VK_CONTROL});  // select all, so that any accepted key would replace the text
    TypeText(L"abc1中");
    PressKey(VK_BACK);
    PressKey(VK_DELETE);
    PressKey(VK_RETURN);
    PressKey('X', {VK_CONTROL});
    // Input is handled in order: once this click has moved the focus, every key before it has been handled.
    program.Click(kIdText2);
    REQUIRE_EQ(ControlName(program.WaitForFocus(kIdText2)), ControlName(kIdText2));
    CHECK_EQ(program.Text(kIdRizhi), before);
}

// Not a check of the program: the picture of the main window for the README (converted to PNG by run.sh).
SCENARIO(screenshot_main_window) {
    SeedListenerPorts(3389, 3389);
    Program program;
    program.BringToFront();
    program.WaitForFocus(kIdText2);
    SaveScreenshot({program.MainWindow()}, L"main-window.bmp");
}
