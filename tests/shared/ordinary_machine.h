// The firewall of an ordinary machine with Remote Desktop allowed, shared by the unit tests' fake and the
// Wine bench: Windows' own enabled Remote Desktop listener rules, TCP and UDP on 3389, for the Remote Desktop
// service, every profile and every remote address (as a server edition has them).
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace expected {

inline korvane::FirewallRule WindowsRemoteDesktopRule(int protocol) {
    korvane::FirewallRule rule;
    rule.name = protocol == 6 ? L"远程桌面 - 用户模式(TCP-In)" : L"远程桌面 - 用户模式(UDP-In)";
    rule.description =
        std::wstring(L"用于远程桌面服务的入站规则，以允许 RDP 通信。[") + (protocol == 6 ? L"TCP" : L"UDP") + L" 3389]";
    rule.grouping = L"@FirewallAPI.dll,-28752";
    rule.protocol = protocol;
    rule.localPorts = L"3389";
    return rule;
}

inline std::vector<korvane::FirewallRule> WindowsRemoteDesktopRules() {
    return {WindowsRemoteDesktopRule(6), WindowsRemoteDesktopRule(17)};
}

}  // namespace expected
