// The narrow contract between the program's logic and Windows: the registry through the script shell
// object, message boxes, starting the restart command and ending the program. The portable code only
// sees these interfaces; platform/win32/ implements them, the unit tests fake them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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

// An inbound rule of the Windows Firewall (the firewall's own rule list, read by every Windows since Vista).
struct FirewallRule {
    std::wstring name;
    std::wstring description;
    std::wstring grouping;
    std::wstring localPorts;  // plain decimal, for instance "3390"
    int protocol = 6;         // TCP
    int direction = 1;        // inbound
    int action = 1;           // allow
    bool enabled = true;
    int profiles = 0x7FFFFFFF;  // all profiles
};

// The firewall policy object ("HNetCfg.FwPolicy2"), obtained for one run and released after it.
class FirewallPolicy {
public:
    virtual ~FirewallPolicy() = default;
    // Makes sure one rule named `rule.name` exists with exactly these settings: an existing rule of that
    // name is brought up to date, otherwise a new one is added. `added` tells which happened.
    virtual Status EnsureRule(const FirewallRule& rule, bool& added) = 0;
    virtual Status RemoveRule(const std::wstring& name) = 0;
};

// Message box styles and answers, in the Windows numbering.
constexpr int kMessageOk = 0;
constexpr int kMessageYesNo = 4;
constexpr int kMessageCritical = 16;
constexpr int kAnswerYes = 6;

// Window style for a started program: minimised, with focus.
constexpr int kShowMinimized = 2;

class Platform {
public:
    virtual ~Platform() = default;
    // Creates a new script shell object; on failure returns null and says why in `status`.
    virtual std::unique_ptr<ScriptShell> CreateScriptShell(Status& status) = 0;
    // Creates a new firewall policy object; on failure returns null and says why in `status`.
    virtual std::unique_ptr<FirewallPolicy> CreateFirewallPolicy(Status& status) = 0;
    // Modal to the application; returns the button pressed (6 for Yes).
    virtual int ShowMessage(const std::wstring& prompt, int style, const std::wstring& title) = 0;
    // Starts `program` (a full path) with `arguments`, without waiting for it.
    virtual Status StartProgram(const std::wstring& program, const std::wstring& arguments, int windowStyle) = 0;
    // The Windows system folder (for instance C:\Windows\system32), without a trailing backslash.
    virtual std::wstring SystemDirectory() = 0;
};

}  // namespace korvane
