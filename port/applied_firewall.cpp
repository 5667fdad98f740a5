#include "port/applied_firewall.h"

#include "platform/failure_text.h"
#include "port/firewall_rule_grammar.h"
#include "port/sentences.h"

namespace korvane {

namespace {

// The rules of one registry key, each value a rule's string; `unreadable` gets the names of those that are not.
Status ReadStoredRules(Platform& platform, const wchar_t* key, std::vector<FirewallRule>& rules,
                       std::vector<std::wstring>& unreadable) {
    std::vector<RegString> values;
    const Status status = platform.RegistryStrings(key, values);
    if (!status) return status;
    for (const RegString& value : values) {
        if (const auto stored = ParseFirewallRuleText(value.text)) {
            rules.push_back(stored->rule);
        } else {
            unreadable.push_back(value.name);
        }
    }
    return status;
}

}  // namespace

GroupPolicyFirewall ReadGroupPolicyFirewall(Platform& platform, ScriptShell& shell) {
    GroupPolicyFirewall policy;
    std::vector<std::wstring> unreadable;
    const Status status = ReadStoredRules(platform, kPolicyFirewallRulesKey, policy.rules, unreadable);
    if (!status) {
        policy.uncheckedLines.push_back(Say(words::kPolicyRulesUnread, {{L"reason", DescribeFailure(status)}}));
    }
    for (const std::wstring& name : unreadable) {
        policy.uncheckedLines.push_back(Say(words::kPolicyRuleUnreadable, {{L"rule", name}}));
    }
    const struct {
        int bit;
        const wchar_t* key;
    } kProfiles[] = {{1, L"DomainProfile"}, {2, L"PrivateProfile"}, {4, L"PublicProfile"}};
    for (const auto& profile : kProfiles) {
        const std::wstring key = kPolicyFirewallKey + std::wstring(profile.key) + L"\\";
        RegValue value;
        if (shell.RegRead(key + L"EnableFirewall", value) && value.kind == RegValue::Kind::Number)
            (value.number != 0 ? policy.enabledProfiles : policy.disabledProfiles) |= profile.bit;
        if (shell.RegRead(key + L"AllowLocalPolicyMerge", value) && value.kind == RegValue::Kind::Number &&
            value.number == 0)
            policy.localRulesIgnored |= profile.bit;
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
    applied.insert(applied.end(), policy.rules.begin(), policy.rules.end());
    return applied;
}

std::vector<FirewallRule> StoredLocalRules(Platform& platform) {
    std::vector<FirewallRule> rules;
    std::vector<std::wstring> unreadable;
    ReadStoredRules(platform, kLocalFirewallRulesKey, rules, unreadable);
    return rules;
}

bool RequiresSecurity(const FirewallRule& rule) {
    return rule.secureFlags != 0 || !rule.remoteUserAuthorizedList.empty() ||
           !rule.remoteMachineAuthorizedList.empty() || !rule.localUserAuthorizedList.empty();
}

}  // namespace korvane
