#include "platform/win32/responsive_wait.h"

namespace korvane {

namespace {

// Disables the main window for as long as it lives, as a modal box does, and gives it back its focus after.
class DisabledOwner {
public:
    explicit DisabledOwner(HWND owner) {
        if (!owner || !IsWindowEnabled(owner)) return;
        owner_ = owner;
        const HWND focus = GetFocus();
        if (focus && (focus == owner || IsChild(owner, focus))) {
            focus_ = focus;
            // Keys go to the focused control even while its window is disabled: none has the focus meanwhile.
            SetFocus(nullptr);
        }
        EnableWindow(owner_, FALSE);
    }
    ~DisabledOwner() {
        if (!owner_) return;
        EnableWindow(owner_, TRUE);
        if (focus_ && IsWindow(focus_) && GetActiveWindow() == owner_) SetFocus(focus_);
    }
    DisabledOwner(const DisabledOwner&) = delete;
    DisabledOwner& operator=(const DisabledOwner&) = delete;

private:
    HWND owner_ = nullptr;
    HWND focus_ = nullptr;
};

}  // namespace

bool WaitKeepingWindowsPainted(HWND owner, HANDLE handle, DWORD timeoutMs) {
    const DisabledOwner disabled(owner);
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD remaining = now >= end ? 0 : static_cast<DWORD>(end - now);
        // Input already seen but not yet removed counts too, or a message could wait for the whole timeout.
        const DWORD result = MsgWaitForMultipleObjectsEx(1, &handle, remaining, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) return false;  // timed out, or the wait itself failed
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace korvane
