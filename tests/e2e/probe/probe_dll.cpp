// Loaded into the program under test by the driver; CollectFacts runs there on a thread the driver starts,
// reads what only the program's own process can read, and writes it to the driver's shared memory.
// DllMain does nothing: all work happens outside the loader lock.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "probe_report.h"

namespace {

using namespace e2e::probe;

constexpr UINT kAnswerTimeoutMs = 2000;

template <size_t N>
void CopyText(wchar_t (&target)[N], const wchar_t* source) {
    wcsncpy(target, source, N - 1);
    target[N - 1] = L'\0';
}

bool HasIcon(HWND window, WPARAM which, int classIndex) {
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(window, WM_GETICON, which, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &icon);
    return icon != 0 || GetClassLongPtrW(window, classIndex) != 0;
}

void CollectMenu(HMENU menu, WindowFacts& facts) {
    facts.hasMenu = menu != nullptr;
    if (!menu) return;
    facts.menuItemCount = GetMenuItemCount(menu);
    for (int i = 0; i < facts.menuItemCount && i < kMaxMenuItems; ++i) {
        MenuItemFacts& item = facts.menuItems[i];
        wchar_t text[kTextLength] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = kTextLength;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        item.id = info.wID;
        item.type = info.fType;
        item.state = info.fState;
        item.hasSubmenu = info.hSubMenu != nullptr;
        CopyText(item.text, text);
    }
}

std::wstring WindowTextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int copied = GetWindowTextW(window, buffer.data(), length + 1);
    return std::wstring(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

struct LineSize {
    int width = 0;
    int height = 0;
    int inkBottom = 0;
};

// How far below the top of a line of `text` its glyphs reach in the font selected into `dc`.
int InkBottom(HDC dc, const std::wstring& text) {
    TEXTMETRICW metrics = {};
    if (!GetTextMetricsW(dc, &metrics)) return 0;
    const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    int belowBaseline = 0;
    for (wchar_t c : text) {
        if (iswspace(c)) continue;
        GLYPHMETRICS glyph = {};
        if (GetGlyphOutlineW(dc, c, GGO_METRICS, &glyph, 0, nullptr, &identity) == GDI_ERROR) {
            return metrics.tmHeight;  // no outline to go by: the whole line
        }
        const int below = static_cast<int>(glyph.gmBlackBoxY) - glyph.gmptGlyphOrigin.y;
        if (below > belowBaseline) belowBaseline = below;
    }
    return metrics.tmAscent + belowBaseline;
}

// `text` as one line in `font` (the system font when null) on `control`'s own device context.
LineSize MeasureLine(HWND control, HFONT font, const std::wstring& text, UINT prefixFlag) {
    LineSize size;
    HDC dc = GetDC(control);
    if (!dc) return size;
    HGDIOBJ previous = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    RECT rect = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_SINGLELINE | prefixFlag);
    size.width = rect.right - rect.left;
    size.height = rect.bottom - rect.top;
    size.inkBottom = InkBottom(dc, text);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return size;
}

void CollectText(HWND control, HFONT font, ControlFacts& facts) {
    TextFacts& text = facts.text;
    RECT client = {};
    GetClientRect(control, &client);
    text.clientWidth = client.right - client.left;
    text.clientHeight = client.bottom - client.top;

    const std::wstring own = WindowTextOf(control);
    CopyText(text.text, own.c_str());
    // A static with SS_NOPREFIX shows an & as it is; buttons and other statics hide it and underline the next letter.
    const bool isStatic = _wcsicmp(facts.className, L"Static") == 0;
    const UINT prefixFlag = isStatic && (facts.style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    const LineSize ownSize = MeasureLine(control, font, own, prefixFlag);
    text.textWidth = ownSize.width;
    text.textHeight = ownSize.height;
    text.textInkBottom = ownSize.inkBottom;

    if (_wcsicmp(facts.className, L"Edit") == 0) {
        const LineSize sample = MeasureLine(control, font, kEditSample, DT_NOPREFIX);
        text.sampleWidth = sample.width;
        text.sampleHeight = sample.height;
        text.sampleInkBottom = sample.inkBottom;
        RECT format = {};
        SendMessageTimeoutW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format), SMTO_ABORTIFHUNG,
                            kAnswerTimeoutMs, nullptr);
        text.formatWidth = format.right - format.left;
        text.formatHeight = format.bottom - format.top;
    }
}

void CollectControl(HWND control, ControlFacts& facts) {
    facts.id = GetDlgCtrlID(control);
    wchar_t className[kTextLength] = {};
    GetClassNameW(control, className, kTextLength);
    CopyText(facts.className, className);
    facts.style = static_cast<uint32_t>(GetWindowLongW(control, GWL_STYLE));
    DWORD_PTR font = 0;
    LOGFONTW logFont = {};
    if (SendMessageTimeoutW(control, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &font) && font &&
        GetObjectW(reinterpret_cast<HFONT>(font), sizeof logFont, &logFont) == sizeof logFont) {
        facts.font.present = 1;
        facts.font.height = logFont.lfHeight;
        facts.font.weight = logFont.lfWeight;
        facts.font.italic = logFont.lfItalic;
        facts.font.charset = logFont.lfCharSet;
        CopyText(facts.font.face, logFont.lfFaceName);
    }
    CollectText(control, reinterpret_cast<HFONT>(font), facts);
}

int WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    auto& report = *reinterpret_cast<Report*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    if (report.windowCount >= kMaxWindows) return FALSE;

    WindowFacts& facts = report.windows[report.windowCount++];
    facts.window = reinterpret_cast<uint64_t>(window);
    wchar_t className[kTextLength] = {};
    GetClassNameW(window, className, kTextLength);
    CopyText(facts.className, className);
    facts.dpi = WindowDpi(window);
    CollectMenu(GetMenu(window), facts);
    facts.hasBigIcon = HasIcon(window, ICON_BIG, GCLP_HICON);
    facts.hasSmallIcon = HasIcon(window, ICON_SMALL, GCLP_HICONSM);
    for (HWND child = GetWindow(window, GW_CHILD); child && facts.controlCount < kMaxControls;
         child = GetWindow(child, GW_HWNDNEXT)) {
        CollectControl(child, facts.controls[facts.controlCount++]);
    }
    return TRUE;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI CollectFacts(void*) {
    wchar_t name[64];
    swprintf(name, 64, kMappingFormat, static_cast<unsigned long>(GetCurrentProcessId()));
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
    if (!mapping) return 1;
    auto* report = static_cast<Report*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(Report)));
    if (!report) {
        CloseHandle(mapping);
        return 2;
    }
    ZeroMemory(report, sizeof(Report));
    EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(report));
    MemoryBarrier();
    report->magic = kReportMagic;
    UnmapViewOfFile(report);
    CloseHandle(mapping);
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, void*) { return TRUE; }
