#include "port/firewall_rules.h"

#include "platform/failure_text.h"
#include "port/port_text.h"

namespace korvane {

namespace {

constexpr int kTcp = 6;
constexpr int kUdp = 17;

struct Scope {
    int profiles;
    std::wstring remoteAddresses;
    ListenerProgram program;

    auto Fields() const { return std::tie(profiles, remoteAddresses, program.applicationName, program.serviceName); }
    bool operator==(const Scope& other) const { return Fields() == other.Fields(); }
};

// The scopes of Windows' own enabled Remote Desktop listener rules for `protocol`, each once, in order.
std::vector<Scope> ListenerScopes(const std::vector<FirewallRule>& rules, int protocol) {
    std::vector<Scope> scopes;
    for (const FirewallRule& rule : rules) {
        if (rule.grouping != kRemoteDesktopGroup || rule.protocol != protocol || rule.direction != 1 ||
            rule.action != 1 || !rule.enabled || rule.localPorts != L"3389")
            continue;
        const Scope scope{rule.profiles, rule.remoteAddresses, {rule.applicationName, rule.serviceName}};
        bool known = false;
        for (const Scope& seen : scopes) known = known || seen == scope;
        if (!known) scopes.push_back(scope);
    }
    return scopes;
}

void AddRules(const std::wstring& port, int protocol, const std::vector<Scope>& scopes,
              std::vector<FirewallRule>& rules) {
    const std::wstring protocolName = protocol == kTcp ? L"TCP" : L"UDP";
    const std::size_t first = rules.size();
    for (const Scope& scope : scopes) {
        // Several scopes: each rule is named after the profiles it covers, its addresses too when two scopes
        // share the profiles, and its program when they share those as well.
        std::wstring label = protocolName;
        if (scopes.size() > 1) {
            label += L", " + ProfileNames(scope.profiles);
            bool sameProfiles = false, sameAddresses = false;
            for (std::size_t i = first; i < rules.size(); ++i) {
                if (rules[i].profiles != scope.profiles) continue;
                sameProfiles = true;
                sameAddresses = sameAddresses || rules[i].remoteAddresses == scope.remoteAddresses;
            }
            if (sameProfiles) label += L", " + scope.remoteAddresses;
            if (sameAddresses) label += L", " + scope.program.applicationName;
        }
        FirewallRule rule;
        rule.name = L"远程桌面端口 " + port + L" (" + label + L")";
        rule.description = L"新的远程连接端口";
        rule.grouping = kOwnRuleGroup;
        rule.protocol = protocol;
        rule.localPorts = port;
        rule.profiles = scope.profiles;
        rule.remoteAddresses = scope.remoteAddresses;
        rule.applicationName = scope.program.applicationName;
        rule.serviceName = scope.program.serviceName;
        rules.push_back(rule);
    }
}

}  // namespace

std::wstring ProfileNames(int profiles) {
    std::wstring names;
    const struct {
        int bit;
        const wchar_t* name;
    } kProfiles[] = {{1, L"域"}, {2, L"专用"}, {4, L"公用"}};
    for (const auto& profile : kProfiles) {
        if (!(profiles & profile.bit)) continue;
        if (!names.empty()) names += L"、";
        names += profile.name;
    }
    return names;
}

ListenerProgram RemoteDesktopListenerProgram(WindowsVersion version) {
    if (version.major == 6 && version.minor <= 1) return {L"System", L""};
    return {kRemoteDesktopProgram, kRemoteDesktopService};
}

std::vector<FirewallRule> FirewallRulesFor(const std::wstring& portText,
                                           const std::vector<FirewallRule>& remoteDesktopRules,
                                           const ListenerProgram& listener) {
    const std::wstring port = PortNumberText(portText);
    std::vector<Scope> tcp = ListenerScopes(remoteDesktopRules, kTcp);
    std::vector<Scope> udp = ListenerScopes(remoteDesktopRules, kUdp);
    if (tcp.empty()) tcp = udp;
    if (udp.empty()) udp = tcp;
    if (tcp.empty()) tcp = udp = {Scope{0x7FFFFFFF, L"*", listener}};
    std::vector<FirewallRule> rules;
    AddRules(port, kTcp, tcp, rules);
    AddRules(port, kUdp, udp, rules);
    return rules;
}

FirewallRulesChange::FirewallRulesChange(FirewallPolicy& firewall, std::vector<FirewallRule> rules)
    : firewall_(firewall), rules_(std::move(rules)) {}

Status FirewallRulesChange::Apply() {
    for (const FirewallRule& rule : rules_) {
        Made made;
        made.name = rule.name;
        Status status = firewall_.FindRule(rule.name, made.previous, made.existed);
        if (!status) {
            failedStep_ = L"读取防火墙规则“" + rule.name + L"”";
            Undo();
            return status;
        }
        // Recorded before the attempt: a rewrite that fails halfway has changed the rule all the same.
        made_.push_back(made);
        if (made.existed) changedAnything_ = true;
        bool added = false;
        status = firewall_.EnsureRule(rule, added);
        if (!status) {
            failedStep_ = L"添加防火墙入站规则“" + rule.name + L"”";
            Undo();
            return status;
        }
        changedAnything_ = true;
    }
    return Status::Ok();
}

void FirewallRulesChange::Undo() {
    while (!made_.empty()) {
        const Made made = made_.back();
        made_.pop_back();
        bool added = false;
        const Status status =
            made.existed ? firewall_.EnsureRule(made.previous, added) : firewall_.RemoveRule(made.name);
        if (status) continue;
        notRestored_.push_back(L"防火墙规则“" + made.name + (made.existed ? L"”未能恢复原设置：" : L"”未能删除：") +
                               DescribeFailure(status));
    }
}

}  // namespace korvane
