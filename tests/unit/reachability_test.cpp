// What the checks before the first write lead to beyond the warning itself: the port Remote Desktop uses now
// left unchecked, what Yes does with the firewall down, turned off or unreadable, and what is only logged:
// checks that cannot be made, a port used only by connections, a block rule for UDP alone.
#include <gtest/gtest.h>

#include <algorithm>

#include "port/port_change.h"
#include "port/port_settings.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

constexpr int kNo = 7;
constexpr int kYes = 6;

class ReachabilityTest : public ChangeTest {};

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
TEST_F(ReachabilityTest, AFailedBindWithoutAListenerIsOnlyLogged) {
    world.boundPorts[3390] = PortBind::InUse;
    world.Listen(3391, 0);
    Change(L"3390", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    EXPECT_EQ(view.log.rfind(kStartLog + L"端口 3390 现在只被网络连接使用，没有程序在其上侦听，重启后这些连接不再占用它"
                                         L"\r\n系统远程桌面连接端口已被修改为：3390\r\n",
                             0),
              0u);
}

TEST_F(ReachabilityTest, YesWithTheFirewallServiceDownWritesTheValuesWithoutARuleAndSaysSo) {
    world.serviceDownCode = kFirewallServiceStopped;
    Change(L"3390", {kYes, kNo});
    EXPECT_EQ(world.registry[kTdsPortPath], Dword(3390));
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    EXPECT_EQ(world.registry[std::wstring(kFirewallListPath) + L"3390:TCP"], Sz(L"3390:TCP:*:Enabled:新的远程连接端口"));
    EXPECT_TRUE(world.rules.empty());
    std::wstring lines = SuccessLines(L"3390");
    lines.replace(
        lines.find(L"远程端口已被添加到防火墙例外"), 14,
        L"未添加防火墙规则：Windows 防火墙服务（MpsSvc）已停止，请在这台计算机使用的防火墙中放行 TCP 端口 3390");
    EXPECT_EQ(view.log, kStartLog + lines);
}

TEST_F(ReachabilityTest, ChecksThatCannotBeMadeAreLoggedAndTheChangeGoesOn) {
    world.failPortCheck = true;
    world.localPolicyFailure = 0x80004001u;
    Change(L"3390", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    EXPECT_EQ(world.rules.size(), 2u);
    EXPECT_EQ(view.log.rfind(kStartLog + L"未能检查端口 3390 是否可用：不支持的地址族（错误代码 0x8007273F）\r\n"
                                         L"未能检查 Windows 防火墙是否应用本地规则：未实现（错误代码 0x80004001）\r\n"
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

    // Group Policy turns it on for the private network: what the machine's own setting says no longer counts.
    world = OrdinaryMachine();
    world.localPolicy.currentProfiles = 2;
    world.firewallOffProfiles = 2;
    world.registry[std::wstring(kPolicyFirewallKey) + L"PrivateProfile\\EnableFirewall"] = Dword(1);
    world.messages.clear();
    Change(L"3390", {kNo});
    EXPECT_TRUE(Questions().empty());

    world = OrdinaryMachine();
    world.localPolicy.currentProfiles = 2;
    world.failFirewallEnabled = true;
    view.log = kStartLog;
    Change(L"3390", {kNo});
    EXPECT_EQ(view.log.rfind(kStartLog + L"未能检查 Windows 防火墙在专用网络上是否已打开：未实现（错误代码 0x80004001）", 0), 0u);
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
