#include "ui/new_port_field_win32.h"

#include <commctrl.h>
#include <imm.h>
#include <windowsx.h>

#include <cwchar>
#include <memory>
#include <string>

#include "platform/win32/scoped.h"
#include "ui/new_port_field.h"

namespace korvane {

namespace {

constexpr const wchar_t* kTooltipText = L"双击我可清空内容哦！";

// The clipboard's text up to its terminating null, never reading past the end of the block; empty
// when the clipboard holds no text or cannot be opened.
std::wstring ClipboardText(HWND owner) {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return {};
    if (!OpenClipboard(owner)) return {};
    const AtScopeEnd closeClipboard([] { CloseClipboard(); });
    const HGLOBAL block = GetClipboardData(CF_UNICODETEXT);
    const auto* text = block ? static_cast<const wchar_t*>(GlobalLock(block)) : nullptr;
    if (!text) return {};
    const AtScopeEnd unlock([block] { GlobalUnlock(block); });
    return std::wstring(text, wcsnlen(text, GlobalSize(block) / sizeof(wchar_t)));
}

class NewPortField {
public:
    explicit NewPortField(HWND edit) : edit_(edit) {}
    NewPortField(const NewPortField&) = delete;
    NewPortField& operator=(const NewPortField&) = delete;

    static void Attach(HWND edit);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaste();
    void CreateTooltip(WPARAM wParam, LPARAM lParam);

    HWND edit_;
    HWND tooltip_ = nullptr;
    bool tooltipAttempted_ = false;
};

void NewPortField::Attach(HWND edit) {
    auto field = std::make_unique<NewPortField>(edit);
    if (!SetWindowSubclass(edit, &NewPortField::Procedure, 0, reinterpret_cast<DWORD_PTR>(field.get()))) return;
    field.release();  // deleted on WM_NCDESTROY
    // Text composed in an input method need not reach an edit box as characters it can check; a field
    // for ASCII digits needs no input method, so it gets no input context and keys arrive as they are.
    ImmAssociateContextEx(edit, nullptr, 0);
}

// The tooltip is made when the pointer first comes over the field rather than with the window: it is a window of its
// own, which costs start-up time, and no one sees it before hovering here. This first move (`wParam`, `lParam`) is
// handed to it directly; the later ones reach it through the subclass TTF_SUBCLASS installs.
void NewPortField::CreateTooltip(WPARAM wParam, LPARAM lParam) {
    tooltipAttempted_ = true;
    // Owned by the top-level window so that it shows above it; the field destroys it on its way out.
    HWND owner = GetAncestor(edit_, GA_ROOT);
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(edit_, GWLP_HINSTANCE)), nullptr);
    if (!tooltip_) return;
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(edit_);
    tool.uId = reinterpret_cast<UINT_PTR>(edit_);
    tool.lpszText = const_cast<wchar_t*>(kTooltipText);
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    MSG move = {};
    move.hwnd = edit_;
    move.message = WM_MOUSEMOVE;
    move.wParam = wParam;
    move.lParam = lParam;
    move.time = static_cast<DWORD>(GetMessageTime());
    const DWORD position = GetMessagePos();
    move.pt = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

LRESULT CALLBACK NewPortField::Procedure(HWND, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self) {
    auto* field = reinterpret_cast<NewPortField*>(self);
    const LRESULT result = field->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) delete field;
    return result;
}

LRESULT NewPortField::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CHAR:
        case WM_IME_CHAR:
            // The code as one UTF-16 unit; a character outside the basic plane arrives as two surrogates, and
            // neither is a digit.
            if (!AcceptsTypedCharacter(static_cast<char32_t>(wParam & 0xFFFF))) return 0;
            break;
        case WM_UNICHAR:
            // UNICODE_NOCHAR only asks whether the window understands WM_UNICHAR: let the edit box answer.
            if (wParam != UNICODE_NOCHAR && !AcceptsTypedCharacter(static_cast<char32_t>(wParam))) return FALSE;
            break;
        case WM_KEYDOWN:
            // Shift+Insert pastes without a WM_PASTE in some edit boxes (Wine's among them); send one, so that
            // every paste goes through OnPaste.
            if (wParam != VK_INSERT || GetKeyState(VK_SHIFT) >= 0) break;
            SendMessageW(edit_, WM_PASTE, 0, 0);
            return 0;
        case WM_PASTE:
            OnPaste();
            return 0;
        case WM_LBUTTONDBLCLK:
        case WM_NCLBUTTONDBLCLK: {
            const LRESULT result = DefSubclassProc(edit_, message, wParam, lParam);
            SetWindowTextW(edit_, L"");
            return result;
        }
        case WM_MOUSEMOVE:
            if (!tooltipAttempted_) CreateTooltip(wParam, lParam);
            break;
        case WM_NCDESTROY:
            if (tooltip_ && IsWindow(tooltip_)) DestroyWindow(tooltip_);
            tooltip_ = nullptr;
            RemoveWindowSubclass(edit_, &NewPortField::Procedure, 0);
            break;
        default:
            break;
    }
    return DefSubclassProc(edit_, message, wParam, lParam);
}

void NewPortField::OnPaste() {
    // Insert the very text that was checked rather than let the edit box read the clipboard again.
    const std::wstring text = ClipboardText(edit_);
    if (!AcceptsPastedText(text)) {
        MessageBeep(MB_OK);
        return;
    }
    SendMessageW(edit_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

void AttachNewPortField(HWND edit) {
    NewPortField::Attach(edit);
}

}  // namespace korvane
