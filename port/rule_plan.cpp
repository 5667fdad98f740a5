#include "port/rule_plan.h"

#include <algorithm>
#include <tuple>

#include "platform/number_text.h"
#include "port/remote_desktop_listener.h"
#include "port/sentences.h"

namespace korvane {

namespace {

// The part of a rule that says who may connect through it, and to which program.
template <typename Rule>
auto ScopeFields(Rule& r) {
    return std::tie(r.profiles, r.localAddresses, r.remoteAddresses, r.remotePorts, r.interfaceTypes, r.interfaces,
                    r.edgeTraversalOptions, r.localUserAuthorizedList, r.remoteUserAuthorizedList,
                    r.remoteMachineAuthorizedList, r.secureFlags, r.applicationName, r.serviceName);
}

// `from`'s scope in `rule`, a text it leaves empty written out as the "any" it means to the firewall.
void CopyScope(const FirewallRule& from, FirewallRule& rule) {
    ScopeFields(rule) = ScopeFields(from);
    for (std::wstring* any : {&rule.localAddresses, &rule.remoteAddresses, &rule.remotePorts}) {
        if (any->find_first_not_of(L" \t") == std::wstring::npos) *any = L"*";
    }
    if (rule.interfaceTypes.empty()) rule.interfaceTypes = L"All";
}

// Rules are told by name: one for TCP and UDP alike is met once for each.
void AddOnce(std::vector<FirewallRule>& rules, const FirewallRule& rule) {
    for (const FirewallRule& added : rules) {
        if (added.name == rule.name) return;
    }
    rules.push_back(rule);
}

// A rule holding only the scope of `admitting`. A rule for any program gets the listener's own program and service.
FirewallRule ScopeOf(const FirewallRule& admitting, const ListenerProgram& listenerProgram) {
    FirewallRule scope;
    CopyScope(admitting, scope);
    if (scope.applicationName.empty()) {
        scope.applicationName = listenerProgram.applicationName;
        scope.serviceName = listenerProgram.serviceName;
    }
    return scope;
}

// The scopes of the rules that admit Remote Desktop's listener on `port` for `protocol` now, each once, in
// the order of the rules.
std::vector<FirewallRule> ListenerScopes(const std::vector<FirewallRule>& rules, int protocol, uint16_t port,
                                         const RemoteDesktopListener& listener, std::vector<FirewallRule>& notCopied) {
    const ListenerProgram program = RemoteDesktopListenerProgram(listener.version);
    std::vector<FirewallRule> scopes;
    for (const FirewallRule& rule : rules) {
        if (!Concerns(rule, kActionAllow, protocol, port, listener)) continue;
        if (HasUnnamedInterface(rule)) {
            AddOnce(notCopied, rule);
            continue;
        }
        const FirewallRule scope = ScopeOf(rule, program);
        bool known = false;
        for (const FirewallRule& seen : scopes) known = known || ScopeFields(seen) == ScopeFields(scope);
        if (!known) scopes.push_back(scope);
    }
    return scopes;
}

// The rule's name from `named`, or when one of `taken` already has it, from `numbered` with the first free number
// from 2 on: a second rule of the same name would replace the first. The name is taken from then on.
std::wstring UniqueName(const wchar_t* named, const wchar_t* numbered, const std::wstring& port,
                        const std::wstring& label, std::vector<std::wstring>& taken) {
    std::wstring name = Say(named, {{L"port", port}, {L"label", label}});
    for (int number = 2; Contains(taken, name); ++number)
        name = Say(numbered, {{L"port", port}, {L"label", label}, {L"number", DecimalText(number)}});
    taken.push_back(name);
    return name;
}

void AddRules(const std::wstring& port, int protocol, const std::vector<FirewallRule>& scopes,
              std::vector<FirewallRule>& rules) {
    const std::size_t first = rules.size();
    std::vector<std::wstring> names;
    for (const FirewallRule& scope : scopes) {
        // Several scopes: each rule is named after the profiles it covers, its addresses too when two scopes
        // share the profiles, its program when they share those as well, and a number when that is not
        // enough: a second rule of the same name would replace the first.
        std::wstring label = protocol == kTcp ? L"TCP" : L"UDP";
        if (scopes.size() > 1) {
            label += L", " + ProfileNames(scope.profiles);
            bool sameProfiles = false, sameAddresses = false;
            for (std::size_t i = first; i < rules.size(); ++i) {
                if (rules[i].profiles != scope.profiles) continue;
                sameProfiles = true;
                sameAddresses = sameAddresses || rules[i].remoteAddresses == scope.remoteAddresses;
            }
            if (sameProfiles) label += L", " + scope.remoteAddresses;
            if (sameAddresses) label += L", " + scope.applicationName;
        }
        FirewallRule rule = scope;
        rule.name = UniqueName(words::kRuleName, words::kRuleNameNumbered, port, label, names);
        rule.description = Say(words::kRuleDescription);
        rule.grouping = kOwnRuleGroup;
        rule.protocol = protocol;
        rule.localPorts = port;
        rules.push_back(rule);
    }
}

}  // namespace

FirewallRulesPlan FirewallRulesFor(uint16_t port, uint16_t currentPort, const std::vector<FirewallRule>& firewallRules,
                                   const RemoteDesktopListener& listener) {
    FirewallRulesPlan plan;
    const std::vector<FirewallRule> tcp = ListenerScopes(firewallRules, kTcp, currentPort, listener, plan.notCopied);
    const std::vector<FirewallRule> udp = ListenerScopes(firewallRules, kUdp, currentPort, listener, plan.notCopied);
    plan.openToEveryone = tcp.empty() && udp.empty();
    std::vector<FirewallRule> everyone(plan.openToEveryone ? 1 : 0);
    if (plan.openToEveryone) {
        const ListenerProgram program = RemoteDesktopListenerProgram(listener.version);
        everyone[0].profiles = kAllProfiles;
        everyone[0].applicationName = program.applicationName;
        everyone[0].serviceName = program.serviceName;
    }
    const std::wstring portText = DecimalText(port);
    AddRules(portText, kTcp, !tcp.empty() ? tcp : !udp.empty() ? udp : everyone, plan.rules);
    AddRules(portText, kUdp, !udp.empty() ? udp : !tcp.empty() ? tcp : everyone, plan.rules);
    return plan;
}

CarriedBlocks CarriedBlockRules(uint16_t port, uint16_t currentPort, const std::vector<FirewallRule>& firewallRules,
                                const RemoteDesktopListener& listener) {
    const std::wstring portText = DecimalText(port);
    CarriedBlocks blocks;
    std::vector<std::wstring> names;
    for (int protocol : {kTcp, kUdp}) {
        for (const FirewallRule& source : BlockingRules(firewallRules, protocol, currentPort, 0, listener)) {
            if (PortListCovers(source.localPorts, port)) continue;  // it blocks the new port already
            // Windows 7's firewall objects set no condition on users (INetFwRule3 is Windows 8's).
            if (HasUnnamedInterface(source) || (ListensInKernel(listener.version) && HasUserConditions(source))) {
                AddOnce(blocks.notCarried, source);
                continue;
            }
            // Its scope and its local user owner; edge traversal means nothing to a block rule.
            FirewallRule rule;
            CopyScope(source, rule);
            rule.edgeTraversalOptions = 0;
            rule.localUserOwner = source.localUserOwner;
            rule.action = kActionBlock;
            rule.protocol = protocol;
            rule.localPorts = portText;
            rule.grouping = kOwnRuleGroup;
            rule.description =
                Say(words::kBlockRuleDescription, {{L"current", DecimalText(currentPort)}, {L"rule", source.name}});
            const std::wstring label = (protocol == kTcp ? L"TCP, " : L"UDP, ") + source.name;
            rule.name = UniqueName(words::kBlockRuleName, words::kBlockRuleNameNumbered, portText, label, names);
            blocks.carried.push_back({source, rule});
        }
    }
    return blocks;
}

bool HasUnnamedInterface(const FirewallRule& rule) {
    for (const std::wstring& item : rule.interfaces) {
        if (IsInterfaceGuid(item)) return true;
    }
    return false;
}

bool HasUserConditions(const FirewallRule& rule) {
    return !rule.localUserAuthorizedList.empty() || !rule.remoteUserAuthorizedList.empty() ||
           !rule.remoteMachineAuthorizedList.empty() || !rule.localUserOwner.empty() || rule.secureFlags != 0;
}

}  // namespace korvane
