// What the firewall stand-in keeps in the test prefix, shared by the stand-in (firewall_stand_in.cpp) and
// the tests that seed it and read it back: the rules, one chosen failing call, and the local policy.
//
// The stand-in serves the Windows Firewall's automation classes (HNetCfg.FwPolicy2, HNetCfg.FWRule) in
// place of Wine's, whose objects keep nothing. Every program and test in the prefix sees the same rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace stand_in {

// A rule as the firewall keeps it. A new rule object starts as Windows' does: any protocol (256), no
// ports, program or service, all profiles, inbound, allow, disabled.
korvane::FirewallRule NewRuleObject();

// Every rule, in the order added; a missing file is no rule. False when the file cannot be read or written.
bool ReadRules(std::vector<korvane::FirewallRule>& rules);
bool WriteRules(const std::vector<korvane::FirewallRule>& rules);

// The one call that fails with `code` from now on: "create" (making the policy object), "item", "add",
// "update" (any property of a stored rule), "remove", or "policy" (every call on the policy object, as
// while the firewall service is stopped). With `nth`, only that call from now on fails, once.
bool SetFailure(const std::string& operation, uint32_t code, int nth = 0);
void ClearFailure();
// The code the stand-in answers `operation` with now, S_OK (0) for none; counts the call.
uint32_t TakeFailure(const std::string& operation);

// What the firewall says of rules added on this machine: NET_FW_MODIFY_STATE for the current profiles
// (NET_FW_PROFILE_TYPE2), and the profiles it is turned on for. Without it: rules apply (0), the private
// profile (2) is current, and the firewall is on for every profile (7).
bool SetLocalPolicy(int modifyState, int currentProfiles, int enabledProfiles = 7);
void ReadLocalPolicy(int& modifyState, int& currentProfiles, int& enabledProfiles);

// No rules, no failure, rules applied: the firewall every test starts from.
void Reset();
// As Reset, with Windows' own Remote Desktop rules enabled: the firewall of an ordinary machine.
void ResetToOrdinaryMachine();

}  // namespace stand_in
