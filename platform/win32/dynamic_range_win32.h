// The dynamic port range for TCP as Windows 8, Server 2012 and later report it through WMI
// (MSFT_NetTCPSetting), asked on a thread of its own so that a WMI that answers late, or never, costs the
// window no more than the wait it is given.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

#include "platform/platform.h"

namespace korvane {

// What a query does, given the moment (GetTickCount64) by which its answer is no longer wanted.
using DynamicRangeQuery = std::function<Status(uint64_t deadline, DynamicPortRange& range)>;

// Runs `query` on a thread of its own (in the multithreaded COM apartment) and waits at most `waitMs` for its
// answer, with the window kept painting and `owner` disabled; a failure where it does not answer in time. A
// query that is still running when the wait ends finishes on its own later, on state it shares with no one.
Status DynamicRangeOnItsOwnThread(uint32_t waitMs, HWND owner, DynamicRangeQuery query, DynamicPortRange& range);

}  // namespace korvane
