// Windows Firewall as Windows applies it, beyond what its objects list: Group Policy's rules (delivered by a
// domain or the local policy editor, kept in the registry and never among the objects' rules), its older settings
// (the administrative templates' Remote Desktop and port exceptions) and its switches, which win over the machine's
// own settings; and what only the stored definitions of the machine's own rules tell.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

// Rules read from the strings Windows stores them in.
struct StoredRules {
    // Those Windows applies on this machine's version that may admit or block Remote Desktop's clients.
    std::vector<FirewallRule> rules;
    // Of `rules`, those that also win over block rules (Action=ByPass), which the firewall's objects cannot tell.
    std::vector<FirewallRule> overriding;
    // The names of the rules that cannot concern Remote Desktop here: for other versions of Windows, for trust-tuple
    // traffic, for one app package.
    std::vector<std::wstring> leftOut;
    // The names of the values whose strings cannot be read, and whether the values could be listed at all.
    std::vector<std::wstring> unreadable;
    Status status;
};

struct GroupPolicyFirewall : StoredRules {
    // The profiles (1 domain, 2 private, 4 public) for which the policy turns the firewall on, or off.
    int enabledProfiles = 0;
    int disabledProfiles = 0;
    // The profiles for which the policy lets no rule of the machine's own count (AllowLocalPolicyMerge 0).
    int localRulesIgnored = 0;
};

// A registry value through `shell`: a DWORD's number, a string's text; none, or empty, when it cannot be read or
// is of another kind.
std::optional<uint32_t> ReadNumberValue(ScriptShell& shell, const std::wstring& path);
std::wstring ReadTextValue(ScriptShell& shell, const std::wstring& path);

// Group Policy's firewall: its rules through `platform`, with the interfaces they name by their GUIDs named as the
// firewall's objects name them where this machine has them; its older settings as rules of the domain profile
// (DomainProfile) and of the private and public ones (StandardProfile); its switches through `shell`.
GroupPolicyFirewall ReadGroupPolicyFirewall(Platform& platform, ScriptShell& shell);

// The rules Windows applies: the machine's own (`local`), each for the profiles where the policy lets them
// count, and the policy's.
std::vector<FirewallRule> AppliedRules(std::vector<FirewallRule> local, const GroupPolicyFirewall& policy);

// The machine's own rules as Windows stores them, with what its firewall objects do not tell.
StoredRules StoredLocalRules(Platform& platform);

// The rules the firewall's objects list, with what only their stored strings tell, matched by the name both give: a
// rule whose stored strings all cannot concern Remote Desktop here is left out; on Windows 7, whose objects do not
// tell them, a block rule gets the conditions on users and on IPsec of its stored string.
std::vector<FirewallRule> LocalRulesAsStored(std::vector<FirewallRule> listed, const StoredRules& stored,
                                             WindowsVersion version);

// One entry of the older policy's port exceptions list, "3389:TCP:*:enabled:名称": the port, the protocol, the
// remote addresses it is open to ("*", "localsubnet", or addresses and subnets separated by commas), enabled or
// disabled, and a name. None for an entry that is not one.
struct PortException {
    uint16_t port = 0;
    int protocol = 0;
    std::wstring scope;
    bool enabled = false;
    std::wstring name;
};
std::optional<PortException> ParsePortException(const std::wstring& text);

}  // namespace korvane
