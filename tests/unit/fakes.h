// Stand-ins for the platform and the main window, behaving like the real ones as far as the program
// can tell: an in-memory registry reached through a fake script shell object with the same value
// conversions and failure codes, scripted message box answers, and a recorded log.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "port/main_view.h"

namespace korvane::testing {

constexpr uint32_t kTypeMismatch = 0x80020005u;  // regwrite of a DWORD from text that is no number
constexpr uint32_t kOverflow = 0x8002000Au;      // regwrite of a DWORD above 2^31-1
constexpr uint32_t kAccessDenied = 0x80070005u;

struct StoredValue {
    std::wstring type;  // "REG_DWORD" or "REG_SZ"
    uint32_t number = 0;
    std::wstring text;
    bool operator==(const StoredValue& other) const {
        return type == other.type && number == other.number && text == other.text;
    }
};

StoredValue Dword(uint32_t number);
StoredValue Sz(const std::wstring& text);

// The registry and everything the fake platform was asked to do, in order.
struct FakeWorld {
    std::map<std::wstring, StoredValue> registry;  // full path -> value
    std::vector<std::wstring> calls;               // "regread <path>", "regwrite <path>=<value> <type>", ...
    // Operations that fail with access denied: "regread <path>", "regwrite <path>", "regdelete <path>",
    // "regstrings <key>".
    std::set<std::wstring> failing;
    bool failShellCreation = false;
    uint32_t shellCreationCode = 0x800401F3u;  // CO_E_CLASSSTRING, as where wshom.ocx is unregistered
    int shellsCreated = 0;
    int shellsAlive = 0;

    struct Message {
        std::wstring prompt;
        int style;
        std::wstring title;
    };
    std::vector<Message> messages;
    std::vector<int> answers;  // answers to the message boxes in order; OK (1) when exhausted

    // The firewall's rule list, by name, and its failures; Windows' own rules and the administrator's apart
    // (several may share a name), read only, listed first.
    std::map<std::wstring, FirewallRule> rules;
    std::vector<FirewallRule> windowsRules;
    bool failReadRules = false;
    std::set<std::wstring> unreadableRules;  // listed, but their settings cannot be read
    bool failFindRule = false;
    std::set<std::wstring> failEnsureRuleNamed;  // these fail after half of the settings were made
    bool failFirewallCreation = false;
    uint32_t firewallCreationCode = 0x80040154u;  // class not registered
    bool failEnsureRule = false;
    // What the firewall says of rules added here; while serviceDownCode is set, every call on the policy
    // object fails with it, as when the firewall service is stopped or disabled.
    FirewallLocalPolicy localPolicy;
    uint32_t localPolicyFailure = 0;
    int firewallOffProfiles = 0;  // the profiles Windows Firewall is turned off for
    bool failFirewallEnabled = false;
    uint32_t serviceDownCode = 0;

    // What an exclusive bind finds on a port (free when not listed), the listeners of the TCP tables, the
    // services that run (by process), their start types, the image names of processes, the Windows version.
    std::map<uint16_t, PortBind> boundPorts;
    std::vector<TcpListener> listeners;
    std::map<std::wstring, uint32_t> serviceProcesses;
    std::map<std::wstring, uint32_t> serviceStartTypes;
    std::map<uint32_t, std::wstring> processImages;
    WindowsVersion version{10, 0};
    // As Windows 8 and later report it unless told otherwise; none: Windows does not tell.
    std::optional<DynamicPortRange> dynamicRange = DynamicPortRange{49152, 16384};
    std::wstring chassisAssetTag;
    std::map<std::wstring, std::wstring> displayTexts;  // indirect strings as Windows resolves them
    std::vector<uint8_t> systemUuid;
    std::wstring systemSerialNumber;
    std::map<std::wstring, std::wstring> interfaceNames;  // by GUID; any other GUID names no interface here
    bool failPortCheck = false;
    bool failListeners = false;
    // A program with process `processId` (0: Windows does not tell) listens on `port`; Windows names `owner` as
    // the listener's owner (none: it does not name one).
    void Listen(uint16_t port, uint32_t processId, const std::wstring& image = L"", const std::wstring& owner = L"");
    // Remote Desktop's service runs in svchost.exe, process 1088, and its listener is on `port`.
    void ListenAsRemoteDesktop(uint16_t port);
    bool failRemoveRule = false;

    struct Started {
        std::wstring program, arguments;
        int windowStyle;
        uint32_t waitMilliseconds;
    };
    std::vector<Started> started;
    bool failStart = false;
    // How a started program ends: its exit code, or none when it does not end within the wait. The system's
    // texts are known for 5, 1115 and 1190.
    std::optional<uint32_t> startExitCode = 0u;
};

class FakePlatform final : public Platform {
public:
    explicit FakePlatform(FakeWorld& world) : world_(world) {}
    std::unique_ptr<ScriptShell> CreateScriptShell(Status& status) override;
    std::unique_ptr<FirewallPolicy> CreateFirewallPolicy(Status& status) override;
    int ShowMessage(const std::wstring& prompt, int style, const std::wstring& title) override;
    Status StartProgram(const std::wstring& program, const std::wstring& arguments, int windowStyle,
                        uint32_t waitMilliseconds, ProgramExit& exit) override;
    std::wstring SystemDirectory() override { return L"C:\\Windows\\system32"; }
    Status TryExclusiveBind(uint16_t port, PortBind& result) override;
    Status ListTcpListeners(std::vector<TcpListener>& listeners) override;
    Status ServiceProcess(const std::wstring& service, uint32_t& processId) override;
    Status ServiceStartType(const std::wstring& service, uint32_t& startType) override;
    std::wstring ProcessImageName(uint32_t processId) override;
    WindowsVersion Version() override { return world_.version; }
    Status TcpDynamicPortRange(uint32_t waitMilliseconds, DynamicPortRange& range) override;
    std::wstring ChassisAssetTag() override { return world_.chassisAssetTag; }
    std::wstring DisplayText(const std::wstring& text) override;
    Status RegistryStrings(const std::wstring& key, std::vector<RegString>& values) override;
    std::vector<uint8_t> SystemUuid() override { return world_.systemUuid; }
    std::wstring SystemSerialNumber() override { return world_.systemSerialNumber; }
    Status InterfaceName(const std::wstring& guid, std::wstring& name) override;

private:
    FakeWorld& world_;
};

class FakeView final : public MainView {
public:
    std::wstring newPort, currentPort, log;
    bool currentPortEnabled = true;
    int logWrites = 0;

    std::wstring NewPortText() const override { return newPort; }
    void SetNewPortText(const std::wstring& text) override { newPort = text; }
    void SetCurrentPortText(const std::wstring& text) override { currentPort = text; }
    void DisableCurrentPort() override { currentPortEnabled = false; }
    std::wstring LogText() const override { return log; }
    void SetLogText(const std::wstring& text) override {
        log = text;
        ++logWrites;
    }
};

}  // namespace korvane::testing
