// Remote Desktop as this program knows it: where its listener keeps the port, the service and program it
// runs in, where Windows keeps what decides whether it can be reached, the program's own firewall group, and
// the limits of a port. Everything here is a constant of Windows or of this program, in one place.
#pragma once

#include <cstdint>

namespace korvane {

// The listener port Remote Desktop Services actually uses.
inline constexpr wchar_t kRdpTcpPortPath[] =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp\\PortNumber";
// A legacy copy of the port, still written so that older readers agree with the listener.
inline constexpr wchar_t kTdsPortPath[] =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd\\Tds\\tcp\\PortNumber";
// The standard profile's list of globally open ports; an entry's name follows the last backslash.
inline constexpr wchar_t kFirewallListPath[] =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
    L"StandardProfile\\GloballyOpenPorts\\List\\";

// The two fDenyTSConnections values: the machine's own, and Group Policy's, which decides when present.
inline constexpr wchar_t kDenyConnectionsPath[] =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\fDenyTSConnections";
inline constexpr wchar_t kDenyConnectionsPolicyPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Windows NT\\Terminal Services\\fDenyTSConnections";
inline constexpr wchar_t kEditionIdPath[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\EditionID";
// What the firmware told Windows at boot (SMBIOS system manufacturer and product name).
inline constexpr wchar_t kSystemManufacturerPath[] =
    L"HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\BIOS\\SystemManufacturer";
inline constexpr wchar_t kSystemProductPath[] =
    L"HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\BIOS\\SystemProductName";

// Windows Firewall as Group Policy sets it: its rules, one string value each in Windows' rule grammar, and per
// profile (DomainProfile, PrivateProfile, PublicProfile) the EnableFirewall and AllowLocalPolicyMerge values,
// which win over the machine's own settings. The machine's own rules are kept in the same grammar too.
inline constexpr wchar_t kPolicyFirewallRulesKey[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\FirewallRules";
inline constexpr wchar_t kPolicyFirewallKey[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\";
inline constexpr wchar_t kLocalFirewallRulesKey[] =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules";

// The port proposed in the new-port field, the port Remote Desktop assumes when none is configured, and the
// highest port there is.
inline constexpr wchar_t kDefaultPort[] = L"10010";
constexpr uint16_t kStandardRemoteDesktopPort = 3389;
constexpr uint32_t kHighestPort = 65535;

// The service Remote Desktop listens in, and the program it runs in; on Windows 7 and Server 2008 R2 its
// listener belongs to the kernel, which Windows names "System".
inline constexpr wchar_t kRemoteDesktopService[] = L"TermService";
inline constexpr wchar_t kRemoteDesktopProgram[] = L"%SystemRoot%\\system32\\svchost.exe";
inline constexpr wchar_t kKernelOwner[] = L"System";
constexpr uint32_t kKernelProcessId = 4;
// The Windows Firewall service.
inline constexpr wchar_t kFirewallService[] = L"MpsSvc";

// Windows' own Remote Desktop rules carry this group, the indirect name Windows stores (display names are
// localised). The group also holds rules for other parts of Remote Desktop, such as shadowing.
inline constexpr wchar_t kRemoteDesktopGroup[] = L"@FirewallAPI.dll,-28752";
// The group of the rules this program makes.
inline constexpr wchar_t kOwnRuleGroup[] = L"Korvane远程端口修改工具";

}  // namespace korvane
