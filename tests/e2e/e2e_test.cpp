// The real program in a throwaway Wine prefix, for what only the built .exe can show: that start-up reads
// the real registry through the real script shell object, that a change writes the three values and the
// two rules and starts the system's shutdown.exe (never one planted beside it), that the rules follow the
// administrator's firewall, that nothing is written for a text that is not a port, for a warning answered No
// or when a rule is refused, and that no DLL planted beside the program runs in it. The decisions behind each are unit
// tested; these check the wiring.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "port/host_facts.h"
#include "port/port_settings.h"
#include "tests/e2e/driver.h"
#include "tests/shared/expected_texts.h"
#include "tests/shared/ordinary_machine.h"
#include "tests/windows/firewall_stand_in/stand_in_files.h"
#include "ui/control_ids.h"

namespace e2e {
namespace {

using korvane::FirewallRule;
using namespace korvane;

const std::wstring kListKey = std::wstring(kFirewallListPath).substr(0, std::size(kFirewallListPath) - 2);
const wchar_t* const kShutdownRecord = L"C:\\shutdown-record.txt";
const wchar_t* const kPlantedMark = L"C:\\planted-dll-ran.txt";

// One of the program's rules for `port`: inbound, allow, for Remote Desktop's listener in `profiles` from
// `remoteAddresses`.
FirewallRule OurRule(const std::wstring& protocolLabel, const std::wstring& port, int profiles = 0x7FFFFFFF,
                     const std::wstring& remoteAddresses = L"*") {
    FirewallRule rule;
    rule.name = L"远程桌面端口 " + port + L" (" + protocolLabel + L")";
    rule.description = L"新的远程连接端口";
    rule.grouping = L"Korvane远程端口修改工具";
    rule.protocol = protocolLabel.rfind(L"UDP", 0) == 0 ? 17 : 6;
    rule.localPorts = port;
    rule.profiles = profiles;
    rule.remoteAddresses = remoteAddresses;
    return rule;
}

FirewallRule Kernel(FirewallRule rule) {
    rule.applicationName = L"System";
    rule.serviceName.clear();
    return rule;
}

std::vector<FirewallRule> Rules() {
    std::vector<FirewallRule> rules;
    if (!stand_in::ReadRules(rules)) Abort("the firewall stand-in's rules cannot be read");
    return rules;
}

// The rules the program made, in the order made.
std::vector<FirewallRule> OurRules() {
    std::vector<FirewallRule> ours;
    for (const FirewallRule& rule : Rules()) {
        if (rule.grouping == L"Korvane远程端口修改工具") ours.push_back(rule);
    }
    return ours;
}

template <typename T>
std::vector<T> Joined(std::vector<T> first, const std::vector<T>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The keys a change may write beneath: equal snapshots mean not a byte changed.
std::string ChangedKeys() {
    return Snapshot(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Terminal Server") +
           Snapshot(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess");
}

std::wstring ReadFileText(const wchar_t* path) {
    std::ifstream file(Utf8(path).c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return expected::Wide(text.str());
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Remote Desktop on 3389 in both values, no firewall entry, Windows' own Remote Desktop rules enabled and no
// other rule, no failure: the machine as Windows leaves it with Remote Desktop allowed.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = FreePort();
        P = std::to_wstring(port);
        P2 = std::to_wstring(FreePort(static_cast<unsigned short>(port + 1)));
        OrdinaryMachine();
    }
    static void OrdinaryMachine() {
        SetDword(kRdpTcpPortPath, 3389);
        SetDword(kTdsPortPath, 3389);
        DeleteKey(kListKey);
        stand_in::ResetToOrdinaryMachine();
    }
    void TearDown() override { stand_in::Reset(); }

    // The new ports of the test: free now on this machine.
    unsigned short port = 0;
    std::wstring P, P2;

    // Clicks 修改 on `port` and returns the first box it brings.
    Box Change(Program& program, const std::wstring& port) {
        program.SetText(kIdText2, port);
        program.Click(kIdCommand1);
        const auto box = program.WaitForMessageBox();
        if (!box) Abort("修改 brought no message box");
        return *box;
    }
    void ChangeAndDeclineRestart(Program& program, const std::wstring& port) {
        const Box question = Change(program, port);
        EXPECT_EQ(question.text, expected::kRestartQuestion);
        program.Answer(question, IDNO);
    }
};

// The port comes from RDP-Tcp's value, where the listener takes it; 退出 ends the program.
TEST_F(ProgramTest, StartUpShowsThePortRemoteDesktopListensOnAndExitEndsIt) {
    SetDword(kRdpTcpPortPath, 3390);
    Program program;
    EXPECT_EQ(program.Text(kIdText1), L"3390");
    EXPECT_EQ(program.Text(kIdText2), L"10010");
    EXPECT_EQ(program.Text(kIdRizhi), expected::kStartLog);
    program.Click(kIdCommand2);
    EXPECT_EQ(program.WaitForExit(5000), 0u);
}

// Leading zeros stay in the entry's name and data; the numbers lose them. Yes to the restart question, then
// OK to the notice, starts the system's shutdown.exe, never the one planted beside the program.
TEST_F(ProgramTest, ChangeWritesValuesAndRulesAndRestartsThroughTheSystemsShutdownOnly) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring systemShutdown = std::wstring(system) + L"\\shutdown.exe";
    const std::wstring recorder = Folder() + L"shutdown_recorder.exe";
    ASSERT_TRUE(CopyFileW(recorder.c_str(), systemShutdown.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(recorder.c_str(), (Folder() + L"shutdown.exe").c_str(), FALSE));
    const ScopedValue native(L"HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides\\shutdown.exe", L"native");
    DeleteFileW(kShutdownRecord);

    Program program;
    const Box question = Change(program, L"0" + P);
    EXPECT_EQ(question.text, expected::kRestartQuestion);
    EXPECT_EQ(question.caption, expected::kRestartTitle);
    EXPECT_EQ(question.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(ReadDword(kTdsPortPath), port);
    EXPECT_EQ(ReadDword(kRdpTcpPortPath), port);
    EXPECT_EQ(ReadString(std::wstring(kFirewallListPath) + L"0" + P + L":TCP"), L"0" + P + L":TCP:*:Enabled:新的远程连接端口");
    EXPECT_EQ(OurRules(), (std::vector<FirewallRule>{OurRule(L"TCP", P), OurRule(L"UDP", P)}));
    EXPECT_EQ(program.Text(kIdRizhi), expected::kStartLog + kRangeNotToldLine + expected::SuccessLines(L"0" + P));

    program.Answer(question, IDYES);
    const auto notice = program.WaitForMessageBox();
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(notice->text, expected::kRestartNotice);
    EXPECT_EQ(notice->caption, expected::kRestartNoticeTitle);
    EXPECT_FALSE(Exists(kShutdownRecord)) << "started before the notice was acknowledged";
    program.Answer(*notice, IDOK);
    ASSERT_TRUE(WaitUntil([] { return !ReadFileText(kShutdownRecord).empty(); })) << "shutdown.exe never started";
    EXPECT_EQ(ReadFileText(kShutdownRecord), systemShutdown + L"|\"" + systemShutdown + L"\" -r -t 1|2\r\n");
    // Exit 0, the restart scheduled: once the program has stopped waiting for shutdown.exe (its window enabled
    // again), nothing more is said.
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(program.Main()) != FALSE; }))
        << "still waiting for shutdown.exe";
    EXPECT_FALSE(program.WaitForMessageBox(300));
    EXPECT_EQ(program.Text(kIdRizhi), expected::kStartLog + kRangeNotToldLine + expected::SuccessLines(L"0" + P));
    EXPECT_TRUE(program.Running());
    DeleteFileW((Folder() + L"shutdown.exe").c_str());
}

// Windows refuses the restart, one being scheduled already: shutdown.exe exits with 1190 after the notice, and
// a critical box and a log line say so, with the new port taking effect at the next restart.
TEST_F(ProgramTest, ARestartWindowsRefusesIsReported) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring command = std::wstring(system) + L"\\shutdown.exe -r -t 1";
    ASSERT_TRUE(CopyFileW((Folder() + L"shutdown_recorder.exe").c_str(),
                          (std::wstring(system) + L"\\shutdown.exe").c_str(), FALSE));
    const ScopedValue native(L"HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides\\shutdown.exe", L"native");
    struct ExitCodeFile {
        const wchar_t* path = L"C:\\shutdown-exit-code.txt";
        ExitCodeFile() { std::ofstream(Utf8(path).c_str()) << "1190"; }
        ~ExitCodeFile() { DeleteFileW(path); }  // for the tests after this one, whatever happens here
    } exitCode;
    DeleteFileW(kShutdownRecord);

    Program program;
    program.Answer(Change(program, P), IDYES);
    const auto notice = program.WaitForMessageBox();
    ASSERT_TRUE(notice.has_value());
    program.Answer(*notice, IDOK);
    const auto refused = program.WaitForMessageBox();
    ASSERT_TRUE(refused.has_value()) << "the refusal was not reported";
    EXPECT_EQ(refused->caption, expected::kErrorTitle);
    EXPECT_EQ(refused->text.rfind(L"Windows 拒绝了重启命令：\r\n" + command + L"\r\n原因：", 0), 0u)
        << Utf8(refused->text);
    // The system's text for the code comes before it where the system has one (Wine has none for 1190).
    EXPECT_NE(refused->text.find(L"退出代码 1190"), std::wstring::npos);
    EXPECT_NE(refused->text.find(L"\r\n\r\n远程端口已修改，新端口在计算机下次重启后生效。"), std::wstring::npos);
    program.Answer(*refused, IDOK);
    const std::wstring log = program.Text(kIdRizhi);
    const std::wstring changed = expected::kStartLog + kRangeNotToldLine + expected::SuccessLines(P);
    EXPECT_EQ(log.rfind(changed + L"重启失败：Windows 拒绝了重启命令 " + command + L"，", 0), 0u) << Utf8(log);
    const std::wstring end = L"，新端口在计算机下次重启后生效\r\n";
    EXPECT_EQ(log.size() >= end.size() ? log.substr(log.size() - end.size()) : log, end) << Utf8(log);
    EXPECT_NE(log.find(L"退出代码 1190", changed.size()), std::wstring::npos) << Utf8(log);
    EXPECT_TRUE(program.Running());
}

TEST_F(ProgramTest, TextThatIsNotAPortWritesNothing) {
    Program program;
    const std::string before = ChangedKeys();
    for (const std::wstring text : {L"65536", L"12a", L"", L"0"}) {
        SCOPED_TRACE(Utf8(text));
        const Box box = Change(program, text);
        EXPECT_EQ(box.caption, expected::kErrorTitle);
        EXPECT_TRUE(text != L"65536" || box.text == expected::kLimitPrompt) << Utf8(box.text);
        program.Answer(box, IDOK);
        EXPECT_EQ(program.Text(kIdText2), L"10010");
    }
    EXPECT_EQ(ChangedKeys(), before);
    EXPECT_TRUE(OurRules().empty());
    EXPECT_EQ(program.Text(kIdRizhi), expected::kStartLog);
}

// Another program listens on the new port. Enter, on the real keyboard, answers the warning's default: No.
TEST_F(ProgramTest, WarningAnsweredNoWritesNothing) {
    const Listener listener(port);
    Program program;
    const std::string before = ChangedKeys();
    const Box warning = Change(program, P);
    EXPECT_EQ(warning.caption, expected::kWarningTitle);
    EXPECT_NE(warning.text.find(L"端口 " + P + L" 已被另一个程序占用"), std::wstring::npos);
    EXPECT_EQ(warning.buttons, (std::vector<int>{IDYES, IDNO}));
    program.PressKeyInMessageBox(warning, VK_RETURN);
    const std::wstring cancelled = expected::kStartLog + L"修改已取消：端口 " + P + L" 已被另一个程序占用\r\n";
    EXPECT_EQ(program.WaitForText(kIdRizhi, cancelled), cancelled);
    EXPECT_FALSE(program.WaitForMessageBox(300));
    EXPECT_EQ(ChangedKeys(), before);
    EXPECT_TRUE(OurRules().empty());
}

// The rules already made go, a rule rewritten gets every property back, and not a byte of the registry changes.
TEST_F(ProgramTest, RefusedRulePutsEverythingBack) {
    FirewallRule handMade = OurRule(L"TCP", L"4000", 1, L"192.0.2.1");
    handMade.name = L"远程桌面端口 " + P + L" (TCP)";
    handMade.protocol = 17;
    handMade.edgeTraversalOptions = 1;
    const struct {
        const char* name;
        std::vector<FirewallRule> seeded;
        const char* operation;
        int nth;
        std::wstring step;
    } cases[] = {
        {"the UDP rule refused after the TCP rule was added",
         {},
         "add",
         2,
         L"添加防火墙入站规则“远程桌面端口 " + P + L" (UDP)”"},
        {"a rewrite failing halfway", {handMade}, "update", 3, L"添加防火墙入站规则“远程桌面端口 " + P + L" (TCP)”"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<FirewallRule> seeded = Joined(expected::WindowsRemoteDesktopRules(), c.seeded);
        ASSERT_TRUE(stand_in::WriteRules(seeded));
        const std::string before = ChangedKeys();
        ASSERT_TRUE(stand_in::SetFailure(c.operation, 0x80070005u, c.nth));
        Program program;
        const Box box = Change(program, P);
        EXPECT_EQ(box.caption, expected::kErrorTitle);
        EXPECT_NE(box.text.find(L"失败的步骤：" + c.step), std::wstring::npos) << Utf8(box.text);
        EXPECT_NE(box.text.find(L"0x80070005"), std::wstring::npos);
        EXPECT_NE(box.text.find(L"已写入的设置均已恢复原样"), std::wstring::npos);
        program.Answer(box, IDOK);
        EXPECT_EQ(ChangedKeys(), before);
        EXPECT_EQ(Rules(), seeded);
        EXPECT_EQ(
            program.Text(kIdRizhi).rfind(expected::kStartLog + kRangeNotToldLine + L"修改失败：" + c.step + L"，", 0),
            0u);
        stand_in::ResetToOrdinaryMachine();
    }
}

// What the machine says of itself, seeded where Windows keeps it: one warning names everything found, No
// writes nothing and logs one line, and Yes goes straight on to the restart question. An ordinary machine
// (Wine's prefix: no edition, Remote Desktop on, empty firmware values) asks nothing.
TEST_F(ProgramTest, MachineConditionsAreInOneWarning) {
    const struct {
        const char* name;
        std::vector<std::pair<std::wstring, std::wstring>> texts;
        std::vector<std::pair<std::wstring, DWORD>> numbers;
        bool dynamicPort;
        std::vector<std::wstring> said;
    } cases[] = {
        {"turned off here", {}, {{kDenyConnectionsPath, 1}}, false, {L"没有允许远程连接"}},
        {"turned off by Group Policy",
         {},
         {{kDenyConnectionsPath, 0}, {kDenyConnectionsPolicyPath, 1}},
         false,
         {L"组策略禁止了远程桌面连接"}},
        {"a Home edition on an Alibaba Cloud server, a port in the dynamic range",
         {{kEditionIdPath, L"CoreCountrySpecific"},
          {kSystemManufacturerPath, L"Alibaba Cloud"},
          {kSystemProductPath, L"Alibaba Cloud ECS"}},
         {},
         true,
         {L"1、这台计算机是 Windows 家庭中文版", L"2、端口 ", L"在动态端口范围（49152-65535）内",
          L"3、这台计算机是阿里云的云服务器"}},
        {"an ordinary machine", {}, {}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<ScopedValue>> seeded;
        for (const auto& [path, text] : c.texts) seeded.push_back(std::make_unique<ScopedValue>(path, text));
        for (const auto& [path, number] : c.numbers) seeded.push_back(std::make_unique<ScopedValue>(path, number));
        const std::wstring port = c.dynamicPort ? std::to_wstring(FreePort(50000)) : P;
        const std::string before = ChangedKeys();
        Program program;
        const Box box = Change(program, port);
        if (c.said.empty()) {
            EXPECT_EQ(box.text, expected::kRestartQuestion);
            program.Answer(box, IDNO);
            continue;
        }
        EXPECT_EQ(box.caption, expected::kWarningTitle);
        EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
        for (const std::wstring& part : c.said) EXPECT_NE(box.text.find(part), std::wstring::npos) << Utf8(box.text);
        // The cloud's warning asks for the port to be let through; it cannot know that it is not.
        EXPECT_EQ(box.text.find(L"没有放行"), std::wstring::npos) << Utf8(box.text);
        EXPECT_NE(box.text.find(L"以下检查未能完成："), std::wstring::npos) << "Wine's WMI tells no range";
        program.Answer(box, IDNO);
        EXPECT_FALSE(program.WaitForMessageBox(300));
        EXPECT_EQ(ChangedKeys(), before);
        EXPECT_TRUE(OurRules().empty());
        const std::wstring log = program.Text(kIdRizhi);
        EXPECT_EQ(log.rfind(expected::kStartLog + L"修改已取消：", 0), 0u) << Utf8(log);
        EXPECT_EQ(std::count(log.begin(), log.end(), L'\n'), 2) << "one line";

        const Box again = Change(program, port);
        program.Answer(again, IDYES);
        const auto question = program.WaitForMessageBox();
        ASSERT_TRUE(question.has_value());
        EXPECT_EQ(question->text, expected::kRestartQuestion);
        program.Answer(*question, IDNO);
        EXPECT_EQ(ReadDword(kRdpTcpPortPath), std::stoul(port));
        OrdinaryMachine();
    }
}

// Windows 7 and Server 2008 R2 run the Remote Desktop listener in the kernel: Windows' own rule there names
// the program "System" and no service, which only Windows 7 takes for the listener (elsewhere nothing would
// admit it, and the program would ask). The rules copy its program and its scope.
TEST_F(ProgramTest, WindowsSevenRulesNameTheKernelListener) {
    const ScopedValue windows7(L"HKEY_CURRENT_USER\\Software\\Wine\\Version", L"win7");
    FirewallRule windows = Kernel(OurRule(L"TCP", L"3389"));
    windows.name = L"远程桌面(TCP-In)";
    windows.description.clear();
    windows.grouping = L"@FirewallAPI.dll,-28752";
    ASSERT_TRUE(stand_in::WriteRules({windows}));
    Program program;
    ChangeAndDeclineRestart(program, P);
    EXPECT_EQ(OurRules(), (std::vector<FirewallRule>{Kernel(OurRule(L"TCP", P)), Kernel(OurRule(L"UDP", P))}));

    windows.profiles = 4;
    windows.remoteAddresses = L"LocalSubnet";
    ASSERT_TRUE(stand_in::WriteRules({windows}));
    SetDword(kRdpTcpPortPath, 3389);
    ChangeAndDeclineRestart(program, P2);
    EXPECT_EQ(Rules(), (std::vector<FirewallRule>{windows, Kernel(OurRule(L"TCP", P2, 4, L"LocalSubnet")),
                                                  Kernel(OurRule(L"UDP", P2, 4, L"LocalSubnet"))}));

    // Windows 7's own rule disabled, a rule for svchost.exe and TermService (as from Windows 8 on) admits nothing.
    windows.enabled = false;
    ASSERT_TRUE(stand_in::WriteRules({windows, expected::WindowsRemoteDesktopRule(6)}));
    SetDword(kRdpTcpPortPath, 3389);
    const Box warning = Change(program, P);
    EXPECT_NE(warning.text.find(L"没有找到允许远程桌面端口 3389 的已启用防火墙规则"), std::wstring::npos) << Utf8(warning.text);
    program.Answer(warning, IDNO);
}

// A server hardened against scripts has the script shell's class unregistered: start-up and 修改 say what is
// missing and how to register it again, and nothing is written.
TEST_F(ProgramTest, AnUnregisteredScriptShellIsExplained) {
    struct ClassNameRemoved {
        HKEY classes = nullptr;
        ClassNameRemoved() {
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_ALL_ACCESS, &classes);
            HKEY saved = nullptr, original = nullptr;
            RegCreateKeyExW(classes, L"korvane-saved-WScript.Shell", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &saved,
                            nullptr);
            RegOpenKeyExW(classes, L"WScript.Shell", 0, KEY_ALL_ACCESS, &original);
            RegCopyTreeW(original, nullptr, saved);
            RegCloseKey(original);
            RegCloseKey(saved);
            RegDeleteTreeW(classes, L"WScript.Shell");
        }
        ~ClassNameRemoved() {
            HKEY saved = nullptr, original = nullptr;
            RegOpenKeyExW(classes, L"korvane-saved-WScript.Shell", 0, KEY_ALL_ACCESS, &saved);
            RegCreateKeyExW(classes, L"WScript.Shell", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &original, nullptr);
            RegCopyTreeW(saved, nullptr, original);
            RegCloseKey(original);
            RegCloseKey(saved);
            RegDeleteTreeW(classes, L"korvane-saved-WScript.Shell");
            RegCloseKey(classes);
        }
    };
    const std::string before = ChangedKeys();
    const ClassNameRemoved removed;
    Program program;
    const std::wstring log = program.Text(kIdRizhi);
    EXPECT_NE(log.find(L"无法创建 WScript.Shell 组件（用于读写注册表），它没有注册"), std::wstring::npos) << Utf8(log);
    const Box failure = Change(program, P);
    // The command runs as typed in PowerShell too, which does not expand %SystemRoot%.
    for (const std::wstring& said : {std::wstring(L"原因：它没有注册"), std::wstring(L"regsvr32 wshom.ocx"),
                                     std::wstring(L"regsvr32 /u wshom.ocx")}) {
        EXPECT_NE(failure.text.find(said), std::wstring::npos) << Utf8(failure.text);
    }
    EXPECT_EQ(failure.text.find(L"%SystemRoot%"), std::wstring::npos) << Utf8(failure.text);
    program.Answer(failure, IDOK);
    EXPECT_EQ(ChangedKeys(), before);
}

// Who may connect as Windows applies it: with Windows' own rules disabled, Group Policy's rule for one address gives
// the scope, and a block rule over 3389 alone follows the move. Nothing is asked.
TEST_F(ProgramTest, GroupPolicysRuleGivesTheScopeAndABlockRuleFollowsTheMove) {
    std::vector<FirewallRule> rules = expected::WindowsRemoteDesktopRules();
    for (FirewallRule& rule : rules) rule.enabled = false;
    FirewallRule banned;
    banned.name = L"封禁网段";
    banned.action = 0;
    banned.localPorts = L"3389";
    banned.remoteAddresses = L"203.0.113.0/24";
    banned.applicationName.clear();
    banned.serviceName.clear();
    rules.push_back(banned);
    ASSERT_TRUE(stand_in::WriteRules(rules));
    const ScopedValue office(std::wstring(kPolicyFirewallRulesKey) + L"\\{office}",
                             L"v2.10|Action=Allow|Active=TRUE|Dir=In|Protocol=6|LPort=3389|RA4=198.51.100.7|Name=办公室|");
    Program program;
    ChangeAndDeclineRestart(program, P);
    const std::vector<FirewallRule> ours = OurRules();
    ASSERT_EQ(ours.size(), 3u);
    EXPECT_EQ(ours[0], OurRule(L"TCP", P, 0x7FFFFFFF, L"198.51.100.7"));
    EXPECT_EQ(ours[1], OurRule(L"UDP", P, 0x7FFFFFFF, L"198.51.100.7"));
    EXPECT_EQ(ours[2].name, L"阻止远程桌面端口 " + P + L" (TCP, 封禁网段)");
    EXPECT_EQ(ours[2].action, 0);
    EXPECT_EQ(ours[2].localPorts, P);
    EXPECT_EQ(ours[2].remoteAddresses, L"203.0.113.0/24");
}

// Group Policy's older Remote Desktop exception, read where Windows keeps it, admits one range: with Windows' own
// rules disabled, the new rules copy that range on the networks of its standard profile, and nothing is asked.
TEST_F(ProgramTest, GroupPolicysOlderRemoteDesktopExceptionGivesTheScope) {
    std::vector<FirewallRule> disabled = expected::WindowsRemoteDesktopRules();
    for (FirewallRule& rule : disabled) rule.enabled = false;
    ASSERT_TRUE(stand_in::WriteRules(disabled));
    const std::wstring exception = std::wstring(kPolicyFirewallKey) + L"StandardProfile\\Services\\RemoteDesktop\\";
    const ScopedValue enabled(exception + L"Enabled", DWORD{1}),
        addresses(exception + L"RemoteAddresses", L"198.51.100.0/24");
    Program program;
    ChangeAndDeclineRestart(program, P);
    EXPECT_EQ(OurRules(), (std::vector<FirewallRule>{OurRule(L"TCP", P, 2 | 4, L"198.51.100.0/24"),
                                                     OurRule(L"UDP", P, 2 | 4, L"198.51.100.0/24")}));
}

// Windows 7's WMI has no class for the dynamic range: netsh in System32 tells it there (the stand-in, as
// Chinese Windows' netsh does). A range moved below 10010 is warned of; the default one is read, not assumed.
TEST_F(ProgramTest, WindowsSevenReadsTheDynamicRangeFromNetsh) {
    const ScopedValue windows7(L"HKEY_CURRENT_USER\\Software\\Wine\\Version", L"win7");
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_TRUE(
        CopyFileW((Folder() + L"netsh_stand_in.exe").c_str(), (std::wstring(system) + L"\\netsh.exe").c_str(), FALSE));
    const ScopedValue native(L"HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides\\netsh.exe", L"native");
    // Windows 7's own listener rule: the kernel's, for every network.
    FirewallRule windows = Kernel(OurRule(L"TCP", L"3389"));
    windows.name = L"远程桌面(TCP-In)";
    windows.grouping = L"@FirewallAPI.dll,-28752";
    ASSERT_TRUE(stand_in::WriteRules({windows}));
    struct RangeFile {
        const wchar_t* path = L"C:\\netsh-dynamicport.txt";
        RangeFile() { std::ofstream(Utf8(path).c_str()) << "10000 1000"; }
        ~RangeFile() { DeleteFileW(path); }
    };
    Program program;
    {
        const RangeFile moved;
        const Box warning = Change(program, L"10010");
        EXPECT_NE(warning.text.find(L"动态端口范围（10000-10999）"), std::wstring::npos) << Utf8(warning.text);
        program.Answer(warning, IDNO);
    }
    ChangeAndDeclineRestart(program, P);
    EXPECT_EQ(program.Text(kIdRizhi).find(L"未能读取动态端口范围"), std::wstring::npos)
        << Utf8(program.Text(kIdRizhi));
}

// The administrator's firewall, as the firewall's objects give it: every rule of every group, block rules,
// and whether it is turned on for the current profile (the stand-in's is the private one). An allow-list of
// their own is copied and asks nothing; what would block or widen the new port is asked, and No writes nothing.
TEST_F(ProgramTest, TheAdministratorsFirewallIsRespected) {
    std::vector<FirewallRule> disabled = expected::WindowsRemoteDesktopRules();
    for (FirewallRule& rule : disabled) rule.enabled = false;
    FirewallRule allowList = OurRule(L"TCP", L"3389", 2 | 4, L"203.0.113.0/24,198.51.100.7");
    allowList.name = L"办公室远程桌面";
    allowList.grouping.clear();
    allowList.applicationName.clear();
    allowList.serviceName.clear();
    FirewallRule block = allowList;
    block.name = L"阻止 " + P;
    block.action = 0;
    block.localPorts = P;
    block.remoteAddresses = L"*";
    FirewallRule elsewhere = block;
    elsewhere.name = L"阻止 " + P2;
    elsewhere.localPorts = P2;
    const struct {
        const char* name;
        std::vector<FirewallRule> rules;
        int enabledProfiles;
        std::wstring said;  // in the warning; none: straight to the restart question, and the rules' scope:
        int profiles = 0;
        std::wstring remoteAddresses = L"";
    } cases[] = {
        {"an allow-list of the administrator's own, Windows' own disabled", Joined(disabled, {allowList}), 7, L"",
         allowList.profiles, allowList.remoteAddresses},
        {"Windows' own disabled, nothing else", disabled, 7, L"所有网络和所有远程地址开放"},
        {"a block rule over the new port", Joined(expected::WindowsRemoteDesktopRules(), {block}), 7,
         L"“阻止 " + P + L"”"},
        {"a block rule over another port", Joined(expected::WindowsRemoteDesktopRules(), {elsewhere}), 7, L"",
         0x7FFFFFFF, L"*"},
        {"Windows Firewall turned off for the private profile", expected::WindowsRemoteDesktopRules(), 1 | 4,
         L"Windows 防火墙在当前网络（专用网络）上已关闭"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OrdinaryMachine();
        ASSERT_TRUE(stand_in::WriteRules(c.rules));
        ASSERT_TRUE(stand_in::SetLocalPolicy(0, 2, c.enabledProfiles));
        const std::string before = ChangedKeys();
        Program program;
        const Box box = Change(program, P);
        program.Answer(box, IDNO);
        if (c.said.empty()) {
            EXPECT_EQ(box.text, expected::kRestartQuestion);
            const std::vector<FirewallRule> ours = OurRules();
            ASSERT_EQ(ours.size(), 2u);
            for (const FirewallRule& rule : ours) {
                EXPECT_EQ(rule.profiles, c.profiles);
                EXPECT_EQ(rule.remoteAddresses, c.remoteAddresses);
            }
            continue;
        }
        EXPECT_EQ(box.caption, expected::kWarningTitle);
        EXPECT_NE(box.text.find(c.said), std::wstring::npos) << Utf8(box.text);
        EXPECT_FALSE(program.WaitForMessageBox(300));
        EXPECT_EQ(ChangedKeys(), before);
        EXPECT_EQ(Rules(), c.rules);
    }
}

// iphlpapi.dll (the listener table) is not one of the DLLs Windows always takes from System32; imported
// statically it would be looked for beside the program first, before any code of the program ran. With Wine
// told to search for it the way Windows does, a copy planted there never runs, and the port check still finds
// the listener through the system's.
TEST_F(ProgramTest, PlantedIphlpapiBesideTheProgramNeverRuns) {
    const std::wstring planted = Folder() + L"iphlpapi.dll";
    DeleteFileW(kPlantedMark);
    ASSERT_TRUE(CopyFileW((Folder() + L"planted_dll.dll").c_str(), planted.c_str(), FALSE));
    {
        const ScopedValue nativeFirst(L"HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides\\iphlpapi", L"native,builtin");
        const Listener listener(port);
        Program program;
        const Box warning = Change(program, P);
        EXPECT_NE(warning.text.find(L"已被另一个程序占用"), std::wstring::npos);
        program.Answer(warning, IDNO);
    }
    DeleteFileW(planted.c_str());
    EXPECT_FALSE(Exists(kPlantedMark)) << "the planted iphlpapi.dll ran in the program";
}

// Any DLL the program, or a system DLL in it, loads later by its bare name is looked for in System32 only.
TEST_F(ProgramTest, ADllBesideTheProgramIsNotFoundByItsBareName) {
    const std::wstring planted = Folder() + L"korvane_planted.dll";
    ASSERT_TRUE(CopyFileW((Folder() + L"planted_dll.dll").c_str(), planted.c_str(), FALSE));
    Program program;
    EXPECT_FALSE(program.LoadsLibrary(L"korvane_planted.dll"));
    EXPECT_TRUE(program.LoadsLibrary(planted)) << "the control: given its full path, it loads";
}

}  // namespace
}  // namespace e2e
