// Loaded into the program under test by the driver; CollectFacts runs there on a thread the driver starts,
// reads what only the program's own process can read, and writes it to the driver's shared memory.
// DllMain does nothing: all work happens outside the loader lock.
#include <windows.h>

#include <cwchar>

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

void CollectControl(HWND control, ControlFacts& facts) {
    facts.id = GetDlgCtrlID(control);
    wchar_t className[kTextLength] = {};
    GetClassNameW(control, className, kTextLength);
    CopyText(facts.className, className);
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
