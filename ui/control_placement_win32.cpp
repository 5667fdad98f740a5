#include "ui/control_placement_win32.h"

#include "platform/win32/scoped.h"
#include "ui/window_win32.h"

#include <string>
#include <vector>

namespace korvane {

namespace {

bool IsLeftAlignedLabel(HWND control) {
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    const LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    return lstrcmpiW(className, L"Static") == 0 && (type == SS_LEFT || type == SS_LEFTNOWORDWRAP);
}

// Size of the label's text as one line in its font, as the label itself draws it; nothing for no text.
SIZE TextSize(HWND label) {
    const std::wstring text = WindowTextOf(label);
    // The label's device context with its own font selected.
    const HDC dc = GetDC(label);
    if (!dc) return SIZE{0, 0};
    const AtScopeEnd release([label, dc] { ReleaseDC(label, dc); });
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    const HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
    const AtScopeEnd restore([dc, previousFont] {
        if (previousFont) SelectObject(dc, previousFont);
    });
    if (text.empty()) return SIZE{0, 0};
    const UINT prefix = (GetWindowLongW(label, GWL_STYLE) & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    RECT rect = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | prefix);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

void PlaceControls(HWND window, const ControlPlacement* layout, std::size_t count, int clientWidth, int clientHeight,
                   int dpi) {
    for (std::size_t i = 0; i < count; ++i) {
        HWND control = GetDlgItem(window, layout[i].id);
        if (!control) continue;
        const TwipsRect& r = layout[i].rect;
        const int left = TwipsToPixels(r.left, dpi), top = TwipsToPixels(r.top, dpi);
        int width = TwipsToPixels(r.width, dpi), height = TwipsToPixels(r.height, dpi);
        if (IsLeftAlignedLabel(control)) {
            const SIZE text = TextSize(control);
            width = LabelLengthForText(left, width, text.cx, clientWidth);
            height = LabelLengthForText(top, height, text.cy, clientHeight);
        }
        MoveWindow(control, left, top, width, height, TRUE);
    }
}

}  // namespace korvane
