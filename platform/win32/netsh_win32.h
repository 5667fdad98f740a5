// The dynamic port range for TCP as netsh tells it, on Windows 7 and Server 2008 R2, whose WMI has no
// MSFT_NetTCPSetting.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

namespace korvane {

// Runs System32's netsh.exe ("interface ipv4 show dynamicport tcp") without a window and reads what it prints,
// waiting at most `waitMs` with the window kept painting and `owner` disabled; a netsh still running then is
// ended. A failure where netsh cannot be started, fails, prints no range or does not end in time.
Status TcpDynamicPortRangeFromNetsh(uint32_t waitMs, HWND owner, DynamicPortRange& range);

}  // namespace korvane
