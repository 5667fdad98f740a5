#include "ui/main_window_win32.h"

#include <commctrl.h>

#include <vector>

#include "port/port_change.h"
#include "port/startup.h"
#include "ui/app_identity.h"
#include "ui/application_win32.h"
#include "ui/control_ids.h"
#include "ui/dpi_win32.h"
#include "ui/layout.h"
#include "ui/new_port_field_win32.h"

namespace korvane {

namespace {

// Posted once the window first shows, for what start-up does after that.
constexpr UINT kShownMessage = WM_APP + 1;

const WindowFrame kMainFrame = {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                true,
                                kMainClientWidth,
                                kMainClientHeight,
                                kMainLayout,
                                kMainLayoutCount};

enum class FontKind { Default, Port, Small };

struct ControlKind {
    int id;
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    DWORD exStyle;
    FontKind font;
};

// In stacking order, which is also the order Tab walks: Text2, 修改, 退出, then the log. The frames
// come last so that they are drawn beneath the controls lying on them.
const ControlKind kControls[] = {
    {kIdText1, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, FontKind::Port},
    {kIdText2, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, FontKind::Port},
    {kIdCommand1, L"BUTTON", L"修改", BS_PUSHBUTTON | WS_TABSTOP, 0, FontKind::Default},
    {kIdCommand2, L"BUTTON", L"退出", BS_PUSHBUTTON | WS_TABSTOP, 0, FontKind::Default},
    {kIdLabel1, L"STATIC", L"修改为", SS_LEFT | SS_NOPREFIX, 0, FontKind::Small},
    {kIdRizhi, L"EDIT", L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
     FontKind::Small},
    {kIdLabel2, L"STATIC", L"作者网站：", SS_LEFT | SS_NOPREFIX, 0, FontKind::Default},
    {kIdLabel3, L"STATIC", kPublisherUrl, SS_LEFT | SS_NOPREFIX, 0, FontKind::Default},
    {kIdFrame2, L"BUTTON", L"日志：", BS_GROUPBOX | WS_CLIPSIBLINGS, 0, FontKind::Default},
    {kIdFrame1, L"BUTTON", L"Korvane·远程端口修改工具", BS_GROUPBOX | WS_CLIPSIBLINGS, 0, FontKind::Default},
};

// A multi-line edit box keeps Tab for itself; the log is read-only, so let Tab move on to the next control.
LRESULT CALLBACK LogBoxProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_GETDLGCODE) {
        return DefSubclassProc(hwnd, message, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &LogBoxProcedure, 0);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, Platform& platform, Application& application)
    : ProgramWindow(instance, application, kMainFrame), platform_(platform) {}

bool MainWindow::Create() {
    HMENU menuBar = CreateMenu();
    AppendMenuW(menuBar, MF_STRING, kIdMenuAC1, L"关于程序");
    if (!CreateProgramWindow(kMainWindowClass, kMainCaption, menuBar)) {
        DestroyMenu(menuBar);
        return false;
    }
    configuredPort_ = RunStartup(platform_, *this);
    return true;
}

void MainWindow::Show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    PostMessageW(hwnd_, kShownMessage, 0, 0);
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wParam) != WA_INACTIVE);
            return 0;
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case kShownMessage:
            ReportPendingPort(platform_, *this, configuredPort_);
            return 0;
        default:
            return Default(message, wParam, lParam);
    }
}

POINT MainWindow::InitialPosition(SIZE outer) const {
    // The middle of the work area.
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return {work.left + (work.right - work.left - outer.cx) / 2, work.top + (work.bottom - work.top - outer.cy) / 2};
}

void MainWindow::CreateControls() {
    HWND above = HWND_TOP;
    for (const ControlKind& kind : kControls) {
        HWND control =
            CreateWindowExW(kind.exStyle, kind.windowClass, kind.text, WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0, 0,
                            hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kind.id)), instance_, nullptr);
        // Stack each control below the previous one, whatever order the system inserts new windows in.
        // Windows and Wine put a new child at the bottom, where it already belongs: moving it anyway
        // costs a round of window messages per control at start-up.
        if (GetWindow(control, GW_HWNDPREV) != (above == HWND_TOP ? nullptr : above)) {
            SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        above = control;
    }
    SetWindowSubclass(Control(kIdRizhi), &LogBoxProcedure, 0, 0);
    AttachNewPortField(Control(kIdText2));
}

void MainWindow::CreateFonts() {
    // The controls move to the new fonts before the old ones (after a DPI change) are deleted.
    GdiObject<HFONT> port(CreateSongtiFont(kPortFontSize, true, dpi_));
    GdiObject<HFONT> smallSize(CreateSongtiFont(kSmallFontSize, false, dpi_));
    GdiObject<HFONT> normal(CreateSongtiFont(kDefaultFontSize, false, dpi_));
    for (const ControlKind& kind : kControls) {
        HFONT font = kind.font == FontKind::Port    ? port.Get()
                     : kind.font == FontKind::Small ? smallSize.Get()
                                                    : normal.Get();
        SendMessageW(Control(kind.id), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    portFont_.Reset(port.Release());
    smallFont_.Reset(smallSize.Release());
    defaultFont_.Reset(normal.Release());
}

void MainWindow::OnCommand(int id) {
    switch (id) {
        case kIdCommand1:
            RunPortChange(platform_, *this);
            break;
        case kIdCommand2:
            application_.EndProgram();
            break;
        case kIdMenuAC1:
            application_.ShowAbout();
            break;
        default:
            break;
    }
}

void MainWindow::OnActivate(bool active) {
    // A plain window does not remember its focused control the way a dialog does.
    if (!active) {
        HWND focus = GetFocus();
        focusBeforeDeactivation_ = (focus && IsChild(hwnd_, focus)) ? focus : nullptr;
        return;
    }
    HWND focus = focusBeforeDeactivation_ && IsWindowEnabled(focusBeforeDeactivation_) ? focusBeforeDeactivation_
                                                                                       : Control(kIdText2);
    SetFocus(focus);
}

LRESULT MainWindow::OnCtlColorStatic(HDC dc, HWND control) {
    // The log is read-only but still a text box to read from: keep it white rather than greyed.
    if (control == Control(kIdRizhi)) {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    return Default(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

std::wstring MainWindow::ControlText(int id) const {
    return WindowTextOf(Control(id));
}

std::wstring MainWindow::NewPortText() const {
    return ControlText(kIdText2);
}

void MainWindow::SetNewPortText(const std::wstring& text) {
    SetWindowTextW(Control(kIdText2), text.c_str());
}

void MainWindow::SetCurrentPortText(const std::wstring& text) {
    SetWindowTextW(Control(kIdText1), text.c_str());
}

void MainWindow::DisableCurrentPort() {
    EnableWindow(Control(kIdText1), FALSE);
}

std::wstring MainWindow::LogText() const {
    return ControlText(kIdRizhi);
}

void MainWindow::SetLogText(const std::wstring& text) {
    HWND log = Control(kIdRizhi);
    SetWindowTextW(log, text.c_str());
    const LPARAM end = static_cast<LPARAM>(GetWindowTextLengthW(log));
    SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(log, EM_SCROLLCARET, 0, 0);
}

}  // namespace korvane
