// The firewall rules of a change: TCP and UDP for the Remote Desktop service, in the scopes of Windows'
// own Remote Desktop listener rules, every property of an existing rule set anew, and every rule taken
// back when a later step fails.
#include <gtest/gtest.h>

#include "platform/firewall_rule_writes.h"
#include "port/firewall_rules.h"
#include "port/port_change.h"
#include "port/port_settings.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

// One of Windows' own Remote Desktop rules, as a client edition keeps them.
FirewallRule WindowsRule(int protocol, int profiles, const std::wstring& remoteAddresses, bool enabled = true,
                         const std::wstring& localPorts = L"3389") {
    FirewallRule rule;
    rule.name = protocol == 6 ? L"远程桌面 - 用户模式(TCP-In)" : L"远程桌面 - 用户模式(UDP-In)";
    rule.grouping = L"@FirewallAPI.dll,-28752";
    rule.protocol = protocol;
    rule.localPorts = localPorts;
    rule.profiles = profiles;
    rule.remoteAddresses = remoteAddresses;
    rule.enabled = enabled;
    return rule;
}

class FirewallRulesTest : public ChangeTest {
protected:
    // name -> (profiles, remote addresses) of the rules made, for the scope checks.
    std::map<std::wstring, std::pair<int, std::wstring>> Scopes() const {
        std::map<std::wstring, std::pair<int, std::wstring>> scopes;
        for (const auto& named : world.rules)
            scopes[named.first] = {named.second.profiles, named.second.remoteAddresses};
        return scopes;
    }
};

TEST_F(FirewallRulesTest, OneWindowsRuleEachGivesItsScope) {
    world.windowsRules = {
        WindowsRule(6, 1, L"10.0.0.5"), WindowsRule(17, 1, L"10.0.0.5"),
        WindowsRule(6, 4, L"*", /*enabled=*/false),  // disabled: not who may connect
        WindowsRule(6, 7, L"*", true, L"*"),         // shadowing, not the listener
    };
    world.windowsRules[3].name = L"远程桌面 - 阴影(TCP-In)";
    Change(L"3390");
    const std::map<std::wstring, std::pair<int, std::wstring>> expected = {
        {L"远程桌面端口 3390 (TCP)", {1, L"10.0.0.5"}},
        {L"远程桌面端口 3390 (UDP)", {1, L"10.0.0.5"}},
    };
    EXPECT_EQ(Scopes(), expected);
    EXPECT_EQ(world.rules[L"远程桌面端口 3390 (UDP)"].protocol, 17);
    EXPECT_EQ(world.rules[L"远程桌面端口 3390 (UDP)"].applicationName, L"%SystemRoot%\\system32\\svchost.exe");
    EXPECT_EQ(world.rules[L"远程桌面端口 3390 (UDP)"].serviceName, L"TermService");
}

TEST_F(FirewallRulesTest, TwoScopesGiveTwoRulesEachNamedAfterItsProfiles) {
    world.windowsRules = {WindowsRule(6, 1 | 2, L"*"), WindowsRule(6, 4, L"LocalSubnet"), WindowsRule(17, 1 | 2, L"*"),
                          WindowsRule(17, 4, L"LocalSubnet")};
    Change(L"3390");
    const std::map<std::wstring, std::pair<int, std::wstring>> expected = {
        {L"远程桌面端口 3390 (TCP, 域、专用)", {3, L"*"}},
        {L"远程桌面端口 3390 (TCP, 公用)", {4, L"LocalSubnet"}},
        {L"远程桌面端口 3390 (UDP, 域、专用)", {3, L"*"}},
        {L"远程桌面端口 3390 (UDP, 公用)", {4, L"LocalSubnet"}},
    };
    EXPECT_EQ(Scopes(), expected);
}

TEST_F(FirewallRulesTest, UdpWithoutItsOwnRuleTakesTheTcpScopeAndNoneAtAllOpensToAll) {
    world.windowsRules = {WindowsRule(6, 1, L"10.0.0.5"), WindowsRule(17, 7, L"*", /*enabled=*/false)};
    Change(L"3390");
    EXPECT_EQ(Scopes()[L"远程桌面端口 3390 (UDP)"], std::make_pair(1, std::wstring(L"10.0.0.5")));

    world.windowsRules.clear();
    Change(L"3391");
    EXPECT_EQ(Scopes()[L"远程桌面端口 3391 (TCP)"], std::make_pair(0x7FFFFFFF, std::wstring(L"*")));
    EXPECT_EQ(Scopes()[L"远程桌面端口 3391 (UDP)"], std::make_pair(0x7FFFFFFF, std::wstring(L"*")));
}

// Windows 7 and Server 2008 R2 listen in the kernel: their one listener rule names the program "System" and
// no service, and has no UDP twin. A rule naming svchost.exe and TermService would never match there.
TEST_F(FirewallRulesTest, WindowsSevensListenerRuleGivesProgramSystemAndNoService) {
    FirewallRule domain = WindowsRule(6, 1, L"*");
    domain.name = L"远程桌面(TCP-In)";
    domain.applicationName = L"System";
    domain.serviceName.clear();
    FirewallRule others = domain;
    others.profiles = 2 | 4;
    others.remoteAddresses = L"LocalSubnet";
    world.windowsRules = {domain, others};
    world.version = {6, 1};
    Change(L"3390");
    ASSERT_EQ(world.rules.size(), 4u);
    for (const auto& [name, rule] : world.rules) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        EXPECT_EQ(rule.applicationName, L"System");
        EXPECT_EQ(rule.serviceName, L"");
    }
    EXPECT_EQ(world.rules.at(L"远程桌面端口 3390 (TCP, 专用、公用)").remoteAddresses, L"LocalSubnet");
    EXPECT_EQ(world.rules.at(L"远程桌面端口 3390 (TCP, 域)").profiles, 1);
    EXPECT_EQ(world.rules.at(L"远程桌面端口 3390 (UDP, 专用、公用)").profiles, 6);
}

// The program comes from Windows' own rule where there is one, whatever the version says; otherwise from
// the version: Windows 7 (6.1) the kernel, Windows 8 (6.2) and later the Remote Desktop service.
TEST_F(FirewallRulesTest, WithoutWindowsOwnRuleTheVersionGivesTheProgram) {
    const struct {
        WindowsVersion version;
        std::wstring application, service;
    } cases[] = {{{6, 1}, L"System", L""},
                 {{6, 2}, L"%SystemRoot%\\system32\\svchost.exe", L"TermService"},
                 {{10, 0}, L"%SystemRoot%\\system32\\svchost.exe", L"TermService"},
                 {{0, 0}, L"%SystemRoot%\\system32\\svchost.exe", L"TermService"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.version.major) + "." + std::to_string(c.version.minor));
        world.rules.clear();
        world.version = c.version;
        Change(L"3390");
        ASSERT_EQ(world.rules.size(), 2u);
        for (const auto& named : world.rules) {
            EXPECT_EQ(named.second.applicationName, c.application);
            EXPECT_EQ(named.second.serviceName, c.service);
        }
    }
    world.rules.clear();
    world.version = {6, 1};
    world.windowsRules = {WindowsRule(6, 7, L"*")};  // svchost.exe and TermService, as from Windows 8 on
    Change(L"3390");
    EXPECT_EQ(world.rules.at(L"远程桌面端口 3390 (TCP)").serviceName, L"TermService");
}

TEST_F(FirewallRulesTest, UnreadableWindowsRulesAreLoggedAndTheRulesOpenToAll) {
    world.failReadGroup = true;
    Change(L"3390");
    EXPECT_EQ(Scopes()[L"远程桌面端口 3390 (TCP)"], std::make_pair(0x7FFFFFFF, std::wstring(L"*")));
    EXPECT_EQ(
        view.log.rfind(kStartLog + L"未能读取 Windows 自带的远程桌面防火墙规则：拒绝访问。（错误代码 0x80070005），"
                                   L"新规则对所有网络和远程地址开放\r\n系统远程桌面连接端口已被修改为：3390\r\n",
                       0),
        0u)
        << std::string(view.log.begin(), view.log.end());
}

TEST_F(FirewallRulesTest, AnExistingRuleIsResetWhollyAndAnEarlierPortsRuleIsLeftAlone) {
    Change(L"3390");
    const auto made = world.rules;
    FirewallRule& edited = world.rules[L"远程桌面端口 3390 (TCP)"];
    edited.remoteAddresses = L"192.0.2.1";
    edited.applicationName.clear();
    edited.serviceName = L"*";
    edited.edgeTraversalOptions = 2;
    edited.enabled = false;
    edited.interfaceTypes = L"Wireless";
    edited.interfaces = {L"以太网 2"};
    edited.remoteUserAuthorizedList = L"O:LSD:(A;;CC;;;S-1-5-21-1-2-3-1001)";
    edited.secureFlags = 1;
    FirewallRule earlier = made.at(L"远程桌面端口 3390 (UDP)");
    earlier.name = L"远程桌面端口 3389 (UDP)";
    earlier.localPorts = L"3389";
    world.rules[earlier.name] = earlier;

    Change(L"3390");
    auto expected = made;
    expected[earlier.name] = earlier;
    EXPECT_EQ(world.rules, expected);
}

TEST_F(FirewallRulesTest, RefusedUdpRuleTakesTheTcpRuleBackAndWritesNothing) {
    world.failEnsureRuleNamed.insert(L"远程桌面端口 3390 (UDP)");
    const auto before = world.registry;
    Change(L"3390");
    EXPECT_TRUE(world.rules.empty());
    EXPECT_EQ(world.registry, before);
    EXPECT_TRUE(std::none_of(world.calls.begin(), world.calls.end(),
                             [](const std::wstring& call) { return call.rfind(L"regwrite", 0) == 0; }));
    ASSERT_EQ(world.messages.size(), 1u);
    EXPECT_NE(world.messages[0].prompt.find(L"失败的步骤：添加防火墙入站规则“远程桌面端口 3390 (UDP)”"),
              std::wstring::npos);
    EXPECT_NE(world.messages[0].prompt.find(L"已写入的设置均已恢复原样"), std::wstring::npos);
}

TEST_F(FirewallRulesTest, ARewriteThatFailsHalfwayGetsBackEveryProperty) {
    FirewallRule handMade;
    handMade.name = L"远程桌面端口 3390 (TCP)";
    handMade.protocol = 17;
    handMade.localPorts = L"4000";
    handMade.remoteAddresses = L"192.0.2.1";
    handMade.edgeTraversalOptions = 3;
    handMade.interfaces = {L"WLAN", L"以太网"};
    handMade.localAppPackageId = L"S-1-15-2-1";
    handMade.secureFlags = 2;
    world.rules[handMade.name] = handMade;
    world.failEnsureRuleNamed.insert(handMade.name);
    Change(L"3390");
    ASSERT_EQ(world.rules.size(), 1u);
    EXPECT_EQ(world.rules.begin()->second, handMade);
}

TEST_F(FirewallRulesTest, AFailedRegistryWriteTakesBackRulesAddedAndRewritten) {
    FirewallRule handMade;
    handMade.name = L"远程桌面端口 3390 (UDP)";
    handMade.remoteAddresses = L"192.0.2.1";
    world.rules[handMade.name] = handMade;
    world.failing.insert(L"regwrite " + kRdpTcpPortPath);
    const auto before = world.registry;
    Change(L"3390");
    EXPECT_EQ(world.registry, before);
    ASSERT_EQ(world.rules.size(), 1u);
    EXPECT_EQ(world.rules.begin()->second, handMade);
    EXPECT_NE(world.messages.at(0).prompt.find(L"已写入的设置均已恢复原样"), std::wstring::npos);
}

// Windows checks each property as it is set: ports only on TCP and UDP, ICMP types only on ICMP. Putting
// back a rule of another protocol first clears what the old protocol allowed.
TEST(RuleWriteOrder, AProtocolChangeClearsWhatTheOldProtocolAllowedFirst) {
    using W = RuleWrite;
    EXPECT_EQ(RuleWriteOrder(256, 6), (std::vector<W>{W::Protocol, W::Ports, W::Settings, W::Enabled}))
        << "a new rule object";
    EXPECT_EQ(RuleWriteOrder(6, 6), (std::vector<W>{W::Ports, W::Settings, W::Enabled}));
    EXPECT_EQ(RuleWriteOrder(6, 256), (std::vector<W>{W::ClearPorts, W::Protocol, W::Settings, W::Enabled}));
    EXPECT_EQ(RuleWriteOrder(17, 6), (std::vector<W>{W::ClearPorts, W::Protocol, W::Ports, W::Settings, W::Enabled}));
    EXPECT_EQ(RuleWriteOrder(6, 1),
              (std::vector<W>{W::ClearPorts, W::Protocol, W::IcmpTypes, W::Settings, W::Enabled}));
    EXPECT_EQ(RuleWriteOrder(58, 17),
              (std::vector<W>{W::ClearIcmpTypes, W::Protocol, W::Ports, W::Settings, W::Enabled}));
    EXPECT_EQ(RuleWriteOrder(47, 256), (std::vector<W>{W::Protocol, W::Settings, W::Enabled})) << "GRE";
}

}  // namespace
}  // namespace korvane::testing
