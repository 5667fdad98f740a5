// The main window (Form1) in the test's own process: its layout and fonts at the screen's DPI and after a
// DPI change, its caption, icon and menu, the tab order with real keys, the read-only log that keeps its
// newest line in view, and how 修改, 退出 and closing it act on the program.
#include <gtest/gtest.h>

#include "port/port_settings.h"
#include "tests/shared/expected_texts.h"
#include "tests/windows/program_windows.h"
#include "ui/control_ids.h"

namespace windows_test {
namespace {

using namespace korvane;

// Form1 as designed: each control's rectangle in twips relative to the client area (the controls inside the
// frames moved by their frames' corners), and its font in hundredths of a point. Labels may grow to their text.
struct Designed {
    int id;
    int left, top, width, height;
    int font;
    bool bold;
};
const Designed kMainDesign[] = {
    {kIdFrame1, 120, 120, 4695, 3495, 900, false},  {kIdText1, 480, 480, 1575, 555, 2175, true},
    {kIdLabel1, 2280, 600, 735, 255, 1050, false},  {kIdCommand1, 600, 1200, 1455, 495, 900, false},
    {kIdFrame2, 240, 1800, 4455, 1695, 900, false}, {kIdRizhi, 360, 2040, 4215, 1335, 1050, false},
    {kIdText2, 3120, 480, 1575, 555, 2175, true},   {kIdCommand2, 2880, 1200, 1455, 495, 900, false},
    {kIdLabel2, 1320, 3720, 975, 255, 900, false},  {kIdLabel3, 2280, 3720, 1335, 255, 900, false},
};
const SIZE kMainClient = {4890, 3975};

bool IsLabel(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return _wcsicmp(name, L"Static") == 0;
}

// Every control where the design puts it at `dpi`, in 宋体 of the designed size with the GB2312 character
// set, and no text cut off. A label may be larger than designed only where its text needs the room.
void ExpectDesign(HWND window, const Designed* design, std::size_t count, int dpi) {
    for (std::size_t i = 0; i < count; ++i) {
        const Designed& d = design[i];
        SCOPED_TRACE("control " + std::to_string(d.id) + " at " + std::to_string(dpi) + " DPI");
        HWND control = GetDlgItem(window, d.id);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(IsWindowVisible(control));
        const RECT rect = RectInClient(window, control);
        EXPECT_EQ(rect.left, Px(d.left, dpi));
        EXPECT_EQ(rect.top, Px(d.top, dpi));
        const SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
        if (!IsLabel(control)) {
            EXPECT_EQ(size.cx, Px(d.width, dpi));
            EXPECT_EQ(size.cy, Px(d.height, dpi));
        } else {
            const SIZE text = TextExtent(control, TextOf(control));
            EXPECT_GE(size.cx, Px(d.width, dpi));
            EXPECT_GE(size.cy, Px(d.height, dpi));
            // Grown, then no further than its text.
            EXPECT_TRUE(size.cx == Px(d.width, dpi) || size.cx <= text.cx) << size.cx << " for text " << text.cx;
            EXPECT_TRUE(size.cy == Px(d.height, dpi) || size.cy <= text.cy) << size.cy << " for text " << text.cy;
        }
        const LOGFONTW font = FontOf(control);
        EXPECT_STREQ(font.lfFaceName, L"宋体");
        EXPECT_EQ(font.lfHeight, -FontPx(d.font, dpi));
        EXPECT_EQ(font.lfWeight, d.bold ? FW_BOLD : FW_NORMAL);
        EXPECT_FALSE(font.lfItalic);
        EXPECT_EQ(font.lfCharSet, GB2312_CHARSET);
    }
    EXPECT_EQ(ClippedTexts(window), "");
}

class MainWindowTest : public ::testing::Test {
protected:
    ProgramWindows program;
};

TEST_F(MainWindowTest, ControlsTextsAndFontsAsDesignedAtTheScreensDpi) {
    const int dpi = ScreenDpi();
    RECT client = {};
    GetClientRect(program.Main(), &client);
    EXPECT_EQ(client.right, Px(kMainClient.cx, dpi));
    EXPECT_EQ(client.bottom, Px(kMainClient.cy, dpi));
    ExpectDesign(program.Main(), kMainDesign, std::size(kMainDesign), dpi);
    for (const auto& text : expected::kMainTexts) {
        EXPECT_EQ(TextOf(program.Control(text.id)), text.text) << "control " << text.id;
    }
    EXPECT_EQ(TextOf(program.Main()), expected::kMainCaption);
    EXPECT_EQ(TextOf(program.Control(kIdText1)), L"3389");
    EXPECT_FALSE(IsWindowEnabled(program.Control(kIdText1)));
    EXPECT_EQ(TextOf(program.Control(kIdText2)), L"10010");
    EXPECT_EQ(TextOf(program.Control(kIdRizhi)), expected::kStartLog);
}

// Moved to a screen of 150 % (as Windows does with WM_DPICHANGED), the windows are laid out and get their
// fonts for 144 DPI; back on the first screen, for its DPI again. (The client area's size depends on the
// frame the system draws for each DPI, which Wine keeps at the screen's: the test at the start checks it.)
TEST_F(MainWindowTest, DpiChangeLaysEverythingOutAgain) {
    const int screen = ScreenDpi();
    for (int dpi : {screen == 144 ? 96 : 144, screen}) {
        RECT suggested = {};
        GetWindowRect(program.Main(), &suggested);
        SendMessageW(program.Main(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        const HWND about = program.OpenAbout();
        SendMessageW(about, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        PumpPending();
        ExpectDesign(program.Main(), kMainDesign, std::size(kMainDesign), dpi);
        EXPECT_EQ(FontOf(GetDlgItem(about, kIdAboutLabel1)).lfHeight, -FontPx(1200, dpi));
        EXPECT_EQ(ClippedTexts(about), "");
    }
}

// A label whose text does not fit its designed size grows to its text when the window is laid out: fonts
// found on a machine need not measure as the designer's did.
TEST_F(MainWindowTest, ALabelGrowsToATextThatDoesNotFit) {
    HWND label = program.Control(kIdLabel2);
    SetWindowTextW(label, L"作者网站作者网站：");
    const int dpi = ScreenDpi();
    RECT window = {};
    GetWindowRect(program.Main(), &window);
    SendMessageW(program.Main(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&window));
    const RECT rect = RectInClient(program.Main(), label);
    EXPECT_GE(rect.right - rect.left, TextExtent(label, TextOf(label)).cx);
    EXPECT_EQ(ClippedTexts(program.Main()), "");
}

// A change waiting for the restart: Remote Desktop's service still listens on 3389, the registry says 3390.
TEST(MainWindowStartUp, APendingChangeIsSaidOnceTheWindowShows) {
    ProgramWindows program([](korvane::testing::FakeWorld& world) {
        world.registry[kRdpTcpPortPath] = korvane::testing::Dword(3390);
        world.ListenAsRemoteDesktop(3389);
    });
    EXPECT_EQ(TextOf(program.Control(kIdRizhi)),
              expected::kStartLog + L"远程桌面现在仍在端口 3389 上侦听，已设置的端口 3390 在重启计算机后生效\r\n");
}

TEST_F(MainWindowTest, IconAndAMenuWithOneItemThatActsAtOnce) {
    EXPECT_NE(GetClassLongPtrW(program.Main(), GCLP_HICON), 0u);
    HMENU menu = GetMenu(program.Main());
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    wchar_t text[32] = {};
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    item.dwTypeData = text;
    item.cch = 32;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 0, TRUE, &item));
    EXPECT_STREQ(text, L"关于程序");
    EXPECT_EQ(item.hSubMenu, nullptr);
    EXPECT_EQ(item.wID, static_cast<UINT>(kIdMenuAC1));
}

// Through the system's keyboard input, as a person presses Tab: from the field to 修改, 退出 and the log, and
// back with Shift+Tab; the disabled Text1 is never reached.
TEST_F(MainWindowTest, TabOrderWithRealKeys) {
    program.BringToFront();
    ASSERT_EQ(GetFocus(), program.Control(kIdText2));
    const auto press = [](bool shift) {
        const auto key = [](WORD vk, bool up) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            return input;
        };
        std::vector<INPUT> keys = {key(VK_TAB, false), key(VK_TAB, true)};
        if (shift) keys = {key(VK_SHIFT, false), keys[0], keys[1], key(VK_SHIFT, true)};
        ASSERT_EQ(SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)), keys.size());
    };
    for (bool shift : {false, true}) {
        const std::vector<int> stops = shift ? std::vector<int>{kIdRizhi, kIdCommand2, kIdCommand1, kIdText2}
                                             : std::vector<int>{kIdCommand1, kIdCommand2, kIdRizhi, kIdText2};
        for (int id : stops) {
            press(shift);
            EXPECT_TRUE(PumpUntil([&] { return GetFocus() == program.Control(id); }))
                << (shift ? "Shift+Tab" : "Tab") << " did not reach control " << id << "; the focus is on "
                << GetDlgCtrlID(GetFocus());
        }
    }
}

TEST_F(MainWindowTest, LogIsReadOnlyAndKeepsItsNewestLineInView) {
    HWND log = program.Control(kIdRizhi);
    EXPECT_TRUE(GetWindowLongW(log, GWL_STYLE) & ES_READONLY);
    SendMessageW(log, EM_SETSEL, 0, -1);
    for (WPARAM key : {WPARAM('a'), WPARAM('1'), WPARAM(VK_BACK), WPARAM(0x16)}) SendMessageW(log, WM_CHAR, key, 0);
    for (UINT message : {UINT(WM_CUT), UINT(WM_CLEAR), UINT(WM_PASTE)}) SendMessageW(log, message, 0, 0);
    EXPECT_EQ(TextOf(log), expected::kStartLog);

    // Eight changes, more lines than the box shows: it scrolls so that the last line written stays in view.
    for (int change = 0; change < 8; ++change) {
        SetWindowTextW(program.Control(kIdText2), L"3390");
        SendMessageW(program.Control(kIdCommand1), BM_CLICK, 0, 0);
    }
    const int lines = static_cast<int>(SendMessageW(log, EM_GETLINECOUNT, 0, 0));
    const int first = static_cast<int>(SendMessageW(log, EM_GETFIRSTVISIBLELINE, 0, 0));
    RECT format = {};
    SendMessageW(log, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const int lineHeight = TextExtent(log, L"日").cy;
    EXPECT_GE(first + (format.bottom - format.top) / lineHeight, lines - 1)
        << "first visible line " << first << " of " << lines;
}

// 修改 runs the change on the platform the window was given: the values written, the log, the question.
TEST_F(MainWindowTest, ChangeButtonRunsTheChange) {
    SetWindowTextW(program.Control(kIdText2), L"3390");
    program.world.answers = {IDNO};
    SendMessageW(program.Control(kIdCommand1), BM_CLICK, 0, 0);
    EXPECT_EQ(program.world.registry[kRdpTcpPortPath], korvane::testing::Dword(3390));
    EXPECT_EQ(TextOf(program.Control(kIdRizhi)), expected::kStartLog + expected::SuccessLines(L"3390"));
    ASSERT_FALSE(program.world.messages.empty());
    EXPECT_EQ(program.world.messages.back().prompt, expected::kRestartQuestion);
}

TEST_F(MainWindowTest, ExitClosesEveryWindowAndEndsTheProgram) {
    const HWND main = program.Main(), about = program.OpenAbout();
    ASSERT_TRUE(IsWindowVisible(about));
    SendMessageW(program.Control(kIdCommand2), BM_CLICK, 0, 0);
    PumpPending();
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindow(about));
    int code = -1;
    EXPECT_TRUE(TakeQuit(code));
    EXPECT_EQ(code, 0);
}

TEST_F(MainWindowTest, ClosingTheMainWindowLeavesAboutOpenUntilItCloses) {
    const HWND about = program.OpenAbout();
    SendMessageW(program.Main(), WM_CLOSE, 0, 0);
    PumpPending();
    int code = -1;
    EXPECT_FALSE(TakeQuit(code)) << "the program ended with its About window open";
    EXPECT_TRUE(IsWindowVisible(about));
    SendMessageW(about, WM_CLOSE, 0, 0);
    PumpPending();
    EXPECT_TRUE(TakeQuit(code));
}

}  // namespace
}  // namespace windows_test
