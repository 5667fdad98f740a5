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

// How long 修改 waits for Windows to tell the dynamic range (WMI): a cold WMI, just after boot, takes a few
// seconds; a broken one may never answer.
constexpr uint32_t kDynamicRangeWaitMs = 5000;

// "49152-65535".
std::wstring Span(const DynamicPortRange& range) {
    return DecimalText(range.start) + L"-" + DecimalText(uint32_t{range.start} + range.count - 1);
}

// Whether a block rule keeps every client out on its networks: any remote address and port, any local address, every
// interface, no condition on users.
bool BlocksEveryone(const FirewallRule& rule) {
    return rule.remoteAddresses == L"*" && rule.localAddresses == L"*" && rule.remotePorts == L"*" &&
           rule.interfaces.empty() && rule.interfaceTypes == L"All" && !HasUserConditions(rule);
}

// One change's checks: what they ask, the two ports they are about, and what they find. Every finding may name the
// new port ("{port}") and the port the registry gives Remote Desktop now ("{current}").
struct Checks {
    Platform& platform;
    ScriptShell& shell;
    const uint16_t port;
    const uint16_t configuredPort;
    const std::wstring text = DecimalText(port);
    const std::wstring current = DecimalText(configuredPort);
    const RemoteDesktopListener listener{platform.Version(), platform.SystemDirectory()};
    int currentProfiles = 0;  // the firewall's profiles of the networks the machine is on now; 0: not known
    ReachabilityFindings findings{};

    // The current profiles, all of them where they are not known.
    int Current() const { return currentProfiles != 0 ? currentProfiles : 7; }

    void Add(const FindingWords* kind, std::initializer_list<ValueView> values = {}) {
        ValueView all[8] = {{L"port", text}, {L"current", current}};
        std::size_t count = 2;
        for (const ValueView& value : values) all[count++] = value;
        findings.findings.push_back({kind, Say(kind->text, all, count), Say(kind->brief, all, count)});
    }
    void Unchecked(const wchar_t* sentence, std::initializer_list<ValueView> values) {
        findings.uncheckedLines.push_back(Say(sentence, values));
    }

    // "“规则”", the rule's name as Windows shows it; with its remote addresses where it has any
    // ("“规则”（远程地址：10.0.0.0/8）").
    std::wstring Named(const FirewallRule& rule, bool withAddresses = false) {
        const std::wstring name = platform.DisplayText(rule.name);
        const std::wstring& addresses = rule.remoteAddresses;
        if (!withAddresses || addresses.empty() || addresses == L"*")
            return Say(words::kBlockRuleNamed, {{L"rule", name}});
        return Say(words::kBlockRuleWithAddresses, {{L"rule", name}, {L"addresses", addresses}});
    }
    // Adds the rule's name to `names` unless it is there already.
    void AddName(const FirewallRule& rule, std::vector<std::wstring>& names) {
        std::wstring name = Named(rule);
        if (!Contains(names, name)) names.push_back(std::move(name));
    }

    void CheckEdition() {
        const std::wstring edition = ReadTextValue(shell, kEditionIdPath);
        if (IsHomeEdition(edition)) Add(&found::kHomeEdition, {{L"edition", HomeEditionName(edition)}});
    }

    void CheckRemoteDesktopSwitch() {
        const RemoteDesktopSwitch state = RemoteDesktopSwitchOf(ReadNumberValue(shell, kDenyConnectionsPath),
                                                                ReadNumberValue(shell, kDenyConnectionsPolicyPath));
        if (state == RemoteDesktopSwitch::OffByPolicy) Add(&found::kRemoteDesktopOffByPolicy);
        // Windows 7's 远程 tab words its options otherwise than later Windows.
        if (state == RemoteDesktopSwitch::OffHere) {
            Add(ListensInKernel(listener.version) ? &found::kRemoteDesktopOffHereWindows7
                                                  : &found::kRemoteDesktopOffHere);
        }
    }

    // A port in the range Windows hands out to outgoing connections, and in which Hyper-V, WSL and WinNAT reserve
    // blocks anew at each boot, may be taken by the time Remote Desktop starts after the restart. Where Windows does
    // not tell the range, its default is assumed, and the log says so.
    void CheckDynamicRange() {
        DynamicPortRange range;
        const Status status = platform.TcpDynamicPortRange(kDynamicRangeWaitMs, range);
        if (!status || range.count == 0) {
            range = kDefaultDynamicRange;
            const std::wstring reason = status ? Say(words::kRangeNotGiven) : DescribeFailure(status);
            Unchecked(words::kRangeUnread, {{L"reason", reason}, {L"range", Span(range)}});
        }
        if (InDynamicRange(port, range)) Add(&found::kDynamicRange, {{L"range", Span(range)}});
    }

    // A cloud's security group filters traffic before it reaches the machine, whatever Windows allows.
    void CheckCloud() {
        const std::wstring cloud =
            CloudOf(ReadTextValue(shell, kSystemManufacturerPath), ReadTextValue(shell, kSystemProductPath),
                    platform.ChassisAssetTag(), platform.SystemUuid(), platform.SystemSerialNumber());
        if (!cloud.empty()) Add(&found::kCloud, {{L"cloud", cloud}, {L"place", CloudInboundRulesPlace(cloud)}});
    }

    // The listener's program, and the module Windows names as its owner where that says more (a service in a
    // shared svchost process).
    std::wstring Owner(const TcpListener& listener) {
        if (listener.processId == 0) return Say(words::kOtherProgram);
        std::wstring image = platform.ProcessImageName(listener.processId);
        if (image.empty()) image = listener.owner.empty() ? Say(words::kUnknownProgram) : listener.owner;
        const std::wstring pid = DecimalText(listener.processId);
        if (listener.owner.empty() || listener.owner == image)
            return Say(words::kProgramWithProcess, {{L"image", image}, {L"pid", pid}});
        return Say(words::kProgramWithModuleAndProcess,
                   {{L"image", image}, {L"module", listener.owner}, {L"pid", pid}});
    }

    // The port could not be bound: only a program listening on it keeps it after the restart. Remote Desktop's own
    // listener, as Windows names its owner, is none (the administrator goes back to the port it still listens on
    // until the restart); a listener whose owner Windows does not name is another program's. Without the listener
    // table the port is most likely taken. The kernel's listener cannot be stopped like a program; on Windows 7 and
    // Server 2008 R2 it may be Remote Desktop's own: said as it is, and left to the administrator.
    void CheckPortUser() {
        std::vector<TcpListener> listeners;
        const Status status = platform.ListTcpListeners(listeners);
        if (!status) return Add(&found::kPortMaybeTaken, {{L"reason", DescribeFailure(status)}});
        bool listened = false;
        for (const TcpListener& user : listeners) {
            if (user.port != port) continue;
            listened = true;
            if (IsRemoteDesktopListener(user)) continue;
            if (!IsKernelListener(user)) return Add(&found::kPortTaken, {{L"owner", Owner(user)}});
            return Add(ListensInKernel(listener.version) ? &found::kPortTakenByKernelWindows7
                                                         : &found::kPortTakenByKernel);
        }
        if (!listened) findings.noteLines.push_back(Say(words::kPortOnlyConnected, {{L"port", text}}));
    }

    void CheckPort() {
        PortBind bind = PortBind::Free;
        const Status status = platform.TryExclusiveBind(port, bind);
        if (!status) return Unchecked(words::kPortUncheckable, {{L"port", text}, {L"reason", DescribeFailure(status)}});
        if (bind == PortBind::Reserved) Add(&found::kPortReserved);
        if (bind == PortBind::InUse) CheckPortUser();
    }

    // The firewall's objects answer the same while its service is stopped and while it is disabled: the service's
    // start type tells the two apart. The change may still go on, without rules.
    void ReportServiceDown(uint32_t code) {
        uint32_t startType = 0;
        const bool disabled = code == kFirewallServiceDisabled ||
                              (platform.ServiceStartType(kFirewallService, startType) && startType == kServiceDisabled);
        findings.firewallUnavailable = true;
        findings.noRuleLine =
            Say(disabled ? words::kNoRuleServiceDisabled : words::kNoRuleServiceStopped, {{L"port", text}});
        Add(disabled ? &found::kFirewallServiceDisabled : &found::kFirewallServiceStopped);
    }

    // Windows Firewall turned off for a current profile: the rules made there do nothing until it is turned on
    // again, and another firewall, if any, filters instead. Tells whether it is on, or may be, for any current
    // profile.
    bool CheckFirewallTurnedOn(FirewallPolicy& firewall, const GroupPolicyFirewall& policy) {
        if (currentProfiles == 0) return true;
        int off = 0;
        for (int profile : {1, 2, 4}) {
            // Group Policy's switch, where it sets one, wins over the machine's own.
            if (!(currentProfiles & profile) || (policy.enabledProfiles & profile)) continue;
            bool enabled = !(policy.disabledProfiles & profile);
            const Status status = enabled ? firewall.FirewallEnabled(profile, enabled) : Status();
            if (!status) {
                Unchecked(words::kFirewallOnUncheckable,
                          {{L"networks", ProfileNames(profile, true)}, {L"reason", DescribeFailure(status)}});
            } else if (!enabled) {
                off |= profile;
            }
        }
        if (off == 0) return true;
        Add(&found::kFirewallOff, {{L"networks", ProfileNames(off, true)}});
        return (off & currentProfiles) != currentProfiles;
    }

    // Where Group Policy lets no rule of the machine's own count on a current network (its "应用本地防火墙规则" set
    // to "否", AllowLocalPolicyMerge 0), the rules added here do nothing there, unless a rule of the policy admits
    // the listener on the new port there. Told from the policy's own values, network by network, since the
    // firewall's own answer covers all current networks at once (and says nothing when they differ); where those
    // values say nothing, as the firewall says.
    void CheckLocalRulesCount(const FirewallLocalPolicy& state, const GroupPolicyFirewall& policy) {
        int ignored = policy.localRulesIgnored & Current();
        if (ignored == 0) {
            if (state.modifyState == FirewallLocalPolicy::kGroupPolicyOverride) Add(&found::kFirewallByGroupPolicy);
            return;
        }
        for (const FirewallRule& rule : policy.rules) {
            if (Concerns(rule, kActionAllow, kTcp, port, listener)) ignored &= ~rule.profiles;
        }
        if (ignored != 0) Add(&found::kLocalRulesIgnored, {{L"networks", ProfileNames(ignored, true)}});
    }

    // Block rules win over every allow rule (only an allow rule authenticated by IPsec may override them). What
    // counts is what the move changes: a block rule over the new port alone keeps Remote Desktop's clients out
    // after the restart; one over both ports changes nothing; one over the current port alone is carried over.
    void CheckBlockRules(const std::vector<FirewallRule>& all) {
        for (const FirewallRule& rule : BlockingRules(all, kUdp, port, currentProfiles, listener)) {
            if (rule.protocol != kUdp || PortListCovers(rule.localPorts, configuredPort)) continue;
            findings.noteLines.push_back(
                Say(words::kUdpBlocked, {{L"rule", platform.DisplayText(rule.name)}, {L"port", text}}));
        }
        std::vector<std::wstring> names;
        std::wstring first;
        for (const FirewallRule& rule : BlockingRules(all, kTcp, port, currentProfiles, listener)) {
            if (PortListCovers(rule.localPorts, configuredPort)) continue;
            if (names.empty()) first = Named(rule);
            names.push_back(Named(rule, true));
        }
        if (names.empty()) return;
        Add(names.size() == 1 ? &found::kBlockRule : &found::kBlockRules,
            {{L"rules", Joined(names, words::kListSeparator)},
             {L"first", first},
             {L"count", DecimalText(names.size())}});
    }

    // Whom a block rule keeps from the current port alone stays kept out: the rule is copied onto the new port, made
    // and undone with the other rules. Those that keep everyone out on every current network keep the new port closed
    // after the restart, as the current one is now: asked. Returns those that cannot be copied as they are.
    std::vector<FirewallRule> CarryBlockRules(const std::vector<FirewallRule>& all) {
        CarriedBlocks blocks = CarriedBlockRules(port, configuredPort, all, listener);
        std::vector<std::wstring> everyone;
        int closed = 0;
        for (const CarriedBlock& carried : blocks.carried) {
            findings.rules.push_back(carried.rule);
            findings.noteLines.push_back(Say(words::kBlockCarried, {{L"port", text},
                                                                    {L"name", carried.rule.name},
                                                                    {L"current", current},
                                                                    {L"rule", Named(carried.source, true)}}));
            if (carried.rule.protocol != kTcp || !BlocksEveryone(carried.rule)) continue;
            AddName(carried.source, everyone);
            closed |= carried.rule.profiles;
        }
        if ((closed & Current()) == Current())
            Add(&found::kCarriedBlockKeepsEveryoneOut, {{L"rules", Joined(everyone, words::kListSeparator)}});
        return std::move(blocks.notCarried);
    }

    // An allow rule that overrides block rules (Action=ByPass) admits the clients IPsec authenticates through any
    // block rule; only its stored string tells it, and the new port's rule cannot be made so. Where a block rule will
    // concern the new port, one over both ports or one carried over (already among the rules to make) included,
    // those clients would be kept out after the restart.
    void CheckOverridingRules(const StoredRules& local, const GroupPolicyFirewall& policy,
                              const std::vector<FirewallRule>& all) {
        // The profiles on which a block rule will concern the new port.
        int blocked = 0;
        for (const FirewallRule& rule : BlockingRules(all, kTcp, port, currentProfiles, listener))
            blocked |= rule.profiles;
        for (const FirewallRule& made : findings.rules) {
            if (made.action == kActionBlock && made.protocol == kTcp) blocked |= made.profiles;
        }
        std::vector<std::wstring> lost;
        const auto check = [&](const FirewallRule& rule, int profilesCounted) {
            if ((rule.profiles & profilesCounted & blocked & 7) &&
                Concerns(rule, kActionAllow, kTcp, configuredPort, listener))
                AddName(rule, lost);
        };
        // The machine's own only where the policy lets them count.
        for (const FirewallRule& rule : local.overriding) check(rule, ~policy.localRulesIgnored);
        for (const FirewallRule& rule : policy.overriding) check(rule, ~0);
        if (!lost.empty()) Add(&found::kOverridingRules, {{L"rules", Joined(lost, words::kListSeparator)}});
    }

    // Rules that cannot go over to the new port as they are, named with why.
    void ReportNotCarried(const std::vector<FirewallRule>& rules) {
        std::vector<std::wstring> names;
        for (const FirewallRule& rule : rules) {
            const wchar_t* reason = HasUnnamedInterface(rule) ? words::kUnnamedInterface : words::kUserConditions;
            names.push_back(
                Say(words::kRuleNotCarried, {{L"rule", platform.DisplayText(rule.name)}, {L"reason", reason}}));
        }
        if (!names.empty()) Add(&found::kRulesNotCarried, {{L"rules", Joined(names, words::kListSeparator)}});
    }

    // Windows 7's firewall objects do not tell whether a rule allows only secure connections, nor can they make such
    // a rule: where an admitting rule, as Windows stores it, asks for that, the new rules cannot.
    void CheckSecurityRequirements(const StoredRules& local, const GroupPolicyFirewall& policy) {
        if (!ListensInKernel(listener.version)) return;
        std::vector<std::wstring> secure;
        for (const FirewallRule& rule : AppliedRules(local.rules, policy)) {
            const bool admits = Concerns(rule, kActionAllow, kTcp, configuredPort, listener) ||
                                Concerns(rule, kActionAllow, kUdp, configuredPort, listener);
            if (admits && HasUserConditions(rule)) AddName(rule, secure);
        }
        if (!secure.empty()) Add(&found::kSecurityNotCopied, {{L"rules", Joined(secure, words::kListSeparator)}});
    }

    // A rule whose string cannot be read may be the one that admits or blocks: said before anything is written.
    void ReportUnreadable(const StoredRules& stored, const wchar_t* store) {
        if (stored.unreadable.empty()) return;
        Add(&found::kRuleStringsUnreadable,
            {{L"store", store}, {L"rules", Joined(stored.unreadable, words::kListSeparator)}});
    }

    // The rules that open the new port copy the scope of the rules that admit Remote Desktop now. With none, or none
    // that can be read, they would be open to every network and every address: the administrator decides. The
    // machine's own rules are read one by one: one that cannot be read is named among the checks not made, the rest
    // count.
    void CheckRules(FirewallPolicy& firewall, const GroupPolicyFirewall& policy, bool firewallOn) {
        std::vector<FirewallRule> listed;
        std::vector<UnreadRule> unread;
        const Status status = firewall.AllRules(listed, unread);
        for (const UnreadRule& rule : unread) {
            const std::wstring reason = DescribeFailure(rule.status);
            if (rule.name.empty()) {
                Unchecked(words::kLocalRuleUnreadAt, {{L"position", DecimalText(rule.position)}, {L"reason", reason}});
            } else {
                Unchecked(words::kLocalRuleUnread, {{L"rule", rule.name}, {L"reason", reason}});
            }
        }
        const StoredRules local = StoredLocalRules(platform);
        std::vector<FirewallRule> all =
            AppliedRules(LocalRulesAsStored(std::move(listed), local, listener.version), policy);
        // Block rules are named as Windows shows them: their copies for the new port are named after them.
        for (FirewallRule& rule : all) {
            if (rule.action == kActionBlock) rule.name = platform.DisplayText(rule.name);
        }
        FirewallRulesPlan plan = FirewallRulesFor(port, configuredPort, all, listener);
        findings.rules = std::move(plan.rules);
        CheckBlockRules(all);
        for (FirewallRule& rule : CarryBlockRules(all)) plan.notCopied.push_back(std::move(rule));
        CheckOverridingRules(local, policy, all);
        ReportNotCarried(plan.notCopied);
        CheckSecurityRequirements(local, policy);
        ReportUnreadable(local, words::kLocalStore);
        if (!status) {
            return Add(plan.openToEveryone ? &found::kRulesUnreadable : &found::kLocalRulesUnreadable,
                       {{L"reason", DescribeFailure(status)}});
        }
        if (plan.openToEveryone && firewallOn) Add(&found::kOpenToEveryone);
    }

    void CheckFirewall(FirewallPolicy* firewall, const Status& firewallStatus) {
        if (!firewall) {
            if (IsFirewallServiceDown(firewallStatus.code)) ReportServiceDown(firewallStatus.code);
            return;
        }
        FirewallLocalPolicy state;
        const Status status = firewall->LocalPolicyState(state);
        if (!status) {
            if (IsFirewallServiceDown(status.code)) return ReportServiceDown(status.code);
            Unchecked(words::kLocalPolicyUncheckable, {{L"reason", DescribeFailure(status)}});
            state = FirewallLocalPolicy();
        }
        currentProfiles = state.currentProfiles;
        const GroupPolicyFirewall policy = ReadGroupPolicyFirewall(platform, shell);
        CheckLocalRulesCount(state, policy);
        if (state.modifyState == FirewallLocalPolicy::kInboundBlocked) {
            const std::wstring networks = ProfileNames(currentProfiles, true);
            if (networks.empty()) {
                Add(&found::kFirewallBlocksAllInbound);
            } else {
                Add(&found::kFirewallBlocksAllInboundOnNetworks, {{L"networks", networks}});
            }
        }
        if (!policy.status) Add(&found::kPolicyRulesUnreadable, {{L"reason", DescribeFailure(policy.status)}});
        ReportUnreadable(policy, words::kPolicyStore);
        CheckRules(*firewall, policy, CheckFirewallTurnedOn(*firewall, policy));
    }
};

}  // namespace

bool IsFirewallServiceDown(uint32_t code) {
    return code == kFirewallServiceStopped || code == kFirewallServiceDisabled;
}

ReachabilityFindings CheckReachability(Platform& platform, ScriptShell& shell, FirewallPolicy* firewall,
                                       const Status& firewallStatus, uint16_t port, bool isCurrentPort,
                                       uint16_t configuredPort) {
    Checks checks{platform, shell, port, configuredPort};
    checks.CheckEdition();
    checks.CheckRemoteDesktopSwitch();
    // Remote Desktop itself listens on the port it uses now: writing it again only repairs the rest.
    if (!isCurrentPort) {
        checks.CheckPort();
        checks.CheckDynamicRange();
    }
    checks.CheckFirewall(firewall, firewallStatus);
    checks.CheckCloud();
    return std::move(checks.findings);
}

}  // namespace korvane
