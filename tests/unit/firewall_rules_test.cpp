// The firewall rules of a change: TCP and UDP for the Remote Desktop service, in the scopes of the rules that
// admit Remote Desktop now, which rules count as such and which block it, every property of an existing rule
// set anew, and every rule taken back when a later step fails.
#include <gtest/gtest.h>

#include "platform/firewall_rule_writes.h"
#include "port/applied_firewall.h"
#include "port/rule_plan.h"
#include "port/port_change.h"
#include "port/port_settings.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

const std::wstring kSvchost = L"%SystemRoot%\\system32\\svchost.exe";
const RemoteDesktopListener kWindows10{{10, 0}, L"C:\\Windows\\system32"};

// One of Windows' own Remote Desktop rules, as a client edition keeps them.
FirewallRule WindowsRule(int protocol, int profiles, const std::wstring& remoteAddresses, bool enabled = true,
                         const std::wstring& localPorts = L"3389") {
    FirewallRule rule = expected::WindowsRemoteDesktopRule(protocol);
    rule.localPorts = localPorts;
    rule.profiles = profiles;
    rule.remoteAddresses = remoteAddresses;
    rule.enabled = enabled;
    return rule;
}

// A rule of the administrator's own: inbound, for `program` (none: every program) and no service.
FirewallRule AdminRule(const std::wstring& name, int action, int protocol, const std::wstring& localPorts,
                       const std::wstring& remoteAddresses = L"*", const std::wstring& program = L"") {
    FirewallRule rule;
    rule.name = name;
    rule.grouping.clear();
    rule.action = action;
    rule.protocol = protocol;
    rule.localPorts = localPorts;
    rule.remoteAddresses = remoteAddresses;
    rule.applicationName = program;
    rule.serviceName.clear();
    return rule;
}

using Scopes = std::map<std::wstring, std::pair<int, std::wstring>>;  // name -> profiles, remote addresses

Scopes ScopesOf(const std::vector<FirewallRule>& rules) {
    Scopes scopes;
    for (const FirewallRule& rule : rules) scopes[rule.name] = {rule.profiles, rule.remoteAddresses};
    return scopes;
}

class FirewallRulesTest : public ChangeTest {
protected:
    Scopes Made() const {
        std::vector<FirewallRule> made;
        for (const auto& named : world.rules) made.push_back(named.second);
        return ScopesOf(made);
    }
};

TEST(PortListCovers, NumbersRangesAndAnyCoverKeywordsNever) {
    const struct {
        const wchar_t* list;
        uint16_t port;
        bool covers;
    } cases[] = {
        {L"3389", 3389, true},
        {L"3390", 3389, false},
        {L"3000-3999", 3389, true},
        {L"3390-3400", 3389, false},
        {L"3380-3389", 3389, true},
        {L"80,443,3389", 3389, true},
        {L" 80 , 3389 ", 3389, true},
        {L"80, 3000 - 4000", 3389, true},
        {L"*", 3389, true},
        {L"", 3389, true},
        {L"RPC", 3389, false},
        {L"RPC-EPMap", 3389, false},
        {L"IPHTTPS,Teredo", 3389, false},
        {L"Ply2Disc,3389", 3389, true},
        {L"mDNS", 5353, false},
        {L"65535", 65535, true},
        {L"3389-3380", 3389, false},
        {L"99999", 34463, false},
        {L"3389-", 3389, false},
        {L"033389", 33389, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list, c.list + wcslen(c.list)) + " / " + std::to_string(c.port));
        EXPECT_EQ(PortListCovers(c.list, c.port), c.covers);
    }
}

// The listener is svchost.exe's TermService from Windows 8 on, the kernel ("System") on Windows 7.
TEST(AppliesToListener, AnyProgramOrServiceOrRemoteDesktopsOwn) {
    const struct {
        const wchar_t* program;
        const wchar_t* service;
        WindowsVersion version;
        bool applies;
    } cases[] = {
        {L"", L"", {10, 0}, true},
        {L"%SystemRoot%\\system32\\svchost.exe", L"TermService", {10, 0}, true},
        {L"C:\\WINDOWS\\System32\\svchost.exe", L"termservice", {10, 0}, true},
        {L"%windir%\\system32\\svchost.exe", L"*", {10, 0}, true},
        {L"", L"TermService", {6, 2}, true},
        {L"%SystemRoot%\\system32\\svchost.exe", L"", {10, 0}, true},
        {L"%SystemRoot%\\system32\\svchost.exe", L"Dnscache", {10, 0}, false},
        {L"%SystemRoot%\\system32\\RdpSa.exe", L"", {10, 0}, false},  // shadowing
        {L"C:\\nginx\\nginx.exe", L"", {10, 0}, false},
        {L"System", L"", {10, 0}, false},
        {L"System", L"", {6, 1}, true},
        {L"%SystemRoot%\\system32\\svchost.exe", L"TermService", {6, 1}, false},
        {L"%SystemRoot%\\system32\\svchost.exe", L"", {6, 1}, false},
        {L"", L"TermService", {6, 1}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program, c.program + wcslen(c.program)) + " " + std::to_string(c.version.major));
        FirewallRule rule;
        rule.applicationName = c.program;
        rule.serviceName = c.service;
        EXPECT_EQ(AppliesToListener(rule, {c.version, L"C:\\Windows\\system32"}), c.applies);
    }
    FirewallRule packaged;
    packaged.applicationName.clear();
    packaged.localAppPackageId = L"S-1-15-2-1";
    EXPECT_FALSE(AppliesToListener(packaged, kWindows10)) << "an app package's rule is for that package only";
}

// Who may connect on the new port is who may connect on Remote Desktop's port now: every enabled inbound
// allow rule of any group that admits its listener there gives its scope.
TEST(FirewallRulesFor, EachRuleThatAdmitsTheListenerNowGivesItsScope) {
    FirewallRule everyPort = AdminRule(L"远程桌面服务，任何端口", 1, 6, L"*", L"192.0.2.0/24", kSvchost);
    everyPort.serviceName = L"TermService";
    FirewallRule shadow = WindowsRule(6, 7, L"*", true, L"*");
    shadow.name = L"远程桌面 - 阴影(TCP-In)";
    shadow.applicationName = L"%SystemRoot%\\system32\\RdpSa.exe";
    shadow.serviceName.clear();
    FirewallRule outbound = AdminRule(L"出站", 1, 6, L"3389");
    outbound.direction = 2;
    const struct {
        const char* name;
        std::vector<FirewallRule> rules;
        uint16_t current;
        Scopes expected;
        bool openToEveryone;
    } cases[] = {
        {"Windows' own, TCP and UDP",
         {WindowsRule(6, 1, L"10.0.0.5"), WindowsRule(17, 1, L"10.0.0.5")},
         3389,
         {{L"远程桌面端口 3390 (TCP)", {1, L"10.0.0.5"}}, {L"远程桌面端口 3390 (UDP)", {1, L"10.0.0.5"}}},
         false},
        {"the administrator's allow-list, Windows' own disabled",
         {WindowsRule(6, 7, L"*", false), WindowsRule(17, 7, L"*", false),
          AdminRule(L"办公室远程桌面", 1, 6, L"3389", L"203.0.113.0/24,198.51.100.7")},
         3389,
         {{L"远程桌面端口 3390 (TCP)", {kAllProfiles, L"203.0.113.0/24,198.51.100.7"}},
          {L"远程桌面端口 3390 (UDP)", {kAllProfiles, L"203.0.113.0/24,198.51.100.7"}}},
         false},
        {"a second move: this program's narrowed rule on the current port, not Windows' on 3389",
         {WindowsRule(6, 7, L"*"), AdminRule(L"远程桌面端口 3390 (TCP)", 1, 6, L"3390", L"10.1.1.0/24", kSvchost)},
         3390,
         {{L"远程桌面端口 3391 (TCP)", {kAllProfiles, L"10.1.1.0/24"}},
          {L"远程桌面端口 3391 (UDP)", {kAllProfiles, L"10.1.1.0/24"}}},
         false},
        {"a range, and a list with a keyword",
         {AdminRule(L"范围", 1, 6, L"3000-3999", L"10.0.0.1"), AdminRule(L"列表", 1, 6, L"RPC,3389", L"10.0.0.2")},
         3389,
         {{L"远程桌面端口 3390 (TCP, 域、专用、公用)", {kAllProfiles, L"10.0.0.1"}},
          {L"远程桌面端口 3390 (TCP, 域、专用、公用, 10.0.0.2)", {kAllProfiles, L"10.0.0.2"}},
          {L"远程桌面端口 3390 (UDP, 域、专用、公用)", {kAllProfiles, L"10.0.0.1"}},
          {L"远程桌面端口 3390 (UDP, 域、专用、公用, 10.0.0.2)", {kAllProfiles, L"10.0.0.2"}}},
         false},
        {"every port, for Remote Desktop's service",
         {everyPort},
         3389,
         {{L"远程桌面端口 3390 (TCP)", {kAllProfiles, L"192.0.2.0/24"}},
          {L"远程桌面端口 3390 (UDP)", {kAllProfiles, L"192.0.2.0/24"}}},
         false},
        {"another program's, shadowing, outbound, disabled, a block rule, another port, a keyword: none admits",
         {AdminRule(L"nginx", 1, 6, L"3389", L"10.9.9.9", L"C:\\nginx\\nginx.exe"), shadow, outbound,
          WindowsRule(6, 7, L"*", false), AdminRule(L"阻止", 0, 6, L"3389"), AdminRule(L"别的端口", 1, 6, L"3390"),
          AdminRule(L"RPC", 1, 6, L"RPC")},
         3389,
         {{L"远程桌面端口 3390 (TCP)", {kAllProfiles, L"*"}}, {L"远程桌面端口 3390 (UDP)", {kAllProfiles, L"*"}}},
         true},
        {"two scopes, by profile",
         {WindowsRule(6, 1 | 2, L"*"), WindowsRule(6, 4, L"LocalSubnet"), WindowsRule(17, 1 | 2, L"*"),
          WindowsRule(17, 4, L"LocalSubnet")},
         3389,
         {{L"远程桌面端口 3390 (TCP, 域、专用)", {3, L"*"}},
          {L"远程桌面端口 3390 (TCP, 公用)", {4, L"LocalSubnet"}},
          {L"远程桌面端口 3390 (UDP, 域、专用)", {3, L"*"}},
          {L"远程桌面端口 3390 (UDP, 公用)", {4, L"LocalSubnet"}}},
         false},
        {"UDP without a rule of its own takes TCP's",
         {WindowsRule(6, 1, L"10.0.0.5"), WindowsRule(17, 7, L"*", false)},
         3389,
         {{L"远程桌面端口 3390 (TCP)", {1, L"10.0.0.5"}}, {L"远程桌面端口 3390 (UDP)", {1, L"10.0.0.5"}}},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FirewallRulesPlan plan =
            FirewallRulesFor(static_cast<uint16_t>(c.current + 1), c.current, c.rules, kWindows10);
        EXPECT_EQ(ScopesOf(plan.rules), c.expected);
        EXPECT_EQ(plan.rules.size(), c.expected.size()) << "no two rules of one name";
        EXPECT_EQ(plan.openToEveryone, c.openToEveryone);
    }
}

// Every setting that limits who may connect goes over; a rule for any program names the listener's.
TEST(FirewallRulesFor, TheWholeScopeIsCopiedAndScopesAlikeButOneSettingGetANumber) {
    FirewallRule narrow = AdminRule(L"收紧", 1, 256, L"", L"10.0.0.0/8");
    narrow.profiles = 2;
    narrow.localAddresses = L"192.168.1.10";
    narrow.interfaceTypes = L"Lan";
    narrow.interfaces = {L"以太网"};
    narrow.edgeTraversalOptions = 2;
    narrow.remoteUserAuthorizedList = L"O:LSD:(A;;CC;;;S-1-5-21-1-2-3-1001)";
    narrow.remoteMachineAuthorizedList = L"O:LSD:(A;;CC;;;S-1-5-21-1-2-3-2001)";
    narrow.secureFlags = 1;
    FirewallRulesPlan plan = FirewallRulesFor(3390, 3389, {narrow}, kWindows10);
    ASSERT_EQ(plan.rules.size(), 2u);
    const FirewallRule& tcp = plan.rules[0];
    EXPECT_EQ(tcp.name, L"远程桌面端口 3390 (TCP)");
    EXPECT_EQ(tcp.protocol, 6);
    EXPECT_EQ(tcp.localPorts, L"3390");
    EXPECT_EQ(tcp.remotePorts, L"*");
    EXPECT_EQ(tcp.localAddresses, narrow.localAddresses);
    EXPECT_EQ(tcp.interfaceTypes, narrow.interfaceTypes);
    EXPECT_EQ(tcp.interfaces, narrow.interfaces);
    EXPECT_EQ(tcp.edgeTraversalOptions, 2);
    EXPECT_EQ(tcp.remoteUserAuthorizedList, narrow.remoteUserAuthorizedList);
    EXPECT_EQ(tcp.remoteMachineAuthorizedList, narrow.remoteMachineAuthorizedList);
    EXPECT_EQ(tcp.secureFlags, 1);
    EXPECT_EQ(tcp.applicationName, kSvchost);
    EXPECT_EQ(tcp.serviceName, L"TermService");
    EXPECT_EQ(tcp.grouping, kOwnRuleGroup);

    FirewallRule other = narrow;
    other.localAddresses = L"192.168.1.11";
    plan = FirewallRulesFor(3390, 3389, {narrow, other}, kWindows10);
    EXPECT_EQ(ScopesOf(plan.rules),
              (Scopes{{L"远程桌面端口 3390 (TCP, 专用)", {2, L"10.0.0.0/8"}},
                      {L"远程桌面端口 3390 (TCP, 专用, 10.0.0.0/8, " + kSvchost + L")", {2, L"10.0.0.0/8"}},
                      {L"远程桌面端口 3390 (UDP, 专用)", {2, L"10.0.0.0/8"}},
                      {L"远程桌面端口 3390 (UDP, 专用, 10.0.0.0/8, " + kSvchost + L")", {2, L"10.0.0.0/8"}}}));
    EXPECT_EQ(plan.rules[1].localAddresses, L"192.168.1.11");
    plan = FirewallRulesFor(3390, 3389,
                            {narrow, other,
                             [&] {
                                 FirewallRule third = narrow;
                                 third.localAddresses = L"192.168.1.12";
                                 return third;
                             }()},
                            kWindows10);
    EXPECT_EQ(plan.rules.at(2).name, L"远程桌面端口 3390 (TCP, 专用, 10.0.0.0/8, " + kSvchost + L", 2)");
}

// Block rules win over every allow rule: those over the new port that would apply to the listener on a
// current profile.
TEST(BlockingRules, OverTheNewPortOnACurrentProfileForTheListener) {
    FirewallRule disabled = AdminRule(L"已禁用", 0, 6, L"3390");
    disabled.enabled = false;
    FirewallRule outbound = AdminRule(L"出站", 0, 6, L"3390");
    outbound.direction = 2;
    FirewallRule publicOnly = AdminRule(L"仅公用", 0, 6, L"3390");
    publicOnly.profiles = 4;
    const struct {
        FirewallRule rule;
        bool tcp, udp;
    } cases[] = {
        {AdminRule(L"正好", 0, 6, L"3390"), true, false},
        {AdminRule(L"范围之内", 0, 6, L"3000-4000"), true, false},
        {AdminRule(L"旁边", 0, 6, L"3391"), false, false},
        {AdminRule(L"下面：现在的端口", 0, 6, L"3389"), false, false},
        {AdminRule(L"任何协议", 0, 256, L""), true, true},
        {AdminRule(L"UDP", 0, 17, L"3390"), false, true},
        {AdminRule(L"部分地址", 0, 6, L"3390", L"203.0.113.0/24"), true, false},
        {AdminRule(L"别的程序", 0, 6, L"3390", L"*", L"C:\\nginx\\nginx.exe"), false, false},
        {AdminRule(L"允许", 1, 6, L"3390"), false, false},
        {disabled, false, false},
        {outbound, false, false},
        {publicOnly, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.rule.name.begin(), c.rule.name.end()));
        EXPECT_EQ(BlockingRules({c.rule}, kTcp, 3390, 2, kWindows10).size(), c.tcp ? 1u : 0u);
        EXPECT_EQ(BlockingRules({c.rule}, kUdp, 3390, 2, kWindows10).size(), c.udp ? 1u : 0u);
    }
    EXPECT_EQ(BlockingRules({publicOnly}, kTcp, 3390, 4, kWindows10).size(), 1u);
    EXPECT_EQ(BlockingRules({publicOnly}, kTcp, 3390, 0, kWindows10).size(), 1u) << "profiles unknown: all count";
}

// A move after a move: the current port's rules, narrowed by hand since, give the scope.
TEST_F(FirewallRulesTest, ASecondMoveCopiesTheScopeNarrowedByHand) {
    Change(L"3390");
    world.rules.at(L"远程桌面端口 3390 (TCP)").remoteAddresses = L"10.1.1.0/24";
    world.rules.at(L"远程桌面端口 3390 (UDP)").remoteAddresses = L"10.1.1.0/24";
    world.messages.clear();
    Change(L"3391");
    EXPECT_EQ(world.messages.size(), 1u) << "only the restart question";
    EXPECT_EQ(world.rules.at(L"远程桌面端口 3391 (TCP)").remoteAddresses, L"10.1.1.0/24");
    EXPECT_EQ(world.rules.at(L"远程桌面端口 3391 (UDP)").remoteAddresses, L"10.1.1.0/24");
}

// Group Policy's rules count as the machine's own do, and where the policy lets no local rule count, only they do.
TEST_F(FirewallRulesTest, GroupPolicysRulesGiveTheScopeAndMayOutweighTheLocalOnes) {
    const std::wstring policyRules = std::wstring(kPolicyFirewallRulesKey) + L"\\";
    for (FirewallRule& rule : world.windowsRules) rule.enabled = false;
    world.registry[policyRules + L"{office}"] =
        Sz(L"v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=3389|RA4=198.51.100.7|Name=办公室远程桌面|");
    Change(L"3390");
    EXPECT_EQ(world.messages.size(), 1u) << "only the restart question";
    EXPECT_EQ(Made(), (Scopes{{L"远程桌面端口 3390 (TCP)", {kAllProfiles, L"198.51.100.7"}},
                              {L"远程桌面端口 3390 (UDP)", {kAllProfiles, L"198.51.100.7"}}}));

    // The local rules admit everyone on 3389, but the policy lets them count on no profile: its rule gives the
    // scope, and since the rules made here will not count either, that is asked first.
    world = OrdinaryMachine();
    world.registry[policyRules + L"{office}"] =
        Sz(L"v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|Profile=Domain|LPort=3389|RA4=198.51.100.7|Name=办公室|");
    for (const wchar_t* profile : {L"DomainProfile", L"PrivateProfile", L"PublicProfile"})
        world.registry[std::wstring(kPolicyFirewallKey) + profile + L"\\AllowLocalPolicyMerge"] = Dword(0);
    world.messages.clear();
    Change(L"3390", {6, 7});
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_NE(Questions()[0].find(L"组策略在域网络、专用网络、公用网络上把“应用本地防火墙规则”设为“否”"),
              std::wstring::npos);
    EXPECT_EQ(Made(), (Scopes{{L"远程桌面端口 3390 (TCP)", {1, L"198.51.100.7"}},
                              {L"远程桌面端口 3390 (UDP)", {1, L"198.51.100.7"}}}));
}

// Who may connect is the allow rules less the block rules: a block rule over the current port alone goes over to
// the new port; one over both changes nothing and is not asked about.
TEST_F(FirewallRulesTest, BlockRulesFollowTheMoveAndOnesOverBothPortsAreNotAsked) {
    world.windowsRules.push_back(AdminRule(L"封禁网段", 0, kTcp, L"3389", L"203.0.113.0/24"));
    world.windowsRules.push_back(AdminRule(L"全端口黑名单", 0, kAnyProtocol, L"*", L"192.0.2.0/24"));
    Change(L"3390");
    EXPECT_EQ(world.messages.size(), 1u) << "only the restart question";
    const FirewallRule& carried = world.rules.at(L"阻止远程桌面端口 3390 (TCP, 封禁网段)");
    EXPECT_EQ(carried.action, kActionBlock);
    EXPECT_EQ(carried.localPorts, L"3390");
    EXPECT_EQ(carried.remoteAddresses, L"203.0.113.0/24");
    EXPECT_EQ(carried.grouping, kOwnRuleGroup);
    EXPECT_EQ(world.rules.size(), 3u) << "the two allow rules and the one block rule";
    EXPECT_NE(view.log.find(L"将为新端口 3390 添加阻止规则“阻止远程桌面端口 3390 (TCP, 封禁网段)”，沿用只阻止端口 3389 "
                            L"的规则“封禁网段”（远程地址：203.0.113.0/24）\r\n"),
              std::wstring::npos);
}

// Windows 7 cannot make a rule that allows only secure connections: an admitting rule that asks for it, as Windows
// stores it, is put to the administrator.
TEST_F(FirewallRulesTest, WindowsSevenSaysWhenTheNewRulesCannotRequireSecurity) {
    world.version = {6, 1};
    FirewallRule system = WindowsRule(6, 7, L"*");
    system.applicationName = L"System";
    system.serviceName.clear();
    world.windowsRules = {system};
    world.registry[std::wstring(kLocalFirewallRulesKey) + L"\\RemoteDesktop-In-TCP"] =
        Sz(L"v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=3389|App=System|Security=Authenticate|"
           L"Name=远程桌面(TCP-In)|");
    Change(L"3390", {7});  // No
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_NE(Questions()[0].find(L"允许远程桌面端口 3389 的规则“远程桌面(TCP-In)”只允许安全连接（IPsec）"),
              std::wstring::npos);
    EXPECT_TRUE(world.rules.empty());
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

// The program comes from the rule that admits the listener where it names one, whatever the version says;
// otherwise from the version: Windows 7 (6.1) the kernel, Windows 8 (6.2) and later the Remote Desktop service.
TEST_F(FirewallRulesTest, WithoutAProgramInTheRuleTheVersionGivesIt) {
    const struct {
        WindowsVersion version;
        std::wstring application, service;
    } cases[] = {{{6, 1}, L"System", L""},
                 {{6, 2}, kSvchost, L"TermService"},
                 {{10, 0}, kSvchost, L"TermService"},
                 {{0, 0}, kSvchost, L"TermService"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.version.major) + "." + std::to_string(c.version.minor));
        world.rules.clear();
        world.registry[kRdpTcpPortPath] = Dword(3389);
        world.windowsRules = {AdminRule(L"任何程序", 1, 6, L"3389")};
        world.version = c.version;
        Change(L"3390");
        ASSERT_EQ(world.rules.size(), 2u);
        for (const auto& named : world.rules) {
            EXPECT_EQ(named.second.applicationName, c.application);
            EXPECT_EQ(named.second.serviceName, c.service);
        }
    }
    world.rules.clear();
    world.registry[kRdpTcpPortPath] = Dword(3389);
    world.version = {6, 1};
    world.windowsRules = {WindowsRule(6, 7, L"*")};  // svchost.exe and TermService, as from Windows 8 on
    Change(L"3390", {7});                            // No
    ASSERT_EQ(Questions().size(), 1u) << "such a rule admits nothing on Windows 7";
    EXPECT_NE(Questions()[0].find(L"没有找到允许远程桌面端口 3389 的已启用防火墙规则"), std::wstring::npos);
    EXPECT_TRUE(world.rules.empty());
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
    world.failing.insert(L"regwrite " + std::wstring(kRdpTcpPortPath));
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

const std::wstring kPolicyRules = std::wstring(kPolicyFirewallRulesKey) + L"\\";
const std::wstring kPolicy = kPolicyFirewallKey;

// The older policy's port exceptions: "port:protocol:scope:status:name", the scope possibly an IPv6 list.
TEST(PortException, EntriesOfTheOlderPolicysList) {
    const auto entry = ParsePortException(L"3389:tcp:10.0.0.0/255.0.0.0,localsubnet:Enabled:远程桌面");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->port, 3389);
    EXPECT_EQ(entry->protocol, kTcp);
    EXPECT_EQ(entry->scope, L"10.0.0.0/255.0.0.0,localsubnet");
    EXPECT_TRUE(entry->enabled);
    EXPECT_EQ(entry->name, L"远程桌面");
    const auto v6 = ParsePortException(L"3390:UDP:2001:db8::1:disabled:x");
    ASSERT_TRUE(v6.has_value());
    EXPECT_EQ(v6->scope, L"2001:db8::1");
    EXPECT_FALSE(v6->enabled);
    for (const wchar_t* damaged : {L"3389:TCP:*", L"0:TCP:*:enabled:x", L"70000:TCP:*:enabled:x",
                                   L"3389:GRE:*:enabled:x", L"3389:TCP::enabled:x", L"3389:TCP:*:on:x", L"abc"}) {
        EXPECT_FALSE(ParsePortException(damaged).has_value()) << std::wstring(damaged).size();
    }
}

// The administrative templates' older settings are rules of Group Policy: the Remote Desktop exception on TCP 3389
// from its addresses, or blocking it for all when disabled; the port exceptions, where one disabled entry voids the
// enabled ones of its port. Domain is the domain network; Standard, the private and public ones.
TEST_F(FirewallRulesTest, TheOlderPolicySettingsAreRulesOfGroupPolicy) {
    for (FirewallRule& rule : world.windowsRules) rule.enabled = false;
    world.registry[kPolicy + L"StandardProfile\\Services\\RemoteDesktop\\Enabled"] = Dword(1);
    world.registry[kPolicy + L"StandardProfile\\Services\\RemoteDesktop\\RemoteAddresses"] =
        Sz(L"198.51.100.0/24,localsubnet");
    Change(L"3390");
    EXPECT_EQ(world.messages.size(), 1u) << "only the restart question";
    EXPECT_EQ(Made(), (Scopes{{L"远程桌面端口 3390 (TCP)", {6, L"198.51.100.0/24,LocalSubnet"}},
                              {L"远程桌面端口 3390 (UDP)", {6, L"198.51.100.0/24,LocalSubnet"}}}));

    world = OrdinaryMachine();
    world.registry[kPolicy + L"DomainProfile\\Services\\RemoteDesktop\\Enabled"] = Dword(0);
    Change(L"3390");
    EXPECT_EQ(world.messages.size(), 1u) << "a block over 3389 alone follows the move";
    const FirewallRule& blocked =
        world.rules.at(L"阻止远程桌面端口 3390 (TCP, 允许入站远程桌面例外（组策略，域配置文件）)");
    EXPECT_EQ(blocked.profiles, 1);
    EXPECT_EQ(blocked.remoteAddresses, L"*");
    // Disabled for every network, as hardening scripts set it: carried, it keeps the new port closed to all, asked.
    world.registry[kPolicy + L"StandardProfile\\Services\\RemoteDesktop\\Enabled"] = Dword(0);
    world.rules.clear();
    world.registry[kRdpTcpPortPath] = Dword(3389);
    world.messages.clear();
    Change(L"3390", {7});
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_NE(Questions()[0].find(L"现在阻止所有地址连接远程桌面端口 3389，本程序会为新端口 3390 添加同样的阻止规则"),
              std::wstring::npos);

    world = OrdinaryMachine();
    for (FirewallRule& rule : world.windowsRules) rule.enabled = false;
    const std::wstring list = kPolicy + L"StandardProfile\\GloballyOpenPorts\\List\\";
    world.registry[kPolicy + L"StandardProfile\\GloballyOpenPorts\\Enabled"] = Dword(1);
    world.registry[list + L"3389:TCP"] = Sz(L"3389:TCP:10.0.0.0/255.0.0.0:enabled:远程桌面");
    world.registry[list + L"3389:UDP"] = Sz(L"3389:UDP:*:enabled:远程桌面 UDP");
    world.registry[list + L"3389:UDP:off"] = Sz(L"3389:UDP:*:disabled:关闭");
    world.registry[kPolicy + L"DomainProfile\\GloballyOpenPorts\\List\\3389:TCP"] = Sz(L"3389:TCP:*:enabled:未启用");
    Change(L"3390");
    EXPECT_EQ(Made(), (Scopes{{L"远程桌面端口 3390 (TCP)", {6, L"10.0.0.0/255.0.0.0"}},
                              {L"远程桌面端口 3390 (UDP)", {6, L"10.0.0.0/255.0.0.0"}}}));

    world.registry[list + L"bad"] = Sz(L"3389:TCP");
    world.rules.clear();
    world.registry[kRdpTcpPortPath] = Dword(3389);
    world.messages.clear();
    Change(L"3390", {7});
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_NE(Questions()[0].find(L"无法识别组策略的防火墙规则 bad"), std::wstring::npos);
}

// An allow rule that overrides block rules admits, through them, the clients IPsec authenticates; the new port's
// rule cannot. It is asked about wherever a block rule will concern the new port.
TEST_F(FirewallRulesTest, ARuleThatOverridesBlockRulesIsNamedWhereABlockRuleWillMeetTheNewPort) {
    const std::wstring bypass =
        L"v2.10|Action=ByPass|Active=TRUE|Dir=In|Protocol=6|LPort=3389|RA4=198.51.100.7|"
        L"Security=Authenticate|Name=IPsec 远程桌面|";
    const struct {
        const char* name;
        std::wstring ports;  // of the block rule; none: no block rule
        bool local;          // the overriding rule is the machine's own, not Group Policy's
        bool named;
    } cases[] = {
        {"no block rule", L"", false, false},
        {"a block rule over both ports", L"*", false, true},
        {"a block rule over the new port alone", L"3390", false, true},
        {"a block rule over the current port alone, carried over", L"3389", false, true},
        {"a block rule over another port", L"4000", false, false},
        {"the machine's own overriding rule, a block rule over both ports", L"*", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = OrdinaryMachine();
        world.registry[(c.local ? std::wstring(kLocalFirewallRulesKey) + L"\\" : kPolicyRules) + L"{ipsec}"] =
            Sz(bypass);
        if (!c.ports.empty())
            world.windowsRules.push_back(AdminRule(L"封禁网段", kActionBlock, kTcp, c.ports, L"198.51.100.0/24"));
        Change(L"3390", {7});
        const std::vector<std::wstring> warnings = Questions();
        const bool named = !warnings.empty() && warnings[0].find(
                                                    L"允许远程桌面端口 3389 的规则“IPsec 远程桌面”可以替代"
                                                    L"阻止规则") != std::wstring::npos;
        EXPECT_EQ(named, c.named);
    }
}

// A carried block rule keeps its conditions on users, and its interfaces by the names the firewall's objects take;
// one whose interface this machine has no name for, or whose conditions Windows 7 cannot set, is named instead.
TEST_F(FirewallRulesTest, ACarriedBlockRuleKeepsItsConditionsOrIsNamed) {
    const std::wstring guid = L"{2d4f3f36-1d9b-4ab0-9f2b-31b3a8d2f7c1}";
    world.interfaceNames[guid] = L"以太网";
    world.registry[kPolicyRules + L"{block}"] =
        Sz(L"v2.30|Action=Block|Active=TRUE|Dir=In|Protocol=6|LPort=3389|IF=" + guid +
           L"|LUAuth=O:LSD:(A;;CC;;;S-1-5-21-1-2-3-1001)|Name=封禁本地用户|");
    Change(L"3390");
    const FirewallRule& carried = world.rules.at(L"阻止远程桌面端口 3390 (TCP, 封禁本地用户)");
    EXPECT_EQ(carried.interfaces, std::vector<std::wstring>{L"以太网"});
    EXPECT_EQ(carried.localUserAuthorizedList, L"O:LSD:(A;;CC;;;S-1-5-21-1-2-3-1001)");

    const struct {
        const char* name;
        WindowsVersion version;
        bool known;
        std::wstring said;
    } cases[] = {
        {"Windows 7", {6, 1}, true, L"“封禁本地用户”（限定了用户或安全连接，Windows 7 和 Windows Server 2008 R2"},
        {"an interface this machine does not have",
         {10, 0},
         false,
         L"“封禁本地用户”（限定的网络接口在这台计算机上找不到）"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world.rules.clear();
        world.messages.clear();
        world.registry[kRdpTcpPortPath] = Dword(3389);
        world.version = c.version;
        if (!c.known) world.interfaceNames.clear();
        Change(L"3390", {7});
        ASSERT_FALSE(Questions().empty());
        EXPECT_NE(Questions()[0].find(c.said), std::wstring::npos);
        EXPECT_TRUE(world.rules.empty());
    }
}

// Where Group Policy lets no local rule count on a current network, the new rules do nothing there unless a rule of
// the policy admits the new port; told network by network, also when the networks differ in it.
TEST_F(FirewallRulesTest, LocalRulesIgnoredOnACurrentNetworkAreNamed) {
    const struct {
        const char* name;
        int current;
        std::wstring policyPorts;  // of the policy's allow rule on the public network
        std::wstring said;         // none: nothing asked
    } cases[] = {
        {"the public network", 4, L"3389", L"组策略在公用网络上把“应用本地防火墙规则”设为“否”"},
        {"the private network, where local rules count", 2, L"3389", L""},
        {"both, differing", 2 | 4, L"3389", L"组策略在公用网络上把“应用本地防火墙规则”设为“否”"},
        {"the policy admits the new port", 4, L"3389-3399", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = OrdinaryMachine();
        world.localPolicy.currentProfiles = c.current;
        world.registry[kPolicy + L"PublicProfile\\AllowLocalPolicyMerge"] = Dword(0);
        world.registry[kPolicyRules + L"{public}"] = Sz(
            L"v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|Profile=Public|LPort=" + c.policyPorts + L"|Name=公用|");
        Change(L"3390", {7});
        if (c.said.empty()) {
            EXPECT_TRUE(Questions().empty());
        } else {
            ASSERT_EQ(Questions().size(), 1u);
            EXPECT_NE(Questions()[0].find(c.said), std::wstring::npos);
        }
    }
}

// A rule that cannot be read may be the one that admits or blocks: one of the machine's own is named among the checks
// not made and the rest count; a stored string that cannot be read, or a list that cannot, is asked about.
TEST_F(FirewallRulesTest, RulesThatCannotBeReadAreToldAndTheRestCount) {
    world.unreadableRules.insert(expected::WindowsRemoteDesktopRule(kTcp).name);
    Change(L"3390");
    EXPECT_EQ(world.messages.size(), 1u) << "only the restart question";
    EXPECT_NE(view.log.find(L"未能读取 Windows 防火墙规则“" + expected::WindowsRemoteDesktopRule(kTcp).name +
                            L"”：拒绝访问（错误代码 0x80070005），检查时没有计入这条规则"),
              std::wstring::npos);
    EXPECT_EQ(Made().size(), 2u) << "the UDP rule gives the scope";

    world = OrdinaryMachine();
    world.failReadRules = true;
    world.registry[kPolicyRules + L"{office}"] =
        Sz(L"v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=3389|RA4=198.51.100.7|Name=办公室|");
    world.registry[std::wstring(kLocalFirewallRulesKey) + L"\\{damaged}"] = Sz(L"v2.10|Action=Allow|");
    world.messages.clear();
    Change(L"3390", {6, 7});
    ASSERT_EQ(Questions().size(), 1u);
    EXPECT_NE(Questions()[0].find(L"无法识别这台计算机的防火墙规则 {damaged}"), std::wstring::npos);
    EXPECT_NE(Questions()[0].find(L"无法读取 Windows 防火墙的规则：拒绝访问（错误代码 0x80070005）。无法检查其中"),
              std::wstring::npos);
    EXPECT_EQ(Made(), (Scopes{{L"远程桌面端口 3390 (TCP)", {kAllProfiles, L"198.51.100.7"}},
                              {L"远程桌面端口 3390 (UDP)", {kAllProfiles, L"198.51.100.7"}}}));
}

}  // namespace
}  // namespace korvane::testing
