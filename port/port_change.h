// The 修改 button: checks the new port, writes it where Remote Desktop and the firewall read it,
// logs what was done and offers to restart the computer.
#pragma once

#include "platform/platform.h"
#include "port/main_view.h"

namespace korvane {

void RunPortChange(Platform& platform, MainView& view);

}  // namespace korvane
