// What 修改 asks before the first write when Remote Desktop would be unreachable on the new port after the
// restart: a port that is taken or reserved, a firewall that ignores local rules, a firewall service that
// does not answer; what No and Yes lead to; and checks that cannot be made.
#include <gtest/gtest.h>

#include <algorithm>

#include "port/port_change.h"
#include "port/port_settings.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

const std::wstring kConsequence = L"如果继续，重启后将无法通过新端口 3390 远程连接这台计算机。";
constexpr int kNo = 7;
constexpr int kYes = 6;

class ReachabilityTest : public ChangeTest {
protected:
    std::vector<std::wstring> Questions() const {
        std::vector<std::wstring> questions;
        for (const auto& message : world.messages) {
            if (message.title != L"警告") continue;
            EXPECT_EQ(message.style, 4 | 48 | 256) << "Yes/No, warning icon, No the default";
            questions.push_back(message.prompt);
        }
        return questions;
    }

    void ExpectNothingChanged(const std::map<std::wstring, StoredValue>& before, const std::wstring& cancelledLine) {
        EXPECT_EQ(world.registry, before);
        EXPECT_TRUE(world.rules.empty());
        EXPECT_TRUE(std::none_of(world.calls.begin(), world.calls.end(),
                                 [](const std::wstring& call) { return call.rfind(L"regwrite", 0) == 0; }));
        EXPECT_EQ(view.log, kStartLog + cancelledLine + L"\r\n");
        EXPECT_EQ(world.messages.back().title, L"警告") << "no restart question after No";
    }
};

TEST_F(ReachabilityTest, PortHeldByAnotherListenerIsNamedAndNoWritesNothing) {
    world.Listen(3390, 1234, L"svchost.exe");
    const auto before = world.registry;
    Change(L"03390", {kNo});

    const auto questions = Questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0],
              L"新端口 3390 已被程序 svchost.exe（进程 ID 1234）占用，重启后远程桌面无法在这个端口上监听。\r\n\r\n" +
                  kConsequence +
                  L"\r\n\r\n建议：选择“否”，改用其他端口；或先停止占用这个端口的程序。\r\n\r\n是否仍要修改？");
    ExpectNothingChanged(before, L"修改已取消：端口 3390 已被程序 svchost.exe（进程 ID 1234）占用");
}

TEST_F(ReachabilityTest, EachConditionNamesItsCause) {
    struct Case {
        const char* name;
        void (*arrange)(FakeWorld&);
        std::wstring cause;
        std::wstring cancelled;
        std::wstring consequence = kConsequence;
    };
    const Case cases[] = {
        {"owner unknown", [](FakeWorld& w) { w.Listen(3390, 0); }, L"已被另一个程序占用",
         L"修改已取消：端口 3390 已被另一个程序占用"},
        {"reserved", [](FakeWorld& w) { w.boundPorts[3390] = PortBind::Reserved; }, L"已被系统保留",
         L"修改已取消：端口 3390 已被系统保留"},
        {"group policy",
         [](FakeWorld& w) {
             w.localPolicy = {FirewallLocalPolicy::kGroupPolicyOverride, 1};
         },
         L"组策略", L"修改已取消：组策略不应用本机防火墙规则，端口 3390 的入站规则不会生效"},
        {"inbound blocked",
         [](FakeWorld& w) {
             w.localPolicy = {FirewallLocalPolicy::kInboundBlocked, 2 | 4};
         },
         L"在当前网络（专用、公用）上阻止所有入站连接",
         L"修改已取消：Windows 防火墙阻止所有入站连接，端口 3390 的入站规则不会生效"},
        {"service stopped", [](FakeWorld& w) { w.serviceDownCode = kFirewallServiceStopped; },
         L"Windows 防火墙服务（MpsSvc）没有运行，无法添加任何防火墙规则。",
         L"修改已取消：Windows 防火墙服务（MpsSvc）没有运行，无法添加防火墙规则"},
        {"service disabled, object refused",
         [](FakeWorld& w) {
             w.failFirewallCreation = true;
             w.firewallCreationCode = kFirewallServiceDisabled;
         },
         L"Windows 防火墙服务（MpsSvc）已被禁用，无法添加任何防火墙规则。",
         L"修改已取消：Windows 防火墙服务（MpsSvc）已被禁用，无法添加防火墙规则"},
        // Stopped and disabled give the same code: the service's start type tells them apart.
        {"service disabled, same code as stopped",
         [](FakeWorld& w) {
             w.serviceDownCode = kFirewallServiceStopped;
             w.serviceStartTypes[L"MpsSvc"] = kServiceDisabled;
         },
         L"Windows 防火墙服务（MpsSvc）已被禁用，无法添加任何防火墙规则。",
         L"修改已取消：Windows 防火墙服务（MpsSvc）已被禁用，无法添加防火墙规则"},
        {"service stopped, set to start by hand",
         [](FakeWorld& w) {
             w.failFirewallCreation = true;
             w.firewallCreationCode = kFirewallServiceStopped;
             w.serviceStartTypes[L"MpsSvc"] = 3;
         },
         L"Windows 防火墙服务（MpsSvc）没有运行，无法添加任何防火墙规则。",
         L"修改已取消：Windows 防火墙服务（MpsSvc）没有运行，无法添加防火墙规则"},
        {"Windows' rules disabled and nothing else admits the current port",
         [](FakeWorld& w) {
             for (FirewallRule& rule : w.windowsRules) rule.enabled = false;
         },
         L"没有已启用的规则允许远程桌面现在的端口 3389",
         L"修改已取消：没有允许端口 3389 的防火墙规则，新端口将对所有网络和地址开放",
         L"新端口 3390 的防火墙规则将对所有网络（域、专用、公用）和所有远程地址开放"},
        {"the rules cannot be read", [](FakeWorld& w) { w.failReadRules = true; },
         L"无法读取 Windows 防火墙的规则（拒绝访问。（错误代码 0x80070005））",
         L"修改已取消：无法读取防火墙规则，新端口将对所有网络和地址开放", L"所有网络（域、专用、公用）和所有远程地址"},
        {"a block rule over the new port",
         [](FakeWorld& w) {
             FirewallRule block;
             block.name = L"阻止扫描端口";
             block.action = 0;
             block.localPorts = L"3000-3999";
             block.applicationName.clear();
             block.serviceName.clear();
             w.windowsRules.push_back(block);
         },
         L"会阻止新端口 3390 的入站连接，阻止规则优先于所有允许规则：\r\n“阻止扫描端口”",
         L"修改已取消：阻止规则“阻止扫描端口”阻止端口 3390"},
        {"two block rules, one for some addresses and named indirectly",
         [](FakeWorld& w) {
             FirewallRule block;
             block.name = L"@{Contoso.Guard?ms-resource://Contoso.Guard/Block}";
             block.action = 0;
             block.localPorts = L"3390";
             block.remoteAddresses = L"203.0.113.0/24";
             w.windowsRules.push_back(block);
             block.name = L"阻止 3390";
             block.remoteAddresses = L"198.51.100.0/24";
             w.windowsRules.push_back(block);
             w.displayTexts[L"@{Contoso.Guard?ms-resource://Contoso.Guard/Block}"] = L"Contoso 防护";
         },
         L"“Contoso 防护”（远程地址：203.0.113.0/24）\r\n“阻止 3390”（远程地址：198.51.100.0/24）",
         L"修改已取消：阻止规则“Contoso 防护”等 2 条规则阻止端口 3390",
         L"如果继续，重启后从上述远程地址将无法通过新端口 3390 远程连接这台计算机。"},
        {"Windows Firewall turned off for a current profile",
         [](FakeWorld& w) {
             w.localPolicy.currentProfiles = 1 | 4;
             w.firewallOffProfiles = 4;
         },
         L"Windows 防火墙在当前网络（公用）上已关闭", L"修改已取消：Windows 防火墙在当前网络（公用）上已关闭",
         L"可能无法通过新端口 3390 远程连接这台计算机"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        world = OrdinaryMachine();
        view.log = kStartLog;
        c.arrange(world);
        const auto before = world.registry;
        Change(L"3390", {kNo});
        const auto questions = Questions();
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_NE(questions[0].find(c.cause), std::wstring::npos) << questions[0];
        EXPECT_NE(questions[0].find(L"3390"), std::wstring::npos);
        EXPECT_NE(questions[0].find(L"建议："), std::wstring::npos);
        if (c.cause.find(L"防火墙服务") != std::wstring::npos) {
            EXPECT_NE(questions[0].find(L"端口必须在本机使用的防火墙中放行"), std::wstring::npos);
        } else {
            EXPECT_NE(questions[0].find(c.consequence), std::wstring::npos);
        }
        ExpectNothingChanged(before, c.cancelled);
    }
}

TEST_F(ReachabilityTest, SeveralConditionsAreAskedInOrderAndYesToAllGoesOnAsUsual) {
    world.Listen(3390, 0);
    world.localPolicy = {FirewallLocalPolicy::kGroupPolicyOverride, 1};
    const auto before = world.registry;
    Change(L"3390", {kYes, kNo});
    ASSERT_EQ(Questions().size(), 2u);
    EXPECT_NE(Questions()[0].find(L"另一个程序"), std::wstring::npos);
    EXPECT_NE(Questions()[1].find(L"组策略"), std::wstring::npos);
    ExpectNothingChanged(before, L"修改已取消：组策略不应用本机防火墙规则，端口 3390 的入站规则不会生效");

    view.log = kStartLog;
    world.messages.clear();
    Change(L"3390", {kYes, kYes, kNo});
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    EXPECT_EQ(world.rules.size(), 2u);
    EXPECT_EQ(view.log.find(L"修改已取消"), std::wstring::npos);
    EXPECT_NE(view.log.find(L"远程端口已被添加到防火墙例外\r\n"), std::wstring::npos);
    EXPECT_EQ(world.messages.back().prompt, expected::kRestartQuestion);
}

TEST_F(ReachabilityTest, ThePortRemoteDesktopUsesNowIsNotChecked) {
    ChangedBefore(L"3390");
    world.Listen(3390, 0);  // by Remote Desktop itself
    Change(L"3390", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(std::count(world.calls.begin(), world.calls.end(), L"check port 3390"), 0);
    EXPECT_EQ(world.messages.size(), 1u) << "only the restart question";
}

// A bind also fails while a connection (outgoing, or in TIME_WAIT) uses the port; none survives the
// restart, so only a listener makes the port taken. A stopped TermService (process 0) owns no listener.
TEST_F(ReachabilityTest, AFailedBindWithoutAListenerIsNoWarningButInconclusive) {
    world.boundPorts[3390] = PortBind::InUse;
    world.Listen(3391, 0);
    Change(L"3390", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    EXPECT_EQ(view.log.rfind(kStartLog + L"未能检查端口 3390 是否可用：端口正被网络连接使用，但没有程序在其上监听，"
                                         L"这些连接在重启后不再占用它\r\n系统远程桌面连接端口已被修改为：3390\r\n",
                             0),
              0u);

    view.log = kStartLog;
    world.registry[kRdpTcpPortPath] = Dword(3389);
    world.failListeners = true;
    Change(L"3390", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_NE(view.log.find(L"未能检查端口 3390 是否可用：端口正被使用，但无法读取 TCP 监听表，拒绝访问。"),
              std::wstring::npos);
}

TEST_F(ReachabilityTest, YesWithTheFirewallServiceDownWritesTheValuesWithoutARuleAndSaysSo) {
    world.serviceDownCode = kFirewallServiceStopped;
    Change(L"3390", {kYes, kNo});
    EXPECT_EQ(world.registry[kTdsPortPath], Dword(3390));
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    EXPECT_EQ(world.registry[kFirewallListPath + L"3390:TCP"], Sz(L"3390:TCP:*:Enabled:新的远程连接端口"));
    EXPECT_TRUE(world.rules.empty());
    std::wstring lines = SuccessLines(L"3390");
    lines.replace(lines.find(L"远程端口已被添加到防火墙例外"), 14,
                  L"未添加防火墙规则：Windows 防火墙服务（MpsSvc）没有运行，请在本机使用的防火墙中放行端口 3390");
    EXPECT_EQ(view.log, kStartLog + lines);
}

TEST_F(ReachabilityTest, ChecksThatCannotBeMadeAreLoggedAndTheChangeGoesOn) {
    world.failPortCheck = true;
    world.localPolicyFailure = 0x80004001u;
    Change(L"3390", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    EXPECT_EQ(world.rules.size(), 2u);
    EXPECT_EQ(view.log.rfind(kStartLog + L"未能检查端口 3390 是否可用：不支持的地址族。（错误代码 0x8007273F）\r\n"
                                         L"未能检查 Windows 防火墙是否应用本机规则：未实现。（错误代码 0x80004001）\r\n"
                                         L"系统远程桌面连接端口已被修改为：3390\r\n",
                             0),
              0u);
}

// Windows Firewall off on a current profile still gets the rules, for when it is turned on again; off on
// every current profile, it asks only that, since no rule is in force to copy a scope from.
TEST_F(ReachabilityTest, AFirewallTurnedOffStillGetsTheRulesAndAsksNothingElse) {
    world.localPolicy.currentProfiles = 2;
    world.firewallOffProfiles = 2;
    Change(L"3390", {kYes, kNo});
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_EQ(world.rules.size(), 2u);
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));

    world = OrdinaryMachine();
    world.windowsRules.clear();
    world.localPolicy.currentProfiles = 2;
    world.firewallOffProfiles = 7;
    world.messages.clear();
    Change(L"3390", {kNo});
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_NE(Questions()[0].find(L"已关闭"), std::wstring::npos);

    world = OrdinaryMachine();
    world.localPolicy.currentProfiles = 2;
    world.failFirewallEnabled = true;
    view.log = kStartLog;
    Change(L"3390", {kNo});
    EXPECT_EQ(view.log.rfind(kStartLog + L"未能检查 Windows 防火墙在当前网络（专用）上是否已打开：未实现。", 0), 0u);
}

// Yes to a port open to everyone: the rules are, and the change goes on as usual.
TEST_F(ReachabilityTest, YesToRulesThatCannotBeReadOpensTheNewPortToEveryone) {
    world.failReadRules = true;
    Change(L"3390", {kYes, kNo});
    ASSERT_EQ(world.rules.size(), 2u);
    for (const auto& [name, rule] : world.rules) {
        EXPECT_EQ(rule.profiles, 0x7FFFFFFF);
        EXPECT_EQ(rule.remoteAddresses, L"*");
    }
    EXPECT_EQ(view.log, kStartLog + SuccessLines(L"3390"));
}

// Remote Desktop works over TCP alone: a block rule for UDP is said in the log and asks nothing.
TEST_F(ReachabilityTest, ABlockRuleForUdpAloneIsALogLine) {
    FirewallRule block;
    block.name = L"阻止 UDP";
    block.action = 0;
    block.protocol = 17;
    block.localPorts = L"3390";
    world.windowsRules.push_back(block);
    Change(L"3390", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(view.log.rfind(
                  kStartLog +
                      L"Windows 防火墙的阻止规则“阻止 UDP”阻止 UDP 端口 3390 的入站连接；远程桌面仍可通过 TCP 连接\r\n"
                      L"系统远程桌面连接端口已被修改为：3390\r\n",
                  0),
              0u);
}

}  // namespace
}  // namespace korvane::testing
