// The 修改 button against a fake registry and firewall: what is refused, what is written, what the log
// says byte for byte, the restart question, and how every failure is reported and undone.
#include <gtest/gtest.h>

#include <algorithm>

#include "port/port_change.h"
#include "port/port_settings.h"
#include "port/port_number.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

using expected::kLimitPrompt;
const std::wstring kNotAPortPrompt = L"端口必须是 1 到 65535 之间的整数（只能包含数字），已改回默认端口 10010，可自行更改。";

// The two rules of a change on a machine whose own Remote Desktop rules say nothing: open to all.
std::map<std::wstring, FirewallRule> OpenRules(const std::wstring& port) {
    std::map<std::wstring, FirewallRule> rules;
    for (int protocol : {6, 17}) {
        FirewallRule rule;
        rule.name = L"远程桌面端口 " + port + (protocol == 6 ? L" (TCP)" : L" (UDP)");
        rule.description = L"新的远程连接端口";
        rule.grouping = L"Korvane远程端口修改工具";
        rule.protocol = protocol;
        rule.localPorts = port;
        rule.remotePorts = rule.localAddresses = rule.remoteAddresses = L"*";
        rule.direction = rule.action = 1;
        rule.enabled = true;
        rule.profiles = 0x7FFFFFFF;
        rule.applicationName = L"%SystemRoot%\\system32\\svchost.exe";
        rule.serviceName = L"TermService";
        rule.interfaceTypes = L"All";
        rules[rule.name] = rule;
    }
    return rules;
}

std::wstring EntryPath(const std::wstring& port) {
    return std::wstring(kFirewallListPath) + port + L":TCP";
}

class PortChangeTest : public ChangeTest {
protected:
    bool AnythingWritten() const {
        return std::any_of(world.calls.begin(), world.calls.end(), [](const std::wstring& call) {
            return call.rfind(L"regwrite", 0) == 0 || call.rfind(L"regdelete", 0) == 0;
        });
    }
};

TEST_F(PortChangeTest, ChangeAnsweredNoWritesAllThreeValuesAddsTheRuleAndLogsFourLines) {
    Change(L"3390");

    const std::map<std::wstring, StoredValue> expected = {
        {kTdsPortPath, Dword(3390)},
        {kRdpTcpPortPath, Dword(3390)},
        {EntryPath(L"3390"), Sz(L"3390:TCP:*:Enabled:新的远程连接端口")},
    };
    EXPECT_EQ(world.registry, expected);
    const std::vector<std::wstring> writes = {
        L"regwrite " + std::wstring(kTdsPortPath) + L"=3390 REG_DWORD",
        L"regwrite " + std::wstring(kRdpTcpPortPath) + L"=3390 REG_DWORD",
        L"regwrite " + EntryPath(L"3390") + L"=3390:TCP:*:Enabled:新的远程连接端口 REG_SZ",
    };
    std::vector<std::wstring> actualWrites;
    std::copy_if(world.calls.begin(), world.calls.end(), std::back_inserter(actualWrites),
                 [](const std::wstring& call) { return call.rfind(L"regwrite", 0) == 0; });
    EXPECT_EQ(actualWrites, writes);

    EXPECT_EQ(world.rules, OpenRules(L"3390"));
    EXPECT_LT(std::find(world.calls.begin(), world.calls.end(), L"ensure rule 远程桌面端口 3390 (UDP)"),
              std::find(world.calls.begin(), world.calls.end(), L"regwrite " + std::wstring(kTdsPortPath) + L"=3390 REG_DWORD"))
        << "the rules come before the registry";

    EXPECT_EQ(view.log, kStartLog + SuccessLines(L"3390"));
    ASSERT_EQ(world.messages.size(), 1u);
    EXPECT_EQ(world.messages[0].prompt, expected::kRestartQuestion);
    EXPECT_EQ(world.messages[0].style, 4);
    EXPECT_EQ(world.messages[0].title, L"Korvane");
    EXPECT_TRUE(world.started.empty());
    EXPECT_EQ(view.newPort, L"3390");
    EXPECT_EQ(world.shellsAlive, 0);
}

TEST_F(PortChangeTest, YesShowsTheNoticeThenStartsShutdownFromTheSystemFolder) {
    Change(L"3390", {6});
    ASSERT_EQ(world.messages.size(), 2u);
    EXPECT_EQ(world.messages[1].prompt, L"点击确定后立即重启");
    EXPECT_EQ(world.messages[1].style, 0);
    EXPECT_EQ(world.messages[1].title, L"提示");
    ASSERT_EQ(world.started.size(), 1u);
    EXPECT_EQ(world.started[0].program, L"C:\\Windows\\system32\\shutdown.exe");
    EXPECT_EQ(world.started[0].arguments, L"-r -t 1");
    EXPECT_EQ(world.started[0].windowStyle, 2);
    EXPECT_EQ(world.calls.back(), L"start C:\\Windows\\system32\\shutdown.exe -r -t 1") << "the notice comes first";
}

TEST_F(PortChangeTest, RestartThatCannotStartIsReportedAndTheChangeStaysLogged) {
    world.failStart = true;
    Change(L"3390", {6});
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
    ASSERT_EQ(world.messages.size(), 3u);
    EXPECT_EQ(world.messages[2].style, 16);
    EXPECT_NE(world.messages[2].prompt.find(L"请手动重启计算机"), std::wstring::npos);
    EXPECT_EQ(view.log,
              kStartLog + SuccessLines(L"3390") +
                  L"重启失败：无法启动 C:\\Windows\\system32\\shutdown.exe -r -t 1，系统找不到指定的文件（错误代码 "
                  L"0x80070002）\r\n");
}

// What shutdown.exe answers, waited for a few seconds: 0 (the restart scheduled) changes nothing; Windows'
// refusal, its Win32 code, is a critical box with the system's text saying that the new port takes effect at
// the next restart, and a log line; no answer within the wait is logged.
TEST_F(PortChangeTest, ARefusedRestartIsReportedAndOneScheduledChangesNothing) {
    const std::wstring command = L"C:\\Windows\\system32\\shutdown.exe -r -t 1";
    const struct {
        std::optional<uint32_t> exit;
        std::wstring reason;  // of a refusal
    } cases[] = {
        {0u, L""},
        {1190u, L"已计划关闭系统（退出代码 1190）"},
        {1234u, L"退出代码 1234"},  // a code the system has no text for
        {std::nullopt, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exit.value_or(0xFFFFFFFFu));
        world = OrdinaryMachine();
        world.startExitCode = c.exit;
        view.log = kStartLog;
        Change(L"3390", {6});
        ASSERT_EQ(world.started.size(), 1u);
        EXPECT_GT(world.started[0].waitMilliseconds, 0u);
        EXPECT_LE(world.started[0].waitMilliseconds, 10000u) << "a few seconds";
        const std::wstring changed = kStartLog + SuccessLines(L"3390");
        if (c.exit == 0u) {
            EXPECT_EQ(view.log, changed);
            EXPECT_EQ(world.messages.size(), 2u) << "the question and the notice only";
        } else if (!c.exit) {
            EXPECT_EQ(view.log, changed + L"未能确认重启：" + command +
                                    L" 在 5 秒内没有结束；如果计算机没有重启，请手动重启，新端口在重启后生效\r\n");
            EXPECT_EQ(world.messages.size(), 2u);
        } else {
            EXPECT_EQ(view.log, changed + L"重启失败：Windows 拒绝了重启命令 " + command + L"，" + c.reason +
                                    L"，新端口在计算机下次重启后生效\r\n");
            ASSERT_EQ(world.messages.size(), 3u);
            EXPECT_EQ(world.messages[2].style, 16);
            EXPECT_EQ(world.messages[2].title, L"错误");
            EXPECT_EQ(world.messages[2].prompt, L"Windows 拒绝了重启命令：\r\n" + command + L"\r\n原因：" + c.reason +
                                                    L"\r\n\r\n远程端口已修改，新端口在计算机下次重启后生效。计算机现在"
                                                    L"可能不会重启，请稍后手动重启。");
        }
    }
}

// Runs 修改 with `text` on a fresh machine and checks that it was refused with `prompt`: a critical box,
// Text2 back to 10010, the log untouched, and nothing asked of the registry.
void ExpectRefused(const std::wstring& text, const std::wstring& prompt) {
    FakeWorld world;
    world.registry[kRdpTcpPortPath] = Dword(3389);
    FakePlatform platform(world);
    FakeView view;
    view.log = kStartLog;
    view.newPort = text;
    RunPortChange(platform, view);
    SCOPED_TRACE(text.substr(0, 30));
    ASSERT_EQ(world.messages.size(), 1u);
    EXPECT_EQ(world.messages[0].prompt, prompt);
    EXPECT_EQ(world.messages[0].title, L"错误");
    EXPECT_EQ(world.messages[0].style, 16);
    EXPECT_EQ(view.newPort, L"10010");
    EXPECT_EQ(view.log, kStartLog);
    const std::vector<std::wstring> onlyTheShell = {L"create shell", L"message 错误"};
    EXPECT_EQ(world.calls, onlyTheShell);
}

TEST_F(PortChangeTest, HighestPortIsAcceptedAndAnythingAboveIsRefusedUntouched) {
    Change(L"65535", {6, 7});  // Yes to the warning of the dynamic range, No to the restart
    EXPECT_EQ(world.registry[kTdsPortPath], Dword(65535));

    for (const std::wstring& tooHigh :
         {std::wstring(L"65536"), std::wstring(20, L'9'), std::wstring(100000, L'9'), std::wstring(L"0000065536")}) {
        ExpectRefused(tooHigh, kLimitPrompt);
    }
}

TEST_F(PortChangeTest, TextThatIsNotAPlainPortIsRefusedBeforeAnyRegistryAccess) {
    for (const std::wstring bad : {L"", L"0", L"00000", L"12a", L" 3390", L"3390 ", L"+3390", L"-1", L"3.5", L"1e3",
                                   L"0x10", L"３３９０", L"3390\r\n", L"3\x0660"}) {
        ExpectRefused(bad, kNotAPortPrompt);
    }
}

TEST_F(PortChangeTest, LeadingZerosStayInTheEntryWhileTheNumbersLoseThem) {
    Change(L"03389");
    EXPECT_EQ(world.registry[kTdsPortPath], Dword(3389));
    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3389));
    EXPECT_EQ(world.registry[EntryPath(L"03389")], Sz(L"03389:TCP:*:Enabled:新的远程连接端口"));
    EXPECT_EQ(world.rules, OpenRules(L"3389"));
    EXPECT_EQ(view.log, kStartLog + SuccessLines(L"03389"));
}

TEST_F(PortChangeTest, TwoChangesAppendEightLinesAndTheSamePortTwiceKeepsOneEntryAndOneRule) {
    Change(L"3390");
    Change(L"3391");
    EXPECT_EQ(view.log, kStartLog + SuccessLines(L"3390") + SuccessLines(L"3391"));
    EXPECT_EQ(world.registry.count(EntryPath(L"3390")), 1u) << "the earlier entry stays";
    EXPECT_EQ(world.registry.count(EntryPath(L"3391")), 1u);
    EXPECT_EQ(world.rules.size(), 4u) << "the earlier port's rules stay";

    Change(L"3391");
    EXPECT_EQ(world.registry.size(), 4u);
    EXPECT_EQ(world.rules.size(), 4u);
    EXPECT_EQ(world.shellsCreated, 3) << "every run obtains its own script shell object";
    EXPECT_EQ(world.shellsAlive, 0);
}

// Where the class is not registered (servers hardened against scripts) the reason says so and how to register
// it; any other reason is the system's.
TEST_F(PortChangeTest, MissingScriptShellObjectIsReportedAndNothingHappens) {
    const struct {
        uint32_t code;
        std::wstring reason;
    } cases[] = {
        {0x800401F3u, expected::ShellNotRegistered(L"800401F3")},
        {0x80070005u, L"拒绝访问（错误代码 0x80070005）"},
    };
    for (const auto& c : cases) {
        world.messages.clear();
        view.log = kStartLog;
        world.failShellCreation = true;
        world.shellCreationCode = c.code;
        Change(L"3390");
        ASSERT_EQ(world.messages.size(), 1u);
        EXPECT_EQ(world.messages[0].style, 16);
        EXPECT_EQ(world.messages[0].prompt, L"修改远程端口失败。\r\n\r\n失败的步骤：创建 WScript.Shell 组件（用于读写注册表）\r\n原因：" +
                                                c.reason + L"\r\n\r\n没有写入任何设置，远程桌面端口和防火墙设置均未改变。");
        EXPECT_EQ(view.log, kStartLog + L"修改失败：创建 WScript.Shell 组件（用于读写注册表），" + c.reason + L"\r\n");
        EXPECT_EQ(view.newPort, L"3390");
    }
}

TEST_F(PortChangeTest, PreviousValueThatCannotBeReadStopsTheChangeBeforeAnyWrite) {
    world.failing.insert(L"regread " + std::wstring(kRdpTcpPortPath));
    Change(L"3390");
    EXPECT_FALSE(AnythingWritten());
    EXPECT_EQ(view.log, kStartLog + L"修改失败：读取 RDP-Tcp 端口原值（" + std::wstring(kRdpTcpPortPath) +
                            L"），拒绝访问（错误代码 0x80070005）\r\n");
}

// Each step of the change failing in turn: the registry and the firewall end as they began.
struct FailingStep {
    const char* name;
    void (*arrange)(FakeWorld&);
    const wchar_t* step;
    const wchar_t* reason;
    const wchar_t* outcome;
};

void PrintTo(const FailingStep& step, std::ostream* out) {
    *out << step.name;
}

class FailedStepTest : public PortChangeTest, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(FailedStepTest, PutsBackWhatWasWrittenAndReportsTheStep) {
    // A previous entry for the same port, and a legacy copy above 2^31 that must survive the round trip.
    world.registry[EntryPath(L"3390")] = Sz(L"3390:TCP:*:Disabled:old");
    world.registry[kTdsPortPath] = Dword(0x80000001u);
    const auto before = world.registry;
    GetParam().arrange(world);

    Change(L"3390");

    EXPECT_EQ(world.registry, before);
    EXPECT_TRUE(world.rules.empty());
    ASSERT_EQ(world.messages.size(), 1u) << "no restart question after a failure";
    EXPECT_EQ(world.messages[0].style, 16);
    EXPECT_EQ(world.messages[0].title, L"错误");
    const std::wstring& prompt = world.messages[0].prompt;
    EXPECT_NE(prompt.find(std::wstring(L"失败的步骤：") + GetParam().step), std::wstring::npos) << prompt;
    EXPECT_NE(prompt.find(std::wstring(L"原因：") + GetParam().reason), std::wstring::npos) << prompt;
    EXPECT_NE(prompt.find(GetParam().outcome), std::wstring::npos) << prompt;
    EXPECT_EQ(view.log.rfind(kStartLog + L"修改失败：" + GetParam().step, 0), 0u) << view.log;
    EXPECT_EQ(view.log.find(L"远程端口已被添加到防火墙例外"), std::wstring::npos);
    EXPECT_EQ(std::count(view.log.begin(), view.log.end(), L'\n'), 2);
}

const wchar_t* const kDenied = L"拒绝访问（错误代码 0x80070005）";
const wchar_t* const kNothingWritten = L"没有写入任何设置，远程桌面端口和防火墙设置均未改变。";
const wchar_t* const kAllPutBack = L"已写入的设置均已恢复原样，远程桌面端口和防火墙设置均未改变。";
const FailingStep kFailingSteps[] = {
    {"TdsWrite", [](FakeWorld& w) { w.failing.insert(L"regwrite " + std::wstring(kTdsPortPath)); }, L"写入 Tds 端口", kDenied,
     kAllPutBack},
    {"RdpTcpWrite", [](FakeWorld& w) { w.failing.insert(L"regwrite " + std::wstring(kRdpTcpPortPath)); }, L"写入 RDP-Tcp 端口",
     kDenied, kAllPutBack},
    {"EntryWrite", [](FakeWorld& w) { w.failing.insert(L"regwrite " + EntryPath(L"3390")); }, L"写入防火墙例外",
     kDenied, kAllPutBack},
    {"FirewallObject", [](FakeWorld& w) { w.failFirewallCreation = true; }, L"打开 Windows 防火墙策略",
     L"没有注册类（错误代码 0x80040154）", kNothingWritten},
    {"FirewallRule", [](FakeWorld& w) { w.failEnsureRule = true; }, L"添加防火墙入站规则", kDenied, kNothingWritten},
};

INSTANTIATE_TEST_SUITE_P(EachStep, FailedStepTest, ::testing::ValuesIn(kFailingSteps),
                         [](const ::testing::TestParamInfo<FailingStep>& info) { return info.param.name; });

TEST_F(PortChangeTest, WhatCouldNotBePutBackIsNamedWithItsStateInBothMessageAndLog) {
    world.failing.insert(L"regwrite " + EntryPath(L"3390"));
    // The RDP-Tcp port goes back fine; the Tds port cannot be written again once changed.
    world.failing.insert(L"regdelete " + std::wstring(kTdsPortPath));
    world.registry.erase(kTdsPortPath);
    Change(L"3390");

    EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3389));
    EXPECT_EQ(world.registry[kTdsPortPath], Dword(3390)) << "left changed, and said so";
    const std::wstring left =
        L"Tds 端口（" + std::wstring(kTdsPortPath) + L"）现为 3390，原为不存在，恢复失败：拒绝访问（错误代码 0x80070005）";
    const std::wstring& prompt = world.messages.at(0).prompt;
    EXPECT_NE(prompt.find(L"以下设置未能恢复原样，请手动检查：\r\n" + left), std::wstring::npos) << prompt;
    EXPECT_NE(view.log.find(L"\r\n未能恢复：" + left + L"\r\n"), std::wstring::npos) << view.log;
}

TEST(PortText, OnlyPlainAsciiDigitRunsArePorts) {
    EXPECT_TRUE(IsPlainDigits(L"0"));
    EXPECT_TRUE(IsPlainDigits(L"03389"));
    EXPECT_FALSE(IsPlainDigits(L""));
    EXPECT_FALSE(IsPlainDigits(L"３"));
    using Verdict = NewPort::Verdict;
    const struct {
        const wchar_t* text;
        Verdict verdict;
        uint16_t number;
    } cases[] = {
        {L"65535", Verdict::Port, 65535},      {L"0000065535", Verdict::Port, 65535}, {L"65536", Verdict::AboveHighest, 0},
        {L"100000", Verdict::AboveHighest, 0}, {L"99999", Verdict::AboveHighest, 0}, {L"000", Verdict::NotAPort, 0},
        {L"010", Verdict::Port, 10},           {L"00010", Verdict::Port, 10},
    };
    for (const auto& c : cases) {
        const NewPort port = ParseNewPort(c.text);
        EXPECT_EQ(port.verdict, c.verdict) << c.text;
        EXPECT_EQ(port.number, c.number) << c.text;
    }
}

}  // namespace
}  // namespace korvane::testing
