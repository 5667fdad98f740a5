// Which rules of the firewall concern Remote Desktop's listener on a port: the allow rules that admit it, and
// the block rules, which win over every allow rule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

// The program and service a rule must name to match Remote Desktop's listener.
struct ListenerProgram {
    std::wstring applicationName;
    std::wstring serviceName;
};

// What Windows' own listener rule names on this Windows: on Windows 7 and Server 2008 R2 "System" and no
// service (the kernel), from Windows 8 and Server 2012 on svchost.exe and the Remote Desktop service.
ListenerProgram RemoteDesktopListenerProgram(WindowsVersion version);

// Whether a rule's local ports, in the firewall's syntax, include `port`: a comma-separated list of numbers
// and ranges ("3389", "3000-3999"), "*" or nothing for every port. The keywords (RPC, RPC-EPMap, IPHTTPS,
// Teredo, Ply2Disc, mDNS, DHCP ...) stand for ports the system hands out itself, never a Remote Desktop
// port.
bool PortListCovers(const std::wstring& localPorts, uint16_t port);

// Whether an interface of a rule is named by its GUID ("{2d4f3f36-1d9b-4ab0-9f2b-31b3a8d2f7c1}"), as Group Policy's
// rule strings name them, rather than by the name the firewall's objects take.
bool IsInterfaceGuid(const std::wstring& text);

// What tells whether a rule applies to Remote Desktop's listener on this machine.
struct RemoteDesktopListener {
    WindowsVersion version;
    std::wstring systemDirectory;  // C:\Windows\system32, for a program named by its full path
};

// Whether a rule's program and service leave Remote Desktop's listener in, and it names no app package: from
// Windows 8 on any program or svchost.exe, and any service or TermService; on Windows 7 and Server 2008 R2 any
// program or "System" (the kernel), and no service.
bool AppliesToListener(const FirewallRule& rule, const RemoteDesktopListener& listener);

// An enabled inbound rule with `action` for `protocol` (or for any protocol) whose local ports cover `port` and
// that applies to Remote Desktop's listener.
bool Concerns(const FirewallRule& rule, int action, int protocol, uint16_t port, const RemoteDesktopListener& listener);

// The enabled inbound block rules for `protocol` (TCP or UDP; a rule for any protocol counts for both)
// whose local ports cover `port`, whose profiles meet `currentProfiles` (0: unknown, all count), and that
// apply to Remote Desktop's listener. Windows applies them before every allow rule.
std::vector<FirewallRule> BlockingRules(const std::vector<FirewallRule>& firewallRules, int protocol, uint16_t port,
                                        int currentProfiles, const RemoteDesktopListener& listener);

}  // namespace korvane
