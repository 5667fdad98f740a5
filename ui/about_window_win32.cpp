#include "ui/about_window_win32.h"

#include "ui/control_ids.h"
#include "ui/dpi_win32.h"
#include "ui/layout.h"

namespace korvane {

namespace {

// A fixed border, like the main window.
const WindowFrame kAboutFrame = {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                 false,
                                 kAboutClientWidth,
                                 kAboutClientHeight,
                                 kAboutLayout,
                                 kAboutLayoutCount};

// Each label is one line, widened to its text where needed (PlaceControls); text that would still run past
// the window's edge is cut there rather than wrapped onto a hidden second line, which would take whole
// words with it and let the next line's tops show below.
constexpr DWORD kLabelStyle = SS_LEFTNOWORDWRAP | SS_NOPREFIX;

struct AboutControl {
    int id;
    const wchar_t* text;
    DWORD style;
};

const AboutControl kControls[] = {
    {kIdAboutLabel1, L"Korvane-远程端口修改V1.0", kLabelStyle},
    {kIdAboutLine1, L"", SS_BLACKRECT},
    {kIdAboutLabel2, L"1、程序自身能自动读取出当前远程端口号；", kLabelStyle},
    {kIdAboutLabel3, L"2、用户可自定义输入要修改的远程端口号；", kLabelStyle},
    {kIdAboutLabel4, L"3、用户无需手工添加防火墙例外；", kLabelStyle},
    {kIdAboutLabel5, L"4、修改完成之后需重启后才会生效；", kLabelStyle},
    {kIdAboutLabel8, L"5、若发现BUG请反馈，有更好功能也可以提出；", kLabelStyle},
    {kIdAboutLabel6, L"版本号：V1.0", kLabelStyle},
    {kIdAboutLabel7, L"制作完成日期：2015-10-27", kLabelStyle},
};

}  // namespace

AboutWindow::AboutWindow(HINSTANCE instance, Application& application)
    : ProgramWindow(instance, application, kAboutFrame) {}

bool AboutWindow::Show(HWND anchor) {
    if (!hwnd_) {
        if (!Create()) return false;
        CentreOver(anchor);
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        UpdateWindow(hwnd_);
        return true;
    }
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
    return true;
}

bool AboutWindow::Create() {
    // No owner: the main window may be closed while this one stays open, and an owned window would go with it.
    return CreateProgramWindow(kAboutWindowClass, L"关于程序", nullptr);
}

void AboutWindow::CreateControls() {
    for (const AboutControl& control : kControls) {
        CreateWindowExW(0, L"STATIC", control.text, WS_CHILD | WS_VISIBLE | control.style, 0, 0, 0, 0, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance_, nullptr);
    }
}

void AboutWindow::CreateFonts() {
    // Label1 has a font of its own; every other label takes the window's default, as on the main window.
    // The labels move to the new fonts before the old ones (after a DPI change) are deleted.
    GdiObject<HFONT> title(CreateSongtiFont(kAboutTitleFontSize, false, dpi_));
    GdiObject<HFONT> normal(CreateSongtiFont(kDefaultFontSize, false, dpi_));
    for (const AboutControl& control : kControls) {
        HFONT font = control.id == kIdAboutLabel1 ? title.Get() : normal.Get();
        SendMessageW(GetDlgItem(hwnd_, control.id), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    titleFont_.Reset(title.Release());
    defaultFont_.Reset(normal.Release());
}

void AboutWindow::CentreOver(HWND anchor) {
    RECT around = {};
    if (!anchor || !GetWindowRect(anchor, &around)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
    }
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromRect(&around, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;

    RECT own = {};
    GetWindowRect(hwnd_, &own);
    const LONG width = own.right - own.left, height = own.bottom - own.top;
    LONG x = around.left + (around.right - around.left - width) / 2;
    LONG y = around.top + (around.bottom - around.top - height) / 2;
    // Keep the whole window on the anchor's screen.
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace korvane
