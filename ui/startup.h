// The start-up sequence of the main window, run once before it is first shown.
#pragma once

#include "platform/platform.h"
#include "port/main_view.h"

namespace korvane {

// Proposes the default port, writes the first log line and shows the port the listener uses now.
// When the current port cannot be read the window still opens: Text1 stays empty and the log says why.
void RunStartup(Platform& platform, MainView& view);

}  // namespace korvane
