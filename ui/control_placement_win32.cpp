#include "ui/control_placement_win32.h"

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

// The control's device context with its own font selected, for as long as this lives.
class ControlTextContext {
public:
    explicit ControlTextContext(HWND control) : control_(control), dc_(GetDC(control)) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        if (dc_ && font) previousFont_ = SelectObject(dc_, font);
    }
    ~ControlTextContext() {
        if (previousFont_) SelectObject(dc_, previousFont_);
        if (dc_) ReleaseDC(control_, dc_);
    }
    ControlTextContext(const ControlTextContext&) = delete;
    ControlTextContext& operator=(const ControlTextContext&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND control_;
    HDC dc_;
    HGDIOBJ previousFont_ = nullptr;
};

// Size of the label's text as one line in its font, as the label itself draws it; nothing for no text.
SIZE TextSize(HWND label) {
    const std::wstring text = WindowTextOf(label);
    ControlTextContext context(label);
    if (text.empty() || !context.Get()) return SIZE{0, 0};
    const UINT prefix = (GetWindowLongW(label, GWL_STYLE) & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    RECT rect = {0, 0, 0, 0};
    DrawTextW(context.Get(), text.c_str(), static_cast<int>(text.size()), &rect,
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
