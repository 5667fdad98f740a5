// Where the Remote Desktop listener keeps its TCP port, where the firewall's list of open ports lives,
// and how the current port is read.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace korvane {

// The listener port Remote Desktop Services actually uses.
inline const std::wstring kRdpTcpPortPath =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp\\PortNumber";
// A legacy copy of the port, still written so that older readers agree with the listener.
inline const std::wstring kTdsPortPath =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd\\Tds\\tcp\\PortNumber";
// The standard profile's list of globally open ports; an entry's name follows the last backslash.
inline const std::wstring kFirewallListPath =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
    L"StandardProfile\\GloballyOpenPorts\\List\\";

inline const std::wstring kDefaultPort = L"10010";
constexpr uint32_t kHighestPort = 65535;

// Plain decimal text of a DWORD as the registry holds it (regread hands DWORDs over as signed numbers).
std::wstring DwordToText(uint32_t value);

// Result of reading the current listener port.
struct CurrentPort {
    Status status;      // failure: neither value could be read; the message says why
    std::wstring text;  // the port as decimal text when status is ok
};

// Reads the RDP-Tcp port; falls back to the Tds copy only when RDP-Tcp cannot be read.
CurrentPort ReadCurrentPort(ScriptShell& shell);

}  // namespace korvane
