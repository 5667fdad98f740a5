#include "port/reachability.h"

#include <algorithm>

#include "platform/failure_text.h"
#include "platform/number_text.h"
#include "port/applied_firewall.h"
#include "port/host_facts.h"
#include "port/remote_desktop_listener.h"
#include "port/rule_plan.h"

namespace korvane {

namespace {

// What one change is checked for: the new port, as a number and as text.
struct Checked {
    uint16_t port;
    std::wstring text;
};

void Add(ReachabilityFindings& findings, const FindingWords* kind, std::initializer_list<ValueView> values = {}) {
    findings.findings.push_back({kind, Say(kind->text, values), Say(kind->brief, values)});
}

void CheckEdition(ScriptShell& shell, ReachabilityFindings& findings) {
    const std::wstring edition = ReadTextValue(shell, kEditionIdPath);
    if (IsHomeEdition(edition)) Add(findings, &found::kHomeEdition, {{L"edition", HomeEditionName(edition)}});
}

void CheckRemoteDesktopSwitch(Platform& platform, ScriptShell& shell, ReachabilityFindings& findings) {
    const RemoteDesktopSwitch state = RemoteDesktopSwitchOf(ReadNumberValue(shell, kDenyConnectionsPath),
                                                            ReadNumberValue(shell, kDenyConnectionsPolicyPath));
    if (state == RemoteDesktopSwitch::OffByPolicy) Add(findings, &found::kRemoteDesktopOffByPolicy);
    // Windows 7's 远程 tab words its options otherwise than later Windows.
    if (state == RemoteDesktopSwitch::OffHere) {
        Add(findings, ListensInKernel(platform.Version()) ? &found::kRemoteDesktopOffHereWindows7
                                                          : &found::kRemoteDesktopOffHere);
    }
}

// How long 修改 waits for Windows to tell the dynamic range (WMI): a cold WMI, just after boot, takes a few
// seconds; a broken one may never answer.
constexpr uint32_t kDynamicRangeWaitMs = 5000;

// "49152-65535".
std::wstring Span(const DynamicPortRange& range) {
    return DecimalText(range.start) + L"-" + DecimalText(uint32_t{range.start} + range.count - 1);
}

// A port in the range Windows hands out to outgoing connections, and in which Hyper-V, WSL and WinNAT
// reserve blocks anew at each boot, may be taken by the time Remote Desktop starts after the restart. Where
// Windows does not tell the range, its default is assumed, and the log says so.
void CheckDynamicRange(Platform& platform, const Checked& port, ReachabilityFindings& findings) {
    DynamicPortRange range;
    const Status status = platform.TcpDynamicPortRange(kDynamicRangeWaitMs, range);
    if (!status || range.count == 0) {
        range = kDefaultDynamicRange;
        const std::wstring reason = status ? Say(words::kRangeNotGiven) : DescribeFailure(status);
        findings.uncheckedLines.push_back(Say(words::kRangeUnread, {{L"reason", reason}, {L"range", Span(range)}}));
    }
    if (!InDynamicRange(port.port, range)) return;
    Add(findings, &found::kDynamicRange,
        {{L"port", port.text}, {L"range", Span(range)}});
}

// A cloud's security group filters traffic before it reaches the machine, whatever Windows allows.
void CheckCloud(Platform& platform, ScriptShell& shell, const Checked& port, ReachabilityFindings& findings) {
    const std::wstring cloud =
        CloudOf(ReadTextValue(shell, kSystemManufacturerPath), ReadTextValue(shell, kSystemProductPath),
                platform.ChassisAssetTag(), platform.SystemUuid(), platform.SystemSerialNumber());
    if (cloud.empty()) return;
    Add(findings, &found::kCloud, {{L"cloud", cloud}, {L"place", CloudInboundRulesPlace(cloud)}, {L"port", port.text}});
}

// The listener's program, and the module Windows names as its owner where that says more (a service in a
// shared svchost process).
std::wstring Owner(Platform& platform, const TcpListener& listener) {
    if (listener.processId == 0) return Say(words::kOtherProgram);
    std::wstring image = platform.ProcessImageName(listener.processId);
    if (image.empty()) image = listener.owner.empty() ? Say(words::kUnknownProgram) : listener.owner;
    const std::wstring pid = DecimalText(listener.processId);
    if (listener.owner.empty() || listener.owner == image)
        return Say(words::kProgramWithProcess, {{L"image", image}, {L"pid", pid}});
    return Say(words::kProgramWithModuleAndProcess, {{L"image", image}, {L"module", listener.owner}, {L"pid", pid}});
}

void ReportInUse(Platform& platform, const Checked& port, const TcpListener& listener, ReachabilityFindings& findings) {
    // The kernel's listener cannot be stopped like a program. On Windows 7 and Server 2008 R2 it may be Remote
    // Desktop's own: said as it is, and left to the administrator.
    if (IsKernelListener(listener)) {
        const bool windows7 = ListensInKernel(platform.Version());
        return Add(findings, windows7 ? &found::kPortTakenByKernelWindows7 : &found::kPortTakenByKernel,
                   {{L"port", port.text}});
    }
    Add(findings, &found::kPortTaken, {{L"port", port.text}, {L"owner", Owner(platform, listener)}});
}

// The port could not be bound: only a program listening on it keeps it after the restart. Remote Desktop's
// own listener, as Windows names its owner, is none (the administrator goes back to the port it still listens
// on until the restart); a listener whose owner Windows does not name is another program's. Without the
// listener table the port is most likely taken.
void CheckPortUser(Platform& platform, const Checked& port, ReachabilityFindings& findings) {
    std::vector<TcpListener> listeners;
    const Status status = platform.ListTcpListeners(listeners);
    if (!status) {
        return Add(findings, &found::kPortMaybeTaken, {{L"port", port.text}, {L"reason", DescribeFailure(status)}});
    }
    bool listened = false;
    for (const TcpListener& listener : listeners) {
        if (listener.port != port.port) continue;
        listened = true;
        if (IsRemoteDesktopListener(listener)) continue;
        return ReportInUse(platform, port, listener, findings);
    }
    if (!listened) findings.noteLines.push_back(Say(words::kPortOnlyConnected, {{L"port", port.text}}));
}

void CheckPort(Platform& platform, const Checked& port, ReachabilityFindings& findings) {
    PortBind bind = PortBind::Free;
    const Status status = platform.TryExclusiveBind(port.port, bind);
    if (!status) {
        findings.uncheckedLines.push_back(
            Say(words::kPortUncheckable, {{L"port", port.text}, {L"reason", DescribeFailure(status)}}));
        return;
    }
    if (bind == PortBind::Reserved) Add(findings, &found::kPortReserved, {{L"port", port.text}});
    if (bind == PortBind::InUse) CheckPortUser(platform, port, findings);
}

// The firewall's objects answer the same while its service is stopped and while it is disabled: the
// service's start type tells the two apart. The change may still go on, without rules.
void ReportServiceDown(Platform& platform, uint32_t code, const Checked& port, ReachabilityFindings& findings) {
    uint32_t startType = 0;
    const bool disabled = code == kFirewallServiceDisabled ||
                          (platform.ServiceStartType(kFirewallService, startType) && startType == kServiceDisabled);
    findings.firewallUnavailable = true;
    findings.noRuleLine =
        Say(disabled ? words::kNoRuleServiceDisabled : words::kNoRuleServiceStopped, {{L"port", port.text}});
    Add(findings, disabled ? &found::kFirewallServiceDisabled : &found::kFirewallServiceStopped,
        {{L"port", port.text}});
}

// Windows Firewall turned off for a current profile: the rules made there do nothing until it is turned on
// again, and another firewall, if any, filters instead. Tells whether it is on, or may be, for any current
// profile.
bool CheckFirewallTurnedOn(FirewallPolicy& firewall, const GroupPolicyFirewall& policy, int currentProfiles,
                           const Checked& port, ReachabilityFindings& findings) {
    if (currentProfiles == 0) return true;
    int off = 0;
    for (int profile : {1, 2, 4}) {
        if (!(currentProfiles & profile)) continue;
        // Group Policy's switch, where it sets one, wins over the machine's own.
        if (policy.enabledProfiles & profile) continue;
        if (policy.disabledProfiles & profile) {
            off |= profile;
            continue;
        }
        bool enabled = true;
        const Status status = firewall.FirewallEnabled(profile, enabled);
        if (!status) {
            findings.uncheckedLines.push_back(
                Say(words::kFirewallOnUncheckable,
                    {{L"networks", ProfileNames(profile, true)}, {L"reason", DescribeFailure(status)}}));
        } else if (!enabled) {
            off |= profile;
        }
    }
    if (off == 0) return true;
    Add(findings, &found::kFirewallOff, {{L"networks", ProfileNames(off, true)}, {L"port", port.text}});
    return (off & currentProfiles) != currentProfiles;
}

// "“规则”" or "“规则”（远程地址：10.0.0.0/8）", as Windows shows the rule's name.
std::wstring NamedWithAddresses(Platform& platform, const FirewallRule& rule) {
    const std::wstring addresses = rule.remoteAddresses.empty() ? L"*" : rule.remoteAddresses;
    const std::wstring name = platform.DisplayText(rule.name);
    return addresses == L"*" ? Say(words::kBlockRuleNamed, {{L"rule", name}})
                             : Say(words::kBlockRuleWithAddresses, {{L"rule", name}, {L"addresses", addresses}});
}

// Adds "“规则”", the rule's name as Windows shows it, to `names` unless it is there already.
void AddName(Platform& platform, const FirewallRule& rule, std::vector<std::wstring>& names) {
    const std::wstring name = Say(words::kBlockRuleNamed, {{L"rule", platform.DisplayText(rule.name)}});
    if (!Contains(names, name)) names.push_back(name);
}

// Where Group Policy lets no rule of the machine's own count on a current network (its "应用本地防火墙规则" set to
// "否", AllowLocalPolicyMerge 0), the rules added here do nothing there, unless a rule of the policy admits the
// listener on the new port there. Told from the policy's own values, network by network, since the firewall's own
// answer covers all current networks at once (and says nothing when they differ); where those values say nothing,
// as the firewall says.
void CheckLocalRulesCount(const FirewallLocalPolicy& state, const GroupPolicyFirewall& policy, const Checked& port,
                          const RemoteDesktopListener& listener, ReachabilityFindings& findings) {
    int ignored = policy.localRulesIgnored & (state.currentProfiles != 0 ? state.currentProfiles : 7);
    if (ignored == 0) {
        if (state.modifyState == FirewallLocalPolicy::kGroupPolicyOverride)
            Add(findings, &found::kFirewallByGroupPolicy, {{L"port", port.text}});
        return;
    }
    for (const FirewallRule& rule : policy.rules) {
        if (Concerns(rule, kActionAllow, kTcp, port.port, listener)) ignored &= ~rule.profiles;
    }
    if (ignored == 0) return;
    Add(findings, &found::kLocalRulesIgnored, {{L"networks", ProfileNames(ignored, true)}, {L"port", port.text}});
}

// Block rules win over every allow rule (only an allow rule authenticated by IPsec may override them). What
// counts is what the move changes: a block rule over the new port alone keeps Remote Desktop's clients out after
// the restart; one over both ports changes nothing; one over the current port alone is carried over (below).
void CheckBlockRules(Platform& platform, const std::vector<FirewallRule>& all, const Checked& port,
                     uint16_t configuredPort, int currentProfiles, const RemoteDesktopListener& listener,
                     ReachabilityFindings& findings) {
    const auto newlyBlocking = [&](int protocol) {
        std::vector<FirewallRule> rules;
        for (FirewallRule& rule : BlockingRules(all, protocol, port.port, currentProfiles, listener)) {
            if (!PortListCovers(rule.localPorts, configuredPort)) rules.push_back(std::move(rule));
        }
        return rules;
    };
    for (const FirewallRule& rule : newlyBlocking(kUdp)) {
        if (rule.protocol != kUdp) continue;
        findings.noteLines.push_back(
            Say(words::kUdpBlocked, {{L"rule", platform.DisplayText(rule.name)}, {L"port", port.text}}));
    }
    const std::vector<FirewallRule> tcp = newlyBlocking(kTcp);
    if (tcp.empty()) return;
    std::vector<std::wstring> names;
    for (const FirewallRule& rule : tcp) names.push_back(NamedWithAddresses(platform, rule));
    Add(findings, tcp.size() == 1 ? &found::kBlockRule : &found::kBlockRules,
        {{L"rules", Joined(names, words::kListSeparator)},
         {L"port", port.text},
         {L"first", Say(words::kBlockRuleNamed, {{L"rule", platform.DisplayText(tcp.front().name)}})},
         {L"count", DecimalText(tcp.size())}});
}

// Whether a block rule keeps every client out on its networks: any remote address and port, any local address, every
// interface, no condition on users.
bool BlocksEveryone(const FirewallRule& rule) {
    return rule.remoteAddresses == L"*" && rule.localAddresses == L"*" && rule.remotePorts == L"*" &&
           rule.interfaces.empty() && rule.interfaceTypes == L"All" && !HasUserConditions(rule);
}

// Whom a block rule keeps from the current port alone stays kept out: the rule is copied onto the new port, made
// and undone with the other rules. Returns those that cannot be copied as they are.
std::vector<FirewallRule> CarryBlockRules(Platform& platform, const std::vector<FirewallRule>& all, const Checked& port,
                                          uint16_t configuredPort, int currentProfiles,
                                          const RemoteDesktopListener& listener, ReachabilityFindings& findings) {
    CarriedBlocks blocks = CarriedBlockRules(port.port, configuredPort, all, listener);
    std::vector<std::wstring> everyone;
    int closed = 0;
    for (const CarriedBlock& carried : blocks.carried) {
        findings.rules.push_back(carried.rule);
        findings.noteLines.push_back(
            Say(words::kBlockCarried, {{L"port", port.text},
                                       {L"name", carried.rule.name},
                                       {L"current", DecimalText(configuredPort)},
                                       {L"rule", NamedWithAddresses(platform, carried.source)}}));
        if (carried.rule.protocol != kTcp || !BlocksEveryone(carried.rule)) continue;
        AddName(platform, carried.source, everyone);
        closed |= carried.rule.profiles;
    }
    // Those that keep everyone out on every current network (0: unknown, all of them) keep the new port closed after
    // the restart, as the current one is now: asked.
    const int current = currentProfiles != 0 ? currentProfiles : 7;
    if ((closed & current) == current) {
        Add(findings, &found::kCarriedBlockKeepsEveryoneOut,
            {{L"rules", Joined(everyone, words::kListSeparator)},
             {L"current", DecimalText(configuredPort)},
             {L"port", port.text}});
    }
    return std::move(blocks.notCarried);
}

// An allow rule that overrides block rules (Action=ByPass) admits the clients IPsec authenticates through any block
// rule; only its stored string tells it, and the new port's rule cannot be made so. Where a block rule will concern
// the new port, one over both ports or one carried over (already among the rules to make) included, those clients
// would be kept out after the restart.
void CheckOverridingRules(Platform& platform, const StoredRules& local, const GroupPolicyFirewall& policy,
                          const std::vector<FirewallRule>& all, const Checked& port, uint16_t configuredPort,
                          int currentProfiles, const RemoteDesktopListener& listener, ReachabilityFindings& findings) {
    // The profiles on which a block rule will concern the new port.
    int blocked = 0;
    for (const FirewallRule& rule : BlockingRules(all, kTcp, port.port, currentProfiles, listener))
        blocked |= rule.profiles;
    for (const FirewallRule& made : findings.rules) {
        if (made.action == kActionBlock && made.protocol == kTcp) blocked |= made.profiles;
    }
    std::vector<std::wstring> lost;
    const auto check = [&](const FirewallRule& rule, int profilesCounted) {
        if ((rule.profiles & profilesCounted & blocked & 7) &&
            Concerns(rule, kActionAllow, kTcp, configuredPort, listener))
            AddName(platform, rule, lost);
    };
    // The machine's own only where the policy lets them count.
    for (const FirewallRule& rule : local.overriding) check(rule, ~policy.localRulesIgnored);
    for (const FirewallRule& rule : policy.overriding) check(rule, ~0);
    if (lost.empty()) return;
    Add(findings, &found::kOverridingRules,
        {{L"current", DecimalText(configuredPort)},
         {L"rules", Joined(lost, words::kListSeparator)},
         {L"port", port.text}});
}

// Rules that cannot go over to the new port as they are, named with why.
void ReportNotCarried(Platform& platform, const std::vector<FirewallRule>& rules, const Checked& port,
                      ReachabilityFindings& findings) {
    if (rules.empty()) return;
    std::vector<std::wstring> names;
    for (const FirewallRule& rule : rules) {
        const wchar_t* reason = HasUnnamedInterface(rule) ? words::kUnnamedInterface : words::kUserConditions;
        names.push_back(Say(words::kRuleNotCarried, {{L"rule", platform.DisplayText(rule.name)}, {L"reason", reason}}));
    }
    Add(findings, &found::kRulesNotCarried, {{L"port", port.text}, {L"rules", Joined(names, words::kListSeparator)}});
}

// Windows 7's firewall objects do not tell whether a rule allows only secure connections, nor can they make such
// a rule: where an admitting rule, as Windows stores it, asks for that, the new rules cannot.
void CheckSecurityRequirements(Platform& platform, const StoredRules& local, const GroupPolicyFirewall& policy,
                               const Checked& port, uint16_t configuredPort, const RemoteDesktopListener& listener,
                               ReachabilityFindings& findings) {
    if (!ListensInKernel(listener.version)) return;
    std::vector<std::wstring> secure;
    for (const FirewallRule& rule : AppliedRules(local.rules, policy)) {
        const bool admits = Concerns(rule, kActionAllow, kTcp, configuredPort, listener) ||
                            Concerns(rule, kActionAllow, kUdp, configuredPort, listener);
        if (admits && HasUserConditions(rule)) AddName(platform, rule, secure);
    }
    if (secure.empty()) return;
    Add(findings, &found::kSecurityNotCopied,
        {{L"current", DecimalText(configuredPort)},
         {L"rules", Joined(secure, words::kListSeparator)},
         {L"port", port.text}});
}

// A rule whose string cannot be read may be the one that admits or blocks: said before anything is written.
void ReportUnreadable(const StoredRules& stored, const wchar_t* store, ReachabilityFindings& findings) {
    if (stored.unreadable.empty()) return;
    Add(findings, &found::kRuleStringsUnreadable,
        {{L"store", store}, {L"rules", Joined(stored.unreadable, words::kListSeparator)}});
}

// The machine's own rules, one by one: one that cannot be read is named among the checks not made, the rest count.
Status ReadLocalRules(FirewallPolicy& firewall, std::vector<FirewallRule>& rules, ReachabilityFindings& findings) {
    std::vector<UnreadRule> unread;
    const Status status = firewall.AllRules(rules, unread);
    for (const UnreadRule& rule : unread) {
        const std::wstring reason = DescribeFailure(rule.status);
        findings.uncheckedLines.push_back(
            rule.name.empty()
                ? Say(words::kLocalRuleUnreadAt, {{L"position", DecimalText(rule.position)}, {L"reason", reason}})
                : Say(words::kLocalRuleUnread, {{L"rule", rule.name}, {L"reason", reason}}));
    }
    return status;
}

// The rules that open the new port copy the scope of the rules that admit Remote Desktop now. With none, or
// none that can be read, they would be open to every network and every address: the administrator decides.
void CheckRules(Platform& platform, FirewallPolicy& firewall, const GroupPolicyFirewall& policy,
                const RemoteDesktopListener& listener, const Checked& port, uint16_t configuredPort,
                int currentProfiles, bool firewallOn, ReachabilityFindings& findings) {
    std::vector<FirewallRule> listed;
    const Status status = ReadLocalRules(firewall, listed, findings);
    const StoredRules local = StoredLocalRules(platform);
    std::vector<FirewallRule> all =
        AppliedRules(LocalRulesAsStored(std::move(listed), local, listener.version), policy);
    // Block rules are named as Windows shows them: their copies for the new port are named after them.
    for (FirewallRule& rule : all) {
        if (rule.action == kActionBlock) rule.name = platform.DisplayText(rule.name);
    }
    FirewallRulesPlan plan = FirewallRulesFor(port.port, configuredPort, all, listener);
    findings.rules = std::move(plan.rules);
    CheckBlockRules(platform, all, port, configuredPort, currentProfiles, listener, findings);
    std::vector<FirewallRule> notCarried = std::move(plan.notCopied);
    for (FirewallRule& rule : CarryBlockRules(platform, all, port, configuredPort, currentProfiles, listener, findings))
        notCarried.push_back(std::move(rule));
    CheckOverridingRules(platform, local, policy, all, port, configuredPort, currentProfiles, listener, findings);
    ReportNotCarried(platform, notCarried, port, findings);
    CheckSecurityRequirements(platform, local, policy, port, configuredPort, listener, findings);
    ReportUnreadable(local, words::kLocalStore, findings);
    if (!status) {
        return Add(findings, plan.openToEveryone ? &found::kRulesUnreadable : &found::kLocalRulesUnreadable,
                   {{L"reason", DescribeFailure(status)}, {L"port", port.text}});
    }
    if (plan.openToEveryone && firewallOn)
        Add(findings, &found::kOpenToEveryone, {{L"current", DecimalText(configuredPort)}, {L"port", port.text}});
}

void CheckFirewall(Platform& platform, ScriptShell& shell, FirewallPolicy* firewall, const Status& firewallStatus,
                   const Checked& port, uint16_t configuredPort, ReachabilityFindings& findings) {
    if (!firewall) {
        if (IsFirewallServiceDown(firewallStatus.code))
            ReportServiceDown(platform, firewallStatus.code, port, findings);
        return;
    }
    FirewallLocalPolicy state;
    const Status status = firewall->LocalPolicyState(state);
    if (!status) {
        if (IsFirewallServiceDown(status.code)) return ReportServiceDown(platform, status.code, port, findings);
        findings.uncheckedLines.push_back(Say(words::kLocalPolicyUncheckable, {{L"reason", DescribeFailure(status)}}));
        state = FirewallLocalPolicy();
    }
    const RemoteDesktopListener listener{platform.Version(), platform.SystemDirectory()};
    const GroupPolicyFirewall policy = ReadGroupPolicyFirewall(platform, shell);
    CheckLocalRulesCount(state, policy, port, listener, findings);
    if (state.modifyState == FirewallLocalPolicy::kInboundBlocked) {
        const std::wstring networks = ProfileNames(state.currentProfiles, true);
        if (networks.empty()) {
            Add(findings, &found::kFirewallBlocksAllInbound);
        } else {
            Add(findings, &found::kFirewallBlocksAllInboundOnNetworks, {{L"networks", networks}});
        }
    }
    if (!policy.status) {
        Add(findings, &found::kPolicyRulesUnreadable, {{L"reason", DescribeFailure(policy.status)}});
    }
    ReportUnreadable(policy, words::kPolicyStore, findings);
    const bool on = CheckFirewallTurnedOn(*firewall, policy, state.currentProfiles, port, findings);
    CheckRules(platform, *firewall, policy, listener, port, configuredPort, state.currentProfiles, on, findings);
}

}  // namespace

bool IsFirewallServiceDown(uint32_t code) {
    return code == kFirewallServiceStopped || code == kFirewallServiceDisabled;
}

ReachabilityFindings CheckReachability(Platform& platform, ScriptShell& shell, FirewallPolicy* firewall,
                                       const Status& firewallStatus, uint16_t port, bool isCurrentPort,
                                       uint16_t configuredPort) {
    const Checked checked{port, DecimalText(port)};
    ReachabilityFindings findings;
    CheckEdition(shell, findings);
    CheckRemoteDesktopSwitch(platform, shell, findings);
    // Remote Desktop itself listens on the port it uses now: writing it again only repairs the rest.
    if (!isCurrentPort) {
        CheckPort(platform, checked, findings);
        CheckDynamicRange(platform, checked, findings);
    }
    CheckFirewall(platform, shell, firewall, firewallStatus, checked, configuredPort, findings);
    CheckCloud(platform, shell, checked, findings);
    return findings;
}

}  // namespace korvane
