// The demonstration of scripts/run.sh, played on the real program as a person would: the field emptied with a
// double-click and the new port typed on the keyboard, 3389 changed to 3390 (or the next port free on this
// machine, should another run hold 3390), the restart declined, with the
// registry and the firewall's rules shown before and after, and pictures of the main window, the restart
// question and the About window (screenshots\*.bmp beside the test program, made PNG files by the bench).
// It runs with the other end-to-end tests, so the demo shown is always one that works.
#include <gtest/gtest.h>

#include <cstdio>

#include "port/port_settings.h"
#include "tests/e2e/driver.h"
#include "tests/shared/expected_texts.h"
#include "tests/windows/firewall_stand_in/stand_in_files.h"
#include "ui/control_ids.h"

namespace e2e {
namespace {

using namespace korvane;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Describe(const std::optional<DWORD>& number, const std::optional<std::wstring>& text) {
    if (number) return std::to_string(*number) + " (REG_DWORD)";
    if (text) return Utf8(*text) + " (REG_SZ)";
    return "(不存在 / absent)";
}

void ShowSettings(const std::string& heading, const std::wstring& port) {
    Say(heading);
    Say("  RDP-Tcp PortNumber         = " + Describe(ReadDword(kRdpTcpPortPath), std::nullopt));
    Say("  Tds\\tcp PortNumber         = " + Describe(ReadDword(kTdsPortPath), std::nullopt));
    Say("  GloballyOpenPorts " + Utf8(port) +
        ":TCP = " + Describe(std::nullopt, ReadString(kFirewallListPath + port + L":TCP")));
    std::vector<FirewallRule> rules;
    stand_in::ReadRules(rules);
    if (rules.empty()) Say("  firewall rules             = (none)");
    for (const FirewallRule& rule : rules) {
        Say("  firewall rule              = " + Utf8(rule.name) + ", " + (rule.protocol == 6 ? "TCP" : "UDP") +
            " port " + Utf8(rule.localPorts) + ", " + Utf8(rule.applicationName) + " " + Utf8(rule.serviceName));
    }
}

// Every window shown finished: each repainted, frame included, with no part left to paint, then the screen
// captured until two pictures in a row are the same.
void SaveScreenshot(const std::vector<HWND>& windows, const std::wstring& name) {
    RECT area = {};
    for (HWND window : windows) {
        RECT rect = {};
        GetWindowRect(window, &rect);
        UnionRect(&area, &area, &rect);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    WaitUntil([&] {
        for (HWND window : windows) {
            if (GetUpdateRect(window, nullptr, FALSE)) return false;
        }
        return true;
    });
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = area.right - area.left;
    header.biHeight = area.bottom - area.top;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = ((static_cast<DWORD>(header.biWidth) * 3 + 3) & ~3u) * static_cast<DWORD>(header.biHeight);
    std::vector<BYTE> previous, pixels(header.biSizeImage);
    WaitUntil([&] {
        HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, header.biWidth, header.biHeight);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, header.biWidth, header.biHeight, screen, area.left, area.top, SRCCOPY);
        SelectObject(memory, old);
        previous.swap(pixels);
        pixels.assign(header.biSizeImage, 0);
        BITMAPINFOHEADER format = header;
        GetDIBits(memory, bitmap, 0, static_cast<UINT>(header.biHeight), pixels.data(),
                  reinterpret_cast<BITMAPINFO*>(&format), DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return pixels == previous;
    });
    // On a screen of another scaling than 100 %, the pictures are named after its DPI.
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const std::wstring shot = dpi == 96 ? name : name + L"-" + std::to_wstring(dpi) + L"dpi";
    CreateDirectoryW((Folder() + L"screenshots").c_str(), nullptr);
    BITMAPFILEHEADER file = {0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof header};
    file.bfSize = file.bfOffBits + header.biSizeImage;
    const HANDLE out = CreateFileW((Folder() + L"screenshots\\" + shot + L".bmp").c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, &file, sizeof file, &written, nullptr);
    WriteFile(out, &header, sizeof header, &written, nullptr);
    WriteFile(out, pixels.data(), header.biSizeImage, &written, nullptr);
    CloseHandle(out);
    Say("screenshot " + Utf8(shot));
}

// Key presses of the characters of `text`, to the window with the focus.
void Type(const std::wstring& text) {
    std::vector<INPUT> keys;
    for (wchar_t c : text) {
        for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT key = {};
            key.type = INPUT_KEYBOARD;
            key.ki.wScan = c;
            key.ki.dwFlags = KEYEVENTF_UNICODE | up;
            keys.push_back(key);
        }
    }
    if (SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) != keys.size()) Abort("SendInput failed");
}

TEST(Demo, ChangeFrom3389To3390AsAPersonWould) {
    SetDword(kRdpTcpPortPath, 3389);
    SetDword(kTdsPortPath, 3389);
    DeleteKey(std::wstring(kFirewallListPath).substr(0, std::size(kFirewallListPath) - 2));
    stand_in::ResetToOrdinaryMachine();
    const std::wstring port = std::to_wstring(FreePort(3390));
    ShowSettings("修改前 / before:", port);

    Program program;
    EXPECT_EQ(program.Text(kIdText1), L"3389");
    SetForegroundWindow(program.Main());
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == program.Main(); }));
    SaveScreenshot({program.Main()}, L"main-window");

    // A double-click empties the field; the new port is typed into it.
    RECT field = {};
    GetWindowRect(program.Control(kIdText2), &field);
    SetCursorPos((field.left + field.right) / 2, (field.top + field.bottom) / 2);
    INPUT clicks[4] = {};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    }
    ASSERT_EQ(SendInput(4, clicks, sizeof(INPUT)), 4u);
    ASSERT_EQ(program.WaitForText(kIdText2, L""), L"");
    Type(port);
    ASSERT_EQ(program.WaitForText(kIdText2, port), port);

    program.Click(kIdCommand1);
    const auto question = program.WaitForMessageBox();
    ASSERT_TRUE(question.has_value());
    EXPECT_EQ(question->text, expected::kRestartQuestion);
    SaveScreenshot({program.Main(), question->window}, L"restart-question");
    program.Answer(*question, IDNO);

    ShowSettings("修改后 / after (restart declined):", port);
    Say("日志 / log:");
    const std::wstring log = program.Text(kIdRizhi);
    for (std::size_t start = 0; start < log.size();) {
        const std::size_t end = log.find(L"\r\n", start);
        Say("  " + Utf8(log.substr(start, end - start)));
        start = end == std::wstring::npos ? log.size() : end + 2;
    }
    EXPECT_EQ(log, expected::kStartLog + kRangeNotToldLine + expected::SuccessLines(port));
    EXPECT_EQ(ReadDword(kRdpTcpPortPath), std::stoul(port));

    PostMessageW(program.Main(), WM_COMMAND, MAKEWPARAM(kIdMenuAC1, 0), 0);
    HWND about = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (about = FindWindowW(kAboutWindowClass, nullptr)) && IsWindowVisible(about); }));
    SaveScreenshot({about}, L"about-window");
}

}  // namespace
}  // namespace e2e
