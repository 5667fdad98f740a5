// The firewall's rule list as the program left it, seen through the firewall recorder
// (firewall_recorder/): run.sh registers it in the test prefix in place of Wine's firewall objects, which
// keep nothing. Every program run and the driver share its list, so a scenario that looks at rules starts
// from a known list:
//
//   SCENARIO(change_adds_firewall_rule) {
//       e2e::CleanFirewall firewall;          // no rules, no failures; failures switched off again at the end
//       ... click 修改 ...
//       const auto rules = e2e::ReadRecordedFirewallRules();
//       REQUIRE_EQ(rules.size(), 1u);
//       CHECK_EQ(rules[0].localPorts, std::wstring(L"3390"));
//   }
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "firewall_recorder/rule_file.h"
#include "platform/platform.h"

namespace firewall_recorder {
// For failure messages of the bench (found by argument-dependent lookup).
std::string Show(const StoredRule& rule);
}  // namespace firewall_recorder

namespace e2e {

// One rule with every property the recorder received. A property never set keeps the value of a new rule
// object on Windows: protocol 256 (any), inbound (1), allow (1), all profiles (0x7FFFFFFF), disabled.
using RecordedFirewallRule = firewall_recorder::StoredRule;

// The program's firewall rule in the form of the recorder, to compare with what was recorded.
RecordedFirewallRule Recorded(const korvane::FirewallRule& rule);

// Every rule, in the order they were added. Ends the scenario when the list cannot be read.
std::vector<RecordedFirewallRule> ReadRecordedFirewallRules();
// The rules of that name (Windows allows several of one name).
std::vector<RecordedFirewallRule> RecordedFirewallRulesNamed(const std::wstring& name);
// Replaces the list, for scenarios that start with rules already in place.
void SeedRecordedFirewallRules(const std::vector<RecordedFirewallRule>& rules);
void ClearRecordedFirewallRules();

// Operations of the recorder that a scenario can make fail.
enum class FirewallOperation {
    CreatePolicy,  // creating HNetCfg.FwPolicy2
    Item,          // looking a rule up by name
    Add,           // adding a rule
    Update,        // changing any property of a stored rule
    Remove,        // removing a rule
    Service,       // every call on the policy object, as while the firewall service is down
};
// Makes `operation` fail with `code` from now on (fails = true) or no longer (fails = false); with `nthCall`,
// only that call from now on fails, once (2: the second add, say).
void SetFirewallFailure(FirewallOperation operation, bool fails, uint32_t code = 0x80070005u /* E_ACCESSDENIED */,
                        int nthCall = 0);
// Adding a rule fails with E_ACCESSDENIED ("access denied"), as for a program not run as administrator.
void SetFirewallAddFails(bool fails);
void ClearFirewallFailures();
// What the policy reports of local rules for the current profiles (NET_FW_MODIFY_STATE, NET_FW_PROFILE_TYPE2).
void SetFirewallLocalPolicy(int modifyState, int currentProfiles);

// For one scenario: empties the rule list and switches every failure off (the local policy back to rules
// applied), and switches them off again at the end, so that a scenario ended early leaves no failure behind for the
// next one.
class CleanFirewall {
public:
    CleanFirewall();
    ~CleanFirewall();
    CleanFirewall(const CleanFirewall&) = delete;
    CleanFirewall& operator=(const CleanFirewall&) = delete;
};

// The module that serves HNetCfg.FwPolicy2 in this process once it was created: empty when creating it
// fails. The recorder's path ends in "firewall_recorder.dll".
std::wstring FirewallPolicyServer();

}  // namespace e2e
