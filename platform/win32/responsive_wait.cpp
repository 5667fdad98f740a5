#include "platform/win32/responsive_wait.h"

#include "platform/win32/scoped.h"

namespace korvane {

bool WaitKeepingWindowsPainted(HWND owner, HANDLE handle, DWORD timeoutMs) {
    // The main window is disabled meanwhile, as a modal box does, and gets its focus back after.
    HWND disabled = nullptr, focus = nullptr;
    if (owner && IsWindowEnabled(owner)) {
        disabled = owner;
        const HWND current = GetFocus();
        if (current && (current == owner || IsChild(owner, current))) {
            focus = current;
            // Keys go to the focused control even while its window is disabled: none has the focus meanwhile.
            SetFocus(nullptr);
        }
        EnableWindow(owner, FALSE);
    }
    const AtScopeEnd enable([disabled, focus] {
        if (!disabled) return;
        EnableWindow(disabled, TRUE);
        if (focus && IsWindow(focus) && GetActiveWindow() == disabled) SetFocus(focus);
    });
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
