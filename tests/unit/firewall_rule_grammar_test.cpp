// Firewall rules read from the registry strings Windows keeps them in: each field into the rule's property, the
// "any" of every field the string leaves out, and the damaged strings that give no rule.
#include <gtest/gtest.h>

#include <cwchar>

#include "port/firewall_rule_grammar.h"

namespace korvane::testing {
namespace {

// A rule that says nothing but its action and direction: open to everything, disabled.
FirewallRule AnyRule() {
    FirewallRule rule;
    rule.protocol = kAnyProtocol;
    rule.localPorts = L"*";
    rule.applicationName.clear();
    rule.serviceName.clear();
    rule.enabled = false;
    return rule;
}

struct Case {
    const wchar_t* text;
    void (*expect)(FirewallRule&);  // null: the string is damaged
    bool overridesBlockRules = false;
};

const Case kCases[] = {
    {L"v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=3389|App=%SystemRoot%\\system32\\svchost.exe|"
     L"Svc=termservice|Name=@FirewallAPI.dll,-28775|Desc=@FirewallAPI.dll,-28756|EmbedCtxt=@FirewallAPI.dll,-28752|",
     [](FirewallRule& r) {
         r.enabled = true, r.protocol = kTcp, r.localPorts = L"3389", r.serviceName = L"termservice";
         r.applicationName = L"%SystemRoot%\\system32\\svchost.exe", r.name = L"@FirewallAPI.dll,-28775";
         r.description = L"@FirewallAPI.dll,-28756", r.grouping = L"@FirewallAPI.dll,-28752";
     }},
    {L"v2.31|Action=Block|Active=FALSE|Dir=Out|Protocol=17|LPort=3389|LPort=03000-3999|RPort=53|",
     [](FirewallRule& r) {
         r.action = kActionBlock, r.direction = kDirectionOut, r.protocol = kUdp;
         r.localPorts = L"3389,3000-3999", r.remotePorts = L"53";
     }},
    {L"v2.30|action=allow|dir=in|Protocol=6|LPort=RPC|LPort=rpc-epmap|LPort2_10=IPHTTPSIn|LPort2_20=Ply2Disc|"
     L"LPort2_29=TcpCDPSvc|RPort2_10=IPTLSOut|",
     [](FirewallRule& r) {
         r.protocol = kTcp, r.localPorts = L"RPC,RPC-EPMap,IPHTTPS,Ply2Disc,TcpCDPSvc", r.remotePorts = L"IPHTTPS";
     }},
    {L"v2.30|Action=Allow|Dir=In|RA4=198.51.100.7|RA4=10.0.0.0/255.0.0.0|RA4=LocalSubnet|RA6=localsubnet|"
     L"RA6=fe80::/64|RA42=IntErnet|RA4=DefaultGateway|LA4=192.0.2.1-192.0.2.9|LA6=2001:db8::1|",
     [](FirewallRule& r) {
         r.remoteAddresses = L"198.51.100.7,10.0.0.0/255.0.0.0,LocalSubnet,fe80::/64,Internet,Defaultgateway";
         r.localAddresses = L"192.0.2.1-192.0.2.9,2001:db8::1";
     }},
    {L"v2.30|Action=Allow|Dir=In|Profile=Domain|Profile=PUBLIC|IF={2d4f3f36-1d9b-4ab0-9f2b-31b3a8d2f7c1}|"
     L"IFType=Lan|IFType=RemoteAccess|Edge=TRUE|Defer=User|",
     [](FirewallRule& r) {
         r.profiles = 5, r.interfaces = {L"{2d4f3f36-1d9b-4ab0-9f2b-31b3a8d2f7c1}"};
         r.interfaceTypes = L"Lan,RemoteAccess", r.edgeTraversalOptions = 3;
     }},
    {L"v2.10|Action=ByPass|Dir=In|Edge=TRUE|Security=AuthenticateEncrypt|RMAuth=O:LSD:(A;;CC;;;S-1-5-21-1)|"
     L"RUAuth=O:LSD:(A;;CC;;;S-1-5-21-2)|LUAuth=O:LSD:(A;;CC;;;S-1-5-21-3)|LUOwn=S-1-5-21-4|AppPkgId=S-1-15-2-5|",
     [](FirewallRule& r) {
         r.edgeTraversalOptions = 1, r.secureFlags = 4, r.remoteMachineAuthorizedList = L"O:LSD:(A;;CC;;;S-1-5-21-1)";
         r.remoteUserAuthorizedList = L"O:LSD:(A;;CC;;;S-1-5-21-2)";
         r.localUserAuthorizedList = L"O:LSD:(A;;CC;;;S-1-5-21-3)";
         r.localUserOwner = L"S-1-5-21-4", r.localAppPackageId = L"S-1-15-2-5";
     },
     true},
    {L"v2.10|Action=Allow|Dir=In|Security=Authenticate|", [](FirewallRule& r) { r.secureFlags = 2; }},
    {L"v2.10|Action=Allow|Dir=In|Security=Authenticate|Security2_9=An-NoEncap|",
     [](FirewallRule& r) { r.secureFlags = 1; }},
    {L"v2.10|Action=Allow|Dir=In|Security=Authenticate|Security2=AnE-Nego|",
     [](FirewallRule& r) { r.secureFlags = 3; }},
    {L"v2.33|Action=Allow|Dir=In|Protocol=1|ICMP4=8:*|Platform=2:6:2|Platform2=GTEQ|TTK=Proximity|LOM=TRUE|Zz=q",
     [](FirewallRule& r) { r.protocol = kIcmpV4, r.icmpTypesAndCodes = L"8:*"; }},
    {L"Action=Allow|Dir=In|Protocol=6|LPort=3389|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Protocol|", nullptr},
    {L"v2.10|Action=Allow|Dir=In||Protocol=6|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Protocol=6x|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Protocol=6|LPort=65536|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Protocol=6|LPort=3390-3389|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|LPort=3389|", nullptr},
    {L"v2.10|Action=Permit|Dir=In|", nullptr},
    {L"v2.10|Action=Allow|Dir=Both|", nullptr},
    {L"v2.10|Action=Allow|Action=Block|Dir=In|", nullptr},
    {L"v2.10|Action=Allow|Protocol=6|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Profile=Home|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Security=AuthDynEnc|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|RA4=Everyone|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Platform=2:6|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Platform=9:6:2|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Platform2=GTEQ|", nullptr},
    {L"v2.10|Action=Allow|Dir=In|Platform=2:6:2|Platform2=LTEQ|", nullptr},
};

TEST(FirewallRuleGrammarTest, ReadsEachFieldAndRefusesDamagedStrings) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.text, c.text + std::wcslen(c.text)));
        const std::optional<StoredFirewallRule> read = ParseFirewallRuleText(c.text);
        ASSERT_EQ(read.has_value(), c.expect != nullptr);
        if (!read) continue;
        FirewallRule expected = AnyRule();
        c.expect(expected);
        EXPECT_EQ(read->rule.Fields(), expected.Fields());
        EXPECT_EQ(read->versionMajor, 2);
        EXPECT_EQ(read->overridesBlockRules, c.overridesBlockRules);
    }
}

// Platform and Platform2 as the firewall's FW_OS_PLATFORM list reads: a rule is for the versions it names, each
// exactly or, with GTEQ after it, and every later one; with no platform, for every version. Trust-tuple keywords
// and a package family limit a rule to traffic Remote Desktop's clients never send.
TEST(FirewallRuleGrammarTest, WhatNarrowsARuleToOtherWindowsOrOtherTraffic) {
    const struct {
        const wchar_t* fields;
        WindowsVersion version;
        bool counts;
    } cases[] = {
        {L"", {6, 1}, true},
        {L"Platform=2:6:2|Platform2=GTEQ|", {6, 1}, false},
        {L"Platform=2:6:2|Platform2=GTEQ|", {6, 2}, true},
        {L"Platform=2:6:2|Platform2=GTEQ|", {6, 3}, true},
        {L"Platform=2:6:2|Platform2=GTEQ|", {10, 0}, true},
        {L"Platform=2:6:2|", {10, 0}, false},
        {L"Platform=2:6:1|Platform=2:10:0|", {10, 0}, true},
        {L"Platform=2:6:1|Platform=2:10:0|", {6, 3}, false},
        {L"Platform=2:6:3|Platform2=GTEQ|Platform=2:6:1|", {6, 1}, true},
        {L"Platform=1:6:1|Platform2=GTEQ|", {10, 0}, false},  // not Windows NT
        {L"Platform=2:10:0|", {0, 0}, true},                  // the version unknown
        {L"TTK=ProxSharing|", {10, 0}, false},
        {L"TTK2_22=WFDDisplay|", {10, 0}, false},
        {L"PFN=Microsoft.RemoteDesktop_8wekyb3d8bbwe|", {10, 0}, false},
        {L"AppPkgId=S-1-15-2-1|", {10, 0}, false},
    };
    for (const auto& c : cases) {
        const std::wstring text = L"v2.33|Action=Allow|Dir=In|Protocol=6|LPort=3389|" + std::wstring(c.fields);
        SCOPED_TRACE(std::string(text.begin(), text.end()) + " on " + std::to_string(c.version.major) + "." +
                     std::to_string(c.version.minor));
        const std::optional<StoredFirewallRule> read = ParseFirewallRuleText(text);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(CanConcernRemoteDesktop(*read, c.version), c.counts);
    }
}

}  // namespace
}  // namespace korvane::testing
