// Waiting on the window's thread for something that takes time (WMI, a program to end) without freezing the
// window: its messages go on being handled, so that it keeps painting, while the main window is disabled as
// under a modal box, so that no click or key reaches it (no second 修改).
#pragma once

#include <windows.h>

namespace korvane {

// Waits up to `timeoutMs` for `handle`, handling this thread's messages meanwhile; `owner` (none: no window
// to disable) is disabled for the wait and its focus given back after. True when `handle` was signalled in
// time. A WM_QUIT ends the wait at once, and is posted again for the program's own message loop.
bool WaitKeepingWindowsPainted(HWND owner, HANDLE handle, DWORD timeoutMs);

}  // namespace korvane
