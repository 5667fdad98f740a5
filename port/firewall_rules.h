// The program's own firewall rules for a new port, made the way Windows makes its Remote Desktop rules
// (TCP and UDP, for the Remote Desktop service only, open to the same networks and addresses as Windows'
// own listener rules), and their making as part of one change that can be taken back.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

// Windows' own Remote Desktop rules carry this group, the indirect name Windows stores (display names are
// localised). The group also holds rules for other parts of Remote Desktop, such as shadowing.
inline const std::wstring kRemoteDesktopGroup = L"@FirewallAPI.dll,-28752";
inline const std::wstring kOwnRuleGroup = L"Korvane远程端口修改工具";

// "域、专用、公用" for the profiles set in a NET_FW_PROFILE_TYPE2 mask.
std::wstring ProfileNames(int profiles);

// The program and service a rule must name to match Remote Desktop's listener.
struct ListenerProgram {
    std::wstring applicationName;
    std::wstring serviceName;
};

// What Windows' own listener rule names on this Windows: on Windows 7 and Server 2008 R2 (6.1) the
// listener runs in the kernel, "System" and no service; from Windows 8 and Server 2012 on it runs in the
// Remote Desktop service. An unknown version counts as a current one.
ListenerProgram RemoteDesktopListenerProgram(WindowsVersion version);

// The rules that open `portText` (plain digits, 1 to 65535): TCP, then UDP. Each copies its scope from
// Windows' own enabled listener rules for that protocol (inbound allow rules on port 3389 in the Remote
// Desktop group): profiles, remote addresses, program and service, one rule per distinct scope. A protocol
// without such a rule takes the other protocol's scopes, so that opening it never widens who may connect;
// with none at all, a rule is open to every profile and address and names `listener`.
std::vector<FirewallRule> FirewallRulesFor(const std::wstring& portText,
                                           const std::vector<FirewallRule>& remoteDesktopRules,
                                           const ListenerProgram& listener);

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
