// Fault injection into 修改 on the fake platform: a random text and machine state (from libFuzzer's bytes),
// and one or two of the platform operations the change performs failing. Whatever happens:
// - a text that is not a port writes nothing and adds no rule;
// - a failure is never silent, and leaves every registry value and rule as before, except those its
//   message names as not restored;
// - the success lines are logged only when the machine is in exactly the state a success leaves;
// - a restart Windows refuses is reported;
// - the log only grows.
// The operations to fail are taken from the calls the fake platform records, so that new steps of the
// change are covered as soon as InjectFault knows how to make them fail.
#include <algorithm>
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "port/port_change.h"
#include "port/port_number.h"
#include "port/port_settings.h"
#include "port/rule_plan.h"
#include "tests/fuzz/reference.h"
#include "tests/shared/expected_texts.h"
#include "tests/shared/ordinary_machine.h"
#include "tests/unit/fakes.h"

using namespace korvane;
using namespace korvane::testing;
using namespace std::string_literals;

namespace {

using expected::kStartLog;
const std::wstring kSuccessLines[] = {L"系统远程桌面连接端口已被修改为：", L"远程端口已被添加到防火墙例外",
                                      L"远程端口将在重启后生效！"};
// Where a failure's message starts listing what it could not put back.
const std::wstring kNotRestoredMarker = L"未能恢复原样";

// libFuzzer's bytes as a sequence of choices; 0 once they run out.
class Choices {
public:
    Choices(const uint8_t* data, size_t size) : data_(data), end_(data + size) {}
    size_t Next(size_t count) { return data_ == end_ ? 0 : *data_++ % count; }

private:
    const uint8_t* data_;
    const uint8_t* end_;
};

// Pieces of what a user might type or paste, around the edges of the rule.
const std::wstring kPieces[] = {L"0"s,    L"1"s,  L"3389"s, L"65535"s, L"65536"s,  L"7"s,
                                L"00"s,   L" "s,  L"-"s,    L"+"s,     L"."s,      L"x"s,
                                L"\r\n"s, L"１"s, L"\t"s,   L"\0"s,    L"\u0663"s, L"99999999999999999999"s};
const StoredValue kPreviousValues[] = {Dword(3389), Dword(0xFFFFFFFFu), Sz(L"3389")};

std::vector<FirewallRule> OpenToAll(const FakeWorld& world, const std::wstring& text) {
    return FirewallRulesFor(ParseNewPort(text).number, 3389, {}, {world.version, L"C:\\Windows\\system32"}).rules;
}

// What a successful change to `text` leaves: the two port values and the legacy firewall entry written,
// the port's TCP and UDP rules in the firewall's list (open to all: the fake machine's Remote Desktop rules,
// when it has them, are). The one place that knows what a change writes.
void ApplySuccessfulChange(FakeWorld& world, const std::wstring& text) {
    const StoredValue port = Dword(fuzz::ReferencePort(text));
    world.registry[kTdsPortPath] = port;
    world.registry[kRdpTcpPortPath] = port;
    world.registry[std::wstring(kFirewallListPath) + FirewallEntryName(text)] = Sz(FirewallEntryData(text));
    for (const FirewallRule& rule : OpenToAll(world, text)) world.rules[rule.name] = rule;
}

// Makes the platform operation `call` (as the fake records it) fail from now on, when the fake can.
void InjectFault(FakeWorld& world, const std::wstring& call) {
    auto is = [&call](const wchar_t* kind) { return call.rfind(kind, 0) == 0; };
    if (is(L"regread ") || is(L"regdelete ")) world.failing.insert(call);
    if (is(L"regwrite ")) world.failing.insert(call.substr(0, call.find(L'=')));
    world.failShellCreation |= is(L"create shell");
    world.failFirewallCreation |= is(L"create firewall");
    world.failPortCheck |= is(L"check port ");
    world.failListeners |= is(L"list listeners");
    if (is(L"firewall state")) world.localPolicyFailure = 0x80004005u;
    world.failReadRules |= is(L"read rules");
    world.failFirewallEnabled |= is(L"firewall enabled ");
    world.failFindRule |= is(L"find rule ");
    if (is(L"ensure rule ")) world.failEnsureRuleNamed.insert(call.substr(12));
    world.failRemoveRule |= is(L"remove rule");
    world.failStart |= is(L"start ");
}

// Every registry value and rule, by the name a message gives it (its path, the rule's name).
std::map<std::wstring, std::wstring> Settings(const FakeWorld& world) {
    std::map<std::wstring, std::wstring> settings;
    for (const auto& [path, value] : world.registry) {
        settings[path] = value.type + L" " + std::to_wstring(value.number) + L" " + value.text;
    }
    for (const auto& [name, r] : world.rules) {
        settings[name] = r.description + L"|" + r.grouping + L"|" + std::to_wstring(r.protocol) + L"|" + r.localPorts +
                         L"|" + r.remotePorts + L"|" + r.localAddresses + L"|" + r.remoteAddresses + L"|" +
                         std::to_wstring(r.direction) + L"|" + std::to_wstring(r.action) + L"|" +
                         std::to_wstring(r.enabled) + L"|" + std::to_wstring(r.profiles) + L"|" + r.applicationName +
                         L"|" + r.serviceName + L"|" + r.interfaceTypes + L"|" +
                         std::to_wstring(r.edgeTraversalOptions);
    }
    return settings;
}

class GrowingLogView final : public MainView {
public:
    std::wstring newPort, log = kStartLog;
    bool shrank = false;

    std::wstring NewPortText() const override { return newPort; }
    void SetNewPortText(const std::wstring& text) override { newPort = text; }
    void SetCurrentPortText(const std::wstring&) override {}
    void DisableCurrentPort() override {}
    std::wstring LogText() const override { return log; }
    void SetLogText(const std::wstring& text) override {
        shrank |= text.compare(0, log.size(), log) != 0;
        log = text;
    }
};

void Run(FakeWorld& world, GrowingLogView& view, const std::wstring& text) {
    FakePlatform platform(world);
    view.newPort = text;
    RunPortChange(platform, view);
}

[[noreturn]] void Fail(const char* what, const FakeWorld& world, const std::wstring& text) {
    std::setlocale(LC_ALL, "C.UTF-8");
    for (const std::wstring& call : world.calls) std::fprintf(stderr, "  call: %ls\n", call.c_str());
    for (const auto& message : world.messages) std::fprintf(stderr, "  message: %ls\n", message.prompt.c_str());
    fuzz::Finding(what, text);
}

void Check(const FakeWorld& before, const FakeWorld& after, const GrowingLogView& view, const std::wstring& text) {
    if (view.shrank) Fail("the log lost text", after, text);
    if (fuzz::ReferencePort(text) == 0) {
        const bool touched = std::any_of(after.calls.begin(), after.calls.end(), [](const std::wstring& call) {
            return call.rfind(L"regwrite", 0) == 0 || call.rfind(L"regdelete", 0) == 0 ||
                   call.rfind(L"ensure rule", 0) == 0 || call.rfind(L"remove rule", 0) == 0;
        });
        if (touched || Settings(after) != Settings(before)) {
            Fail("a text that is not a port changed the machine", after, text);
        }
    }

    const bool successLogged =
        std::any_of(std::begin(kSuccessLines), std::end(kSuccessLines),
                    [&](const std::wstring& line) { return view.log.find(line) != view.log.npos; });
    if (successLogged) {
        FakeWorld expected = before;
        ApplySuccessfulChange(expected, text);
        if (Settings(after) != Settings(expected))
            Fail("success logged, the machine not as a success leaves it", after, text);
        const bool refused = !after.started.empty() && after.startExitCode.value_or(0) != 0;
        const bool reported = std::any_of(after.messages.begin(), after.messages.end(), [](const FakeWorld::Message& m) {
            return (m.style & 0xF0) == kMessageCritical && m.prompt.find(L"重启") != std::wstring::npos;
        });
        if (refused && !reported) Fail("a restart Windows refused was not reported", after, text);
        return;
    }

    // Cancelled at a warning (a port in the dynamic range, say): nothing may have changed.
    if (view.log.find(L"修改已取消：") != std::wstring::npos) {
        if (Settings(after) != Settings(before)) Fail("a cancelled change changed the machine", after, text);
        return;
    }
    const auto shown = std::find_if(after.messages.begin(), after.messages.end(),
                                    [](const FakeWorld::Message& m) { return (m.style & 0xF0) == kMessageCritical; });
    if (shown == after.messages.end()) Fail("the change neither succeeded nor said why", after, text);
    const size_t marker = shown->prompt.find(kNotRestoredMarker);
    const std::wstring notRestored = marker == std::wstring::npos ? L"" : shown->prompt.substr(marker);
    const auto old = Settings(before), now = Settings(after);
    auto all = old;
    all.insert(now.begin(), now.end());
    for (const auto& [name, value] : all) {
        const bool same = old.count(name) && now.count(name) && old.at(name) == now.at(name);
        if (!same && notRestored.find(name) == std::wstring::npos) {
            Fail("a failure changed a setting its message does not name", after, text);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Choices choices(data, size);
    std::wstring text;
    for (size_t pieces = choices.Next(5); pieces > 0; --pieces) text += kPieces[choices.Next(std::size(kPieces))];

    FakeWorld before;
    for (const std::wstring& path : {kTdsPortPath, kRdpTcpPortPath}) {
        const size_t which = choices.Next(std::size(kPreviousValues) + 1);
        if (which < std::size(kPreviousValues)) before.registry[path] = kPreviousValues[which];
    }
    if (choices.Next(2)) {  // the new port was opened before, by hand or by an earlier run
        before.registry[std::wstring(kFirewallListPath) + FirewallEntryName(text)] = Sz(L"旧的例外");
        FirewallRule rule = OpenToAll(before, text).front();
        rule.description = L"旧的规则";
        before.rules[rule.name] = rule;
    }
    // Windows' own Remote Desktop rules, or none (a question: the new port would be open to all); Windows
    // Firewall turned off for the current profile, or not.
    if (choices.Next(2)) before.windowsRules = expected::WindowsRemoteDesktopRules();
    before.localPolicy.currentProfiles = 2;
    if (choices.Next(2)) before.firewallOffProfiles = 2;
    // Yes or No to each question: the warnings (a port in the dynamic range, the firewall), the restart.
    for (int question = 0; question < 5; ++question) before.answers.push_back(choices.Next(2) ? kAnswerYes : 7);
    // shutdown.exe: the restart scheduled, or refused because one already is.
    before.startExitCode = choices.Next(4) == 0 ? 1190u : 0u;

    // The first fault among the operations of a run without faults, the second among those of a run with
    // the first, which include the ones that undo.
    FakeWorld faulty = before;
    for (size_t faults = 1 + choices.Next(2); faults > 0; --faults) {
        FakeWorld trial = faulty;
        GrowingLogView view;
        Run(trial, view, text);
        InjectFault(faulty, trial.calls[choices.Next(trial.calls.size())]);
    }
    GrowingLogView view;
    Run(faulty, view, text);
    Check(before, faulty, view, text);
    return 0;
}
