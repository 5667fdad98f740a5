// The start-up sequence of the main window, run once before it is first shown, and what it says once the
// window shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "port/main_view.h"

namespace korvane {

// Proposes the default port, writes the first log line and shows the port the listener is configured for;
// returns that port. When it cannot be read the window still opens: Text1 stays empty and the log says why.
std::optional<uint32_t> RunStartup(Platform& platform, MainView& view);

// After a change and until the restart, Remote Desktop still listens on the old port while the registry already
// holds the new one. The log line that says so; none when it listens where configured, or when the ports its
// own listener listens on cannot be told (its service does not run, or Windows names no listener as its own:
// the kernel's on Windows 7).
std::optional<std::wstring> PendingPortLine(Platform& platform, uint32_t configuredPort);

// Right after the window first shows (asking the service manager and the listener table takes a few
// milliseconds that the window need not wait for): the pending-port line, when there is one.
void ReportPendingPort(Platform& platform, MainView& view, std::optional<uint32_t> configuredPort);

}  // namespace korvane
