// After a change and until the restart, Remote Desktop still listens on the old port while the registry
// already holds the new one: start-up says so, so that an administrator who opens the program again can tell
// whether the restart has happened.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace korvane {

// The log line for a configured port that Remote Desktop does not listen on yet; none when it listens there,
// or when the ports its own listener listens on cannot be told (remote_desktop_listener.h): its service does
// not run, or Windows names no listener as its own (the kernel's on Windows 7).
std::optional<std::wstring> PendingPortLine(Platform& platform, const std::wstring& configuredPort);

}  // namespace korvane
