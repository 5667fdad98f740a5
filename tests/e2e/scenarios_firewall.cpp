// The program's Windows firewall code (platform/win32/firewall_win32.cpp) called directly from the driver,
// against the firewall recorder that run.sh registers in the prefix: what reaches the firewall's rule
// list, and how its failures come back.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench.h"
#include "platform/win32/firewall_win32.h"
#include "platform/win32/port_use_win32.h"
#include "platform/win32/scoped.h"
#include "recorded_firewall.h"

namespace {

using e2e::Recorded;
using e2e::RecordedFirewallRule;
using korvane::FirewallRule;
using korvane::Status;

constexpr uint32_t kAccessDenied = 0x80070005u;

FirewallRule RemoteDesktopRule(const std::wstring& port) {
    FirewallRule rule;
    rule.name = L"远程桌面 - 端口 " + port;
    rule.description = L"允许远程桌面连接 TCP " + port + L" 端口";
    rule.grouping = L"Korvane 远程端口";
    rule.localPorts = port;
    return rule;
}

// The firewall policy of this driver, as the program gets it; ends the scenario when it cannot be created.
std::unique_ptr<korvane::FirewallPolicy> OpenPolicy() {
    Status status;
    std::unique_ptr<korvane::FirewallPolicy> policy = korvane::CreateWindowsFirewallPolicy(status);
    if (!policy)
        FAIL_SCENARIO("cannot create the firewall policy: " + e2e::Hex(status.code) + " " + e2e::Utf8(status.message));
    return policy;
}

// The system's text for a Win32 error code in Chinese (Simplified), which the program asks for first
// (Wine has it; its default language gives English text).
std::wstring SystemText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), reinterpret_cast<wchar_t*>(&text), 0,
                   nullptr);
    std::wstring message = text ? text : L"";
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
        message.pop_back();
    }
    return message;
}

}  // namespace

// Without this, every other firewall scenario would be talking to Wine's objects, which keep nothing.
SCENARIO(firewall_recorder_serves_the_firewall_classes) {
    const std::wstring server = e2e::FirewallPolicyServer();
    CHECK_MSG(server.size() > 22 && _wcsicmp(server.c_str() + server.size() - 22, L"\\firewall_recorder.dll") == 0,
              "HNetCfg.FwPolicy2 is served by " + e2e::Quote(server) + ", not by the firewall recorder");
}

SCENARIO(firewall_new_rule_arrives_with_every_setting) {
    e2e::CleanFirewall firewall;
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();
    const FirewallRule rule = RemoteDesktopRule(L"3390");

    bool added = false;
    const Status status = policy->EnsureRule(rule, added);

    REQUIRE_MSG(status.ok, "EnsureRule failed: " + e2e::Hex(status.code) + " " + e2e::Utf8(status.message));
    CHECK(added);
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), std::vector<RecordedFirewallRule>{Recorded(rule)});
}

SCENARIO(firewall_same_rule_twice_stays_one_rule) {
    e2e::CleanFirewall firewall;
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();
    const FirewallRule rule = RemoteDesktopRule(L"3390");

    bool firstAdded = false;
    bool secondAdded = true;
    REQUIRE(policy->EnsureRule(rule, firstAdded).ok);
    REQUIRE(policy->EnsureRule(rule, secondAdded).ok);

    CHECK(firstAdded);
    CHECK(!secondAdded);
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), std::vector<RecordedFirewallRule>{Recorded(rule)});
}

// A rule of that name left with other settings (by an earlier version, or by hand) gets every setting
// back; it starts with any protocol and no ports, where ports are refused until the protocol is TCP.
SCENARIO(firewall_existing_rule_is_brought_up_to_date) {
    e2e::CleanFirewall firewall;
    const FirewallRule rule = RemoteDesktopRule(L"3390");
    RecordedFirewallRule stale;
    stale.name = rule.name;
    stale.description = L"旧说明";
    stale.grouping = L"旧分组";
    stale.protocol = 256;
    stale.direction = 2;
    stale.action = 0;
    stale.profiles = 1;
    stale.enabled = false;
    stale.remoteAddresses = L"192.0.2.1";
    stale.localAddresses = L"192.0.2.9";
    stale.serviceName = L"*";
    stale.interfaceTypes = L"Wireless";
    stale.edgeTraversal = true;
    const RecordedFirewallRule other = Recorded(RemoteDesktopRule(L"3391"));
    e2e::SeedRecordedFirewallRules({other, stale});

    korvane::ComApartment apartment;
    auto policy = OpenPolicy();
    bool added = true;
    const Status status = policy->EnsureRule(rule, added);

    REQUIRE_MSG(status.ok, "EnsureRule failed: " + e2e::Hex(status.code) + " " + e2e::Utf8(status.message));
    CHECK(!added);
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), (std::vector<RecordedFirewallRule>{other, Recorded(rule)}));
}

// The settings given are the settings stored, not the usual ones.
SCENARIO(firewall_rule_settings_other_than_the_usual_arrive_as_given) {
    e2e::CleanFirewall firewall;
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();
    FirewallRule rule = RemoteDesktopRule(L"3390");
    rule.protocol = 17;
    rule.direction = 2;
    rule.action = 0;
    rule.profiles = 2;
    rule.enabled = false;

    bool added = false;
    REQUIRE(policy->EnsureRule(rule, added).ok);

    RecordedFirewallRule expected = Recorded(rule);
    expected.protocol = 17;
    expected.direction = 2;
    expected.action = 0;
    expected.profiles = 2;
    expected.enabled = false;
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), std::vector<RecordedFirewallRule>{expected});
}

SCENARIO(firewall_remove_rule_removes_only_that_rule) {
    e2e::CleanFirewall firewall;
    const RecordedFirewallRule kept = Recorded(RemoteDesktopRule(L"3391"));
    const FirewallRule removed = RemoteDesktopRule(L"3390");
    e2e::SeedRecordedFirewallRules({Recorded(removed), kept});
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();

    const Status status = policy->RemoveRule(removed.name);

    CHECK_MSG(status.ok, "RemoveRule failed: " + e2e::Hex(status.code) + " " + e2e::Utf8(status.message));
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), std::vector<RecordedFirewallRule>{kept});
}

// Removing is asked for so that the rule is gone: a rule that is not there is no failure.
SCENARIO(firewall_remove_missing_rule_succeeds) {
    e2e::CleanFirewall firewall;
    const RecordedFirewallRule kept = Recorded(RemoteDesktopRule(L"3391"));
    e2e::SeedRecordedFirewallRules({kept});
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();

    const Status status = policy->RemoveRule(RemoteDesktopRule(L"3390").name);

    CHECK_MSG(status.ok, "RemoveRule failed: " + e2e::Hex(status.code) + " " + e2e::Utf8(status.message));
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), std::vector<RecordedFirewallRule>{kept});
}

SCENARIO(firewall_refused_add_is_reported_with_the_system_text) {
    e2e::CleanFirewall firewall;
    e2e::SetFirewallAddFails(true);
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();

    bool added = true;
    const Status status = policy->EnsureRule(RemoteDesktopRule(L"3390"), added);

    CHECK(!status.ok);
    CHECK_EQ(e2e::Hex(status.code), e2e::Hex(kAccessDenied));
    const std::wstring accessDenied = SystemText(ERROR_ACCESS_DENIED);
    CHECK(!accessDenied.empty());
    CHECK_EQ(status.message, accessDenied);
    CHECK(!added);
    CHECK_EQ(e2e::ReadRecordedFirewallRules().size(), 0u);
}

// A rule whose ports were refused must not be added anyway: without ports it would open every port.
SCENARIO(firewall_refused_ports_add_no_rule) {
    e2e::CleanFirewall firewall;
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();

    bool added = true;
    const Status status = policy->EnsureRule(RemoteDesktopRule(L"99999"), added);

    CHECK(!status.ok);
    CHECK_EQ(e2e::Hex(status.code), e2e::Hex(0x80070057u));  // E_INVALIDARG, as Windows answers
    CHECK(!added);
    CHECK_EQ(e2e::ReadRecordedFirewallRules().size(), 0u);
}

// Only "not found" means there is no such rule; any other failure of the lookup must not end in a second
// rule of the same name.
SCENARIO(firewall_failed_lookup_adds_nothing) {
    e2e::CleanFirewall firewall;
    const FirewallRule rule = RemoteDesktopRule(L"3390");
    e2e::SeedRecordedFirewallRules({Recorded(rule)});
    e2e::SetFirewallFailure(e2e::FirewallOperation::Item, true);
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();

    bool added = true;
    const Status status = policy->EnsureRule(rule, added);

    CHECK(!status.ok);
    CHECK_EQ(e2e::Hex(status.code), e2e::Hex(kAccessDenied));
    CHECK(!added);
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), std::vector<RecordedFirewallRule>{Recorded(rule)});
}

SCENARIO(firewall_refused_update_is_reported) {
    e2e::CleanFirewall firewall;
    RecordedFirewallRule stale = Recorded(RemoteDesktopRule(L"3389"));
    const FirewallRule rule = RemoteDesktopRule(L"3390");
    stale.name = rule.name;
    e2e::SeedRecordedFirewallRules({stale});
    constexpr uint32_t kNotEnoughMemory = 0x8007000Eu;
    e2e::SetFirewallFailure(e2e::FirewallOperation::Update, true, kNotEnoughMemory);
    korvane::ComApartment apartment;
    auto policy = OpenPolicy();

    bool added = true;
    const Status status = policy->EnsureRule(rule, added);

    CHECK(!status.ok);
    CHECK_EQ(e2e::Hex(status.code), e2e::Hex(kNotEnoughMemory));
    CHECK(!status.message.empty());
    CHECK(!added);
    CHECK_EQ(e2e::ReadRecordedFirewallRules(), std::vector<RecordedFirewallRule>{stale});
}

SCENARIO(firewall_unavailable_policy_is_reported) {
    e2e::CleanFirewall firewall;
    e2e::SetFirewallFailure(e2e::FirewallOperation::CreatePolicy, true);
    korvane::ComApartment apartment;

    Status status;
    const auto policy = korvane::CreateWindowsFirewallPolicy(status);

    CHECK(!policy);
    CHECK(!status.ok);
    CHECK_EQ(e2e::Hex(status.code), e2e::Hex(kAccessDenied));
    CHECK_EQ(status.message, SystemText(ERROR_ACCESS_DENIED));
}

// What the checks before a change cost here: the trial listen, and the firewall's local policy (here the
// recorder's, which reads a file). Printed, not checked: the figures go into the notes.
SCENARIO(reachability_checks_take_milliseconds) {
    e2e::CleanFirewall firewall;
    korvane::ComApartment apartment;
    auto median = [](auto check) {
        std::vector<double> times;
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        for (int run = 0; run < 21; ++run) {
            QueryPerformanceCounter(&start);
            check();
            QueryPerformanceCounter(&end);
            times.push_back(1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    korvane::PortBind bind = korvane::PortBind::InUse;
    const double port = median([&] { CHECK(korvane::TryExclusiveBindWindows(3390, bind).ok); });
    CHECK(bind == korvane::PortBind::Free);
    const double policy = median([&] {
        Status status;
        auto created = korvane::CreateWindowsFirewallPolicy(status);
        korvane::FirewallLocalPolicy state;
        CHECK(created && created->LocalPolicyState(state).ok);
    });
    char line[120];
    std::snprintf(line, sizeof line,
                  "trial bind %.2f ms, firewall policy object and local policy %.2f ms (medians of 21)", port, policy);
    e2e::Say(line);
}
