// Where the Remote Desktop listener keeps its TCP port, where the firewall's list of open ports lives,
// and how the current port is read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// The firewall entry for a port: its value name under the list and its data, by plain concatenation.
std::wstring FirewallEntryName(const std::wstring& portText);
std::wstring FirewallEntryData(const std::wstring& portText);

// Writing a new port to the three registry values, as one change: what they held is read first, and a
// write that fails puts back what the earlier ones replaced, so the listener port and the firewall entry
// never disagree after a failure.
class PortSettingsChange {
public:
    PortSettingsChange(ScriptShell& shell, const std::wstring& portText);

    // Reads what the three values hold now. A value that does not exist is fine; one that cannot be
    // read, or that holds something that could not be put back, stops the change before any write.
    Status ReadPrevious();
    // Writes the Tds port, the RDP-Tcp port and the firewall entry, in this order. On failure the
    // values already written are put back before it returns.
    Status Write();

    // The step that failed, in words for the administrator.
    const std::wstring& FailedStep() const { return failedStep_; }
    // The RDP-Tcp port as ReadPrevious found it: the port Remote Desktop listens on now; 0 when unknown.
    uint32_t PreviousListenerPort() const;
    // Whether a value was written and put back without trouble.
    bool WroteAnything() const { return wroteAnything_; }
    // Values that could not be put back: what each now holds and what it held before.
    const std::vector<std::wstring>& NotRestored() const { return notRestored_; }

private:
    struct Setting {
        std::wstring name;
        std::wstring path;
        std::wstring type;
        std::wstring value;
        bool existed = false;
        RegValue previous;
    };

    void Undo();
    Status Restore(const Setting& setting);
    std::wstring Describe(const Setting& setting) const;

    ScriptShell& shell_;
    std::vector<Setting> settings_;
    std::size_t written_ = 0;
    bool wroteAnything_ = false;
    std::wstring failedStep_;
    std::vector<std::wstring> notRestored_;
};

}  // namespace korvane
