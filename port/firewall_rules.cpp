#include "port/firewall_rules.h"

#include <algorithm>
#include <cwctype>
#include <tuple>

#include "platform/failure_text.h"
#include "port/port_text.h"

namespace korvane {

namespace {

std::wstring Trimmed(const std::wstring& text) {
    const std::size_t begin = text.find_first_not_of(L" \t");
    if (begin == std::wstring::npos) return std::wstring();
    return text.substr(begin, text.find_last_not_of(L" \t") - begin + 1);
}

// A port number as the firewall writes it: plain digits, 0 to 65535.
bool ParsePort(const std::wstring& text, uint32_t& port) {
    if (text.empty() || text.size() > 5) return false;
    port = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        port = port * 10 + static_cast<uint32_t>(c - L'0');
    }
    return port <= 65535;
}

bool IsSvchost(const std::wstring& program, const std::wstring& systemDirectory) {
    return SameName(program, L"%SystemRoot%\\system32\\svchost.exe") ||
           SameName(program, L"%windir%\\system32\\svchost.exe") ||
           (!systemDirectory.empty() && SameName(program, systemDirectory + L"\\svchost.exe"));
}

bool IsWindows7(WindowsVersion version) {
    return version.major == 6 && version.minor <= 1;
}

// An enabled inbound rule with `action` for `protocol` (or for any protocol) whose local ports cover `port`
// and that applies to Remote Desktop's listener.
bool Matches(const FirewallRule& rule, int action, int protocol, uint16_t port, const RemoteDesktopListener& listener) {
    return rule.enabled && rule.direction == kDirectionIn && rule.action == action &&
           (rule.protocol == protocol || rule.protocol == kAnyProtocol) && PortListCovers(rule.localPorts, port) &&
           AppliesToListener(rule, listener);
}

// The part of a rule that says who may connect through it, and to which program.
template <typename Rule>
auto ScopeFields(Rule& r) {
    return std::tie(r.profiles, r.localAddresses, r.remoteAddresses, r.remotePorts, r.interfaceTypes, r.interfaces,
                    r.edgeTraversalOptions, r.localUserAuthorizedList, r.remoteUserAuthorizedList,
                    r.remoteMachineAuthorizedList, r.secureFlags, r.applicationName, r.serviceName);
}

// A rule holding only the scope of `admitting`; a text the rule leaves empty means "any" to the firewall and is
// written out as such. A rule for any program gets the listener's own program and service.
FirewallRule ScopeOf(const FirewallRule& admitting, const ListenerProgram& listenerProgram) {
    FirewallRule scope;
    ScopeFields(scope) = ScopeFields(admitting);
    for (std::wstring* any : {&scope.localAddresses, &scope.remoteAddresses, &scope.remotePorts}) {
        if (Trimmed(*any).empty()) *any = L"*";
    }
    if (scope.interfaceTypes.empty()) scope.interfaceTypes = L"All";
    if (scope.applicationName.empty()) {
        scope.applicationName = listenerProgram.applicationName;
        scope.serviceName = listenerProgram.serviceName;
    }
    return scope;
}

// The scopes of the rules that admit Remote Desktop's listener on `port` for `protocol` now, each once, in
// the order of the rules.
std::vector<FirewallRule> ListenerScopes(const std::vector<FirewallRule>& rules, int protocol, uint16_t port,
                                         const RemoteDesktopListener& listener) {
    const ListenerProgram program = RemoteDesktopListenerProgram(listener.version);
    std::vector<FirewallRule> scopes;
    for (const FirewallRule& rule : rules) {
        if (!Matches(rule, kActionAllow, protocol, port, listener)) continue;
        const FirewallRule scope = ScopeOf(rule, program);
        bool known = false;
        for (const FirewallRule& seen : scopes) known = known || ScopeFields(seen) == ScopeFields(scope);
        if (!known) scopes.push_back(scope);
    }
    return scopes;
}

void AddRules(const std::wstring& port, int protocol, const std::vector<FirewallRule>& scopes,
              std::vector<FirewallRule>& rules) {
    const std::wstring protocolName = protocol == kTcp ? L"TCP" : L"UDP";
    const std::size_t first = rules.size();
    for (const FirewallRule& scope : scopes) {
        // Several scopes: each rule is named after the profiles it covers, its addresses too when two scopes
        // share the profiles, its program when they share those as well, and a number when that is not
        // enough: a second rule of the same name would replace the first.
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
            if (sameAddresses) label += L", " + scope.applicationName;
        }
        const std::wstring base = L"远程桌面端口 " + port + L" (" + label;
        std::wstring name = base + L")";
        for (int number = 2;; ++number) {
            bool taken = false;
            for (std::size_t i = first; i < rules.size(); ++i) taken = taken || rules[i].name == name;
            if (!taken) break;
            name = base + L", " + std::to_wstring(number) + L")";
        }
        FirewallRule rule = scope;
        rule.name = name;
        rule.description = L"新的远程连接端口";
        rule.grouping = kOwnRuleGroup;
        rule.protocol = protocol;
        rule.localPorts = port;
        rules.push_back(rule);
    }
}

}  // namespace

bool SameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

std::wstring ProfileNames(int profiles, const std::wstring& suffix) {
    std::wstring names;
    const struct {
        int bit;
        const wchar_t* name;
    } kProfiles[] = {{1, L"域"}, {2, L"专用"}, {4, L"公用"}};
    for (const auto& profile : kProfiles) {
        if (!(profiles & profile.bit)) continue;
        if (!names.empty()) names += L"、";
        names += profile.name + suffix;
    }
    return names;
}

ListenerProgram RemoteDesktopListenerProgram(WindowsVersion version) {
    if (IsWindows7(version)) return {L"System", L""};
    return {kRemoteDesktopProgram, kRemoteDesktopService};
}

bool PortListCovers(const std::wstring& localPorts, uint16_t port) {
    const std::wstring list = Trimmed(localPorts);
    if (list.empty()) return true;
    for (std::size_t begin = 0; begin <= list.size();) {
        std::size_t end = list.find(L',', begin);
        if (end == std::wstring::npos) end = list.size();
        const std::wstring item = Trimmed(list.substr(begin, end - begin));
        begin = end + 1;
        if (item == L"*") return true;
        uint32_t low = 0, high = 0;
        const std::size_t dash = item.find(L'-');
        if (dash == std::wstring::npos) {
            if (ParsePort(item, low) && low == port) return true;
        } else if (ParsePort(Trimmed(item.substr(0, dash)), low) && ParsePort(Trimmed(item.substr(dash + 1)), high)) {
            if (low <= port && port <= high) return true;
        }
        // Anything else is a keyword: ports the system assigns (RPC, Teredo ...), never Remote Desktop's.
    }
    return false;
}

bool AppliesToListener(const FirewallRule& rule, const RemoteDesktopListener& listener) {
    if (!rule.localAppPackageId.empty()) return false;
    const std::wstring program = Trimmed(rule.applicationName);
    const bool programApplies = program.empty() || IsSvchost(program, listener.systemDirectory) ||
                                (IsWindows7(listener.version) && SameName(program, L"System"));
    const std::wstring service = Trimmed(rule.serviceName);
    const bool serviceApplies = service.empty() || service == L"*" || SameName(service, kRemoteDesktopService);
    return programApplies && serviceApplies;
}

FirewallRulesPlan FirewallRulesFor(const std::wstring& portText, uint16_t currentPort,
                                   const std::vector<FirewallRule>& firewallRules,
                                   const RemoteDesktopListener& listener) {
    const std::wstring port = PortNumberText(portText);
    std::vector<FirewallRule> tcp = ListenerScopes(firewallRules, kTcp, currentPort, listener);
    std::vector<FirewallRule> udp = ListenerScopes(firewallRules, kUdp, currentPort, listener);
    FirewallRulesPlan plan;
    plan.openToEveryone = tcp.empty() && udp.empty();
    if (tcp.empty()) tcp = udp;
    if (udp.empty()) udp = tcp;
    if (tcp.empty()) {
        FirewallRule everyone;
        everyone.profiles = kAllProfiles;
        const ListenerProgram program = RemoteDesktopListenerProgram(listener.version);
        everyone.applicationName = program.applicationName;
        everyone.serviceName = program.serviceName;
        tcp = udp = {everyone};
    }
    AddRules(port, kTcp, tcp, plan.rules);
    AddRules(port, kUdp, udp, plan.rules);
    return plan;
}

std::vector<FirewallRule> BlockingRules(const std::vector<FirewallRule>& firewallRules, int protocol, uint16_t port,
                                        int currentProfiles, const RemoteDesktopListener& listener) {
    std::vector<FirewallRule> blocking;
    for (const FirewallRule& rule : firewallRules) {
        if (!Matches(rule, kActionBlock, protocol, port, listener)) continue;
        if (currentProfiles != 0 && !(rule.profiles & currentProfiles)) continue;
        blocking.push_back(rule);
    }
    return blocking;
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
