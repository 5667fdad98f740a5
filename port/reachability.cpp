#include "port/reachability.h"

#include "platform/failure_text.h"
#include "port/firewall_rules.h"
#include "port/host_facts.h"
#include "port/remote_desktop_listener.h"

namespace korvane {

namespace {

void Add(ReachabilityFindings& findings, Finding::Kind kind, const std::wstring& text, const std::wstring& brief) {
    findings.findings.push_back({kind, text, brief});
}

// A registry value that cannot be read is none: it never makes a finding.
std::optional<uint32_t> ReadNumber(ScriptShell& shell, const std::wstring& path) {
    RegValue value;
    if (!shell.RegRead(path, value) || value.kind != RegValue::Kind::Number) return std::nullopt;
    return value.number;
}

std::wstring ReadText(ScriptShell& shell, const std::wstring& path) {
    RegValue value;
    if (!shell.RegRead(path, value) || value.kind != RegValue::Kind::Text) return {};
    return value.text;
}

// "专用网络、公用网络", as Windows Firewall names its networks.
std::wstring NetworkNames(int profiles) {
    return ProfileNames(profiles, L"网络");
}

void CheckEdition(ScriptShell& shell, ReachabilityFindings& findings) {
    const std::wstring edition = ReadText(shell, kEditionIdPath);
    if (!IsHomeEdition(edition)) return;
    Add(findings, Finding::Kind::Edition,
        L"这台计算机是 Windows 家庭版（" + edition +
            L"），不能接受远程桌面连接。要远程连接它，须先升级到专业版或更高版本。",
        L"Windows 家庭版不能接受远程桌面连接");
}

void CheckRemoteDesktopSwitch(ScriptShell& shell, ReachabilityFindings& findings) {
    const RemoteDesktopSwitch state =
        RemoteDesktopSwitchOf(ReadNumber(shell, kDenyConnectionsPath), ReadNumber(shell, kDenyConnectionsPolicyPath));
    if (state == RemoteDesktopSwitch::On) return;
    if (state == RemoteDesktopSwitch::OffByPolicy) {
        Add(findings, Finding::Kind::RemoteDesktopOff,
            L"组策略禁止了远程桌面连接（“允许用户通过使用远程桌面服务进行远程连接”）。请管理员先在组策略中启用这一"
            L"设置。",
            L"组策略禁止了远程桌面连接");
        return;
    }
    Add(findings, Finding::Kind::RemoteDesktopOff,
        L"这台计算机没有允许远程连接。请先在“系统属性”的“远程”选项卡中选择“允许远程连接到此计算机”。",
        L"这台计算机没有允许远程连接");
}

// How long 修改 waits for Windows to tell the dynamic range (WMI): a cold WMI, just after boot, takes a few
// seconds; a broken one may never answer.
constexpr uint32_t kDynamicRangeWaitMs = 5000;

// "49152-65535".
std::wstring Span(const DynamicPortRange& range) {
    return std::to_wstring(range.start) + L"-" + std::to_wstring(uint32_t{range.start} + range.count - 1);
}

// A port in the range Windows hands out to outgoing connections, and in which Hyper-V, WSL and WinNAT
// reserve blocks anew at each boot, may be taken by the time Remote Desktop starts after the restart. Where
// Windows does not tell the range, its default is assumed, and the log says so.
void CheckDynamicRange(Platform& platform, const std::wstring& port, ReachabilityFindings& findings) {
    DynamicPortRange range;
    const Status status = platform.TcpDynamicPortRange(kDynamicRangeWaitMs, range);
    if (!status || range.count == 0) {
        range = kDefaultDynamicRange;
        findings.uncheckedLines.push_back(L"未能读取 Windows 的动态端口范围：" +
                                          (status ? L"Windows 没有给出范围" : DescribeFailure(status)) +
                                          L"，按默认范围 " + Span(range) + L" 检查");
    }
    if (!InDynamicRange(static_cast<uint16_t>(std::stoul(port)), range)) return;
    Add(findings, Finding::Kind::DynamicRange,
        L"端口 " + port + L" 在动态端口范围（" + Span(range) +
            L"）内，Windows 会把其中的端口分给其他连接，重启后它可能已被占用。请改用 " + std::to_wstring(range.start) +
            L" 以下的端口。",
        L"端口 " + port + L" 在动态端口范围（" + Span(range) + L"）内");
}

// A cloud's security group filters traffic before it reaches the machine, whatever Windows allows.
void CheckCloud(Platform& platform, ScriptShell& shell, const std::wstring& port, ReachabilityFindings& findings) {
    const std::wstring cloud = CloudOf(ReadText(shell, kSystemManufacturerPath), ReadText(shell, kSystemProductPath),
                                       platform.ChassisAssetTag(), platform.SystemUuid());
    if (cloud.empty()) return;
    Add(findings, Finding::Kind::Cloud,
        L"这台计算机是" + cloud + L"的云服务器，入站流量先经过云平台的过滤。请确认已在" +
            CloudInboundRulesPlace(cloud) + L"中放行 TCP 端口 " + port + L"（UDP 可选），或会在重启前放行。",
        cloud + L"须先放行 TCP 端口 " + port);
}

const std::wstring kFirewallService = L"MpsSvc";

// The listener's program, and the module Windows names as its owner where that says more (a service in a
// shared svchost process).
std::wstring Owner(Platform& platform, const TcpListener& listener) {
    if (listener.processId == 0) return L"另一个程序";
    std::wstring image = platform.ProcessImageName(listener.processId);
    if (image.empty()) image = listener.owner.empty() ? L"未知程序" : listener.owner;
    const bool ownerSaysMore = !listener.owner.empty() && listener.owner != image;
    return L"程序 " + image + L"（" + (ownerSaysMore ? listener.owner + L"，" : L"") + L"进程 ID " +
           std::to_wstring(listener.processId) + L"）";
}

void ReportInUse(Platform& platform, const std::wstring& port, const TcpListener& listener,
                 ReachabilityFindings& findings) {
    // On Windows 7 and Server 2008 R2 the kernel's listener may be Remote Desktop's own or another's: said as
    // it is, and left to the administrator.
    if (IsKernelListener(listener) && RemoteDesktopListensInKernel(platform.Version())) {
        Add(findings, Finding::Kind::PortTaken,
            L"端口 " + port +
                L" 正被系统内核（System）监听。这个版本的 Windows 也在内核中运行远程桌面，无法分辨这是不是远程桌面"
                L"自己。若之前改过端口且尚未重启、远程桌面仍在这个端口上，可以继续；否则请改用其他端口。",
            L"端口 " + port + L" 正被系统内核监听");
        return;
    }
    const std::wstring owner = Owner(platform, listener);
    Add(findings, Finding::Kind::PortTaken,
        L"端口 " + port + L" 已被" + owner +
            L"占用，重启后远程桌面可能无法在这个端口上监听。请改用其他端口，或先停止这个程序。",
        L"端口 " + port + L" 已被" + owner + L"占用");
}

void ReportReserved(const std::wstring& port, ReachabilityFindings& findings) {
    Add(findings, Finding::Kind::PortReserved,
        L"端口 " + port +
            L" 已被系统保留（Hyper-V、WSL 或 WinNAT 排除的端口范围），重启后远程桌面可能无法在这个端口上监听。请改用"
            L"其他端口（命令 netsh interface ipv4 show excludedportrange protocol=tcp 可列出保留的范围）。",
        L"端口 " + port + L" 已被系统保留");
}

// The port could not be bound: only a program listening on it keeps it after the restart. Remote Desktop's
// own listener, as Windows names its owner, is none (the administrator goes back to the port it still listens
// on until the restart); a listener whose owner Windows does not name is another program's. Without the
// listener table the port is most likely taken.
void CheckPortUser(Platform& platform, const std::wstring& port, ReachabilityFindings& findings) {
    std::vector<TcpListener> listeners;
    const Status status = platform.ListTcpListeners(listeners);
    if (!status) {
        Add(findings, Finding::Kind::PortTaken,
            L"端口 " + port + L" 现在无法使用，可能已被其他程序占用（无法读取 TCP 监听表：" + DescribeFailure(status) +
                L"）。请改用其他端口。",
            L"端口 " + port + L" 可能已被占用");
        return;
    }
    const uint16_t number = static_cast<uint16_t>(std::stoul(port));
    bool listened = false;
    for (const TcpListener& listener : listeners) {
        if (listener.port != number) continue;
        listened = true;
        if (IsRemoteDesktopListener(listener)) continue;
        return ReportInUse(platform, port, listener, findings);
    }
    if (!listened) {
        findings.noteLines.push_back(L"端口 " + port +
                                     L" 现在只被网络连接使用，没有程序在其上监听，重启后这些连接不再占用它");
    }
}

void CheckPort(Platform& platform, const std::wstring& port, ReachabilityFindings& findings) {
    PortBind bind = PortBind::Free;
    const Status status = platform.TryExclusiveBind(static_cast<uint16_t>(std::stoul(port)), bind);
    if (!status) {
        findings.uncheckedLines.push_back(L"未能检查端口 " + port + L" 是否可用：" + DescribeFailure(status));
        return;
    }
    if (bind == PortBind::Reserved) ReportReserved(port, findings);
    if (bind == PortBind::InUse) CheckPortUser(platform, port, findings);
}

// The firewall's objects answer the same while its service is stopped and while it is disabled: the
// service's start type tells the two apart. The change may still go on, without rules.
void ReportServiceDown(Platform& platform, uint32_t code, const std::wstring& port, ReachabilityFindings& findings) {
    uint32_t startType = 0;
    const bool disabled = code == kFirewallServiceDisabled ||
                          (platform.ServiceStartType(kFirewallService, startType) && startType == kServiceDisabled);
    const std::wstring service =
        disabled ? L"Windows 防火墙服务（MpsSvc）已禁用" : L"Windows 防火墙服务（MpsSvc）已停止";
    findings.firewallUnavailable = true;
    findings.noRuleLine = L"未添加防火墙规则：" + service + L"，请在这台计算机使用的防火墙中放行 TCP 端口 " + port;
    Add(findings, Finding::Kind::Firewall,
        service + L"，无法添加防火墙规则。若使用 Windows 防火墙，请先" +
            (disabled ? L"把这项服务的启动类型改为“自动”并启动它" : L"启动这项服务") +
            L"；若使用其他防火墙，请在重启前在其中放行 TCP 端口 " + port + L"。",
        disabled ? L"Windows 防火墙服务已禁用" : L"Windows 防火墙服务已停止");
}

// Windows Firewall turned off for a current profile: the rules made there do nothing until it is turned on
// again, and another firewall, if any, filters instead. Tells whether it is on, or may be, for any current
// profile.
bool CheckFirewallTurnedOn(FirewallPolicy& firewall, int currentProfiles, const std::wstring& port,
                           ReachabilityFindings& findings) {
    if (currentProfiles == 0) return true;
    int off = 0;
    for (int profile : {1, 2, 4}) {
        if (!(currentProfiles & profile)) continue;
        bool enabled = true;
        const Status status = firewall.FirewallEnabled(profile, enabled);
        if (!status) {
            findings.uncheckedLines.push_back(L"未能检查 Windows 防火墙在" + NetworkNames(profile) + L"上是否已打开：" +
                                              DescribeFailure(status));
        } else if (!enabled) {
            off |= profile;
        }
    }
    if (off == 0) return true;
    Add(findings, Finding::Kind::Firewall,
        L"Windows 防火墙在当前网络（" + NetworkNames(off) +
            L"）上已关闭，新端口的规则要等它重新打开后才生效。若使用其他防火墙，请在重启前在其中放行 TCP 端口 " + port +
            L"。",
        L"Windows 防火墙在" + NetworkNames(off) + L"上已关闭");
    return (off & currentProfiles) != currentProfiles;
}

// Block rules win over every allow rule (only an allow rule authenticated by IPsec may override them).
void CheckBlockRules(Platform& platform, const std::vector<FirewallRule>& all, const std::wstring& port,
                     int currentProfiles, const RemoteDesktopListener& listener, ReachabilityFindings& findings) {
    const uint16_t number = static_cast<uint16_t>(std::stoul(port));
    for (const FirewallRule& rule : BlockingRules(all, kUdp, number, currentProfiles, listener)) {
        if (rule.protocol != kUdp) continue;
        findings.noteLines.push_back(L"Windows 防火墙的阻止规则“" + platform.DisplayText(rule.name) +
                                     L"”阻止 UDP 端口 " + port + L" 的入站连接；远程桌面仍可通过 TCP 连接");
    }
    const std::vector<FirewallRule> tcp = BlockingRules(all, kTcp, number, currentProfiles, listener);
    if (tcp.empty()) return;
    std::wstring names;
    for (const FirewallRule& rule : tcp) {
        if (!names.empty()) names += L"、";
        names += L"“" + platform.DisplayText(rule.name) + L"”";
        const std::wstring addresses = rule.remoteAddresses.empty() ? L"*" : rule.remoteAddresses;
        if (addresses != L"*") names += L"（远程地址：" + addresses + L"）";
    }
    const bool one = tcp.size() == 1;
    const std::wstring first = L"“" + platform.DisplayText(tcp.front().name) + L"”";
    Add(findings, Finding::Kind::Firewall,
        L"Windows 防火墙中已启用的阻止规则" + names + L"会阻止端口 " + port +
            L" 的入站连接，阻止规则优先于允许规则。请修改或禁用" + (one ? L"这条规则" : L"这些规则") +
            L"，或改用其他端口。",
        L"阻止规则" + first + (one ? L"" : L"等 " + std::to_wstring(tcp.size()) + L" 条") + L"会阻止端口 " + port);
}

// The rules that open the new port copy the scope of the rules that admit Remote Desktop now. With none, or
// none that can be read, they would be open to every network and every address: the administrator decides.
void CheckRules(Platform& platform, FirewallPolicy& firewall, const std::wstring& port, uint16_t configuredPort,
                int currentProfiles, bool firewallOn, ReachabilityFindings& findings) {
    const RemoteDesktopListener listener{platform.Version(), platform.SystemDirectory()};
    std::vector<FirewallRule> all;
    const Status status = firewall.AllRules(all);
    const FirewallRulesPlan plan =
        FirewallRulesFor(port, configuredPort, status ? all : std::vector<FirewallRule>(), listener);
    findings.rules = plan.rules;
    if (status) CheckBlockRules(platform, all, port, currentProfiles, listener, findings);
    if (!plan.openToEveryone || !firewallOn) return;
    const std::wstring current = std::to_wstring(configuredPort);
    const std::wstring widened = L"新端口 " + port + L" 的规则将对所有网络和所有远程地址开放。";
    Add(findings, Finding::Kind::Firewall,
        status ? L"没有找到允许远程桌面端口 " + current + L" 的已启用防火墙规则，" + widened +
                     L"若只应允许部分地址，请先在 Windows 防火墙中为端口 " + current +
                     L" 启用或添加入站规则，本程序会照搬它的范围。"
               : L"无法读取 Windows 防火墙的规则（" + DescribeFailure(status) + L"），" + widened,
        L"新端口将对所有网络和地址开放");
}

void CheckFirewall(Platform& platform, FirewallPolicy* firewall, const Status& firewallStatus, const std::wstring& port,
                   uint16_t configuredPort, ReachabilityFindings& findings) {
    if (!firewall) {
        if (IsFirewallServiceDown(firewallStatus.code))
            ReportServiceDown(platform, firewallStatus.code, port, findings);
        return;
    }
    FirewallLocalPolicy state;
    const Status status = firewall->LocalPolicyState(state);
    if (!status) {
        if (IsFirewallServiceDown(status.code)) return ReportServiceDown(platform, status.code, port, findings);
        findings.uncheckedLines.push_back(L"未能检查 Windows 防火墙是否应用本地规则：" + DescribeFailure(status));
        state = FirewallLocalPolicy();
    }
    if (state.modifyState == FirewallLocalPolicy::kGroupPolicyOverride) {
        Add(findings, Finding::Kind::Firewall,
            L"Windows 防火墙由组策略管理，不应用本地规则，为端口 " + port +
                L" 添加的规则不会生效。请域管理员在组策略中为 TCP 端口 " + port + L" 添加入站规则。",
            L"组策略不应用本地防火墙规则");
    } else if (state.modifyState == FirewallLocalPolicy::kInboundBlocked) {
        const std::wstring networks = NetworkNames(state.currentProfiles);
        Add(findings, Finding::Kind::Firewall,
            L"Windows 防火墙在当前网络" + (networks.empty() ? L"" : L"（" + networks + L"）") +
                L"上选中了“阻止所有传入连接”，任何规则都不会放行。请先取消这个选项。",
            L"Windows 防火墙阻止所有传入连接");
    }
    const bool on = CheckFirewallTurnedOn(*firewall, state.currentProfiles, port, findings);
    CheckRules(platform, *firewall, port, configuredPort, state.currentProfiles, on, findings);
}

}  // namespace

bool IsFirewallServiceDown(uint32_t code) {
    return code == kFirewallServiceStopped || code == kFirewallServiceDisabled;
}

ReachabilityFindings CheckReachability(Platform& platform, ScriptShell& shell, FirewallPolicy* firewall,
                                       const Status& firewallStatus, const std::wstring& port, bool isCurrentPort,
                                       uint16_t configuredPort) {
    ReachabilityFindings findings;
    CheckEdition(shell, findings);
    CheckRemoteDesktopSwitch(shell, findings);
    // Remote Desktop itself listens on the port it uses now: writing it again only repairs the rest.
    if (!isCurrentPort) {
        CheckPort(platform, port, findings);
        CheckDynamicRange(platform, port, findings);
    }
    CheckFirewall(platform, firewall, firewallStatus, port, configuredPort, findings);
    CheckCloud(platform, shell, port, findings);
    return findings;
}

}  // namespace korvane
