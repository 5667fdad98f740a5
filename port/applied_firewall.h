// Windows Firewall as Windows applies it, beyond what its objects list: Group Policy's rules (delivered by a
// domain or the local policy editor, kept in the registry and never among the objects' rules) and its switches,
// which win over the machine's own settings; and, where the objects cannot tell them (Windows 7), the stored
// definitions of the machine's own rules.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

struct GroupPolicyFirewall {
    std::vector<FirewallRule> rules;  // named as written
    // The profiles (1 domain, 2 private, 4 public) for which the policy turns the firewall on, or off.
    int enabledProfiles = 0;
    int disabledProfiles = 0;
    // The profiles for which the policy lets no rule of the machine's own count (AllowLocalPolicyMerge 0).
    int localRulesIgnored = 0;
    std::vector<std::wstring> uncheckedLines;  // what could not be read
};

// Group Policy's firewall: its rules through `platform`, its switches through `shell`. A value that cannot be
// read is none; a rule whose string cannot be read is left out, and said.
GroupPolicyFirewall ReadGroupPolicyFirewall(Platform& platform, ScriptShell& shell);

// The rules Windows applies: the machine's own (`local`), each for the profiles where the policy lets them
// count, and the policy's.
std::vector<FirewallRule> AppliedRules(std::vector<FirewallRule> local, const GroupPolicyFirewall& policy);

// The machine's own rules as Windows stores them, with what Windows 7's firewall objects do not tell: whether a
// rule allows only secure connections, and to whom. Rules whose strings cannot be read are left out.
std::vector<FirewallRule> StoredLocalRules(Platform& platform);

// Whether a rule asks IPsec for more than nothing: secure connections only, or authorised users or computers.
bool RequiresSecurity(const FirewallRule& rule);

}  // namespace korvane
