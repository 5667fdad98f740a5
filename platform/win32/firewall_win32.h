#pragma once

#include <memory>

#include "platform/platform.h"

namespace korvane {

// Creates the Windows Firewall's policy object ("HNetCfg.FwPolicy2") for one run; its rules are reached
// through the firewall's own rule list, which every Windows since Vista reads.
std::unique_ptr<FirewallPolicy> CreateWindowsFirewallPolicy(Status& status);

}  // namespace korvane
