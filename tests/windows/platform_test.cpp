// The program's Windows code for the firewall, the port check and the facts it asks of the system, in the
// test's own process under Wine: the firewall against the stand-in the prefix registers in place of Wine's
// objects (firewall_stand_in/), the port check against a listener of the test's own.
#include <winsock2.h>

#include <gtest/gtest.h>

#include "platform/win32/dynamic_range_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/responsive_wait.h"
#include "platform/win32/scoped.h"
#include "platform/win32/system_library.h"
#include "tests/windows/firewall_stand_in/stand_in_files.h"

namespace {

using namespace korvane;

FirewallRule OurRule(const std::wstring& name, int protocol, const std::wstring& port) {
    FirewallRule rule;
    rule.name = name;
    rule.description = L"新的远程连接端口";
    rule.grouping = L"Korvane远程端口修改工具";
    rule.protocol = protocol;
    rule.localPorts = port;
    return rule;
}

std::vector<FirewallRule> StoredRules() {
    std::vector<FirewallRule> rules;
    EXPECT_TRUE(stand_in::ReadRules(rules));
    return rules;
}

class FirewallTest : public ::testing::Test {
protected:
    void SetUp() override {
        stand_in::Reset();
        Status status;
        firewall = Win32Platform().CreateFirewallPolicy(status);
        ASSERT_TRUE(firewall) << "the firewall stand-in is not registered in the prefix: 0x" << std::hex << status.code;
    }
    void TearDown() override { stand_in::Reset(); }

    ComApartment apartment;
    std::unique_ptr<FirewallPolicy> firewall;
};

TEST_F(FirewallTest, NewRuleArrivesWithEverySetting) {
    FirewallRule rule = OurRule(L"远程桌面端口 3390 (UDP)", 17, L"3390");
    rule.profiles = 4;
    rule.remoteAddresses = L"LocalSubnet";
    rule.applicationName = L"System";
    rule.serviceName.clear();
    bool added = false;
    ASSERT_TRUE(firewall->EnsureRule(rule, added).ok);
    EXPECT_TRUE(added);
    EXPECT_EQ(StoredRules(), std::vector<FirewallRule>{rule});
}

// A rule of the same name edited by hand keeps nothing of its own, whatever protocol it had; a second rule
// is left alone; reading a rule gives back every property, as AllRules does for every rule.
TEST_F(FirewallTest, ExistingRuleIsRewrittenWhollyAndReadBackWhole) {
    const FirewallRule other = OurRule(L"远程桌面端口 3391 (TCP)", 6, L"3391");
    FirewallRule stale = stand_in::NewRuleObject();
    stale.name = L"远程桌面端口 3390 (TCP)";
    stale.description = L"旧的";
    stale.grouping = L"旧分组";
    stale.direction = 2;
    stale.action = 0;
    stale.profiles = 1;
    stale.remoteAddresses = L"192.0.2.1";
    stale.serviceName = L"*";
    stale.interfaceTypes = L"Wireless";
    stale.edgeTraversalOptions = 1;
    for (int protocol : {256, 17}) {
        SCOPED_TRACE(protocol);
        stale.protocol = protocol;
        stale.localPorts = protocol == 17 ? L"4000" : L"";
        ASSERT_TRUE(stand_in::WriteRules({other, stale}));
        FirewallRule found;
        bool exists = false;
        ASSERT_TRUE(firewall->FindRule(stale.name, found, exists).ok);
        EXPECT_TRUE(exists);
        EXPECT_EQ(found, stale);

        const FirewallRule rule = OurRule(stale.name, 6, L"3390");
        bool added = true;
        ASSERT_TRUE(firewall->EnsureRule(rule, added).ok);
        EXPECT_FALSE(added);
        EXPECT_EQ(StoredRules(), (std::vector<FirewallRule>{other, rule}));
        std::vector<FirewallRule> all;
        std::vector<UnreadRule> unread;
        ASSERT_TRUE(firewall->AllRules(all, unread).ok);
        EXPECT_EQ(all, (std::vector<FirewallRule>{other, rule}));
        EXPECT_TRUE(unread.empty());
    }
}

TEST_F(FirewallTest, RemoveTakesOnlyThatRuleAndAMissingOneIsNoFailure) {
    const FirewallRule tcp = OurRule(L"A", 6, L"3390"), udp = OurRule(L"B", 17, L"3390");
    ASSERT_TRUE(stand_in::WriteRules({tcp, udp}));
    EXPECT_TRUE(firewall->RemoveRule(L"A").ok);
    EXPECT_TRUE(firewall->RemoveRule(L"A").ok);
    EXPECT_EQ(StoredRules(), std::vector<FirewallRule>{udp});
    FirewallRule found;
    bool exists = true;
    EXPECT_TRUE(firewall->FindRule(L"A", found, exists).ok);
    EXPECT_FALSE(exists);
}

// A refusal comes back with the system's code and its text, and leaves no rule behind.
TEST_F(FirewallTest, RefusalsCarryTheSystemsCodeAndText) {
    for (const char* operation : {"add", "item", "update"}) {
        SCOPED_TRACE(operation);
        stand_in::Reset();
        const FirewallRule existing = OurRule(L"远程桌面端口 3390 (TCP)", 6, L"4000");
        if (std::string(operation) == "update") {
            ASSERT_TRUE(stand_in::WriteRules({existing}));
        }
        ASSERT_TRUE(stand_in::SetFailure(operation, 0x80070005u));
        bool added = false;
        const Status status = firewall->EnsureRule(OurRule(existing.name, 6, L"3390"), added);
        EXPECT_FALSE(status.ok);
        EXPECT_EQ(status.code, 0x80070005u);
        EXPECT_FALSE(status.message.empty());
        EXPECT_FALSE(added);
        stand_in::ClearFailure();
        EXPECT_EQ(StoredRules().size(), std::string(operation) == "update" ? 1u : 0u);
    }
    ASSERT_TRUE(stand_in::SetFailure("create", 0x80040154u));
    Status status;
    EXPECT_FALSE(Win32Platform().CreateFirewallPolicy(status));
    EXPECT_EQ(status.code, 0x80040154u);
}

TEST_F(FirewallTest, LocalPolicyTurnedOnPerProfileAndAStoppedService) {
    ASSERT_TRUE(stand_in::SetLocalPolicy(2, 4, 1 | 2));
    FirewallLocalPolicy state;
    ASSERT_TRUE(firewall->LocalPolicyState(state).ok);
    EXPECT_EQ(state.modifyState, FirewallLocalPolicy::kInboundBlocked);
    EXPECT_EQ(state.currentProfiles, 4);
    for (int profile : {1, 2, 4}) {
        bool enabled = profile == 4;
        ASSERT_TRUE(firewall->FirewallEnabled(profile, enabled).ok);
        EXPECT_EQ(enabled, profile != 4) << profile;
    }
    ASSERT_TRUE(stand_in::SetFailure("policy", kFirewallServiceStopped));
    const Status status = firewall->LocalPolicyState(state);
    EXPECT_EQ(status.code, kFirewallServiceStopped);
}

// A bind without a listen takes the port like a listener does, but only a listener is in the table.
TEST(PortUseTest, ExclusiveBindAndListenerTable) {
    Win32Platform platform;
    // Three ports free on this machine now: runs side by side must not meet on a port.
    std::vector<uint16_t> ports;
    for (auto port = static_cast<uint16_t>(20000 + GetCurrentProcessId() % 20000); ports.size() < 3; ++port) {
        PortBind free = PortBind::InUse;
        if (platform.TryExclusiveBind(port, free).ok && free == PortBind::Free) ports.push_back(port);
    }
    WSADATA winsock;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &winsock), 0);
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP),
                 bound = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(ports[0]);
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    address.sin_port = htons(ports[1]);
    ASSERT_EQ(bind(bound, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    PortBind result = PortBind::Free;
    ASSERT_TRUE(platform.TryExclusiveBind(ports[2], result).ok);
    EXPECT_EQ(result, PortBind::Free);
    ASSERT_TRUE(platform.TryExclusiveBind(ports[0], result).ok);
    EXPECT_EQ(result, PortBind::InUse);
    ASSERT_TRUE(platform.TryExclusiveBind(ports[1], result).ok);
    EXPECT_EQ(result, PortBind::InUse);
    std::vector<TcpListener> listeners;
    ASSERT_TRUE(platform.ListTcpListeners(listeners).ok);
    const auto listed = [&](uint16_t port) {
        for (const TcpListener& row : listeners) {
            if (row.port == port) return true;
        }
        return false;
    };
    EXPECT_TRUE(listed(ports[0]));
    EXPECT_FALSE(listed(ports[1]));
    closesocket(listener);
    closesocket(bound);
    WSACleanup();
}

TEST(SystemTest, VersionServicesAndSystemFolderFunctions) {
    Win32Platform platform;
    const WindowsVersion version = platform.Version();
    EXPECT_EQ(version.major, 10u) << "the prefix reports Windows 10";
    EXPECT_EQ(version.minor, 0u);
    uint32_t process = 1;
    ASSERT_TRUE(platform.ServiceProcess(L"TermService", process).ok);
    EXPECT_EQ(process, 0u) << "Wine's Remote Desktop service never runs";
    EXPECT_FALSE(platform.ServiceProcess(L"KorvaneNoSuchService", process).ok);
    EXPECT_EQ(platform.ProcessImageName(GetCurrentProcessId()).find(L"platform_tests"), 0u);

    // From the system folder, loaded for the asking.
    const FARPROC table = SystemFunction(L"iphlpapi.dll", "GetExtendedTcpTable");
    ASSERT_NE(table, nullptr);
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(table), &module);
    wchar_t path[MAX_PATH] = {}, system[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(_wcsnicmp(path, system, wcslen(system)), 0);
    EXPECT_EQ(SystemFunction(L"iphlpapi.dll", "NoSuchFunction"), nullptr);
    EXPECT_EQ(SystemFunction(L"korvane-no-such.dll", "Anything"), nullptr);
}

// The window's thread waits (for WMI, for shutdown.exe) without freezing: its messages are handled
// meanwhile, the main window disabled and given back; a wait ends when its handle is signalled, at its limit,
// or at WM_QUIT, which is posted again for the program's loop.
TEST(ResponsiveWaitTest, MessagesHandledOwnerDisabledAndEveryWayAWaitEnds) {
    struct Seen {
        HANDLE handled;
        bool ownerEnabled = true;
    };
    static Seen seen;
    seen = {CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message != WM_APP) return DefWindowProcW(window, message, wParam, lParam);
        seen.ownerEnabled = IsWindowEnabled(window);
        SetEvent(seen.handled);
        return 0;
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KorvaneWaitTest";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    const HWND owner = CreateWindowExW(0, L"KorvaneWaitTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                       nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(owner, nullptr);

    PostMessageW(owner, WM_APP, 0, 0);
    EXPECT_TRUE(WaitKeepingWindowsPainted(owner, seen.handled, 5000)) << "the message was never handled";
    EXPECT_FALSE(seen.ownerEnabled) << "the main window took input during the wait";
    EXPECT_TRUE(IsWindowEnabled(owner));

    ResetEvent(seen.handled);
    EXPECT_FALSE(WaitKeepingWindowsPainted(owner, seen.handled, 50));
    EXPECT_TRUE(IsWindowEnabled(owner));

    const ULONGLONG start = GetTickCount64();
    PostQuitMessage(7);
    EXPECT_FALSE(WaitKeepingWindowsPainted(owner, seen.handled, 20000));
    EXPECT_LT(GetTickCount64() - start, 10000u) << "the wait went on past WM_QUIT";
    MSG quit = {};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT not posted again";
    EXPECT_EQ(quit.wParam, 7u);

    DestroyWindow(owner);
    CloseHandle(seen.handled);
}

// A query still running when its wait ends: the wait ends with a timeout, the range untouched, and the query
// finishes later on its own thread. One that answers in time is taken, and knows its deadline.
TEST(DynamicRangeTest, AQueryOutlivingItsWaitTimesOutAndOneInTimeIsTaken) {
    const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr),
                 finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DynamicPortRange range{1, 1};
    Status status = DynamicRangeOnItsOwnThread(
        100, nullptr,
        [=](uint64_t, DynamicPortRange& answer) {
            WaitForSingleObject(release, 20000);
            answer = {10000, 1000};
            SetEvent(finished);
            return Status::Ok();
        },
        range);
    EXPECT_EQ(status.code, static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_TIMEOUT)));
    EXPECT_EQ(range.start, 1);
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(finished, 20000), WAIT_OBJECT_0) << "the query never finished";

    const ULONGLONG asked = GetTickCount64();
    status = DynamicRangeOnItsOwnThread(
        5000, nullptr,
        [asked](uint64_t deadline, DynamicPortRange& answer) {
            answer = {10000, 1000};
            return deadline >= asked + 5000 ? Status::Ok() : Status::Failure(1, L"deadline");
        },
        range);
    EXPECT_TRUE(status.ok);
    EXPECT_EQ(range.start, 10000);
    EXPECT_EQ(range.count, 1000u);
    CloseHandle(release);
    CloseHandle(finished);
}

}  // namespace
