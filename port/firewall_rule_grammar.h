// Windows keeps each firewall rule as one registry string in a grammar of its own, for example
// "v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=3389|RA4=198.51.100.7|Name=...|": Group Policy's rules
// under HKLM\SOFTWARE\Policies\Microsoft\WindowsFirewall\FirewallRules, the local ones under
// HKLM\SYSTEM\CurrentControlSet\Services\SharedAccess\Parameters\FirewallPolicy\FirewallRules, one value per rule
// named by the rule's id. Group Policy's rules are not among those the firewall's objects list, so they are read
// from these strings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

// A rule read from its registry string, with what FirewallRule has no place for.
struct StoredFirewallRule {
    FirewallRule rule;
    // The version of the grammar the string was written in: "v2.10" is 2 and 10.
    int versionMajor = 0;
    int versionMinor = 0;
    // Action=ByPass: an allow rule (rule.action is kActionAllow) that also wins over block rules, for traffic
    // that IPsec authenticates.
    bool overridesBlockRules = false;
    // Platform (and Platform2=GTEQ after it): the versions of Windows the rule is for, as the firewall's
    // FW_OS_PLATFORM gives them (platform 2 is Windows NT); none: every version.
    struct ForWindows {
        uint32_t platform = 0, major = 0, minor = 0;
        bool orLater = false;
    };
    std::vector<ForWindows> platforms;
    // TTK...: only the traffic of Wi-Fi Direct, UPnP or proximity sharing (trust tuple keywords).
    bool trustTupleOnly = false;
    // PFN: only one app package, by its family name.
    std::wstring packageFamilyName;
};

// Whether the rule can admit or block Remote Desktop's clients on `version`: Windows applies it there (an unknown
// version, 0.0, counts as any), and it is limited neither to trust-tuple traffic, which Remote Desktop's clients do
// not send, nor to one app package.
bool CanConcernRemoteDesktop(const StoredFirewallRule& stored, WindowsVersion version);

// The rule a registry string holds, in the terms of the firewall's objects: ports, addresses and interface types
// as the comma lists INetFwRule gives, keywords in its spelling, profiles as a mask (all of them when the string
// names none), protocol 256 when it names none, SecureFlags in the NET_FW_AUTHENTICATE_TYPE numbering.
// Field names and keywords are read without regard to case. A field this program does not know is left out.
// None when the string is damaged: no version, a field without '=', a number that is not one, an action,
// direction, profile, interface type, security value or keyword that is not one of the grammar's, a field that
// may appear once appearing twice, no action or direction, ports or ICMP types on a protocol that has none, or a
// platform that is not "platform:major:minor" (Platform2 with nothing to refine among them).
std::optional<StoredFirewallRule> ParseFirewallRuleText(const std::wstring& text);

}  // namespace korvane
