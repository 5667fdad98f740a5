// Before anything is written: will Remote Desktop be reachable on the new port after the restart? Every
// write may succeed and still leave it unreachable: on a Home edition, which accepts no connection; with
// Remote Desktop turned off; on a port another program listens on, or that Windows reserves; on a port in
// the dynamic range, which may be taken by the time Remote Desktop starts; behind a firewall that will not
// apply a rule added here (Group Policy, or all inbound traffic blocked), or whose service does not run; and
// on a cloud server whose security group does not let the port through. And the firewall itself: a block rule
// over the new port wins over every allow rule; where Windows Firewall is turned off, the rules do nothing;
// and where no rule admits Remote Desktop today, the new port would be open to everyone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "port/sentences.h"

namespace korvane {

struct ReachabilityFindings {
    std::vector<Finding> findings;             // in the order of the checks
    std::vector<std::wstring> uncheckedLines;  // log lines naming the checks that could not be made
    std::vector<std::wstring> noteLines;       // log lines of what was found but needs no question
    // The firewall rules that open the new port, in the scopes of the rules that admit Remote Desktop now.
    std::vector<FirewallRule> rules;
    // The firewall service is stopped or disabled: no rule can be added, and the second log line says so.
    bool firewallUnavailable = false;
    std::wstring noRuleLine;
};

// The answers of the firewall's objects while the Windows Firewall service is stopped or disabled: a finding,
// not a failure.
bool IsFirewallServiceDown(uint32_t code);

// Checks, in this order, the edition and whether Remote Desktop is turned on (through `shell`), the port
// (unless Remote Desktop uses it now) and the dynamic range, the firewall (whether it answers, its local
// policy, whether it is turned on, its block rules, and the rules that admit Remote Desktop on
// `configuredPort`, the port the registry gives it now), and last whether the machine is a cloud's. A port
// counts as taken only when a program listens on it: connections that merely use it end with the restart.
// `firewall` is null when the policy object could not be created because the firewall service is down,
// `firewallStatus` saying which.
ReachabilityFindings CheckReachability(Platform& platform, ScriptShell& shell, FirewallPolicy* firewall,
                                       const Status& firewallStatus, uint16_t port, bool isCurrentPort,
                                       uint16_t configuredPort);

}  // namespace korvane
