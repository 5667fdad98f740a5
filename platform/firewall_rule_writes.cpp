#include "platform/firewall_rule_writes.h"

#include "platform/platform.h"

namespace korvane {

bool ProtocolHasPorts(int protocol) {
    return protocol == kTcp || protocol == kUdp;
}

bool ProtocolHasIcmpTypes(int protocol) {
    return protocol == kIcmpV4 || protocol == kIcmpV6;
}

std::vector<RuleWrite> RuleWriteOrder(int currentProtocol, int newProtocol) {
    std::vector<RuleWrite> writes;
    if (currentProtocol != newProtocol) {
        if (ProtocolHasPorts(currentProtocol)) writes.push_back(RuleWrite::ClearPorts);
        if (ProtocolHasIcmpTypes(currentProtocol)) writes.push_back(RuleWrite::ClearIcmpTypes);
        writes.push_back(RuleWrite::Protocol);
    }
    if (ProtocolHasPorts(newProtocol)) writes.push_back(RuleWrite::Ports);
    if (ProtocolHasIcmpTypes(newProtocol)) writes.push_back(RuleWrite::IcmpTypes);
    writes.push_back(RuleWrite::Settings);
    writes.push_back(RuleWrite::Enabled);
    return writes;
}

}  // namespace korvane
