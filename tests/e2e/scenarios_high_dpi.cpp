// The program at 150 % scaling (144 DPI): both windows one and a half times as large, with fonts to match,
// and the text of every control fitting it there and at 96 DPI.
//
// Wine reads the screen's DPI (HKEY_CURRENT_USER\Control Panel\Desktop, LogPixels) once per process, as the
// process starts: a program started after the value changed sees the new DPI, while processes already
// running, this driver among them, keep the one they started with. So a scenario sets 144 for the program it
// starts and puts the prefix's value back afterwards, whatever happens, as every scenario shares the prefix.
// Wine scales no coordinates for a process that is not DPI-aware (every process counts as aware unless
// DpiScalingVer says otherwise), and the driver declares itself aware in any case: it sees physical pixels.
#include <windows.h>

#include <string>
#include <vector>

#include "bench.h"
#include "listener_ports.h"
#include "probe.h"
#include "program.h"
#include "screenshot.h"
#include "registry.h"
#include "ui/control_ids.h"
#include "ui/layout.h"

namespace {

using namespace e2e;
using namespace korvane;

constexpr const wchar_t* kLogPixelsPath = L"HKEY_CURRENT_USER\\Control Panel\\Desktop\\LogPixels";
constexpr DWORD kSettleMs = 3000;

// The DPI that programs started while it lives see; the prefix's own value (or its absence) comes back
// when it goes, also when the scenario ends early.
class ScreenDpiForNewPrograms {
public:
    explicit ScreenDpiForNewPrograms(DWORD dpi) : previous_(ReadRegistryValue(kLogPixelsPath)) {
        REQUIRE_MSG(!previous_.exists || previous_.type == REG_DWORD,
                    "LogPixels in the prefix is not a REG_DWORD: " + Show(previous_));
        SetRegistryDword(kLogPixelsPath, dpi);
    }
    ~ScreenDpiForNewPrograms() {
        try {
            if (previous_.exists) {
                SetRegistryDword(kLogPixelsPath, previous_.number);
            } else {
                DeleteRegistryValue(kLogPixelsPath);
            }
        } catch (const ScenarioAborted&) {
            // Already recorded as this scenario's failure; the scenarios after it will show the wrong DPI too.
        }
    }
    ScreenDpiForNewPrograms(const ScreenDpiForNewPrograms&) = delete;
    ScreenDpiForNewPrograms& operator=(const ScreenDpiForNewPrograms&) = delete;

private:
    RegistryValue previous_;
};

// Opens the About window from the menu and returns it once it shows.
HWND OpenAbout(const Program& program) {
    program.ClickAboutMenu();
    HWND about = nullptr;
    WaitUntil(
        [&] {
            about = FindWindowW(kAboutWindowClass, nullptr);
            DWORD processId = 0;
            if (about) GetWindowThreadProcessId(about, &processId);
            return about && processId == program.ProcessId() && IsWindowVisible(about);
        },
        kSettleMs);
    REQUIRE_MSG(about != nullptr && IsWindowVisible(about), "a click on 关于程序 opened no About window");
    return about;
}

SIZE ClientSizeOf(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return {rect.right, rect.bottom};
}

ClientRect RectInClientOf(HWND window, HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Every control of `layout` where the program should put it at `dpi` (its labels grown to their text only
// where the designed size would cut it).
void CheckLayout(HWND window, const WindowFacts& facts, const ControlPlacement* layout, std::size_t count, int dpi) {
    const SIZE client = ClientSizeOf(window);
    for (std::size_t i = 0; i < count; ++i) {
        Context context(ControlName(layout[i].id));
        HWND control = GetDlgItem(window, layout[i].id);
        if (!CHECK_MSG(control != nullptr, "missing")) continue;
        CHECK_EQ(RectInClientOf(window, control),
                 ExpectedPlacement(layout[i], facts.Control(layout[i].id), dpi, client));
    }
}

struct ExpectedFont {
    int id;
    int lfHeight;
    bool bold;
};

void CheckFonts(const WindowFacts& facts, const std::vector<ExpectedFont>& fonts) {
    for (const ExpectedFont& expected : fonts) {
        Context context(ControlName(expected.id));
        const FontFacts& font = facts.Control(expected.id).font;
        if (!CHECK_MSG(font.present, "uses the system font, no font of its own")) continue;
        CHECK_EQ(font.face, std::wstring(L"宋体"));
        CHECK_EQ(font.height, expected.lfHeight);
        CHECK_EQ(font.weight, expected.bold ? FW_BOLD : FW_NORMAL);
        CHECK_EQ(font.charset, GB2312_CHARSET);
    }
}

void CheckNoTextClipped(const WindowFacts& facts) {
    Context context(Utf8(facts.className) + " at " + std::to_string(facts.dpi) + " DPI");
    CHECK_EQ(ClippedTexts(facts), std::vector<std::string>{});
}

}  // namespace

SCENARIO(text_fits_both_windows_96dpi) {
    SeedListenerPorts(3389, 3389);
    Program program;
    const HWND about = OpenAbout(program);
    const std::vector<WindowFacts> windows = ProbeWindows(program);
    const WindowFacts& main = FactsOf(windows, program.MainWindow());
    const WindowFacts& aboutFacts = FactsOf(windows, about);
    REQUIRE_EQ(main.dpi, 96);
    REQUIRE_EQ(aboutFacts.dpi, 96);
    CheckNoTextClipped(main);
    CheckNoTextClipped(aboutFacts);
}

SCENARIO(main_window_at_144dpi) {
    SeedListenerPorts(3389, 3389);
    ScreenDpiForNewPrograms screenDpi(144);
    Program program;
    const std::vector<WindowFacts> windows = ProbeWindows(program);
    const WindowFacts& main = FactsOf(windows, program.MainWindow());
    REQUIRE_EQ(main.dpi, 144);

    const SIZE client = program.ClientSize();
    CHECK_EQ(client.cx, 489);  // 4890 x 3975 twips at 10 twips a pixel, rounded as MulDiv does
    CHECK_EQ(client.cy, 398);
    CheckLayout(program.MainWindow(), main, kMainLayout, kMainLayoutCount, 144);
    // Character heights at 144 DPI: 21.75 pt = 43.5 px, 10.5 pt = 21 px (21.5 rounds down, as the program
    // rounds), 9 pt = 18 px.
    CheckFonts(main, {{kIdText1, -44, true},
                      {kIdText2, -44, true},
                      {kIdLabel1, -21, false},
                      {kIdRizhi, -21, false},
                      {kIdFrame1, -18, false},
                      {kIdFrame2, -18, false},
                      {kIdCommand1, -18, false},
                      {kIdCommand2, -18, false},
                      {kIdLabel2, -18, false},
                      {kIdLabel3, -18, false}});
    CheckNoTextClipped(main);

    program.BringToFront();
    program.WaitForFocus(kIdText2);
    SaveScreenshot({program.MainWindow()}, L"main-window-144dpi.bmp");
}

SCENARIO(about_window_at_144dpi) {
    SeedListenerPorts(3389, 3389);
    ScreenDpiForNewPrograms screenDpi(144);
    Program program;
    const HWND about = OpenAbout(program);
    const std::vector<WindowFacts> windows = ProbeWindows(program);
    const WindowFacts& facts = FactsOf(windows, about);
    REQUIRE_EQ(facts.dpi, 144);

    const SIZE client = ClientSizeOf(about);
    CHECK_EQ(client.cx, 405);  // 4050 x 2415 twips
    CHECK_EQ(client.cy, 242);
    CheckLayout(about, facts, kAboutLayout, kAboutLayoutCount, 144);
    // Line1 from (600, 480) to (3480, 480) twips, 15 twips thick: 1.5 px rounds to 2.
    if (HWND line = GetDlgItem(about, kIdAboutLine1)) {
        CHECK_EQ(RectInClientOf(about, line), (ClientRect{60, 48, 288, 2}));
    }
    // 12 pt = 24 px for the title, 9 pt = 18 px for the rest.
    CheckFonts(facts, {{kIdAboutLabel1, -24, false},
                       {kIdAboutLabel2, -18, false},
                       {kIdAboutLabel3, -18, false},
                       {kIdAboutLabel4, -18, false},
                       {kIdAboutLabel5, -18, false},
                       {kIdAboutLabel6, -18, false},
                       {kIdAboutLabel7, -18, false},
                       {kIdAboutLabel8, -18, false}});
    CheckNoTextClipped(facts);

    SaveScreenshot({about}, L"about-window-144dpi.bmp");
}
