// The program's own firewall rules for a new port, open to exactly whom the rules that admit Remote Desktop
// today are open to.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "port/rule_matching.h"

namespace korvane {

// The rules that open a new port, TCP then UDP, and to whom they are open.
struct FirewallRulesPlan {
    std::vector<FirewallRule> rules;
    // No enabled rule admits Remote Desktop on its current port: the rules are open to every profile and
    // every remote address.
    bool openToEveryone = false;
    // Rules that admit Remote Desktop now whose scope cannot be copied: they name an interface this machine does not
    // have (by its GUID), which the new rules could not name.
    std::vector<FirewallRule> notCopied;
};

// Whether a rule names an interface by a GUID that this machine has no name for.
bool HasUnnamedInterface(const FirewallRule& rule);

// Whether a rule has conditions only INetFwRule3 can set (Windows 8 and later): local or remote users, remote
// machines, the local user owner, or secure connections.
bool HasUserConditions(const FirewallRule& rule);

// Each new rule copies one distinct scope of the enabled inbound allow rules, of any group, that admit
// Remote Desktop's listener on `currentPort` today: profiles, local and remote addresses and ports,
// interfaces and their types, edge traversal, the authorised users and machines, and the program and
// service where the rule names them (else the listener's own). UDP takes the UDP rules' scopes, and the
// TCP rules' where there are none, and so the other way round, so that opening a port never widens who may
// connect.
FirewallRulesPlan FirewallRulesFor(uint16_t port, uint16_t currentPort, const std::vector<FirewallRule>& firewallRules,
                                   const RemoteDesktopListener& listener);

// A block rule that keeps someone from Remote Desktop on its current port but not on the new one, and its copy
// for the new port, so that whom it kept out stays out.
struct CarriedBlock {
    FirewallRule source;
    FirewallRule rule;
};

struct CarriedBlocks {
    std::vector<CarriedBlock> carried;
    // Those whose conditions the new port's rule could not have: an interface this machine has no name for, or, on
    // Windows 7 and Server 2008 R2, conditions on users or secure connections. Carried without them, they would
    // block more than they do; they are not carried.
    std::vector<FirewallRule> notCarried;
};

// The enabled inbound block rules, of any profile, that apply to Remote Desktop's listener on `currentPort` and
// not on `port`, each copied onto `port` for its protocol (TCP, UDP, or both for a rule of any protocol) with every
// condition the firewall's objects can set: remote and local addresses and ports, profiles, program, service,
// interfaces and their types, and the conditions on users and secure connections. The copies are named after the
// rules they come from, as `firewallRules` name them.
CarriedBlocks CarriedBlockRules(uint16_t port, uint16_t currentPort, const std::vector<FirewallRule>& firewallRules,
                                const RemoteDesktopListener& listener);

}  // namespace korvane
