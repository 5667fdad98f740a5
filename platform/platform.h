// The narrow contract between the program's logic and Windows: the registry through the script shell
// object, message boxes, starting the restart command and ending the program. The portable code only
// sees these interfaces; platform/win32/ implements them, the unit tests fake them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/remote_desktop.h"

namespace korvane {

// Outcome of one platform operation. A failure carries the system's code (an HRESULT) and its own
// error text, so that whoever reports it can tell the administrator what went wrong.
struct Status {
    bool ok = true;
    uint32_t code = 0;
    std::wstring message;

    static Status Ok() { return {}; }
    static Status Failure(uint32_t code, std::wstring message) { return {false, code, std::move(message)}; }
    explicit operator bool() const { return ok; }
};

// HRESULT of "the system cannot find the file specified": what regread gives for a missing key or value.
constexpr uint32_t kNotFound = 0x80070002u;
// What creating the script shell object answers when its class is not registered, as on servers hardened
// against scripts (wshom.ocx unregistered): no such class name (CO_E_CLASSSTRING), no such class
// (REGDB_E_CLASSNOTREG), or its file gone (ERROR_MOD_NOT_FOUND).
constexpr uint32_t kClassNameUnknown = 0x800401F3u;
constexpr uint32_t kClassNotRegistered = 0x80040154u;
constexpr uint32_t kModuleNotFound = 0x8007007Eu;
// What the firewall's objects answer while the Windows Firewall service (MpsSvc) is stopped ("there are no
// more endpoints available from the endpoint mapper") and while it is disabled.
constexpr uint32_t kFirewallServiceStopped = 0x800706D9u;
constexpr uint32_t kFirewallServiceDisabled = 0x80070422u;

// What regread returned. A DWORD comes back as a number, a string value as text; anything else
// (binary, multi-string) is reported as Other, which the program never needs to handle.
struct RegValue {
    enum class Kind { Number, Text, Other };
    Kind kind = Kind::Other;
    uint32_t number = 0;
    std::wstring text;
};

// The Windows Script Host shell object ("wscript.shell"), obtained for one run and released after it.
class ScriptShell {
public:
    virtual ~ScriptShell() = default;
    virtual Status RegRead(const std::wstring& path, RegValue& value) = 0;
    // `value` is always passed as text; `type` is "REG_DWORD" or "REG_SZ".
    virtual Status RegWrite(const std::wstring& path, const std::wstring& value, const std::wstring& type) = 0;
    virtual Status RegDelete(const std::wstring& path) = 0;
};

// A rule's protocol, action and direction, in the Windows numbering (NET_FW_IP_PROTOCOL, NET_FW_ACTION,
// NET_FW_RULE_DIRECTION), and every profile (NET_FW_PROFILE2_ALL).
constexpr int kIcmpV4 = 1;
constexpr int kTcp = 6;
constexpr int kUdp = 17;
constexpr int kIcmpV6 = 58;
constexpr int kAnyProtocol = 256;
constexpr int kActionBlock = 0;
constexpr int kActionAllow = 1;
constexpr int kDirectionIn = 1;
constexpr int kDirectionOut = 2;
constexpr int kAllProfiles = 0x7FFFFFFF;

// A rule of the Windows Firewall (the firewall's own rule list, read by every Windows since Vista), with
// every property Windows keeps for it. The values given here are those of the program's own rules:
// inbound, allow, enabled, for the Remote Desktop service only, and none of the optional settings.
struct FirewallRule {
    // Defined once, in firewall_rule.cpp: defined by the compiler here, each file that makes, copies or destroys
    // a rule carried its own code for every member.
    FirewallRule();
    FirewallRule(const FirewallRule&);
    FirewallRule(FirewallRule&&) noexcept;
    FirewallRule& operator=(const FirewallRule&);
    FirewallRule& operator=(FirewallRule&&) noexcept;
    ~FirewallRule();

    std::wstring name;
    std::wstring description;
    std::wstring grouping;
    int protocol = kTcp;
    std::wstring localPorts;  // plain decimal, for instance "3390"; only for TCP and UDP
    std::wstring remotePorts = L"*";
    std::wstring icmpTypesAndCodes;  // only for ICMP
    std::wstring localAddresses = L"*";
    std::wstring remoteAddresses = L"*";
    int direction = kDirectionIn;
    int action = kActionAllow;
    bool enabled = true;
    int profiles = kAllProfiles;
    std::wstring applicationName = kRemoteDesktopProgram;
    std::wstring serviceName = kRemoteDesktopService;
    std::wstring interfaceTypes = L"All";
    std::vector<std::wstring> interfaces;  // none: every interface
    int edgeTraversalOptions = 0;          // NET_FW_EDGE_TRAVERSAL_TYPE: 0 deny, 1 allow, 2 and 3 defer
    // Windows 8 and later only (INetFwRule3).
    std::wstring localAppPackageId;
    std::wstring localUserOwner;
    std::wstring localUserAuthorizedList;
    std::wstring remoteUserAuthorizedList;
    std::wstring remoteMachineAuthorizedList;
    int secureFlags = 0;  // NET_FW_AUTHENTICATE_TYPE: 0 none

    auto Fields() const {
        return std::tie(name, description, grouping, protocol, localPorts, remotePorts, icmpTypesAndCodes,
                        localAddresses, remoteAddresses, direction, action, enabled, profiles, applicationName,
                        serviceName, interfaceTypes, interfaces, edgeTraversalOptions, localAppPackageId,
                        localUserOwner, localUserAuthorizedList, remoteUserAuthorizedList, remoteMachineAuthorizedList,
                        secureFlags);
    }
    bool operator==(const FirewallRule& other) const { return Fields() == other.Fields(); }
};

// Whether the firewall applies rules added on this machine, for the profiles that are current
// (NET_FW_MODIFY_STATE and NET_FW_PROFILE_TYPE2 in the Windows numbering).
struct FirewallLocalPolicy {
    enum ModifyState { kApplied = 0, kGroupPolicyOverride = 1, kInboundBlocked = 2 };
    int modifyState = kApplied;
    int currentProfiles = 0;  // 1 domain, 2 private, 4 public, or'ed together
};

// A rule of the firewall's list that could not be read: its name where that could be, else its place in the list
// (from 1), and why.
struct UnreadRule {
    std::wstring name;
    uint32_t position = 0;
    Status status;
};

// The firewall policy object ("HNetCfg.FwPolicy2"), obtained for one run and released after it.
class FirewallPolicy {
public:
    virtual ~FirewallPolicy() = default;
    virtual Status LocalPolicyState(FirewallLocalPolicy& state) = 0;
    // Whether Windows Firewall is turned on for one profile (1 domain, 2 private or 4 public), as set on this
    // machine.
    virtual Status FirewallEnabled(int profile, bool& enabled) = 0;
    // Every rule of the firewall, of every group, with every property; a rule that cannot be read is left out of
    // `rules` and told in `unread`. A failure: the list itself could not be read (`rules` holds those read before).
    virtual Status AllRules(std::vector<FirewallRule>& rules, std::vector<UnreadRule>& unread) = 0;
    // The rule named `name` with every property, when there is one.
    virtual Status FindRule(const std::wstring& name, FirewallRule& rule, bool& found) = 0;
    // Makes sure one rule named `rule.name` exists with exactly these settings: an existing rule of that
    // name gets every property set anew, otherwise a new one is added. `added` tells which happened.
    virtual Status EnsureRule(const FirewallRule& rule, bool& added) = 0;
    virtual Status RemoveRule(const std::wstring& name) = 0;
};

// What an exclusive bind of a TCP port on the IPv4 and the IPv6 wildcard address found.
enum class PortBind {
    Free,
    InUse,     // another socket uses the port: a listener, or only a connection (WSAEADDRINUSE)
    Reserved,  // Windows refuses the port: an excluded range of Hyper-V, WSL or WinNAT (WSAEACCES)
};

// One row of the system's TCP listener tables (IPv4 and IPv6).
struct TcpListener {
    uint16_t port = 0;
    uint32_t processId = 0;  // 0 when Windows does not tell
    // The module that owns it, as Windows names it: the service for a service's listener ("TermService"),
    // else a program's file name, or "System" for the kernel's; empty when Windows does not name it.
    std::wstring owner;
};

// The range from which Windows hands out TCP ports to outgoing connections: `count` ports from `start`.
struct DynamicPortRange {
    uint16_t start = 0;
    uint32_t count = 0;
};

// The version of the running Windows, as the system reports it whatever the program's manifest says.
struct WindowsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};

// A service's start type, in the Windows numbering (SERVICE_DISABLED).
constexpr uint32_t kServiceDisabled = 4;

// Message box styles and answers, in the Windows numbering.
constexpr int kMessageOk = 0;
constexpr int kMessageYesNo = 4;
constexpr int kMessageCritical = 16;
constexpr int kMessageWarning = 48;
constexpr int kMessageSecondButtonDefault = 256;
constexpr int kAnswerYes = 6;

// Window style for a started program: minimised, with focus.
constexpr int kShowMinimized = 2;

// How a started program ended, where it ended within the wait.
struct ProgramExit {
    bool ended = false;
    uint32_t code = 0;
    std::wstring codeText;  // the system's text for a code other than 0, read as a Win32 error; empty for none
};

// One string value of a registry key: its name and its text.
struct RegString {
    std::wstring name;
    std::wstring text;
};

class Platform {
public:
    virtual ~Platform() = default;
    // Every string value of the key `key` ("HKEY_LOCAL_MACHINE\..."), as 64-bit Windows sees it; none when the
    // key does not exist. The script shell object reads only values it is told the names of.
    virtual Status RegistryStrings(const std::wstring& key, std::vector<RegString>& values) = 0;
    // Creates a new script shell object; on failure returns null and says why in `status`.
    virtual std::unique_ptr<ScriptShell> CreateScriptShell(Status& status) = 0;
    // Creates a new firewall policy object; on failure returns null and says why in `status`.
    virtual std::unique_ptr<FirewallPolicy> CreateFirewallPolicy(Status& status) = 0;
    // Binds `port` on the IPv4 and the IPv6 wildcard address with exclusive use, without listening, and
    // closes again at once. A failure means the check could not be made.
    virtual Status TryExclusiveBind(uint16_t port, PortBind& result) = 0;
    // Every TCP listener of the machine.
    virtual Status ListTcpListeners(std::vector<TcpListener>& listeners) = 0;
    // The process a service runs in; 0 when it does not run.
    virtual Status ServiceProcess(const std::wstring& service, uint32_t& processId) = 0;
    virtual Status ServiceStartType(const std::wstring& service, uint32_t& startType) = 0;
    // The image name of a process ("svchost.exe"); empty when it cannot be found.
    virtual std::wstring ProcessImageName(uint32_t processId) = 0;
    virtual WindowsVersion Version() = 0;
    // The dynamic port range in force, as Windows tells it within `waitMilliseconds` (the windows keep painting
    // meanwhile, and take no input); a failure where Windows does not tell, or not in time.
    virtual Status TcpDynamicPortRange(uint32_t waitMilliseconds, DynamicPortRange& range) = 0;
    // The asset tag of the firmware's chassis record (SMBIOS), which some clouds fill in; empty for none.
    virtual std::wstring ChassisAssetTag() = 0;
    // The 16 bytes of the firmware's system UUID (SMBIOS), as stored there; empty for none.
    virtual std::vector<uint8_t> SystemUuid() = 0;
    // The system's serial number in the firmware's system record (SMBIOS); empty for none.
    virtual std::wstring SystemSerialNumber() = 0;
    // The name Windows gives the network interface whose GUID is `guid` ("{...}"), as the firewall's objects name
    // interfaces; a failure where this machine has no such interface, or Windows does not tell.
    virtual Status InterfaceName(const std::wstring& guid, std::wstring& name) = 0;
    // Modal to the application; returns the button pressed (6 for Yes).
    virtual int ShowMessage(const std::wstring& prompt, int style, const std::wstring& title) = 0;
    // Starts `program` (a full path) with `arguments` and waits up to `waitMilliseconds` for it to end, the windows
    // painted meanwhile and taking no input; `exit` says how it ended, if it did. A failure: it did not start.
    virtual Status StartProgram(const std::wstring& program, const std::wstring& arguments, int windowStyle,
                                uint32_t waitMilliseconds, ProgramExit& exit) = 0;
    // The Windows system folder (for instance C:\Windows\system32), without a trailing backslash.
    virtual std::wstring SystemDirectory() = 0;
    // A text as Windows shows it: an indirect string ("@FirewallAPI.dll,-28775", "@{package?ms-resource://...}")
    // in the system's language, any other text as it is. A string that cannot be resolved stays as it is.
    virtual std::wstring DisplayText(const std::wstring& text) = 0;
};

}  // namespace korvane
