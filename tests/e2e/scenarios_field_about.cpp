// The new-port field (Text2) and the About window on the real program, through real keys and clicks:
// what typing, pasting and double-clicking leave in the field, its tooltip, and the About window's
// layout, its single instance and how it lives beside the main window.
#include <windows.h>

#include <string>
#include <vector>

#include "bench.h"
#include "listener_ports.h"
#include "probe.h"
#include "program.h"
#include "ui/control_ids.h"
#include "ui/layout.h"

namespace {

using e2e::Program;
using namespace korvane;

constexpr DWORD kSettleMs = 3000;  // for the program to act on input already sent

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// Text of any window of the program, through the system's cross-process WM_GETTEXT.
std::wstring TextOf(HWND window) {
    wchar_t buffer[512] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 3000,
                             &copied)) {
        FAIL_SCENARIO("the program did not answer WM_GETTEXT within 3 s");
    }
    return std::wstring(buffer, copied);
}

// Visible top-level windows of the program with class `className`.
std::vector<HWND> VisibleWindows(const Program& program, const wchar_t* className) {
    struct Search {
        DWORD processId;
        const wchar_t* className;
        std::vector<HWND> found;
    } search{program.ProcessId(), className, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD processId = 0;
            GetWindowThreadProcessId(window, &processId);
            if (processId == s.processId && IsWindowVisible(window) && ClassOf(window) == s.className) {
                s.found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> AboutWindows(const Program& program) {
    return VisibleWindows(program, kAboutWindowClass);
}

void SetField(const Program& program, const std::wstring& text) {
    SendMessageW(program.Control(kIdText2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Handles the driver's own messages while it waits: under Wine the program's paste may ask the
// clipboard's owner (a window of the driver) to hand over the data.
template <typename Condition>
bool PumpUntil(Condition condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// Waits until Text2 reads `expected`, then checks it (so that a failure shows what it read last).
bool ExpectField(const Program& program, const std::wstring& expected, const char* after) {
    PumpUntil([&] { return program.Text(kIdText2) == expected; }, kSettleMs);
    e2e::Context context(std::string("after ") + after);
    return CHECK_EQ(program.Text(kIdText2), expected);
}

// Brings the main window to the front with the caret in Text2, at the end of its text.
void FocusField(const Program& program) {
    program.BringToFront();
    if (program.WaitForFocus(kIdText2, 500) != kIdText2) program.Click(kIdText2);
    REQUIRE_EQ(e2e::ControlName(program.WaitForFocus(kIdText2)), e2e::ControlName(kIdText2));
    e2e::PressKey(VK_END);
}

void SelectWholeField() {
    e2e::PressKey(VK_HOME);
    e2e::PressKey(VK_END, {VK_SHIFT});
}

// Brings the main window to the front and waits until it lies above the About window at the centre of
// control `id`: the foreground changes at once, the stacking order only once the program has acted on it.
void RaiseMainOver(const Program& program, int id) {
    RECT rect = {};
    GetWindowRect(program.Control(id), &rect);
    const POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    // Asked again while waiting: a window the program has only just shown can still take the front after
    // the first request.
    e2e::WaitUntil(
        [&] {
            program.BringToFront();
            return GetAncestor(WindowFromPoint(centre), GA_ROOT) == program.MainWindow();
        },
        kSettleMs);
}

// Opens the About window and returns it; ends the scenario when none appears.
HWND OpenAbout(const Program& program) {
    program.ClickAboutMenu();
    std::vector<HWND> windows;
    e2e::WaitUntil([&] { return !(windows = AboutWindows(program)).empty(); }, kSettleMs);
    REQUIRE_MSG(!windows.empty(), "a click on 关于程序 opened no About window");
    return windows.front();
}

e2e::ClientRect RectInClientOf(HWND window, HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// A hidden window of the driver that owns what it puts on the clipboard.
class ClipboardOwner {
public:
    ClipboardOwner() {
        window_ = CreateWindowExW(0, L"STATIC", L"e2e clipboard owner", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (!window_) FAIL_SCENARIO("cannot create the driver's clipboard window");
    }
    ~ClipboardOwner() {
        if (OpenClipboard(window_)) {
            EmptyClipboard();
            CloseClipboard();
        }
        DestroyWindow(window_);
    }
    ClipboardOwner(const ClipboardOwner&) = delete;
    ClipboardOwner& operator=(const ClipboardOwner&) = delete;

    void Put(const std::wstring& text) {
        if (!PumpUntil([&] { return OpenClipboard(window_) != FALSE; }, 2000)) {
            FAIL_SCENARIO("cannot open the clipboard");
        }
        EmptyClipboard();
        const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        bool placed = false;
        if (memory) {
            if (void* data = GlobalLock(memory)) {
                CopyMemory(data, text.c_str(), bytes);
                GlobalUnlock(memory);
                placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
            }
            if (!placed) GlobalFree(memory);
        }
        CloseClipboard();
        if (!placed) FAIL_SCENARIO("cannot put " + e2e::Quote(text) + " on the clipboard");
    }

private:
    HWND window_ = nullptr;
};

// Right-clicks Text2 and chooses Paste (mnemonic P) in its context menu.
void PasteThroughContextMenu(const Program& program) {
    program.BringToFront();
    RECT field = {};
    GetWindowRect(program.Control(kIdText2), &field);
    if (!SetCursorPos((field.left + field.right) / 2, (field.top + field.bottom) / 2)) {
        FAIL_SCENARIO("cannot move the mouse pointer");
    }
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    if (SendInput(2, clicks, sizeof(INPUT)) != 2) FAIL_SCENARIO("SendInput could not right-click");
    if (!PumpUntil([&] { return !VisibleWindows(program, L"#32768").empty(); }, kSettleMs)) {
        FAIL_SCENARIO("a right click on Text2 opened no context menu");
    }
    e2e::PressKey('P');
    if (!PumpUntil([&] { return VisibleWindows(program, L"#32768").empty(); }, kSettleMs)) {
        FAIL_SCENARIO("the context menu stayed open after P (Paste)");
    }
}

}  // namespace

// ---- Text2 ----

SCENARIO(new_port_field_takes_only_typed_digits) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    FocusField(program);
    SetField(program, L"");
    // Real key presses: digits, a letter, Backspace.
    e2e::PressKey('1');
    e2e::PressKey('A');
    e2e::PressKey('2');
    e2e::PressKey(VK_BACK);
    e2e::PressKey('3');
    ExpectField(program, L"123", "1, a, 2, Backspace, 3");

    // Characters no key of this keyboard makes, delivered as typed characters: signs, space, full-width
    // digits, Chinese, Enter. The 4 at the end shows that everything before it has been handled.
    e2e::TypeText(L" -+.,e０９中。\t4");
    e2e::PressKey(VK_RETURN);
    e2e::PressKey('5');
    ExpectField(program, L"12345", "signs, space, full-width digits, Chinese, Tab and Enter");
}

SCENARIO(new_port_field_backspace_delete_arrows_and_selection) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    REQUIRE_EQ(program.Text(kIdText2), std::wstring(L"10010"));
    FocusField(program);
    e2e::PressKey(VK_BACK);
    e2e::PressKey('7');
    ExpectField(program, L"100107", "Backspace at the end and a 7");

    e2e::PressKey(VK_HOME);
    e2e::PressKey(VK_DELETE);
    ExpectField(program, L"00107", "Delete at the start");

    e2e::PressKey(VK_RIGHT);
    e2e::PressKey(VK_DELETE);
    ExpectField(program, L"0107", "Right arrow and Delete");

    e2e::PressKey(VK_END);
    e2e::PressKey(VK_LEFT, {VK_SHIFT});
    e2e::PressKey(VK_LEFT, {VK_SHIFT});
    e2e::PressKey('9');
    ExpectField(program, L"019", "a 9 typed over the last two digits");

    SelectWholeField();
    e2e::PressKey(VK_BACK);  // refused, the selection stays
    e2e::PressKey('6');
    ExpectField(program, L"6", "Backspace on the whole text selected, then a 6");
}

SCENARIO(new_port_field_ctrl_v_does_not_paste) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    ClipboardOwner clipboard;
    clipboard.Put(L"3390");
    FocusField(program);
    e2e::PressKey('V', {VK_CONTROL});
    e2e::PressKey('5');
    ExpectField(program, L"100105", "Ctrl+V with 3390 on the clipboard, then a 5");
}

SCENARIO(new_port_field_double_click_empties_it) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    program.DoubleClick(kIdText2);
    ExpectField(program, L"", "a double-click in the middle");

    // Near the left end, where a double-click would otherwise select the first word only.
    SetField(program, L"123 456");
    RECT client = {};
    GetClientRect(program.Control(kIdText2), &client);
    POINT nearLeft = {client.left + 3, (client.top + client.bottom) / 2};
    ClientToScreen(program.Control(kIdText2), &nearLeft);
    program.ClickAtScreen(nearLeft, 2);
    ExpectField(program, L"", "a double-click near the left end");

    // Typing goes on in the emptied field.
    e2e::PressKey('8');
    ExpectField(program, L"8", "an 8 typed after the double-click");
}

SCENARIO(new_port_field_tooltip) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    program.BringToFront();
    // Hover: the pointer comes to rest on Text2 and the tooltip shows after its delay.
    RECT field = {};
    GetWindowRect(program.Control(kIdText2), &field);
    SetCursorPos(field.left + 5, field.top + 5);
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    move.mi.dx = 3;
    move.mi.dy = 3;
    SendInput(1, &move, sizeof move);

    std::vector<HWND> tips;
    e2e::WaitUntil([&] { return !(tips = VisibleWindows(program, L"tooltips_class32")).empty(); }, 5000);
    REQUIRE_MSG(!tips.empty(), "no tooltip appeared within 5 s of the pointer resting on Text2");
    CHECK_EQ(tips.size(), std::size_t{1});
    CHECK_EQ(TextOf(tips.front()), std::wstring(L"双击我可清空内容哦！"));
}

SCENARIO(new_port_field_pastes_only_plain_digits) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    ClipboardOwner clipboard;

    clipboard.Put(L"3390");
    FocusField(program);
    SelectWholeField();
    e2e::PressKey(VK_INSERT, {VK_SHIFT});
    ExpectField(program, L"3390", "Shift+Insert of 3390 over the whole text");

    for (const std::wstring refused : {L"12a", L" 42", L"42\r\n", L"-1", L"３３"}) {
        e2e::Context context("clipboard " + e2e::Quote(refused));
        clipboard.Put(refused);
        SetField(program, L"3390");
        FocusField(program);
        e2e::PressKey(VK_INSERT, {VK_SHIFT});
        e2e::PressKey('5');
        ExpectField(program, L"33905", "Shift+Insert, then a 5");
    }

    clipboard.Put(L"12a");
    SetField(program, L"3390");
    FocusField(program);
    PasteThroughContextMenu(program);
    e2e::PressKey('5');
    ExpectField(program, L"33905", "Paste of 12a from the context menu, then a 5");

    clipboard.Put(L"42");
    FocusField(program);
    SelectWholeField();
    PasteThroughContextMenu(program);
    ExpectField(program, L"42", "Paste of 42 from the context menu over the whole text");
}

// ---- the About window ----

SCENARIO(about_opens_once_at_its_layout) {
    e2e::SeedListenerPorts(3389, 3389);
    REQUIRE_EQ(ScreenDpi(), 96);
    Program program;
    const HWND about = OpenAbout(program);
    // Asked for again while open: the same window, brought back to the front.
    program.ClickAboutMenu();
    e2e::WaitUntil([&] { return GetForegroundWindow() == about; }, kSettleMs);
    CHECK_MSG(GetForegroundWindow() == about, "the About window did not come to the front when asked for again");
    Sleep(300);  // a second window, if any, would have shown by now
    CHECK_EQ(AboutWindows(program).size(), std::size_t{1});
    CHECK(AboutWindows(program).front() == about);

    CHECK_EQ(TextOf(about), std::wstring(L"关于程序"));
    RECT client = {};
    GetClientRect(about, &client);
    CHECK_EQ(client.right, 270);
    CHECK_EQ(client.bottom, 161);
    CHECK_MSG((GetWindowLongW(about, GWL_STYLE) & WS_THICKFRAME) == 0, "the About window can be resized");

    struct Expected {
        int id;
        const wchar_t* text;
    };
    const Expected kTexts[] = {
        {kIdAboutLabel1, L"Korvane-远程端口修改V1.0"},
        {kIdAboutLine1, L""},
        {kIdAboutLabel2, L"1、程序自身能自动读取出当前远程端口号；"},
        {kIdAboutLabel3, L"2、用户可自定义输入要修改的远程端口号；"},
        {kIdAboutLabel4, L"3、用户无需手工添加防火墙例外；"},
        {kIdAboutLabel5, L"4、修改完成之后需重启后才会生效；"},
        {kIdAboutLabel8, L"5、若发现BUG请反馈，有更好功能也可以提出；"},
        {kIdAboutLabel6, L"版本号：V1.0"},
        {kIdAboutLabel7, L"制作完成日期：2015-10-27"},
    };
    for (const Expected& expected : kTexts) {
        e2e::Context context("About control " + std::to_string(expected.id));
        HWND control = GetDlgItem(about, expected.id);
        if (!CHECK_MSG(control != nullptr, "missing")) continue;
        CHECK_EQ(TextOf(control), std::wstring(expected.text));
        CHECK(IsWindowVisible(control) != FALSE);
    }
    // Each control at its designed rectangle; a label only grows where its text would not fit it.
    const std::vector<e2e::WindowFacts> windows = e2e::ProbeWindows(program);
    const e2e::WindowFacts& facts = e2e::FactsOf(windows, about);
    for (std::size_t i = 0; i < kAboutLayoutCount; ++i) {
        const ControlPlacement& placement = kAboutLayout[i];
        e2e::Context context(e2e::ControlName(placement.id));
        HWND control = GetDlgItem(about, placement.id);
        if (!control) continue;
        CHECK_EQ(RectInClientOf(about, control),
                 e2e::ExpectedPlacement(placement, facts.Control(placement.id), 96, {client.right, client.bottom}));
    }
    // Line1: from (40, 32) to (232, 32) at 96 DPI, one pixel thick.
    if (HWND line = GetDlgItem(about, kIdAboutLine1)) {
        CHECK_EQ(RectInClientOf(about, line), (e2e::ClientRect{40, 32, 192, 1}));
    }
}

SCENARIO(about_fonts_and_icon) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    const HWND about = OpenAbout(program);
    const std::vector<e2e::WindowFacts> windows = e2e::ProbeWindows(program);
    const e2e::WindowFacts& facts = e2e::FactsOf(windows, about);
    CHECK_MSG(facts.hasBigIcon, "the About window shows no icon");
    CHECK_MSG(!facts.hasMenu, "the About window has a menu bar");
    const int dpi = ScreenDpi();
    for (int id : {kIdAboutLabel1, kIdAboutLabel2, kIdAboutLabel3, kIdAboutLabel4, kIdAboutLabel5, kIdAboutLabel6,
                   kIdAboutLabel7, kIdAboutLabel8}) {
        e2e::Context context("About control " + std::to_string(id));
        const e2e::FontFacts& font = facts.Control(id).font;
        if (!CHECK_MSG(font.present, "uses the system font, no font of its own")) continue;
        CHECK_EQ(font.face, std::wstring(L"宋体"));
        CHECK_EQ(font.height, -FontPixelHeight(id == kIdAboutLabel1 ? kAboutTitleFontSize : kDefaultFontSize, dpi));
        CHECK_EQ(font.weight, FW_NORMAL);
        CHECK(!font.italic);
        CHECK_EQ(font.charset, GB2312_CHARSET);
    }
}

SCENARIO(about_opens_anew_after_it_was_closed) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    const HWND first = OpenAbout(program);
    PostMessageW(first, WM_CLOSE, 0, 0);
    REQUIRE_MSG(e2e::WaitUntil([&] { return !IsWindow(first); }, kSettleMs), "the About window did not close");
    Sleep(300);
    REQUIRE_MSG(program.Running(), "closing the About window ended the program");
    const HWND second = OpenAbout(program);
    CHECK(IsWindowVisible(second) != FALSE);
    CHECK_EQ(AboutWindows(program).size(), std::size_t{1});
}

SCENARIO(main_window_works_while_about_is_open) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    const HWND about = OpenAbout(program);
    RaiseMainOver(program, kIdText2);
    program.DoubleClick(kIdText2);
    ExpectField(program, L"", "a double-click on Text2 with About open");
    e2e::PressKey('3');
    e2e::PressKey('3');
    e2e::PressKey('9');
    e2e::PressKey('0');
    ExpectField(program, L"3390", "3390 typed with About open");
    e2e::PressKey(VK_TAB);
    CHECK_EQ(e2e::ControlName(program.WaitForFocus(kIdCommand1)), e2e::ControlName(kIdCommand1));
    CHECK(IsWindowVisible(about) != FALSE);
}

SCENARIO(exit_with_about_open_ends_the_program) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    const HWND about = OpenAbout(program);
    RaiseMainOver(program, kIdCommand2);
    program.Click(kIdCommand2);
    const std::optional<DWORD> exitCode = program.WaitForExit(3000);
    REQUIRE_MSG(exitCode.has_value(), "the program still runs 3 s after a click on 退出 with About open");
    CHECK_EQ(*exitCode, DWORD{0});
    CHECK(!IsWindow(about));
    CHECK(!IsWindow(program.MainWindow()));
}

SCENARIO(closing_main_window_leaves_about_open_until_it_closes) {
    e2e::SeedListenerPorts(3389, 3389);
    Program program;
    const HWND about = OpenAbout(program);
    PostMessageW(program.MainWindow(), WM_CLOSE, 0, 0);
    REQUIRE_MSG(e2e::WaitUntil([&] { return !IsWindow(program.MainWindow()); }, kSettleMs),
                "the main window did not close on WM_CLOSE");
    Sleep(500);
    REQUIRE_MSG(program.Running(), "the program ended with its About window still open");
    CHECK(IsWindow(about) && IsWindowVisible(about));

    PostMessageW(about, WM_CLOSE, 0, 0);
    const std::optional<DWORD> exitCode = program.WaitForExit(3000);
    REQUIRE_MSG(exitCode.has_value(), "the program still runs 3 s after its last window closed");
    CHECK_EQ(*exitCode, DWORD{0});
}
