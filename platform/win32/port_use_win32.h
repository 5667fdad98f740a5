#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace korvane {

// A trial listen on `port`, on the IPv4 and the IPv6 wildcard address with exclusive use, closed again at
// once: whether Remote Desktop could listen there, and who holds it when not.
Status CheckWindowsListenPort(uint16_t port, PortAvailability& availability);

}  // namespace korvane
