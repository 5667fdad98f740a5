// The start-up sequence of the main window, run once before it is first shown.
#pragma once

#include "platform/platform.h"
#include "port/main_view.h"

namespace korvane {

// Proposes the default port, writes the first log line and shows the port the listener uses now.
// When the current port cannot be read the window still opens: Text1 stays empty and the log says why.
void RunStartup(Platform& platform, MainView& view);

// Right after the window first shows (asking the service manager and the listener table takes a few
// milliseconds that the window need not wait for): when Remote Desktop still listens on another port than
// `configuredPort` (a change waiting for the restart), a second log line says so.
void ReportPendingPort(Platform& platform, MainView& view, const std::wstring& configuredPort);

}  // namespace korvane
