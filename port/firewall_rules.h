// The program's own firewall rules for a new port, open to exactly whom the rules that admit Remote Desktop
// today are open to, and their making as part of one change that can be taken back; and the rules of the
// firewall that decide whether Remote Desktop is reachable on a port: the allow rules that admit its
// listener, and the block rules, which win over every allow rule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

// Windows' own Remote Desktop rules carry this group, the indirect name Windows stores (display names are
// localised). The group also holds rules for other parts of Remote Desktop, such as shadowing.
inline const std::wstring kRemoteDesktopGroup = L"@FirewallAPI.dll,-28752";
inline const std::wstring kOwnRuleGroup = L"Korvane远程端口修改工具";

// Whether two names of programs, services or listener owners are the same as Windows compares them: without
// regard to case.
bool SameName(const std::wstring& a, const std::wstring& b);

// "域、专用、公用" for the profiles set in a NET_FW_PROFILE_TYPE2 mask, each followed by `suffix` (with "网络":
// "专用网络、公用网络", as Windows Firewall names its networks).
std::wstring ProfileNames(int profiles, const std::wstring& suffix = L"");

// The program and service a rule must name to match Remote Desktop's listener.
struct ListenerProgram {
    std::wstring applicationName;
    std::wstring serviceName;
};

// What Windows' own listener rule names on this Windows: on Windows 7 and Server 2008 R2 (6.1) the
// listener runs in the kernel, "System" and no service; from Windows 8 and Server 2012 on it runs in the
// Remote Desktop service. An unknown version counts as a current one.
ListenerProgram RemoteDesktopListenerProgram(WindowsVersion version);

// Whether a rule's local ports, in the firewall's syntax, include `port`: a comma-separated list of numbers
// and ranges ("3389", "3000-3999"), "*" or nothing for every port. The keywords (RPC, RPC-EPMap, IPHTTPS,
// Teredo, Ply2Disc, mDNS, DHCP ...) stand for ports the system hands out itself, never a Remote Desktop
// port.
bool PortListCovers(const std::wstring& localPorts, uint16_t port);

// What tells whether a rule applies to Remote Desktop's listener on this machine.
struct RemoteDesktopListener {
    WindowsVersion version;
    std::wstring systemDirectory;  // C:\Windows\system32, for a program named by its full path
};

// Whether a rule's program and service leave Remote Desktop's listener in: any program or svchost.exe
// (and on Windows 7 and Server 2008 R2 "System", the kernel), any service or TermService, and no app
// package.
bool AppliesToListener(const FirewallRule& rule, const RemoteDesktopListener& listener);

// The rules that open a new port (plain digits, 1 to 65535), TCP then UDP, and to whom they are open.
struct FirewallRulesPlan {
    std::vector<FirewallRule> rules;
    // No enabled rule admits Remote Desktop on its current port: the rules are open to every profile and
    // every remote address.
    bool openToEveryone = false;
};

// Each new rule copies one distinct scope of the enabled inbound allow rules, of any group, that admit
// Remote Desktop's listener on `currentPort` today: profiles, local and remote addresses and ports,
// interfaces and their types, edge traversal, the authorised users and machines, and the program and
// service where the rule names them (else the listener's own). UDP takes the UDP rules' scopes, and the
// TCP rules' where there are none, and so the other way round, so that opening a port never widens who may
// connect.
FirewallRulesPlan FirewallRulesFor(const std::wstring& portText, uint16_t currentPort,
                                   const std::vector<FirewallRule>& firewallRules,
                                   const RemoteDesktopListener& listener);

// The enabled inbound block rules for `protocol` (TCP or UDP; a rule for any protocol counts for both)
// whose local ports cover `port`, whose profiles meet `currentProfiles` (0: unknown, all count), and that
// apply to Remote Desktop's listener. Windows applies them before every allow rule.
std::vector<FirewallRule> BlockingRules(const std::vector<FirewallRule>& firewallRules, int protocol, uint16_t port,
                                        int currentProfiles, const RemoteDesktopListener& listener);

// Making the rules as one step of the change: a rule of the same name is read first, so that Undo can give
// it back every property it had; a rule that did not exist is removed again.
class FirewallRulesChange {
public:
    FirewallRulesChange(FirewallPolicy& firewall, std::vector<FirewallRule> rules);

    // Makes every rule, in order. On failure the rules already made are taken back before it returns.
    Status Apply();
    // Takes back every rule made so far (used when a later step of the change fails).
    void Undo();

    const std::wstring& FailedStep() const { return failedStep_; }
    // Whether a rule was made or changed (and then taken back, when the change failed).
    bool ChangedAnything() const { return changedAnything_; }
    // Rules that could not be taken back, and why.
    const std::vector<std::wstring>& NotRestored() const { return notRestored_; }

private:
    struct Made {
        std::wstring name;
        bool existed = false;
        FirewallRule previous;
    };

    FirewallPolicy& firewall_;
    std::vector<FirewallRule> rules_;
    std::vector<Made> made_;
    bool changedAnything_ = false;
    std::wstring failedStep_;
    std::vector<std::wstring> notRestored_;
};

}  // namespace korvane
