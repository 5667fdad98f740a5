// The one warning 修改 shows before the first write: which findings it lists, related ones as one, in the
// order of the checks, numbered; Yes/No with No the default; the checks that could not be made at its end; and
// the one log line of No, with nothing written.
#include <gtest/gtest.h>

#include <algorithm>

#include "port/host_facts.h"
#include "port/port_settings.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

constexpr int kNo = 7;
constexpr int kYes = 6;
const std::wstring kAsk = L"仍要修改吗？选“是”继续修改，选“否”不做任何更改。";

class ChangeReportTest : public ChangeTest {};

// The numbered items of a warning, checking that they are numbered 1, 2, 3 ... in order.
std::vector<std::wstring> Items(const std::wstring& prompt) {
    std::vector<std::wstring> items;
    for (std::size_t start = 0; start < prompt.size();) {
        std::size_t end = prompt.find(L"\r\n", start);
        if (end == std::wstring::npos) end = prompt.size();
        const std::wstring line = prompt.substr(start, end - start);
        const std::wstring number = std::to_wstring(items.size() + 1) + L"、";
        if (line.rfind(number, 0) == 0) items.push_back(line.substr(number.size()));
        start = end + 2;
    }
    return items;
}

FirewallRule BlockRule(const std::wstring& name, const std::wstring& ports, const std::wstring& addresses = L"*") {
    FirewallRule block;
    block.name = name;
    block.action = 0;
    block.localPorts = ports;
    block.remoteAddresses = addresses;
    block.applicationName.clear();
    block.serviceName.clear();
    return block;
}

TEST_F(ChangeReportTest, EveryFindingInOneWarningRelatedOnesAsOneAndNoWritesNothing) {
    struct Case {
        const char* name;
        void (*arrange)(FakeWorld&);
        std::wstring port;
        std::vector<std::wstring> items;  // a part of each item, in order
        std::wstring cancelled;
    };
    const Case cases[] = {
        // Remote Desktop itself
        {"a Home edition with Remote Desktop off: the edition",
         [](FakeWorld& w) {
             w.registry[kEditionIdPath] = Sz(L"CoreCountrySpecific");
             w.registry[kDenyConnectionsPath] = Dword(1);
         },
         L"3390",
         {L"这台计算机是 Windows 家庭中文版，不能接受远程桌面连接。"},
         L"Windows 家庭版不能接受远程桌面连接"},
        {"turned off here",
         [](FakeWorld& w) { w.registry[kDenyConnectionsPath] = Dword(1); },
         L"3390",
         {L"“系统属性”的“远程”选项卡中选择“允许远程连接到此计算机”"},
         L"这台计算机没有允许远程连接"},
        {"turned off by Group Policy",
         [](FakeWorld& w) {
             w.registry[kDenyConnectionsPath] = Dword(0);
             w.registry[kDenyConnectionsPolicyPath] = Dword(1);
         },
         L"3390",
         {L"组策略禁止了远程桌面连接（“允许用户通过使用远程桌面服务进行远程连接”）"},
         L"组策略禁止了远程桌面连接"},
        // The port
        {"another program, its owner not told",
         [](FakeWorld& w) { w.Listen(3390, 0); },
         L"3390",
         {L"端口 3390 已被另一个程序占用，重启后远程桌面可能无法在这个端口上侦听。"},
         L"端口 3390 已被另一个程序占用"},
        {"a named program",
         [](FakeWorld& w) { w.Listen(3390, 1234, L"nginx.exe"); },
         L"3390",
         {L"已被程序 nginx.exe（进程 ID 1234）占用"},
         L"端口 3390 已被程序 nginx.exe（进程 ID 1234）占用"},
        {"bound by something, the listener table unreadable",
         [](FakeWorld& w) {
             w.boundPorts[3390] = PortBind::InUse;
             w.failListeners = true;
         },
         L"3390",
         {L"端口 3390 现在无法使用，可能已被其他程序占用。无法读取 TCP 侦听表确认：拒绝访问（错误代码 0x80070005）。"},
         L"端口 3390 可能已被占用"},
        {"reserved inside the dynamic range: the reservation",
         [](FakeWorld& w) { w.boundPorts[50000] = PortBind::Reserved; },
         L"50000",
         {L"端口 50000 已被系统保留（保留它的通常是 Hyper-V、WSL 或 Docker，保留的范围在每次启动时都可能变化）"},
         L"端口 50000 已被系统保留"},
        {"the dynamic range's first port",
         [](FakeWorld&) {},
         L"49152",
         {L"端口 49152 在动态端口范围（49152-65535）内，重启后可能被其他连接占用，请改用范围以外的端口。"},
         L"端口 49152 在动态端口范围（49152-65535）内"},
        {"a dynamic range moved by netsh",
         [](FakeWorld& w) {
             w.dynamicRange = DynamicPortRange{10000, 1000};
         },
         L"10999",
         {L"动态端口范围（10000-10999）内"},
         L"端口 10999 在动态端口范围（10000-10999）内"},
        // The firewall
        {"Group Policy's rules only",
         [](FakeWorld& w) {
             w.localPolicy = {FirewallLocalPolicy::kGroupPolicyOverride, 1};
         },
         L"3390",
         {L"组策略把 Windows 防火墙的“应用本地防火墙规则”设为“否”，为端口 3390 添加的规则不会生效。"},
         L"组策略不应用本地防火墙规则"},
        {"all incoming connections blocked",
         [](FakeWorld& w) {
             w.localPolicy = {FirewallLocalPolicy::kInboundBlocked, 2 | 4};
         },
         L"3390",
         {L"在当前网络（专用网络、公用网络）上选中了“阻止所有传入连接”"},
         L"Windows 防火墙阻止所有传入连接"},
        {"the service stopped",
         [](FakeWorld& w) { w.serviceDownCode = kFirewallServiceStopped; },
         L"3390",
         {L"Windows 防火墙服务（MpsSvc）已停止，无法添加规则。请以管理员身份运行 net start MpsSvc 后再修改端口，或在其他防火墙"
          L"中放行 TCP 端口 3390。选择“是”则只改端口、不加规则，防火墙服务启动后会阻止新端口。"},
         L"Windows 防火墙服务已停止"},
        {"the service disabled, the object refused",
         [](FakeWorld& w) {
             w.failFirewallCreation = true;
             w.firewallCreationCode = kFirewallServiceDisabled;
         },
         L"3390",
         {L"Windows 防火墙服务（MpsSvc）已禁用，无法添加规则。请以管理员身份运行 reg add HKLM\\SYSTEM\\CurrentControlSet\\"
          L"Services\\MpsSvc /v Start /t REG_DWORD /d 2 /f，重启后再修改端口"},
         L"Windows 防火墙服务已禁用"},
        // Stopped and disabled give the same code: the service's start type tells them apart.
        {"the service disabled, the same code as stopped",
         [](FakeWorld& w) {
             w.serviceDownCode = kFirewallServiceStopped;
             w.serviceStartTypes[L"MpsSvc"] = kServiceDisabled;
         },
         L"3390",
         {L"已禁用"},
         L"Windows 防火墙服务已禁用"},
        {"the service stopped, set to start by hand",
         [](FakeWorld& w) {
             w.failFirewallCreation = true;
             w.firewallCreationCode = kFirewallServiceStopped;
             w.serviceStartTypes[L"MpsSvc"] = 3;
         },
         L"3390",
         {L"已停止"},
         L"Windows 防火墙服务已停止"},
        {"Windows Firewall turned off for a current profile",
         [](FakeWorld& w) {
             w.localPolicy.currentProfiles = 1 | 4;
             w.firewallOffProfiles = 4;
         },
         L"3390",
         {L"Windows 防火墙在当前网络（公用网络）上已关闭，现在不会阻止新端口；新端口的规则照样添加，防火墙打开后生效。"},
         L"Windows 防火墙在公用网络上已关闭"},
        {"a block rule over the new port",
         [](FakeWorld& w) { w.windowsRules.push_back(BlockRule(L"阻止扫描端口", L"3390-3999")); },
         L"3390",
         {L"已启用的阻止规则“阻止扫描端口”会阻止端口 3390 的入站连接，阻止规则优先于允许规则。请修改或禁用这条规则"},
         L"阻止规则“阻止扫描端口”会阻止端口 3390"},
        {"Group Policy's block rule over the new port",
         [](FakeWorld& w) {
             w.registry[std::wstring(kPolicyFirewallRulesKey) + L"\\{1}"] =
                 Sz(L"v2.10|Action=Block|Active=TRUE|Dir=In|Protocol=6|LPort=3390|Name=域策略阻止|");
         },
         L"3390",
         {L"已启用的阻止规则“域策略阻止”会阻止端口 3390 的入站连接"},
         L"阻止规则“域策略阻止”会阻止端口 3390"},
        {"Group Policy turns the firewall off, the machine's own setting on",
         [](FakeWorld& w) {
             w.localPolicy.currentProfiles = 4;
             w.registry[std::wstring(kPolicyFirewallKey) + L"PublicProfile\\EnableFirewall"] = Dword(0);
         },
         L"3390",
         {L"Windows 防火墙在当前网络（公用网络）上已关闭"},
         L"Windows 防火墙在公用网络上已关闭"},
        {"two block rules for some addresses, one named indirectly",
         [](FakeWorld& w) {
             w.windowsRules.push_back(
                 BlockRule(L"@{Contoso.Guard?ms-resource://Guard/Block}", L"3390", L"203.0.113.0/24"));
             w.windowsRules.push_back(BlockRule(L"阻止 3390", L"3390", L"198.51.100.0/24"));
             w.displayTexts[L"@{Contoso.Guard?ms-resource://Guard/Block}"] = L"Contoso 防护";
         },
         L"3390",
         {L"“Contoso 防护”（远程地址：203.0.113.0/24）、“阻止 3390”（远程地址：198.51.100.0/24）会阻止"},
         L"阻止规则“Contoso 防护”等 2 条会阻止端口 3390"},
        {"Windows' rules disabled, nothing else admits the current port",
         [](FakeWorld& w) {
             for (FirewallRule& rule : w.windowsRules) rule.enabled = false;
         },
         L"3390",
         {L"没有找到允许远程桌面端口 3389 的已启用防火墙规则，新端口 3390 的规则将对所有网络和所有远程地址开放。"},
         L"新端口将对所有网络和地址开放"},
        {"the rules cannot be read",
         [](FakeWorld& w) { w.failReadRules = true; },
         L"3390",
         {L"无法读取 Windows 防火墙的规则：拒绝访问（错误代码 0x80070005）。新端口 3390 的规则将对所有网络"},
         L"新端口将对所有网络和地址开放"},
        // The clouds, each with its own place to open the port
        {"Alibaba Cloud",
         [](FakeWorld& w) {
             w.registry[kSystemManufacturerPath] = Sz(L"Alibaba Cloud");
             w.registry[kSystemProductPath] = Sz(L"Alibaba Cloud ECS");
         },
         L"3390",
         {L"这台计算机是阿里云的云服务器，安全组先于 Windows 过滤入站连接。请在重启前在阿里云控制台的安全组入方向规则（轻量应用"
          L"服务器在“防火墙”页）中放行 TCP 端口 3390。"},
         L"需先在阿里云安全组放行 TCP 端口 3390"},
        {"Tencent Cloud",
         [](FakeWorld& w) {
             w.registry[kSystemManufacturerPath] = Sz(L"Tencent Cloud");
             w.registry[kSystemProductPath] = Sz(L"CVM");
         },
         L"3390",
         {L"腾讯云控制台的安全组入站规则（轻量应用服务器在“防火墙”页）"},
         L"需先在腾讯云安全组放行 TCP 端口 3390"},
        {"Huawei Cloud",
         [](FakeWorld& w) { w.chassisAssetTag = L"HUAWEICLOUD"; },
         L"3390",
         {L"华为云控制台的安全组入方向规则"},
         L"需先在华为云安全组放行 TCP 端口 3390"},
        {"AWS on Xen, by its system UUID",
         [](FakeWorld& w) {
             w.registry[kSystemManufacturerPath] = Sz(L"Xen");
             w.systemUuid = {0x45, 0xE1, 0x2A, 0xEC, 0xDC, 0xD1, 0xB2, 0x13,
                             0x94, 0xED, 0x01, 0x23, 0x45, 0xAB, 0xCD, 0xEF};
         },
         L"3390",
         {L"AWS 控制台的安全组入站规则"},
         L"需先在 AWS 安全组放行 TCP 端口 3390"},
        {"Azure, by its asset tag",
         [](FakeWorld& w) { w.chassisAssetTag = L"7783-7084-3265-9085-8269-3286-77"; },
         L"3390",
         {L"Azure 门户中网络安全组（NSG）的入站安全规则"},
         L"需先在 Azure 安全组放行 TCP 端口 3390"},
        {"Google Cloud",
         [](FakeWorld& w) {
             w.registry[kSystemManufacturerPath] = Sz(L"Google");
             w.registry[kSystemProductPath] = Sz(L"Google Compute Engine");
         },
         L"3390",
         {L"Google Cloud 控制台的 VPC 防火墙规则"},
         L"需先在 Google Cloud 安全组放行 TCP 端口 3390"},
        // Several, in the order of the checks
        {"a port taken and Group Policy's rules only",
         [](FakeWorld& w) {
             w.Listen(3390, 0);
             w.localPolicy = {FirewallLocalPolicy::kGroupPolicyOverride, 1};
         },
         L"3390",
         {L"另一个程序", L"组策略"},
         L"端口 3390 已被另一个程序占用；组策略不应用本地防火墙规则"},
        {"a Home edition with Remote Desktop off, on Alibaba Cloud, in the dynamic range",
         [](FakeWorld& w) {
             w.registry[kEditionIdPath] = Sz(L"Core");
             w.registry[kDenyConnectionsPath] = Dword(1);
             w.registry[kSystemManufacturerPath] = Sz(L"Alibaba Cloud");
             w.registry[kSystemProductPath] = Sz(L"Alibaba Cloud ECS");
         },
         L"50000",
         {L"Windows 家庭版，", L"动态端口范围（49152-65535）", L"阿里云"},
         L"Windows 家庭版不能接受远程桌面连接；端口 50000 在动态端口范围（49152-65535）内；需先在阿里云安全组放行 TCP 端口 "
         L"50000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world = OrdinaryMachine();
        view.log = kStartLog;
        c.arrange(world);
        const auto before = world.registry;
        Change(c.port, {kNo});
        const auto warnings = Questions();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(world.messages.size(), 1u) << "nothing before it, no restart question after No";
        const std::wstring& prompt = warnings[0];
        EXPECT_EQ(prompt.rfind(L"修改为端口 " + c.port + L" 之前，发现以下问题：\r\n\r\n1、", 0), 0u);
        EXPECT_EQ(prompt.substr(prompt.size() - kAsk.size()), kAsk);
        const std::vector<std::wstring> items = Items(prompt);
        ASSERT_EQ(items.size(), c.items.size()) << std::string(prompt.begin(), prompt.end()).size();
        for (std::size_t i = 0; i < items.size(); ++i) EXPECT_NE(items[i].find(c.items[i]), std::wstring::npos) << i;
        EXPECT_EQ(world.registry, before);
        EXPECT_TRUE(world.rules.empty());
        EXPECT_EQ(view.log, kStartLog + L"修改已取消：" + c.cancelled + L"\r\n");
    }
}

// The whole warning as the administrator reads it; the checks that could not be made at its end, and logged
// once the change goes on. Yes goes straight on to the writes and the restart question.
TEST_F(ChangeReportTest, TheChecksNotMadeEndTheWarningAndYesGoesOn) {
    world.registry[kEditionIdPath] = Sz(L"Core");
    world.failPortCheck = true;
    Change(L"3390", {kYes, kNo});
    ASSERT_EQ(Questions().size(), 1u);
    const std::wstring unchecked = L"未能检查端口 3390 是否可用：不支持的地址族（错误代码 0x8007273F）";
    EXPECT_EQ(
        Questions()[0],
        L"修改为端口 3390 之前，发现以下问题：\r\n\r\n"
        L"1、这台计算机是 Windows 家庭版，不能接受远程桌面连接。要远程连接它，须先升级到专业版或更高版本。"
        L"\r\n\r\n以下检查未能完成：\r\n" +
            unchecked + L"\r\n\r\n" + kAsk);
    EXPECT_EQ(view.log, kStartLog + unchecked + L"\r\n" + SuccessLines(L"3390"));
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    EXPECT_EQ(world.messages.back().prompt, expected::kRestartQuestion);
}

// A failure the program knows before asking anything is said as that failure, and nothing is written.
TEST_F(ChangeReportTest, AFirewallThatCannotBeOpenedIsAFailureBeforeAnyQuestion) {
    world.registry[kEditionIdPath] = Sz(L"Core");
    world.failFirewallCreation = true;  // class not registered: not the service
    const auto before = world.registry;
    Change(L"3390", {kYes});
    ASSERT_EQ(world.messages.size(), 1u);
    EXPECT_EQ(world.messages[0].title, L"错误");
    EXPECT_NE(world.messages[0].prompt.find(L"失败的步骤：打开 Windows 防火墙策略（HNetCfg.FwPolicy2）"),
              std::wstring::npos);
    EXPECT_EQ(world.registry, before);
    EXPECT_TRUE(std::none_of(world.calls.begin(), world.calls.end(), [](const std::wstring& call) {
        return call.rfind(L"check port", 0) == 0;
    })) << "no check after a failure";
}

// The reports an administrator most often reads, and the longest one realistically met, measured in characters as
// the warning shows them, line breaks included: short enough to be read in one glance.
TEST_F(ChangeReportTest, TheCommonAndTheLongestReportsStayShort) {
    const struct {
        const char* name;
        void (*arrange)(FakeWorld&);
        std::wstring port;
        std::size_t limit;
    } cases[] = {
        {"Alibaba Cloud, its firewall off as its images leave it",
         [](FakeWorld& w) {
             w.registry[kSystemManufacturerPath] = Sz(L"Alibaba Cloud");
             w.registry[kSystemProductPath] = Sz(L"Alibaba Cloud ECS");
             w.localPolicy.currentProfiles = 4;
             w.firewallOffProfiles = 7;
         },
         L"10010", 280},
        {"Server 2008 R2 on Tencent Cloud: the kernel's listener in the dynamic range, the firewall service disabled, "
         "the range unread",
         [](FakeWorld& w) {
             w.version = {6, 1};
             w.Listen(50000, 4, L"System", L"System");
             w.dynamicRange.reset();
             w.serviceDownCode = kFirewallServiceDisabled;
             w.registry[kSystemManufacturerPath] = Sz(L"Tencent Cloud");
             w.registry[kSystemProductPath] = Sz(L"CVM");
         },
         L"50000", 600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = OrdinaryMachine();
        c.arrange(world);
        Change(c.port, {kNo});
        ASSERT_EQ(Questions().size(), 1u);
        EXPECT_LE(Questions()[0].size(), c.limit);
        EXPECT_EQ(Questions()[0].find(L"没有放行"), std::wstring::npos)
            << "no claim about a security group it cannot see";
    }
}

}  // namespace
}  // namespace korvane::testing
