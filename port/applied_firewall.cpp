#include "port/applied_firewall.h"

#include <algorithm>

#include "platform/number_text.h"
#include "port/firewall_rule_grammar.h"
#include "port/port_number.h"
#include "port/remote_desktop_listener.h"
#include "port/rule_matching.h"
#include "port/sentences.h"

namespace korvane {

namespace {

// The interfaces a rule names by their GUIDs, named as the firewall's objects take them where this machine has
// them; a GUID that names none stays as it is.
void NameInterfaces(Platform& platform, FirewallRule& rule) {
    for (std::wstring& item : rule.interfaces) {
        std::wstring name;
        if (IsInterfaceGuid(item) && platform.InterfaceName(item, name)) item = name;
    }
}

// The rules of one registry key, each value a rule's string.
void ReadStoredRules(Platform& platform, const wchar_t* key, bool nameInterfaces, StoredRules& read) {
    std::vector<RegString> values;
    read.status = platform.RegistryStrings(key, values);
    const WindowsVersion version = platform.Version();
    for (const RegString& value : values) {
        std::optional<StoredFirewallRule> stored = ParseFirewallRuleText(value.text);
        if (!stored) {
            read.unreadable.push_back(value.name);
        } else if (!CanConcernRemoteDesktop(*stored, version)) {
            read.leftOut.push_back(stored->rule.name);
        } else {
            if (nameInterfaces) NameInterfaces(platform, stored->rule);
            if (stored->overridesBlockRules) read.overriding.push_back(stored->rule);
            read.rules.push_back(std::move(stored->rule));
        }
    }
}

// The older settings' addresses, in the firewall objects' words: "*", "localsubnet" or a list.
std::wstring RemoteAddressesOf(std::wstring scope) {
    if (scope.empty()) return L"*";
    std::wstring addresses;
    for (std::size_t begin = 0; begin <= scope.size();) {
        std::size_t end = scope.find(L',', begin);
        if (end == std::wstring::npos) end = scope.size();
        const std::wstring item = scope.substr(begin, end - begin);
        begin = end + 1;
        if (!addresses.empty()) addresses += L",";
        addresses += SameName(item, L"localsubnet") ? L"LocalSubnet" : item;
    }
    return addresses;
}

// A rule of an older setting: inbound, for any program, on one port.
FirewallRule PolicyPortRule(std::wstring name, int action, int protocol, uint16_t port, const std::wstring& scope,
                            int profiles) {
    FirewallRule rule;
    rule.name = std::move(name);
    rule.grouping.clear();
    rule.action = action;
    rule.protocol = protocol;
    rule.localPorts = DecimalText(port);
    rule.remoteAddresses = RemoteAddressesOf(scope);
    rule.profiles = profiles;
    rule.applicationName.clear();
    rule.serviceName.clear();
    return rule;
}

// "Define inbound port exceptions": each entry that is enabled opens its port from its scope, unless an entry for
// the same port is disabled, which makes Windows ignore the enabled ones (it blocks nothing itself).
void ReadPortExceptions(Platform& platform, const std::wstring& key, const wchar_t* profileName, int profiles,
                        GroupPolicyFirewall& policy) {
    std::vector<RegString> values;
    if (!platform.RegistryStrings(key, values)) {
        policy.unreadable.push_back(Say(words::kPolicyPortExceptionsList, {{L"profile", profileName}}));
        return;
    }
    const auto voided = [&](const PortException& entry) {
        for (const RegString& value : values) {
            const auto other = ParsePortException(value.text);
            if (other && !other->enabled && other->port == entry.port && other->protocol == entry.protocol) return true;
        }
        return false;
    };
    for (const RegString& value : values) {
        const std::optional<PortException> entry = ParsePortException(value.text);
        if (!entry) {
            policy.unreadable.push_back(value.name);
            continue;
        }
        if (!entry->enabled || voided(*entry)) continue;
        const std::wstring name =
            Say(words::kPolicyPortException, {{L"port", DecimalText(entry->port)},
                                              {L"protocol", entry->protocol == kTcp ? L"TCP" : L"UDP"},
                                              {L"profile", profileName}});
        policy.rules.push_back(
            PolicyPortRule(name, kActionAllow, entry->protocol, entry->port, entry->scope, profiles));
    }
}

// The older settings of the administrative templates (Network → Network Connections → Windows Defender Firewall),
// which Windows still applies: the domain profile's to the domain network, the standard profile's to the private and
// public ones.
void ReadOlderPolicySettings(Platform& platform, ScriptShell& shell, GroupPolicyFirewall& policy) {
    const struct {
        int profiles;
        const wchar_t* key;
        const wchar_t* name;
    } kProfiles[] = {{1, L"DomainProfile", words::kPolicyDomainProfile},
                     {2 | 4, L"StandardProfile", words::kPolicyStandardProfile}};
    for (const auto& profile : kProfiles) {
        const std::wstring key = kPolicyFirewallKey + std::wstring(profile.key) + L"\\";
        // "Allow inbound Remote Desktop exceptions": enabled, TCP 3389 is open from its addresses; disabled, Windows
        // blocks it, and no exception of the machine's own opens it.
        if (const auto enabled = ReadNumberValue(shell, key + L"Services\\RemoteDesktop\\Enabled")) {
            const std::wstring scope =
                *enabled != 0 ? ReadTextValue(shell, key + L"Services\\RemoteDesktop\\RemoteAddresses") : L"*";
            policy.rules.push_back(
                PolicyPortRule(Say(words::kPolicyRemoteDesktopException, {{L"profile", profile.name}}),
                               *enabled != 0 ? kActionAllow : kActionBlock, kTcp, kStandardRemoteDesktopPort, scope,
                               profile.profiles));
        }
        if (ReadNumberValue(shell, key + L"GloballyOpenPorts\\Enabled").value_or(0) != 0) {
            ReadPortExceptions(platform, key + L"GloballyOpenPorts\\List", profile.name, profile.profiles, policy);
        }
    }
}

}  // namespace

std::optional<uint32_t> ReadNumberValue(ScriptShell& shell, const std::wstring& path) {
    RegValue value;
    if (!shell.RegRead(path, value) || value.kind != RegValue::Kind::Number) return std::nullopt;
    return value.number;
}

std::wstring ReadTextValue(ScriptShell& shell, const std::wstring& path) {
    RegValue value;
    if (!shell.RegRead(path, value) || value.kind != RegValue::Kind::Text) return {};
    return value.text;
}

GroupPolicyFirewall ReadGroupPolicyFirewall(Platform& platform, ScriptShell& shell) {
    GroupPolicyFirewall policy;
    ReadStoredRules(platform, kPolicyFirewallRulesKey, true, policy);
    ReadOlderPolicySettings(platform, shell, policy);
    const struct {
        int bit;
        const wchar_t* key;
    } kProfiles[] = {{1, L"DomainProfile"}, {2, L"PrivateProfile"}, {4, L"PublicProfile"}};
    for (const auto& profile : kProfiles) {
        const std::wstring key = kPolicyFirewallKey + std::wstring(profile.key) + L"\\";
        if (const auto enabled = ReadNumberValue(shell, key + L"EnableFirewall"))
            (*enabled != 0 ? policy.enabledProfiles : policy.disabledProfiles) |= profile.bit;
        if (ReadNumberValue(shell, key + L"AllowLocalPolicyMerge") == 0u) policy.localRulesIgnored |= profile.bit;
    }
    return policy;
}

std::vector<FirewallRule> AppliedRules(std::vector<FirewallRule> local, const GroupPolicyFirewall& policy) {
    std::vector<FirewallRule> applied;
    for (FirewallRule& rule : local) {
        // Only the three profiles' bits count: "all profiles" has others set too.
        rule.profiles &= ~policy.localRulesIgnored;
        if (rule.profiles & 7) applied.push_back(std::move(rule));
    }
    for (const FirewallRule& rule : policy.rules) applied.push_back(rule);
    return applied;
}

StoredRules StoredLocalRules(Platform& platform) {
    StoredRules stored;
    ReadStoredRules(platform, kLocalFirewallRulesKey, false, stored);
    return stored;
}

std::vector<FirewallRule> LocalRulesAsStored(std::vector<FirewallRule> listed, const StoredRules& stored,
                                             WindowsVersion version) {
    std::vector<FirewallRule> rules;
    for (FirewallRule& rule : listed) {
        const auto counted = std::find_if(stored.rules.begin(), stored.rules.end(),
                                          [&](const FirewallRule& kept) { return kept.name == rule.name; });
        if (counted == stored.rules.end() && Contains(stored.leftOut, rule.name)) continue;
        if (counted != stored.rules.end() && rule.action == kActionBlock && ListensInKernel(version)) {
            rule.localUserAuthorizedList = counted->localUserAuthorizedList;
            rule.remoteUserAuthorizedList = counted->remoteUserAuthorizedList;
            rule.remoteMachineAuthorizedList = counted->remoteMachineAuthorizedList;
            rule.localUserOwner = counted->localUserOwner;
            rule.secureFlags = counted->secureFlags;
        }
        rules.push_back(std::move(rule));
    }
    return rules;
}

std::optional<PortException> ParsePortException(const std::wstring& text) {
    const std::size_t first = text.find(L':'), second = text.find(L':', first + 1);
    if (first == std::wstring::npos || second == std::wstring::npos) return std::nullopt;
    PortException entry;
    const std::optional<uint32_t> port = DecimalValue(std::wstring_view(text).substr(0, first), kHighestPort);
    const std::wstring protocol = text.substr(first + 1, second - first - 1);
    if (!port || *port == 0) return std::nullopt;
    entry.port = static_cast<uint16_t>(*port);
    entry.protocol = SameName(protocol, L"TCP") ? kTcp : SameName(protocol, L"UDP") ? kUdp : 0;
    if (entry.protocol == 0) return std::nullopt;
    // The scope may hold colons of its own (IPv6): the status is the first field after it that is one.
    for (std::size_t colon = text.find(L':', second + 1); colon != std::wstring::npos;
         colon = text.find(L':', colon + 1)) {
        const std::size_t next = text.find(L':', colon + 1);
        const std::wstring status =
            text.substr(colon + 1, next == std::wstring::npos ? std::wstring::npos : next - colon - 1);
        if (!SameName(status, L"enabled") && !SameName(status, L"disabled")) continue;
        entry.scope = text.substr(second + 1, colon - second - 1);
        entry.enabled = SameName(status, L"enabled");
        entry.name = next == std::wstring::npos ? std::wstring() : text.substr(next + 1);
        if (entry.scope.empty()) return std::nullopt;
        return entry;
    }
    return std::nullopt;
}

}  // namespace korvane
