// In what order a firewall rule's properties are given to the Windows Firewall. It checks each property as
// it is set, against those already there: ports only on a TCP or UDP rule, ICMP types only on an ICMP rule.
// So a rule that changes protocol first loses what its old protocol allowed, then gets the new protocol,
// then what that one allows; the rest follows, and the rule is enabled last.
#pragma once

#include <vector>

namespace korvane {

enum class RuleWrite {
    ClearPorts,      // local and remote ports back to any
    ClearIcmpTypes,  // ICMP types and codes back to any
    Protocol,
    Ports,      // local and remote ports
    IcmpTypes,  // ICMP types and codes
    Settings,   // addresses, direction, action, profiles, program, service, interfaces, edge traversal,
                // authorisation, description, group
    Enabled,
};

// Whether rules of this protocol have ports (TCP, UDP), or ICMP types and codes (ICMPv4, ICMPv6).
bool ProtocolHasPorts(int protocol);
bool ProtocolHasIcmpTypes(int protocol);

// The writes that turn a rule of protocol `currentProtocol` into one of `newProtocol` with all its settings.
// A new rule object starts with any protocol (256).
std::vector<RuleWrite> RuleWriteOrder(int currentProtocol, int newProtocol);

}  // namespace korvane
