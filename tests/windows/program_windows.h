// The program's windows, made in the test's own process by the program's own window code on the fake
// platform, and the test's message loop, which handles each message as the program's loop does. A test
// sends messages to the windows directly, reads their state with the ordinary calls (fonts, rectangles,
// focus), and waits for what it needs with PumpUntil, never for a fixed time.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/shared/utf8_win32.h"
#include "tests/unit/fakes.h"
#include "ui/application_win32.h"

namespace windows_test {

using expected::Utf8;

// Handles this thread's messages until `condition` holds; false when `timeoutMs` passed first.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
// Handles the messages already queued, and those they bring, until none is left.
void PumpPending();

class ProgramWindows {
public:
    // Remote Desktop on 3389 in the fake registry, then `arrange` on it; the main window made, started up and
    // shown, and the messages that brings handled.
    explicit ProgramWindows(const std::function<void(korvane::testing::FakeWorld&)>& arrange = {});
    // Closes what is still open and takes the program's WM_QUIT off the queue.
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    HWND Main() const { return application.MainWindowHandle(); }
    HWND Control(int id) const { return GetDlgItem(Main(), id); }
    // Opens the About window through the menu item, as a click on 关于程序 does.
    HWND OpenAbout();
    // Makes the main window the foreground window and waits until it is, with the focus in it.
    void BringToFront() const;

    korvane::testing::FakeWorld world;
    korvane::testing::FakePlatform platform{world};
    korvane::Application application;
};

// The exit code of the WM_QUIT the program posted, once there is one (taken off the queue).
bool TakeQuit(int& exitCode);

std::wstring TextOf(HWND window);
// The system DPI this process was started with (the prefix's LogPixels).
int ScreenDpi();
// Pixels for a length in twips at `dpi`, rounded half up, as the design converts them.
int Px(int twips, int dpi);
// The character height in pixels of a font of `hundredthsOfPoint` points at `dpi`, rounded half up.
int FontPx(int hundredthsOfPoint, int dpi);
RECT RectInClient(HWND window, HWND control);
LOGFONTW FontOf(HWND control);
// `text` as one line in the control's font.
SIZE TextExtent(HWND control, const std::wstring& text);
// The controls of `window` whose text its rectangle cuts off, described for a failure message.
std::string ClippedTexts(HWND window);

}  // namespace windows_test
