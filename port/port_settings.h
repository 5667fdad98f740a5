// Where the Remote Desktop listener keeps its TCP port and the firewall's list of open ports (paths in
// platform/remote_desktop.h): how the current port is read, and the writes of a new one as steps of the change.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "port/undoable_change.h"

namespace korvane {


// Why the script shell object could not be created, in words for the administrator: where its class is not
// registered, what that means and how to register it again; otherwise the system's text.
std::wstring ScriptShellFailure(const Status& status);

// Result of reading the current listener port.
struct CurrentPort {
    Status status;        // failure: neither value could be read; the message says why
    uint32_t number = 0;  // the DWORD the registry holds, when status is ok
};

// Reads the RDP-Tcp port; falls back to the Tds copy only when RDP-Tcp cannot be read.
CurrentPort ReadCurrentPort(ScriptShell& shell);

// The firewall entry for a port: its value name under the list and its data, by plain concatenation.
std::wstring FirewallEntryName(const std::wstring& portText);
std::wstring FirewallEntryData(const std::wstring& portText);

// The writes of a new port, as typed, to the Tds port, the RDP-Tcp port and the firewall entry, in this order,
// each a step of the change that knows what its value held before and puts that back on Undo.
struct PortSettingsWrites {
    Status status;  // a value that cannot be read, or that holds what could not be put back, stops the change
    std::wstring failedStep;
    // The RDP-Tcp port as found: the port Remote Desktop is configured to listen on now; 0 when unknown.
    uint32_t previousListenerPort = 0;
    std::vector<std::unique_ptr<UndoableStep>> steps;
};

// Reads what the three values hold now; a value that does not exist is fine.
PortSettingsWrites ReadPortSettings(ScriptShell& shell, const std::wstring& portText);

}  // namespace korvane
