// Who uses a TCP port: an exclusive bind of the program's own, and the system's listener tables.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace korvane {

// Binds `port` on the IPv4 and the IPv6 wildcard address with exclusive use and closes again at once.
// It never listens: the first listen of a program that no firewall rule covers brings up the firewall's
// "allow access" prompt, and either answer leaves rules for the program behind.
Status TryExclusiveBindWindows(uint16_t port, PortBind& result);

// Every listener of the system's TCP tables, IPv4 and IPv6, with its process and the module Windows names as
// its owner.
Status ListTcpListenersWindows(std::vector<TcpListener>& listeners);

}  // namespace korvane
