#include "port/reachability.h"

#include "platform/failure_text.h"
#include "port/firewall_rules.h"

namespace korvane {

namespace {

std::wstring Consequence(const std::wstring& port) {
    return L"如果继续，重启后将无法通过新端口 " + port + L" 远程连接这台计算机。";
}

std::wstring Question(const std::wstring& cause, const std::wstring& consequence, const std::wstring& advice) {
    return cause + L"\r\n\r\n" + consequence + L"\r\n\r\n建议：" + advice + L"\r\n\r\n是否仍要修改？";
}

std::wstring Owner(const PortAvailability& use) {
    if (use.ownerProcessId == 0) return L"另一个程序";
    const std::wstring image = use.ownerImage.empty() ? L"未知程序" : use.ownerImage;
    return L"程序 " + image + L"（进程 ID " + std::to_wstring(use.ownerProcessId) + L"）";
}

void CheckPort(Platform& platform, const std::wstring& port, ReachabilityFindings& findings) {
    PortAvailability use;
    const Status status = platform.CheckListenPort(static_cast<uint16_t>(std::stoul(port)), use);
    if (!status) {
        findings.uncheckedLines.push_back(L"未能检查端口 " + port + L" 是否可用：" + DescribeFailure(status));
        return;
    }
    if (use.state == PortAvailability::State::InUse) {
        const std::wstring owner = Owner(use);
        findings.risks.push_back(
            {Question(L"新端口 " + port + L" 已被" + owner + L"占用，重启后远程桌面无法在这个端口上监听。",
                      Consequence(port), L"选择“否”，改用其他端口；或先停止占用这个端口的程序。"),
             L"修改已取消：端口 " + port + L" 已被" + owner + L"占用"});
    } else if (use.state == PortAvailability::State::Reserved) {
        findings.risks.push_back(
            {Question(
                 L"新端口 " + port +
                     L" 已被系统保留（Hyper-V、WSL 或 WinNAT 排除的端口范围），重启后远程桌面无法在这个端口上监听。",
                 Consequence(port),
                 L"选择“否”，改用不在保留范围内的端口（保留范围可用命令 netsh interface ipv4 show "
                 L"excludedportrange protocol=tcp 查看）。"),
             L"修改已取消：端口 " + port + L" 已被系统保留"});
    }
}

bool IsServiceDown(uint32_t code) {
    return code == kFirewallServiceStopped || code == kFirewallServiceDisabled;
}

void ReportServiceDown(uint32_t code, const std::wstring& port, ReachabilityFindings& findings) {
    const std::wstring service = code == kFirewallServiceDisabled ? L"Windows 防火墙服务（MpsSvc）已被禁用"
                                                                  : L"Windows 防火墙服务（MpsSvc）没有运行";
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

void CheckFirewall(FirewallPolicy* firewall, const Status& firewallStatus, const std::wstring& port,
                   ReachabilityFindings& findings) {
    if (!firewall) {
        // Any other reason is reported, and refuses the change, where the rule is added.
        if (IsServiceDown(firewallStatus.code)) ReportServiceDown(firewallStatus.code, port, findings);
        return;
    }
    FirewallLocalPolicy state;
    const Status status = firewall->LocalPolicyState(state);
    if (!status) {
        if (IsServiceDown(status.code)) return ReportServiceDown(status.code, port, findings);
        findings.uncheckedLines.push_back(L"未能检查 Windows 防火墙是否应用本机规则：" + DescribeFailure(status));
        return;
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
}

}  // namespace

ReachabilityFindings CheckReachability(Platform& platform, FirewallPolicy* firewall, const Status& firewallStatus,
                                       const std::wstring& port, bool isCurrentPort) {
    ReachabilityFindings findings;
    // Remote Desktop itself listens on the port it uses now: writing it again only repairs the rest.
    if (!isCurrentPort) CheckPort(platform, port, findings);
    CheckFirewall(firewall, firewallStatus, port, findings);
    return findings;
}

}  // namespace korvane
