// 修改 on the real program: what reaches the real registry, the log, the message boxes, and the restart
// command (seen through a recorder standing in for the system's shutdown.exe).
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "bench.h"
#include "driver_listener.h"
#include "port/port_settings.h"
#include "program.h"
#include "recorded_firewall.h"
#include "registry.h"
#include "ui/control_ids.h"

namespace {

using e2e::Program;
using e2e::RegistryValue;
using namespace korvane;

const std::wstring kStartLog = L"程序默认将远程端口设置为：10010\r\n";
const wchar_t* const kRecordFile = L"C:\\shutdown-record.txt";
const std::wstring kGloballyOpenPortsKey = kFirewallListPath.substr(0, kFirewallListPath.size() - 1);

std::wstring SuccessLines(const std::wstring& port) {
    return L"系统远程桌面连接端口已被修改为：" + port + L"\r\n" +
           L"远程端口已被添加到防火墙例外\r\n"
           L"远程端口将在重启后生效！\r\n"
           L"欢迎访问KorvaneIT技术网：www.kv.example！\r\n";
}

// Both port values on 3389 and no firewall entries: the machine as Windows leaves it.
void SeedDefaultMachine() {
    e2e::SetRegistryDword(kRdpTcpPortPath, 3389);
    e2e::SetRegistryDword(kTdsPortPath, 3389);
    e2e::DeleteRegistryKey(kGloballyOpenPortsKey);
}

// An inbound allow rule for Remote Desktop on `port`, enabled, with every property as it should be stored.
e2e::RecordedFirewallRule RemoteDesktopRule(const std::wstring& name, const std::wstring& grouping, int protocol,
                                            const std::wstring& port, int profiles,
                                            const std::wstring& remoteAddresses) {
    e2e::RecordedFirewallRule rule;
    rule.name = name;
    rule.grouping = grouping;
    rule.protocol = protocol;
    rule.localPorts = port;
    rule.remoteAddresses = remoteAddresses;
    rule.profiles = profiles;
    rule.enabled = true;
    rule.applicationName = L"%SystemRoot%\\system32\\svchost.exe";
    rule.serviceName = L"TermService";
    return rule;
}

// One of the program's rules for `port`.
e2e::RecordedFirewallRule OurRule(const std::wstring& name, int protocol, const std::wstring& port,
                                  int profiles = 0x7FFFFFFF, const std::wstring& remoteAddresses = L"*") {
    e2e::RecordedFirewallRule rule =
        RemoteDesktopRule(name, L"Korvane远程端口修改工具", protocol, port, profiles, remoteAddresses);
    rule.description = L"新的远程连接端口";
    rule.remotePorts = L"*";
    return rule;
}

// The TCP and the UDP rule for `port` on a machine whose own Remote Desktop rules say nothing: open to all.
std::vector<e2e::RecordedFirewallRule> RulesFor(const std::wstring& port) {
    return {OurRule(L"远程桌面端口 " + port + L" (TCP)", 6, port),
            OurRule(L"远程桌面端口 " + port + L" (UDP)", 17, port)};
}

// One of Windows' own Remote Desktop rules as a client edition keeps them (names are localised, the
// group is not).
e2e::RecordedFirewallRule WindowsRule(const std::wstring& name, int protocol, int profiles,
                                      const std::wstring& remoteAddresses, const std::wstring& localPorts = L"3389") {
    return RemoteDesktopRule(name, L"@FirewallAPI.dll,-28752", protocol, localPorts, profiles, remoteAddresses);
}

template <typename T>
std::vector<T> Joined(std::vector<T> first, const std::vector<T>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

void SetNewPort(const Program& program, const std::wstring& text) {
    SendMessageW(program.Control(kIdText2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Clicks 修改 and returns the first message box it brings.
e2e::MessageBoxView ClickChange(const Program& program) {
    program.Click(kIdCommand1);
    auto box = program.WaitForMessageBox();
    if (!box) FAIL_SCENARIO("修改 brought no message box");
    return *box;
}

void ExpectRestartQuestion(const e2e::MessageBoxView& box) {
    CHECK_EQ(box.text, std::wstring(L"修改完成，确定重启吗？"));
    CHECK_EQ(box.caption, std::wstring(L"Korvane"));
    CHECK_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    CHECK(!box.hasIcon);
}

// Changes to `port` and answers No to the restart question.
void ChangeAnsweredNo(const Program& program, const std::wstring& port) {
    SetNewPort(program, port);
    const e2e::MessageBoxView question = ClickChange(program);
    ExpectRestartQuestion(question);
    program.Answer(question, IDNO);
}

void ExpectRegistry(DWORD port, const std::wstring& entryPortText) {
    CHECK_EQ(e2e::ReadRegistryValue(kTdsPortPath), RegistryValue::Dword(port));
    CHECK_EQ(e2e::ReadRegistryValue(kRdpTcpPortPath), RegistryValue::Dword(port));
    CHECK_EQ(e2e::ReadRegistryValue(kFirewallListPath + entryPortText + L":TCP"),
             RegistryValue::String(entryPortText + L":TCP:*:Enabled:新的远程连接端口"));
}

void ExpectNothingWritten() {
    CHECK_EQ(e2e::ReadRegistryValue(kTdsPortPath), RegistryValue::Dword(3389));
    CHECK_EQ(e2e::ReadRegistryValue(kRdpTcpPortPath), RegistryValue::Dword(3389));
    HKEY list = nullptr;
    const e2e::RegistryLocation key = e2e::ParseRegistryPath(kGloballyOpenPortsKey + L"\\x");
    const bool listExists = RegOpenKeyExW(key.root, key.subkey.c_str(), 0, KEY_READ, &list) == ERROR_SUCCESS;
    DWORD values = 0;
    if (listExists) {
        RegQueryInfoKeyW(list, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr);
        RegCloseKey(list);
    }
    CHECK_EQ(values, 0ul);
}

std::wstring ReadRecord() {
    std::ifstream file(kRecordFile, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return e2e::Wide(text.str());
}

// Puts the recorder in place of the system's shutdown.exe (Wine keeps its own unless told to load the
// native one), and another copy beside the program, where it must never be started from.
void InstallShutdownRecorders() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring recorder = e2e::DriverFolder() + L"shutdown_recorder.exe";
    REQUIRE_MSG(CopyFileW(recorder.c_str(), (std::wstring(system) + L"\\shutdown.exe").c_str(), FALSE),
                "could not put the recorder in the system folder");
    REQUIRE_MSG(CopyFileW(recorder.c_str(), (e2e::DriverFolder() + L"shutdown.exe").c_str(), FALSE),
                "could not plant a shutdown.exe beside the program");
    e2e::SetRegistryString(L"HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides\\shutdown.exe", L"native");
    DeleteFileW(kRecordFile);
}

void RemoveShutdownRecorders() {
    DeleteFileW((e2e::DriverFolder() + L"shutdown.exe").c_str());
    e2e::DeleteRegistryValue(L"HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides\\shutdown.exe");
}

// The keys the change may write beneath, as one snapshot: equal snapshots mean not a byte changed.
std::string SnapshotOfChangedKeys() {
    return e2e::RegistryTreeSnapshot(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server") +
           e2e::RegistryTreeSnapshot(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess");
}

// Clicks 修改 on `port` and expects the warning question whose text holds `cause`.
e2e::MessageBoxView ExpectWarning(const Program& program, const std::wstring& port, const std::wstring& cause) {
    SetNewPort(program, port);
    const e2e::MessageBoxView box = ClickChange(program);
    CHECK_EQ(box.caption, std::wstring(L"警告"));
    CHECK_CONTAINS(box.text, cause);
    CHECK_CONTAINS(box.text, L"重启后将无法通过新端口 " + port + L" 远程连接这台计算机");
    CHECK_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    CHECK(box.hasIcon);
    return box;
}

// Answers Yes to a warning, then expects the usual restart question and declines it.
void GoOnAndDeclineRestart(const Program& program, const e2e::MessageBoxView& warning) {
    program.Answer(warning, IDYES);
    auto question = program.WaitForMessageBox();
    REQUIRE_MSG(question.has_value(), "no restart question after Yes");
    ExpectRestartQuestion(*question);
    program.Answer(*question, IDNO);
}

// After No: not a byte of the registry changed, no rule, one log line, no further box.
void ExpectCancelled(const Program& program, const std::string& registryBefore, const std::wstring& cancelledLine) {
    CHECK(SnapshotOfChangedKeys() == registryBefore);
    CHECK(e2e::ReadRecordedFirewallRules().empty());
    CHECK_EQ(program.WaitForText(kIdRizhi, kStartLog + cancelledLine + L"\r\n"), kStartLog + cancelledLine + L"\r\n");
    CHECK(!program.WaitForMessageBox(300));
}

}  // namespace

SCENARIO(change_answered_no_writes_the_three_values_and_logs_four_lines) {
    SeedDefaultMachine();
    Program program;
    ChangeAnsweredNo(program, L"3390");

    ExpectRegistry(3390, L"3390");
    CHECK_EQ(program.Text(kIdRizhi), kStartLog + SuccessLines(L"3390"));
    CHECK_EQ(program.Text(kIdText1), std::wstring(L"3389"));
    CHECK_EQ(program.Text(kIdText2), std::wstring(L"3390"));
    CHECK(!program.WaitForMessageBox(300));
    CHECK(program.Running());
}

SCENARIO(change_answered_yes_restarts_through_the_system_shutdown_only) {
    SeedDefaultMachine();
    InstallShutdownRecorders();
    struct Cleanup {
        ~Cleanup() { RemoveShutdownRecorders(); }
    } cleanup;
    Program program;
    SetNewPort(program, L"3390");
    const e2e::MessageBoxView question = ClickChange(program);
    ExpectRestartQuestion(question);
    program.Answer(question, IDYES);

    auto notice = program.WaitForMessageBox();
    REQUIRE_MSG(notice.has_value(), "no notice after Yes");
    CHECK_EQ(notice->text, std::wstring(L"点击确定后立即重启"));
    CHECK_EQ(notice->caption, std::wstring(L"提示"));
    CHECK_EQ(notice->buttons, std::vector<int>{IDOK});
    CHECK(!notice->hasIcon);
    CHECK(ReadRecord().empty());  // nothing started before the notice is acknowledged
    program.Answer(*notice, IDOK);

    REQUIRE_MSG(e2e::WaitUntil([] { return !ReadRecord().empty(); }, 5000), "shutdown.exe was never started");
    Sleep(300);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring record = ReadRecord();
    const std::wstring systemShutdown = std::wstring(system) + L"\\shutdown.exe";
    CHECK_EQ(record.substr(0, record.find(L'|')), systemShutdown);
    CHECK_CONTAINS(record, L" -r -t 1|");
    CHECK_CONTAINS(record, L"|2\r\n");
    CHECK_EQ(std::count(record.begin(), record.end(), L'\n'), 1);  // the planted copy never ran
    CHECK(program.Running());
    CHECK_EQ(program.Text(kIdRizhi), kStartLog + SuccessLines(L"3390"));
}

SCENARIO(highest_port_and_leading_zeros_are_written) {
    SeedDefaultMachine();
    Program program;
    ChangeAnsweredNo(program, L"65535");
    ExpectRegistry(65535, L"65535");
    ChangeAnsweredNo(program, L"03389");
    ExpectRegistry(3389, L"03389");
    CHECK_EQ(program.Text(kIdRizhi), kStartLog + SuccessLines(L"65535") + SuccessLines(L"03389"));
}

SCENARIO(two_changes_in_a_row_and_the_same_port_twice) {
    SeedDefaultMachine();
    Program program;
    ChangeAnsweredNo(program, L"3390");
    ChangeAnsweredNo(program, L"3391");
    ChangeAnsweredNo(program, L"3391");
    ExpectRegistry(3391, L"3391");
    CHECK_EQ(e2e::ReadRegistryValue(kFirewallListPath + L"3390:TCP"),
             RegistryValue::String(L"3390:TCP:*:Enabled:新的远程连接端口"));
    const std::wstring log = program.Text(kIdRizhi);
    CHECK_EQ(log, kStartLog + SuccessLines(L"3390") + SuccessLines(L"3391") + SuccessLines(L"3391"));
    CHECK_EQ(program.Text(kIdText1), std::wstring(L"3389"));

    // Thirteen lines do not fit the log box: it has scrolled so that the newest one is in view.
    HWND box = program.Control(kIdRizhi);
    const LRESULT lastLineStart = SendMessageW(box, EM_LINEINDEX, SendMessageW(box, EM_GETLINECOUNT, 0, 0) - 2, 0);
    const LRESULT position = SendMessageW(box, EM_POSFROMCHAR, lastLineStart, 0);
    RECT client = {};
    GetClientRect(box, &client);
    const int top = static_cast<short>(HIWORD(position));
    CHECK_MSG(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0) > 0, "the log box did not scroll");
    CHECK_MSG(top >= 0 && top < client.bottom, "the newest log line starts at y " + std::to_string(top) +
                                                   ", outside the box's " + std::to_string(client.bottom) + " px");
}

SCENARIO(ports_above_the_limit_are_refused_and_nothing_is_written) {
    SeedDefaultMachine();
    Program program;
    for (const std::wstring tooHigh : {L"65536", L"99999999999999999999"}) {
        e2e::Context context("new port " + e2e::Utf8(tooHigh));
        SetNewPort(program, tooHigh);
        const e2e::MessageBoxView box = ClickChange(program);
        CHECK_EQ(box.text, std::wstring(L"端口最大值：65535，端口已自动生成可自行更改。"));
        CHECK_EQ(box.caption, std::wstring(L"错误"));
        CHECK_EQ(box.buttons, std::vector<int>{IDOK});
        CHECK(box.hasIcon);
        program.Answer(box, IDOK);
        CHECK_EQ(program.Text(kIdText2), std::wstring(L"10010"));
    }
    ExpectNothingWritten();
    CHECK_EQ(program.Text(kIdRizhi), kStartLog);
}

SCENARIO(text_that_is_not_a_port_is_refused_and_nothing_is_written) {
    SeedDefaultMachine();
    Program program;
    for (const std::wstring bad : {L"", L"0", L"12a", L" 3390", L"３３９０"}) {
        e2e::Context context("new port " + e2e::Quote(bad));
        SetNewPort(program, bad);
        const e2e::MessageBoxView box = ClickChange(program);
        CHECK_EQ(box.text,
                 std::wstring(L"端口必须是 1 到 65535 之间的整数（只能包含数字），端口已自动生成可自行更改。"));
        CHECK_EQ(box.caption, std::wstring(L"错误"));
        CHECK(box.hasIcon);
        program.Answer(box, IDOK);
        CHECK_EQ(program.Text(kIdText2), std::wstring(L"10010"));
    }
    ExpectNothingWritten();
    CHECK_EQ(program.Text(kIdRizhi), kStartLog);
}

SCENARIO(change_opens_the_port_with_a_firewall_rule_once) {
    e2e::CleanFirewall firewall;
    SeedDefaultMachine();
    Program program;
    ChangeAnsweredNo(program, L"03390");
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), RulesFor(L"3390"));
    ChangeAnsweredNo(program, L"3390");
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), RulesFor(L"3390"));
    ChangeAnsweredNo(program, L"3391");
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), Joined(RulesFor(L"3390"), RulesFor(L"3391")));
}

// A refused rule takes back everything: the rules already made go, a rule rewritten gets every property
// back, and not a byte of the registry changes (the new firewall entry, which the script shell could not
// delete here, is never written).
SCENARIO(refused_firewall_rule_puts_everything_back) {
    struct Case {
        const char* name;
        std::vector<e2e::RecordedFirewallRule> seeded;
        e2e::FirewallOperation failing;
        int nthCall;
        std::wstring step;
    };
    e2e::RecordedFirewallRule handMade = OurRule(L"远程桌面端口 3390 (TCP)", 17, L"4000", 1, L"192.0.2.1");
    handMade.edgeTraversal = true;
    const Case cases[] = {
        {"the UDP rule refused after the TCP rule was added",
         {},
         e2e::FirewallOperation::Add,
         2,
         L"添加防火墙入站规则“远程桌面端口 3390 (UDP)”"},
        {"a rewrite failing halfway",
         {handMade},
         e2e::FirewallOperation::Update,
         3,
         L"添加防火墙入站规则“远程桌面端口 3390 (TCP)”"},
    };
    for (const Case& c : cases) {
        e2e::Context context(c.name);
        e2e::CleanFirewall firewall;
        SeedDefaultMachine();
        e2e::SeedRecordedFirewallRules(c.seeded);
        const std::string before = SnapshotOfChangedKeys();
        e2e::SetFirewallFailure(c.failing, true, 0x80070005u, c.nthCall);
        Program program;
        SetNewPort(program, L"3390");
        const e2e::MessageBoxView box = ClickChange(program);
        CHECK_EQ(box.caption, std::wstring(L"错误"));
        CHECK(box.hasIcon);
        CHECK_CONTAINS(box.text, L"失败的步骤：" + c.step);
        CHECK_CONTAINS(box.text, L"0x80070005");
        CHECK_CONTAINS(box.text, L"已写入的设置均已恢复原样");
        program.Answer(box, IDOK);

        CHECK(SnapshotOfChangedKeys() == before);
        CHECK_EQ(e2e::ReadRecordedFirewallRules(), c.seeded);
        const std::wstring log = program.Text(kIdRizhi);
        CHECK_STARTS_WITH(log, kStartLog + L"修改失败：" + c.step + L"，");
        CHECK_EQ(std::count(log.begin(), log.end(), L'\n'), 2);
        CHECK(!program.WaitForMessageBox(300));
    }
}

// The rules copy who may connect from Windows' own enabled Remote Desktop listener rules, one rule of ours
// per scope; shadowing and disabled rules are not the listener. A rule of ours for the same port is set
// anew; one for an earlier port stays, as the old port must stay open until the restart.
SCENARIO(change_makes_rules_in_the_scopes_of_windows_own) {
    e2e::CleanFirewall firewall;
    SeedDefaultMachine();
    e2e::RecordedFirewallRule disabled = WindowsRule(L"远程桌面 - 用户模式(TCP-In)", 6, 4, L"*");
    disabled.enabled = false;
    e2e::RecordedFirewallRule stale = OurRule(L"远程桌面端口 3390 (TCP, 公用)", 6, L"3390", 7, L"*");
    stale.applicationName.clear();
    stale.enabled = false;
    const std::vector<e2e::RecordedFirewallRule> windows = {
        WindowsRule(L"远程桌面 - 用户模式(TCP-In)", 6, 1 | 2, L"*"),
        WindowsRule(L"远程桌面 - 用户模式(TCP-In)", 6, 4, L"LocalSubnet"),
        WindowsRule(L"远程桌面 - 用户模式(UDP-In)", 17, 1 | 2, L"*"),
        WindowsRule(L"远程桌面 - 用户模式(UDP-In)", 17, 4, L"LocalSubnet"),
        WindowsRule(L"远程桌面 - 阴影(TCP-In)", 6, 7, L"*", L"*"),
        OurRule(L"远程桌面端口 3389 (TCP)", 6, L"3389"),
    };
    e2e::SeedRecordedFirewallRules(Joined(windows, {stale}));
    Program program;
    ChangeAnsweredNo(program, L"3390");
    ChangeAnsweredNo(program, L"3390");
    CHECK_EQ(e2e::ReadRecordedFirewallRules(),
             Joined(windows, {OurRule(L"远程桌面端口 3390 (TCP, 公用)", 6, L"3390", 4, L"LocalSubnet"),
                              OurRule(L"远程桌面端口 3390 (TCP, 域、专用)", 6, L"3390", 3),
                              OurRule(L"远程桌面端口 3390 (UDP, 域、专用)", 17, L"3390", 3),
                              OurRule(L"远程桌面端口 3390 (UDP, 公用)", 17, L"3390", 4, L"LocalSubnet")}));

    e2e::SeedRecordedFirewallRules({WindowsRule(L"远程桌面 - 用户模式(TCP-In)", 6, 1, L"10.0.0.0/8"), disabled});
    ChangeAnsweredNo(program, L"3391");
    const std::vector<e2e::RecordedFirewallRule> rules = e2e::ReadRecordedFirewallRules();
    REQUIRE_EQ(rules.size(), 4u);
    CHECK_EQ(rules[2], OurRule(L"远程桌面端口 3391 (TCP)", 6, L"3391", 1, L"10.0.0.0/8"));
    CHECK_EQ(rules[3], OurRule(L"远程桌面端口 3391 (UDP)", 17, L"3391", 1, L"10.0.0.0/8"));
}

// Windows 7 and Server 2008 R2 run the Remote Desktop listener in the kernel: the rules name the program
// "System" and no service, from the version when Windows has no listener rule, else from that rule.
SCENARIO(windows_7_rules_name_the_kernel_listener) {
    e2e::CleanFirewall firewall;
    SeedDefaultMachine();
    const e2e::ScopedRegistryString windows7(L"HKEY_CURRENT_USER\\Software\\Wine\\Version", L"win7");
    const auto kernel = [](e2e::RecordedFirewallRule rule) {
        rule.applicationName = L"System";
        rule.serviceName.clear();
        return rule;
    };
    Program program;
    ChangeAnsweredNo(program, L"3390");
    CHECK_EQ(e2e::ReadRecordedFirewallRules(),
             (std::vector<e2e::RecordedFirewallRule>{kernel(RulesFor(L"3390")[0]), kernel(RulesFor(L"3390")[1])}));

    const e2e::RecordedFirewallRule windows = kernel(WindowsRule(L"远程桌面(TCP-In)", 6, 4, L"LocalSubnet"));
    e2e::SeedRecordedFirewallRules({windows});
    ChangeAnsweredNo(program, L"3391");
    CHECK_EQ(e2e::ReadRecordedFirewallRules(),
             (std::vector<e2e::RecordedFirewallRule>{
                 windows, kernel(OurRule(L"远程桌面端口 3391 (TCP)", 6, L"3391", 4, L"LocalSubnet")),
                 kernel(OurRule(L"远程桌面端口 3391 (UDP)", 17, L"3391", 4, L"LocalSubnet"))}));
}

SCENARIO(port_with_a_listener_asks_first_and_no_changes_nothing) {
    e2e::CleanFirewall firewall;
    SeedDefaultMachine();
    const e2e::DriverListener listener(3390);
    Program program;
    const std::string before = SnapshotOfChangedKeys();
    // Enter answers the default button: No.
    program.PressKeyInMessageBox(ExpectWarning(program, L"3390", L"新端口 3390 已被另一个程序占用"), VK_RETURN);
    ExpectCancelled(program, before, L"修改已取消：端口 3390 已被另一个程序占用");

    GoOnAndDeclineRestart(program, ExpectWarning(program, L"3390", L"另一个程序"));
    ExpectRegistry(3390, L"3390");
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), RulesFor(L"3390"));
    CHECK_EQ(program.Text(kIdRizhi),
             kStartLog + L"修改已取消：端口 3390 已被另一个程序占用\r\n" + SuccessLines(L"3390"));
}

SCENARIO(firewall_that_ignores_local_rules_asks_first) {
    e2e::CleanFirewall firewall;
    SeedDefaultMachine();
    Program program;
    const std::string before = SnapshotOfChangedKeys();
    e2e::SetFirewallLocalPolicy(1, 1);  // Group Policy does not merge local rules
    program.Answer(ExpectWarning(program, L"3390", L"组策略"), IDNO);
    ExpectCancelled(program, before, L"修改已取消：组策略不应用本机防火墙规则，端口 3390 的入站规则不会生效");

    e2e::SetFirewallLocalPolicy(2, 4);  // the public profile blocks all inbound connections
    GoOnAndDeclineRestart(program, ExpectWarning(program, L"3390", L"在当前网络（公用）上阻止所有入站连接"));
    ExpectRegistry(3390, L"3390");
    CHECK_EQ(e2e::ReadRecordedFirewallRules().size(), 2u);
}

SCENARIO(firewall_service_down_asks_first_and_yes_writes_without_a_rule) {
    e2e::CleanFirewall firewall;
    SeedDefaultMachine();
    Program program;
    const std::string before = SnapshotOfChangedKeys();
    e2e::SetFirewallFailure(e2e::FirewallOperation::Service, true, 0x800706D9u);
    const std::wstring stopped = L"Windows 防火墙服务（MpsSvc）没有运行";
    SetNewPort(program, L"3390");
    e2e::MessageBoxView box = ClickChange(program);
    CHECK_EQ(box.caption, std::wstring(L"警告"));
    CHECK_CONTAINS(box.text, stopped + L"，无法添加任何防火墙规则。");
    CHECK_CONTAINS(box.text, L"端口必须在本机使用的防火墙中放行");
    program.Answer(box, IDNO);
    ExpectCancelled(program, before, L"修改已取消：" + stopped + L"，无法添加防火墙规则");

    e2e::SetFirewallFailure(e2e::FirewallOperation::Service, true, 0x80070422u);
    const std::wstring disabled = L"Windows 防火墙服务（MpsSvc）已被禁用";
    box = ClickChange(program);
    CHECK_CONTAINS(box.text, disabled + L"，无法添加任何防火墙规则。");
    GoOnAndDeclineRestart(program, box);
    ExpectRegistry(3390, L"3390");
    CHECK(e2e::ReadRecordedFirewallRules().empty());
    CHECK_EQ(program.Text(kIdRizhi), kStartLog + L"修改已取消：" + stopped + L"，无法添加防火墙规则\r\n" +
                                         L"系统远程桌面连接端口已被修改为：3390\r\n未添加防火墙规则：" + disabled +
                                         L"，请在本机使用的防火墙中放行端口 3390\r\n远程端口将在重启后生效！\r\n"
                                         L"欢迎访问KorvaneIT技术网：www.kv.example！\r\n");
}
