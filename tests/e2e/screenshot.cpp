#include "screenshot.h"

#include <optional>

#include "bench.h"
#include "program.h"

namespace e2e {

namespace {

constexpr DWORD kSettleLimitMs = 5000;
constexpr DWORD kCaptureIntervalMs = 50;

// A part of the screen as 24-bit pixels, rows bottom-up as in a BMP file.
struct Capture {
    RECT rect = {};
    int width = 0, height = 0;
    DWORD stride = 0;
    std::vector<BYTE> pixels;

    const BYTE* At(int screenX, int screenY) const {
        const int row = height - 1 - (screenY - rect.top);
        return &pixels[static_cast<std::size_t>(row) * stride + static_cast<std::size_t>(screenX - rect.left) * 3];
    }
};

BITMAPINFOHEADER HeaderOf(const Capture& capture) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = capture.width;
    header.biHeight = capture.height;  // bottom-up
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = capture.stride * static_cast<DWORD>(capture.height);
    return header;
}

std::optional<Capture> CaptureScreen(const RECT& rect) {
    Capture capture;
    capture.rect = rect;
    capture.width = rect.right - rect.left;
    capture.height = rect.bottom - rect.top;
    if (capture.width <= 0 || capture.height <= 0) return std::nullopt;
    capture.stride = (static_cast<DWORD>(capture.width) * 3 + 3) & ~3u;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, capture.width, capture.height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied =
        BitBlt(memory, 0, 0, capture.width, capture.height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, previous);
    BITMAPINFOHEADER header = HeaderOf(capture);
    capture.pixels.resize(header.biSizeImage);
    const bool read = copied && GetDIBits(memory, bitmap, 0, static_cast<UINT>(capture.height), capture.pixels.data(),
                                          reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) == capture.height;
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!read) return std::nullopt;
    return capture;
}

bool WriteBmp(const Capture& capture, const std::wstring& path) {
    BITMAPINFOHEADER header = HeaderOf(capture);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(out, &file, sizeof file, &written, nullptr) &&
                    WriteFile(out, &header, sizeof header, &written, nullptr) &&
                    WriteFile(out, capture.pixels.data(), header.biSizeImage, &written, nullptr);
    CloseHandle(out);
    return ok;
}

// The screen rectangle where `control` draws its text, or an empty one for a control that has none to show
// (no text, a picture, a group box, whose caption sits on its frame).
RECT TextArea(HWND control) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT area = {};
    if (WindowText(control).empty() || !GetClientRect(control, &area)) return {};
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&area), 2);
    if (_wcsicmp(className, L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
                       type == SS_LEFTNOWORDWRAP
                   ? area
                   : RECT{};
    }
    if (_wcsicmp(className, L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return {};
        // Inside the 3-D border and the focus rectangle.
        HDC screen = GetDC(nullptr);
        const int inset = MulDiv(4, GetDeviceCaps(screen, LOGPIXELSX), 96);
        ReleaseDC(nullptr, screen);
        InflateRect(&area, -inset, -inset);
        return area;
    }
    if (_wcsicmp(className, L"Edit") == 0) {
        InflateRect(&area, -1, -1);
        return area;
    }
    return {};
}

// Controls of `windows` that hold text but show one flat colour where it belongs. A control that a window
// higher up the list covers is not looked at.
std::vector<std::string> BlankControls(const Capture& capture, const std::vector<HWND>& windows) {
    std::vector<std::string> blank;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        for (HWND child = GetWindow(windows[i], GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT area = TextArea(child), shown = {};
            if (!IsWindowVisible(child) || !IntersectRect(&shown, &area, &capture.rect)) continue;
            bool covered = false;
            for (std::size_t above = i + 1; above < windows.size(); ++above) {
                RECT over = {}, overlap = {};
                GetWindowRect(windows[above], &over);
                covered = covered || IntersectRect(&overlap, &over, &shown);
            }
            if (covered) continue;
            bool flat = true;
            const BYTE* first = capture.At(shown.left, shown.top);
            for (int y = shown.top; y < shown.bottom && flat; ++y) {
                for (int x = shown.left; x < shown.right && flat; ++x) {
                    const BYTE* pixel = capture.At(x, y);
                    flat = pixel[0] == first[0] && pixel[1] == first[1] && pixel[2] == first[2];
                }
            }
            if (flat) blank.push_back(ControlName(GetDlgCtrlID(child)) + " " + Quote(WindowText(child)));
        }
    }
    return blank;
}

// Has every window and control of `windows` repaint, frame included, and waits until each has (none keeps
// an update region), or until `deadline`. The program paints on its own thread as it would for the user.
bool Repaint(const std::vector<HWND>& windows, ULONGLONG deadline) {
    std::vector<HWND> all;
    for (HWND window : windows) {
        all.push_back(window);
        EnumChildWindows(
            window,
            [](HWND child, LPARAM list) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&all));
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    return WaitUntil(
        [&] {
            for (HWND window : all) {
                if (GetUpdateRect(window, nullptr, FALSE)) return false;
            }
            return true;
        },
        static_cast<DWORD>(deadline > GetTickCount64() ? deadline - GetTickCount64() : 0));
}

}  // namespace

void SaveScreenshot(const std::vector<HWND>& windows, const std::wstring& name) {
    // The windows must be on screen: a window found as soon as it exists may not be shown yet.
    const ULONGLONG start = GetTickCount64();
    const auto allShown = [&] {
        for (HWND window : windows) {
            if (!IsWindowVisible(window)) return false;
        }
        return true;
    };
    REQUIRE_MSG(WaitUntil(allShown, kSettleLimitMs), "screenshot " + Utf8(name) + ": a window is not shown");
    const auto coveredRect = [&] {
        RECT rect = {};
        for (HWND window : windows) {
            RECT windowRect = {};
            GetWindowRect(window, &windowRect);
            UnionRect(&rect, &rect, &windowRect);
        }
        return rect;
    };
    // Settled: every window repainted, then two captures in a row the same, and every control that holds text
    // shows some. A still picture with a blank control has the windows repaint again.
    const ULONGLONG deadline = start + kSettleLimitMs;
    REQUIRE_MSG(Repaint(windows, deadline), "screenshot " + Utf8(name) + ": the windows did not repaint within " +
                                                std::to_string(kSettleLimitMs) + " ms");
    std::optional<Capture> previous, capture;
    std::vector<std::string> blank;
    int captures = 0;
    for (;;) {
        capture = CaptureScreen(coveredRect());
        ++captures;
        REQUIRE_MSG(capture.has_value(), "screenshot " + Utf8(name) + ": the screen cannot be captured");
        const bool still =
            previous && EqualRect(&previous->rect, &capture->rect) && previous->pixels == capture->pixels;
        blank = still ? BlankControls(*capture, windows) : std::vector<std::string>{};
        if (still && blank.empty()) break;
        if (GetTickCount64() >= deadline) {
            Context context("screenshot " + Utf8(name) + " after " + std::to_string(kSettleLimitMs) + " ms");
            REQUIRE_EQ(blank, std::vector<std::string>{});
            FAIL_SCENARIO("the windows still change");
        }
        if (!blank.empty()) Repaint(windows, deadline);
        previous = std::move(capture);
        Sleep(kCaptureIntervalMs);
    }
    Say("screenshot " + Utf8(name) + ": settled after " + std::to_string(GetTickCount64() - start) + " ms, " +
        std::to_string(captures) + " captures");

    const std::wstring folder = DriverFolder() + L"screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    CHECK_MSG(WriteBmp(*capture, folder + L"\\" + name), "could not save " + Utf8(name));
}

}  // namespace e2e
