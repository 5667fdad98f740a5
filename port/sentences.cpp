#include "port/sentences.h"

#include <iterator>

namespace korvane {

namespace {

// clang-format off
struct FindingText {
    FindingKind kind;
    const wchar_t* text;
    const wchar_t* brief;
};

constexpr FindingText kFindings[] = {
    {FindingKind::HomeEdition,
     L"这台计算机是 Windows 家庭版（{edition}），不能接受远程桌面连接。要远程连接它，须先升级到专业版或更高版本。",
     L"Windows 家庭版不能接受远程桌面连接"},
    {FindingKind::RemoteDesktopOffHere,
     L"这台计算机没有允许远程连接。请先在“系统属性”的“远程”选项卡中选择“允许远程连接到此计算机”。",
     L"这台计算机没有允许远程连接"},
    {FindingKind::RemoteDesktopOffHereWindows7,
     L"这台计算机没有允许远程连接。请先在“系统属性”的“远程”选项卡中选择“不允许连接到这台计算机”以外的一项，例如“允许运行"
     L"任意版本远程桌面的计算机连接(较不安全)”。",
     L"这台计算机没有允许远程连接"},
    {FindingKind::RemoteDesktopOffByPolicy,
     L"组策略禁止了远程桌面连接（“允许用户通过使用远程桌面服务进行远程连接”）。请管理员先在组策略中启用这一设置。",
     L"组策略禁止了远程桌面连接"},
    {FindingKind::PortTaken,
     L"端口 {port} 已被{owner}占用，重启后远程桌面可能无法在这个端口上监听。请改用其他端口，或先停止这个程序。",
     L"端口 {port} 已被{owner}占用"},
    {FindingKind::PortTakenByKernel,
     L"端口 {port} 正被系统内核（System）监听。这个版本的 Windows 也在内核中运行远程桌面，无法分辨这是不是远程桌面自己。"
     L"若之前改过端口且尚未重启、远程桌面仍在这个端口上，可以继续；否则请改用其他端口。",
     L"端口 {port} 正被系统内核监听"},
    {FindingKind::PortMaybeTaken,
     L"端口 {port} 现在无法使用，可能已被其他程序占用（无法读取 TCP 监听表：{reason}）。请改用其他端口。",
     L"端口 {port} 可能已被占用"},
    {FindingKind::PortReserved,
     L"端口 {port} 已被系统保留（Hyper-V、WSL 或 WinNAT 排除的端口范围），重启后远程桌面可能无法在这个端口上监听。请改用"
     L"其他端口（命令 netsh interface ipv4 show excludedportrange protocol=tcp 可列出保留的范围）。",
     L"端口 {port} 已被系统保留"},
    {FindingKind::DynamicRange,
     L"端口 {port} 在动态端口范围（{range}）内，Windows 会把其中的端口分给其他连接，重启后它可能已被占用。请改用 {start} "
     L"以下的端口。",
     L"端口 {port} 在动态端口范围（{range}）内"},
    {FindingKind::FirewallServiceStopped,
     L"Windows 防火墙服务（MpsSvc）已停止，无法添加防火墙规则。若使用 Windows 防火墙，请先启动这项服务；若使用其他防火墙，"
     L"请在重启前在其中放行 TCP 端口 {port}。",
     L"Windows 防火墙服务已停止"},
    {FindingKind::FirewallServiceDisabled,
     L"Windows 防火墙服务（MpsSvc）已禁用，无法添加防火墙规则。若使用 Windows 防火墙，请先把这项服务的启动类型改为“自动”"
     L"并启动它；若使用其他防火墙，请在重启前在其中放行 TCP 端口 {port}。",
     L"Windows 防火墙服务已禁用"},
    {FindingKind::FirewallByGroupPolicy,
     L"Windows 防火墙由组策略管理，不应用本地规则，为端口 {port} 添加的规则不会生效。请域管理员在组策略中为 TCP 端口 {port} "
     L"添加入站规则。",
     L"组策略不应用本地防火墙规则"},
    {FindingKind::FirewallBlocksAllInbound,
     L"Windows 防火墙在当前网络上选中了“阻止所有传入连接”，任何规则都不会放行。请先取消这个选项。",
     L"Windows 防火墙阻止所有传入连接"},
    {FindingKind::FirewallBlocksAllInboundOnNetworks,
     L"Windows 防火墙在当前网络（{networks}）上选中了“阻止所有传入连接”，任何规则都不会放行。请先取消这个选项。",
     L"Windows 防火墙阻止所有传入连接"},
    {FindingKind::FirewallOff,
     L"Windows 防火墙在当前网络（{networks}）上已关闭，新端口的规则要等它重新打开后才生效。若使用其他防火墙，请在重启前在其中"
     L"放行 TCP 端口 {port}。",
     L"Windows 防火墙在{networks}上已关闭"},
    {FindingKind::BlockRule,
     L"Windows 防火墙中已启用的阻止规则{rules}会阻止端口 {port} 的入站连接，阻止规则优先于允许规则。请修改或禁用这条规则，"
     L"或改用其他端口。",
     L"阻止规则{first}会阻止端口 {port}"},
    {FindingKind::BlockRules,
     L"Windows 防火墙中已启用的阻止规则{rules}会阻止端口 {port} 的入站连接，阻止规则优先于允许规则。请修改或禁用这些规则，"
     L"或改用其他端口。",
     L"阻止规则{first}等 {count} 条会阻止端口 {port}"},
    {FindingKind::OpenToEveryone,
     L"没有找到允许远程桌面端口 {current} 的已启用防火墙规则，新端口 {port} 的规则将对所有网络和所有远程地址开放。若只应允许部分"
     L"地址，请先在 Windows 防火墙中为端口 {current} 启用或添加入站规则，本程序会照搬它的范围。",
     L"新端口将对所有网络和地址开放"},
    {FindingKind::RulesUnreadable,
     L"无法读取 Windows 防火墙的规则（{reason}），新端口 {port} 的规则将对所有网络和所有远程地址开放。",
     L"新端口将对所有网络和地址开放"},
    {FindingKind::SecurityNotCopied,
     L"允许远程桌面端口 {current} 的规则{rules}只允许安全连接（IPsec）或只允许指定的用户和计算机，这个版本的 Windows 无法"
     L"为新端口 {port} 的规则设置这些要求，新端口将不要求它们。请在重启前在“高级安全 Windows 防火墙”中为新端口的规则设置"
     L"同样的要求，或改用其他方式限制连接。",
     L"新端口的规则无法要求安全连接"},
    {FindingKind::Cloud,
     L"这台计算机是{cloud}的云服务器，入站流量先经过云平台的过滤。请确认已在{place}中放行 TCP 端口 {port}（UDP 可选），或会在"
     L"重启前放行。",
     L"{cloud}须先放行 TCP 端口 {port}"},
};
// clang-format on

// Each table holds every entry once, in the order of its enumeration, so that an entry is found by its index.
constexpr bool FindingsInOrder() {
    for (std::size_t i = 0; i < std::size(kFindings); ++i) {
        if (static_cast<std::size_t>(kFindings[i].kind) != i) return false;
    }
    return std::size(kFindings) == static_cast<std::size_t>(FindingKind::kCount);
}
static_assert(FindingsInOrder(), "one text for each FindingKind, in its order");

}  // namespace

namespace {

std::wstring Fill(const wchar_t* pattern, const ValueView* values, std::size_t count) {
    std::wstring text;
    for (const wchar_t* p = pattern; *p;) {
        if (*p == L'{') {
            const wchar_t* close = p + 1;
            while (*close && *close != L'}' && *close != L'{') ++close;
            const std::wstring_view name(p + 1, static_cast<std::size_t>(close - p - 1));
            const ValueView* found = nullptr;
            for (std::size_t i = 0; *close == L'}' && i < count; ++i) {
                if (name == values[i].name) found = &values[i];
            }
            if (found) {
                text += found->text;
                p = close + 1;
                continue;
            }
        }
        text += *p++;
    }
    return text;
}

}  // namespace

std::wstring Say(const wchar_t* sentence, std::initializer_list<ValueView> values) {
    return Fill(sentence, values.begin(), values.size());
}

std::wstring Say(const wchar_t* sentence, const Values& values) {
    std::vector<ValueView> views;
    for (const Value& value : values) views.push_back({value.name, value.text});
    return Fill(sentence, views.data(), views.size());
}

std::wstring ProfileNames(int profiles, bool asNetworks) {
    std::wstring names;
    const struct {
        int bit;
        const wchar_t* name;
    } kProfiles[] = {{1, words::kDomainProfile}, {2, words::kPrivateProfile}, {4, words::kPublicProfile}};
    for (const auto& profile : kProfiles) {
        if (!(profiles & profile.bit)) continue;
        if (!names.empty()) names += Say(words::kListSeparator);
        names += Say(profile.name) + (asNetworks ? Say(words::kNetwork) : L"");
    }
    return names;
}

std::wstring TextOf(const Finding& finding) {
    return Say(kFindings[static_cast<std::size_t>(finding.kind)].text, finding.values);
}

std::wstring BriefOf(const Finding& finding) {
    return Say(kFindings[static_cast<std::size_t>(finding.kind)].brief, finding.values);
}

}  // namespace korvane
