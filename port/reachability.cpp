#include "port/reachability.h"

#include "platform/failure_text.h"
#include "port/firewall_rules.h"
#include "port/host_facts.h"
#include "port/remote_desktop_listener.h"

namespace korvane {

namespace {

std::wstring Consequence(const std::wstring& port) {
    return L"如果继续，重启后将无法通过新端口 " + port + L" 远程连接这台计算机。";
}

std::wstring Question(const std::wstring& cause, const std::wstring& consequence, const std::wstring& advice,
                      const std::wstring& ask = L"是否仍要修改？") {
    return cause + L"\r\n\r\n" + consequence + L"\r\n\r\n建议：" + advice + L"\r\n\r\n" + ask;
}

// A registry value that cannot be read is none: it never makes a warning.
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

void CheckEdition(ScriptShell& shell, const std::wstring& port, ReachabilityFindings& findings) {
    const std::wstring edition = ReadText(shell, kEditionIdPath);
    if (!IsHomeEdition(edition)) return;
    findings.risks.push_back(
        {Question(
             L"这台计算机的 Windows 是家庭版（" + edition + L"）：家庭版只能连接其他计算机，不能接受远程桌面连接。",
             L"如果继续，端口会被修改，但重启后仍无法通过新端口 " + port + L" 或任何端口远程连接这台计算机。",
             L"选择“否”。要远程连接这台计算机，须先升级到专业版、企业版或教育版。"),
         L"修改已取消：这台计算机的 Windows 是家庭版，不能接受远程桌面连接"});
}

void CheckRemoteDesktopSwitch(ScriptShell& shell, const std::wstring& port, ReachabilityFindings& findings) {
    const RemoteDesktopSwitch state =
        RemoteDesktopSwitchOf(ReadNumber(shell, kDenyConnectionsPath), ReadNumber(shell, kDenyConnectionsPolicyPath));
    if (state == RemoteDesktopSwitch::On) return;
    const bool policy = state == RemoteDesktopSwitch::OffByPolicy;
    findings.risks.push_back(
        {Question(policy
                      ? L"这台计算机的远程桌面未启用：组策略“允许用户通过使用远程桌面服务进行远程连接”禁止远程连接。"
                      : L"这台计算机的远程桌面未启用（“系统属性”中不允许远程连接到此计算机），不接受任何远程桌面连接。",
                  L"如果继续，端口会被修改，但重启后仍无法通过新端口 " + port + L" 远程连接这台计算机。",
                  policy ? L"选择“否”，请管理员先在组策略中允许远程桌面连接，再修改端口。"
                         : L"选择“否”，先在“系统属性”的“远程”选项卡中允许远程连接到此计算机，再修改端口。"),
         policy ? L"修改已取消：组策略未启用远程桌面" : L"修改已取消：远程桌面未启用"});
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
    const std::wstring span = Span(range);
    findings.risks.push_back({Question(L"新端口 " + port + L" 在 Windows 的动态端口范围（" + span +
                                           L"）内：Windows 把这个范围内的端口分配给对外的连接，Hyper-V、WSL 和 WinNAT "
                                           L"还会在每次启动时在其中保留端口，"
                                           L"现在空闲的端口，重启后可能已被占用。",
                                       L"如果继续，重启后远程桌面可能无法在端口 " + port +
                                           L" 上监听，届时将无法通过新端口远程连接这台计算机。",
                                       L"选择“否”，改用 " + std::to_wstring(range.start) + L" 以下的端口。"),
                              L"修改已取消：端口 " + port + L" 在动态端口范围（" + span + L"）内"});
}

// A cloud's security group filters traffic before it reaches the machine, whatever Windows allows.
void CheckCloud(Platform& platform, ScriptShell& shell, const std::wstring& port, ReachabilityFindings& findings) {
    const std::wstring cloud = CloudOf(ReadText(shell, kSystemManufacturerPath), ReadText(shell, kSystemProductPath),
                                       platform.ChassisAssetTag(), platform.SystemUuid());
    if (cloud.empty()) return;
    findings.risks.push_back(
        {Question(L"这台计算机是" + cloud + L"的云服务器：" + cloud +
                      L"的安全组在流量到达这台计算机之前就会过滤，安全组没有放行的端口，Windows 放行了也无法访问。",
                  L"如果安全组没有放行 TCP 和 UDP 端口 " + port + L"，重启后将无法通过新端口 " + port +
                      L" 远程连接这台计算机。",
                  L"重启之前，先在" + cloud + L"控制台的安全组入方向规则中放行 TCP 和 UDP 端口 " + port + L"。",
                  L"安全组是否已经放行 TCP 和 UDP 端口 " + port + L"？选择“是”继续修改，选择“否”取消。"),
         L"修改已取消：" + cloud + L"安全组须先放行 TCP 和 UDP 端口 " + port});
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

// On Windows 7 and Server 2008 R2 the kernel's listener may be Remote Desktop's own or another's: said as it
// is, and left to the administrator.
void ReportKernelListener(const std::wstring& port, ReachabilityFindings& findings) {
    findings.risks.push_back(
        {Question(L"新端口 " + port +
                      L" 正被系统内核（System）监听。在这个版本的 Windows 上，远程桌面也在系统内核中监听：这可能就是"
                      L"远程桌面自己，也可能是 IIS、WinRM 等其他服务，无法分辨。",
                  L"如果这不是远程桌面自己，重启后远程桌面无法在这个端口上监听，将无法通过新端口 " + port +
                      L" 远程连接这台计算机。",
                  L"如果修改端口后尚未重启、远程桌面现在仍在端口 " + port +
                      L" 上监听，可以选择“是”；否则选择“否”，改用其他端口。"),
         L"修改已取消：端口 " + port + L" 正被系统内核（System）监听"});
}

void ReportInUse(Platform& platform, const std::wstring& port, const TcpListener& listener,
                 ReachabilityFindings& findings) {
    if (IsKernelListener(listener) && RemoteDesktopListensInKernel(platform.Version()))
        return ReportKernelListener(port, findings);
    const std::wstring owner = Owner(platform, listener);
    findings.risks.push_back(
        {Question(L"新端口 " + port + L" 已被" + owner + L"占用，重启后远程桌面无法在这个端口上监听。",
                  Consequence(port), L"选择“否”，改用其他端口；或先停止占用这个端口的程序。"),
         L"修改已取消：端口 " + port + L" 已被" + owner + L"占用"});
}

void ReportReserved(const std::wstring& port, ReachabilityFindings& findings) {
    findings.risks.push_back(
        {Question(L"新端口 " + port +
                      L" 已被系统保留（Hyper-V、WSL 或 WinNAT 排除的端口范围），重启后远程桌面无法在这个端口上监听。",
                  Consequence(port),
                  L"选择“否”，改用不在保留范围内的端口（保留范围可用命令 netsh interface ipv4 show "
                  L"excludedportrange protocol=tcp 查看）。"),
         L"修改已取消：端口 " + port + L" 已被系统保留"});
}

// The port could not be bound: only a program listening on it keeps it after the restart. Remote Desktop's
// own listener, as Windows names its owner, is none (the administrator goes back to the port it still listens
// on until the restart); a listener whose owner Windows does not name is another program's.
void CheckPortUser(Platform& platform, const std::wstring& port, ReachabilityFindings& findings) {
    const std::wstring unchecked = L"未能检查端口 " + port + L" 是否可用：";
    std::vector<TcpListener> listeners;
    const Status status = platform.ListTcpListeners(listeners);
    if (!status) {
        findings.uncheckedLines.push_back(unchecked + L"端口正被使用，但无法读取 TCP 监听表，" +
                                          DescribeFailure(status));
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
        findings.uncheckedLines.push_back(unchecked +
                                          L"端口正被网络连接使用，但没有程序在其上监听，这些连接在重启后不再占用它");
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

bool IsServiceDown(uint32_t code) {
    return code == kFirewallServiceStopped || code == kFirewallServiceDisabled;
}

// The firewall's objects answer the same while its service is stopped and while it is disabled: the
// service's start type tells the two apart.
void ReportServiceDown(Platform& platform, uint32_t code, const std::wstring& port, ReachabilityFindings& findings) {
    uint32_t startType = 0;
    const bool disabled = code == kFirewallServiceDisabled ||
                          (platform.ServiceStartType(kFirewallService, startType) && startType == kServiceDisabled);
    const std::wstring service =
        disabled ? L"Windows 防火墙服务（MpsSvc）已被禁用" : L"Windows 防火墙服务（MpsSvc）没有运行";
    findings.firewallUnavailable = true;
    findings.noRuleLine = L"未添加防火墙规则：" + service + L"，请在本机使用的防火墙中放行端口 " + port;
    findings.risks.push_back(
        {Question(service + L"，无法添加任何防火墙规则。",
                  L"如果继续，只修改远程桌面端口，不添加防火墙规则；若本机使用的防火墙没有放行端口 " + port +
                      L"，重启后将无法通过新端口 " + port + L" 远程连接这台计算机。",
                  L"端口必须在本机使用的防火墙中放行：若使用其他防火墙，请先在其中放行 TCP 和 UDP 端口 " + port +
                      L"；若使用 Windows 防火墙，请选择“否”，启动该服务后再修改。"),
         L"修改已取消：" + service + L"，无法添加防火墙规则"});
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
            findings.uncheckedLines.push_back(L"未能检查 Windows 防火墙在当前网络（" + ProfileNames(profile) +
                                              L"）上是否已打开：" + DescribeFailure(status));
        } else if (!enabled) {
            off |= profile;
        }
    }
    if (off == 0) return true;
    const std::wstring where = L"当前网络（" + ProfileNames(off) + L"）";
    findings.risks.push_back({Question(L"Windows 防火墙在" + where + L"上已关闭：新端口 " + port +
                                           L" 的防火墙规则在那里不起作用，要等 Windows 防火墙重新打开后才生效。",
                                       L"如果这台计算机用其他防火墙过滤入站连接，而其中没有放行 TCP 端口 " + port +
                                           L"，重启后可能无法通过新端口 " + port + L" 远程连接这台计算机。",
                                       L"若使用其他防火墙，请在重启之前在其中放行 TCP 端口 " + port + L"。"),
                              L"修改已取消：Windows 防火墙在" + where + L"上已关闭"});
    return (off & currentProfiles) != currentProfiles;
}

std::wstring RuleList(Platform& platform, const std::vector<FirewallRule>& rules, bool& limited) {
    std::wstring list;
    limited = true;
    for (const FirewallRule& rule : rules) {
        list += L"\r\n“" + platform.DisplayText(rule.name) + L"”";
        const std::wstring addresses = rule.remoteAddresses.empty() ? L"*" : rule.remoteAddresses;
        if (addresses == L"*") {
            limited = false;
        } else {
            list += L"（远程地址：" + addresses + L"）";
        }
    }
    return list;
}

// Block rules win over every allow rule (only an allow rule authenticated by IPsec may override them).
void CheckBlockRules(Platform& platform, const std::vector<FirewallRule>& all, const std::wstring& port,
                     int currentProfiles, const RemoteDesktopListener& listener, ReachabilityFindings& findings) {
    const uint16_t number = static_cast<uint16_t>(std::stoul(port));
    const std::vector<FirewallRule> tcp = BlockingRules(all, kTcp, number, currentProfiles, listener);
    for (const FirewallRule& rule : BlockingRules(all, kUdp, number, currentProfiles, listener)) {
        if (rule.protocol != kUdp) continue;
        findings.noteLines.push_back(L"Windows 防火墙的阻止规则“" + platform.DisplayText(rule.name) +
                                     L"”阻止 UDP 端口 " + port + L" 的入站连接；远程桌面仍可通过 TCP 连接");
    }
    if (tcp.empty()) return;
    bool limited = true;
    const std::wstring list = RuleList(platform, tcp, limited);
    const std::wstring first = platform.DisplayText(tcp.front().name);
    findings.risks.push_back(
        {Question(L"Windows 防火墙中已启用的阻止规则会阻止新端口 " + port +
                      L" 的入站连接，阻止规则优先于所有允许规则：" + list,
                  limited ? L"如果继续，重启后从上述远程地址将无法通过新端口 " + port + L" 远程连接这台计算机。"
                          : Consequence(port),
                  L"选择“否”，先修改或禁用上述阻止规则，或改用其他端口。"),
         L"修改已取消：阻止规则“" + first + L"”" +
             (tcp.size() > 1 ? L"等 " + std::to_wstring(tcp.size()) + L" 条规则" : L"") + L"阻止端口 " + port});
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
    const std::wstring cause = status ? L"Windows 防火墙中没有已启用的规则允许远程桌面现在的端口 " + current +
                                            L"：Windows 自带的远程桌面规则可能已被禁用，远程桌面可能只能在本机上使用，"
                                            L"也可能是通过本程序无法读取的设置放行的。"
                                      : L"无法读取 Windows 防火墙的规则（" + DescribeFailure(status) +
                                            L"），不知道现在允许哪些网络和地址连接远程桌面。";
    findings.risks.push_back(
        {Question(cause,
                  L"如果继续，新端口 " + port + L" 的防火墙规则将对所有网络（域、专用、公用）和所有远程地址开放。",
                  L"若只应允许部分网络或地址连接，请选择“否”，先在 Windows 防火墙中为端口 " + current +
                      L" 启用或添加相应的允许规则，本程序会照搬它的范围。"),
         status ? L"修改已取消：没有允许端口 " + current + L" 的防火墙规则，新端口将对所有网络和地址开放"
                : L"修改已取消：无法读取防火墙规则，新端口将对所有网络和地址开放"});
}

void CheckFirewall(Platform& platform, FirewallPolicy* firewall, const Status& firewallStatus, const std::wstring& port,
                   uint16_t configuredPort, ReachabilityFindings& findings) {
    if (!firewall) {
        // Any other reason is reported, and refuses the change, where the rule is added.
        if (IsServiceDown(firewallStatus.code)) ReportServiceDown(platform, firewallStatus.code, port, findings);
        return;
    }
    FirewallLocalPolicy state;
    const Status status = firewall->LocalPolicyState(state);
    if (!status) {
        if (IsServiceDown(status.code)) return ReportServiceDown(platform, status.code, port, findings);
        findings.uncheckedLines.push_back(L"未能检查 Windows 防火墙是否应用本机规则：" + DescribeFailure(status));
        state = FirewallLocalPolicy();
    }
    if (state.modifyState == FirewallLocalPolicy::kGroupPolicyOverride) {
        findings.risks.push_back(
            {Question(
                 L"Windows 防火墙由组策略管理，不应用本机添加的规则：为端口 " + port + L" 添加的入站规则不会生效。",
                 Consequence(port), L"选择“否”，请域管理员先在组策略中为端口 " + port + L" 添加入站允许规则。"),
             L"修改已取消：组策略不应用本机防火墙规则，端口 " + port + L" 的入站规则不会生效"});
    } else if (state.modifyState == FirewallLocalPolicy::kInboundBlocked) {
        const std::wstring profiles = ProfileNames(state.currentProfiles);
        const std::wstring where = profiles.empty() ? L"当前网络" : L"当前网络（" + profiles + L"）";
        findings.risks.push_back(
            {Question(L"Windows 防火墙在" + where + L"上阻止所有入站连接，规则允许的也不例外：端口 " + port +
                          L" 的入站规则不会生效。",
                      Consequence(port), L"选择“否”，先在 Windows 防火墙中取消“阻止所有传入连接”。"),
             L"修改已取消：Windows 防火墙阻止所有入站连接，端口 " + port + L" 的入站规则不会生效"});
    }
    const bool on = CheckFirewallTurnedOn(*firewall, state.currentProfiles, port, findings);
    CheckRules(platform, *firewall, port, configuredPort, state.currentProfiles, on, findings);
}

}  // namespace

ReachabilityFindings CheckReachability(Platform& platform, ScriptShell& shell, FirewallPolicy* firewall,
                                       const Status& firewallStatus, const std::wstring& port, bool isCurrentPort,
                                       uint16_t configuredPort) {
    ReachabilityFindings findings;
    CheckEdition(shell, port, findings);
    CheckRemoteDesktopSwitch(shell, port, findings);
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
