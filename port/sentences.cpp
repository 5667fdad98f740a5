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
     L"这台计算机是 Windows {edition}，不能接受远程桌面连接。要远程连接它，须先升级到专业版或更高版本。",
     L"Windows 家庭版不能接受远程桌面连接"},
    {FindingKind::RemoteDesktopOffHere,
     L"这台计算机没有允许远程连接。请先在“系统属性”的“远程”选项卡中选择“允许远程连接到此计算机”。",
     L"这台计算机没有允许远程连接"},
    {FindingKind::RemoteDesktopOffHereWindows7,
     L"这台计算机没有允许远程连接。请先在“系统属性”的“远程”选项卡中选择“不允许连接到这台计算机”以外的一项，例如“允许运行"
     L"任意版本远程桌面的计算机连接(较不安全)”。",
     L"这台计算机没有允许远程连接"},
    {FindingKind::RemoteDesktopOffByPolicy,
     L"组策略禁止了远程桌面连接（“允许用户通过使用远程桌面服务进行远程连接”）。请在本地组策略编辑器（gpedit.msc）的“计算机"
     L"配置\\管理模板\\Windows 组件\\远程桌面服务\\远程桌面会话主机\\连接”中启用这一设置；若它由域组策略下发，请联系域管理员。",
     L"组策略禁止了远程桌面连接"},
    {FindingKind::PortTaken,
     L"端口 {port} 已被{owner}占用，重启后远程桌面可能无法在这个端口上监听。请改用其他端口，或停止这个程序并使它不再自动启动"
     L"（作为服务运行的程序在重启后会再次占用端口）。",
     L"端口 {port} 已被{owner}占用"},
    {FindingKind::PortTakenByKernel,
     L"端口 {port} 正被系统内核监听（netstat 和任务管理器中显示为 System，进程 ID 4）。Windows 7 和 Windows Server 2008 R2 "
     L"也在内核中运行远程桌面，无法分辨这是不是远程桌面自己；内核中常见的其他监听者是 HTTP.sys（IIS、WinRM 等使用它）。若之前"
     L"改过端口且尚未重启、远程桌面仍在这个端口上，可以继续；无法确定时请改用其他端口。",
     L"端口 {port} 正被系统内核监听"},
    {FindingKind::PortMaybeTaken,
     L"端口 {port} 现在无法使用，可能已被其他程序占用，无法读取 TCP 监听表：{reason}。请改用其他端口。",
     L"端口 {port} 可能已被占用"},
    {FindingKind::PortReserved,
     L"端口 {port} 已被系统保留（保留它的通常是 Hyper-V、WSL 或 Docker，保留的范围在每次启动时都可能变化），重启后远程桌面可能"
     L"无法在这个端口上监听。请改用其他端口（命令 netsh interface ipv4 show excludedportrange protocol=tcp 可列出保留的范围）。",
     L"端口 {port} 已被系统保留"},
    {FindingKind::DynamicRange,
     L"端口 {port} 在动态端口范围（{range}）内，Windows 会把其中的端口分给其他连接，重启后它可能已被占用。请改用这个范围以外的"
     L"端口。",
     L"端口 {port} 在动态端口范围（{range}）内"},
    {FindingKind::FirewallServiceStopped,
     L"Windows 防火墙服务（MpsSvc）已停止，无法添加防火墙规则。选择“是”只修改端口、不添加规则，防火墙服务启动后新端口将被阻止。"
     L"请先在“服务”（services.msc）中启动“Windows Defender Firewall”（较早的系统为“Windows Firewall”），或运行 net start MpsSvc；"
     L"若使用其他防火墙，请在重启前在其中放行 TCP 端口 {port}。",
     L"Windows 防火墙服务已停止"},
    {FindingKind::FirewallServiceDisabled,
     L"Windows 防火墙服务（MpsSvc）已禁用，无法添加防火墙规则。选择“是”只修改端口、不添加规则，防火墙服务启动后新端口将被阻止。"
     L"请先在“服务”（services.msc）中把“Windows Defender Firewall”（较早的系统为“Windows Firewall”）的启动类型改为“自动”并"
     L"启动它，或运行 sc config MpsSvc start= auto 和 net start MpsSvc；若使用其他防火墙，请在重启前在其中放行 TCP 端口 {port}。",
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
     L"Windows 防火墙在当前网络（{networks}）上已关闭：现在 Windows 不会阻止新端口，新端口的规则要等防火墙重新打开后才生效。"
     L"若这台计算机上有其他防火墙或安全软件过滤连接（如安全狗、云锁），请在重启前在其中放行 TCP 端口 {port}。",
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
     L"地址，请先在 Windows 防火墙中为端口 {current} 启用或添加入站规则，本程序会沿用它的作用域。",
     L"新端口将对所有网络和地址开放"},
    {FindingKind::RulesUnreadable,
     L"无法读取 Windows 防火墙的规则：{reason}。新端口 {port} 的规则将对所有网络和所有远程地址开放。",
     L"新端口将对所有网络和地址开放"},
    {FindingKind::SecurityNotCopied,
     L"允许远程桌面端口 {current} 的规则{rules}只允许安全连接（IPsec）或只允许指定的用户和计算机，这个版本的 Windows 无法"
     L"为新端口 {port} 的规则设置这些要求，新端口将不要求它们。请在重启前在“高级安全 Windows 防火墙”中为新端口的规则设置"
     L"同样的要求，或改用其他方式限制连接。",
     L"新端口的规则无法要求安全连接"},
    {FindingKind::Cloud,
     L"这台计算机是{cloud}的云服务器。云平台的安全组在 Windows 之前过滤入站流量：没有放行 TCP 端口 {port} 的规则，重启后将无法"
     L"连接这台计算机。请确认已在{place}中放行 TCP 端口 {port}（UDP 可选），或在重启前放行。",
     L"需先在{cloud}安全组放行 TCP 端口 {port}"},
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

bool IsHan(wchar_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF);
}

bool IsLatinOrDigit(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
}

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
                const std::wstring_view value = found->text;
                if (!value.empty() && !text.empty() && IsHan(text.back()) && IsLatinOrDigit(value.front())) text += L' ';
                text += value;
                p = close + 1;
                if (!value.empty() && IsLatinOrDigit(value.back()) && IsHan(*p)) text += L' ';
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

std::wstring HomeEditionName(const std::wstring& editionId) {
    const struct {
        const wchar_t* id;
        const wchar_t* name;
    } kEditions[] = {
        {L"Core", L"家庭版"},
        {L"CoreN", L"家庭版 N"},
        {L"CoreCountrySpecific", L"家庭中文版"},
        {L"CoreSingleLanguage", L"家庭单语言版"},
        {L"HomeBasic", L"家庭普通版"},
        {L"HomePremium", L"家庭高级版"},
        {L"Starter", L"简易版"},
    };
    for (const auto& edition : kEditions) {
        if (editionId == edition.id) return edition.name;
    }
    return L"家庭版（" + editionId + L"）";
}

std::wstring TextOf(const Finding& finding) {
    return Say(kFindings[static_cast<std::size_t>(finding.kind)].text, finding.values);
}

std::wstring BriefOf(const Finding& finding) {
    return Say(kFindings[static_cast<std::size_t>(finding.kind)].brief, finding.values);
}

}  // namespace korvane
