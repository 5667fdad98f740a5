#include "tests/windows/program_windows.h"

#include <gtest/gtest.h>

#include "port/port_settings.h"
#include "tests/shared/ordinary_machine.h"
#include "ui/control_ids.h"
#include "ui/dpi_win32.h"

namespace windows_test {

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        PumpPending();
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {
// The exit code of a WM_QUIT the program posted and the test has not yet taken, or -1.
int g_quit = -1;
}  // namespace

void PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            g_quit = static_cast<int>(message.wParam);
            continue;
        }
        korvane::DispatchProgramMessage(message);
    }
}

ProgramWindows::ProgramWindows(const std::function<void(korvane::testing::FakeWorld&)>& arrange)
    : application(GetModuleHandleW(nullptr), platform) {
    world.registry[korvane::kRdpTcpPortPath] = korvane::testing::Dword(3389);
    world.registry[korvane::kTdsPortPath] = korvane::testing::Dword(3389);
    world.windowsRules = expected::WindowsRemoteDesktopRules();
    if (arrange) arrange(world);
    if (!application.Start(SW_SHOWNORMAL)) ADD_FAILURE() << "the main window could not be made";
    PumpPending();
}

ProgramWindows::~ProgramWindows() {
    application.EndProgram();
    PumpPending();
    int code = 0;
    TakeQuit(code);
}

HWND ProgramWindows::OpenAbout() {
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(korvane::kIdMenuAC1, 0), 0);
    PumpPending();
    return application.AboutWindowHandle();
}

void ProgramWindows::BringToFront() const {
    SetForegroundWindow(Main());
    const bool front =
        PumpUntil([&] { return GetForegroundWindow() == Main() && GetFocus() && IsChild(Main(), GetFocus()); });
    if (!front) ADD_FAILURE() << "the main window did not come to the front with the focus in it";
}

bool TakeQuit(int& exitCode) {
    PumpPending();
    exitCode = g_quit;
    g_quit = -1;
    return exitCode != -1;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int Px(int twips, int dpi) {
    return (twips * dpi + 720) / 1440;
}

int FontPx(int hundredthsOfPoint, int dpi) {
    return (hundredthsOfPoint * dpi + 3600) / 7200;
}

RECT RectInClient(HWND window, HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LOGFONTW FontOf(HWND control) {
    LOGFONTW font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (handle) GetObjectW(handle, sizeof font, &font);
    return font;
}

namespace {

// A control's device context with its own font selected.
class FontContext {
public:
    explicit FontContext(HWND control) : control_(control), dc_(GetDC(control)) {
        if (HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0))) {
            previous_ = SelectObject(dc_, font);
        }
    }
    ~FontContext() {
        if (previous_) SelectObject(dc_, previous_);
        ReleaseDC(control_, dc_);
    }
    FontContext(const FontContext&) = delete;
    FontContext& operator=(const FontContext&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND control_;
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// How far the text may reach across and down in the control, as it draws it: a label from its top left,
// a button's caption inside its border, a group box's caption along its top edge between its margins, and
// an edit box's line inside its formatting rectangle. Zero for controls whose text is not checked.
SIZE TextRoom(HWND control, int dpi) {
    RECT client = {};
    GetClientRect(control, &client);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const std::wstring kind = ClassOf(control);
    const int border = MulDiv(4, dpi, 96), groupMargin = MulDiv(8, dpi, 96);
    if (_wcsicmp(kind.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT)
        return {client.right, client.bottom};
    if (_wcsicmp(kind.c_str(), L"Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX)
        return {client.right - 2 * groupMargin, client.bottom};
    if (_wcsicmp(kind.c_str(), L"Button") == 0) return {client.right - 2 * border, client.bottom - 2 * border};
    if (_wcsicmp(kind.c_str(), L"Edit") == 0 && !(style & ES_MULTILINE)) {
        RECT format = {};
        SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        return {format.right - format.left, format.bottom - format.top};
    }
    return {0, 0};
}

}  // namespace

SIZE TextExtent(HWND control, const std::wstring& text) {
    FontContext context(control);
    RECT rect = {0, 0, 0, 0};
    DrawTextW(context.Get(), text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::string ClippedTexts(HWND window) {
    std::string clipped;
    const int dpi = korvane::WindowDpi(window);
    for (HWND control = GetWindow(window, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        const SIZE room = TextRoom(control, dpi);
        if (room.cx == 0) continue;
        // An edit box must show the five digits of any port whole: their glyphs stand on the baseline.
        const bool edit = _wcsicmp(ClassOf(control).c_str(), L"Edit") == 0;
        const std::wstring text = edit ? L"65535" : TextOf(control);
        if (text.empty()) continue;
        SIZE needed = TextExtent(control, text);
        if (edit) {
            FontContext context(control);
            TEXTMETRICW metrics = {};
            GetTextMetricsW(context.Get(), &metrics);
            needed.cy = metrics.tmAscent;
        }
        const bool groupBox = (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        if (needed.cx > room.cx || (!groupBox && needed.cy > room.cy)) {
            clipped += "control " + std::to_string(GetDlgCtrlID(control)) + " \"" + Utf8(text) + "\" needs " +
                       std::to_string(needed.cx) + "x" + std::to_string(needed.cy) + ", has " +
                       std::to_string(room.cx) + "x" + std::to_string(room.cy) + "; ";
        }
    }
    return clipped;
}

}  // namespace windows_test
