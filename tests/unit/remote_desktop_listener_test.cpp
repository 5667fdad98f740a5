// Remote Desktop's own listener, told by the service Windows names as its owner: which listener on the new
// port is a conflict, what the pending-port line at start-up names, and which port counts as the one Remote
// Desktop uses now (and so is not checked again).
#include <gtest/gtest.h>

#include <algorithm>

#include "port/startup.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

constexpr int kNo = 7;

class ListenerOwnerTest : public ChangeTest {
protected:
    long Checked(const std::wstring& port) const {
        return std::count(world.calls.begin(), world.calls.end(), L"check port " + port);
    }
};

// Remote Desktop listens on 3389 in svchost.exe (process 1088), which it may share with other services; the
// administrator enters 3390, which something listens on.
TEST_F(ListenerOwnerTest, OnlyTheListenerWindowsNamesAsRemoteDesktopsIsNoConflict) {
    const struct {
        const char* name;
        void (*arrange)(FakeWorld&);
        std::wstring said;  // in the one question; empty: no question
    } cases[] = {
        {"another service in Remote Desktop's shared process",
         [](FakeWorld& w) { w.Listen(3390, 1088, L"svchost.exe", L"W3SVC"); },
         L"端口 3390 已被程序 svchost.exe（W3SVC，进程 ID 1088）占用"},
        {"Remote Desktop's process, the owner not named", [](FakeWorld& w) { w.Listen(3390, 1088, L"svchost.exe"); },
         L"端口 3390 已被程序 svchost.exe（进程 ID 1088）占用"},
        {"named as Remote Desktop's, its process not known (any case)",
         [](FakeWorld& w) {
             w.serviceProcesses.clear();
             w.Listen(3390, 1088, L"svchost.exe", L"termservice");
         },
         L""},
        {"Remote Desktop's on IPv4, another program on IPv6",
         [](FakeWorld& w) {
             w.serviceProcesses.clear();
             w.Listen(3390, 1088, L"svchost.exe", L"TermService");
             w.Listen(3390, 4321, L"nginx.exe", L"nginx.exe");
         },
         L"端口 3390 已被程序 nginx.exe（进程 ID 4321）占用"},
        // HTTP.sys's listeners are the kernel's: it cannot be stopped like a program, and keeps the port after the
        // restart; process 4 is the kernel's even where Windows names no owner.
        {"the kernel, on Windows 10", [](FakeWorld& w) { w.Listen(3390, 4, L"System", L"System"); },
         L"端口 3390 正被系统内核（System，PID 4）侦听，通常是 HTTP.sys（IIS、WinRM、WSUS 等使用它，netsh http show "
         L"servicestate 可查看）。它重启后仍占用这个端口，请改用其他端口。"},
        {"process 4, its owner not named", [](FakeWorld& w) { w.Listen(3390, 4); },
         L"端口 3390 正被系统内核（System，PID 4）"},
        // Windows 7 runs Remote Desktop's listener in the kernel too: it may be its own, or not.
        {"the kernel, on Windows 7",
         [](FakeWorld& w) {
             w.version = {6, 1};
             w.Listen(3390, 4, L"System", L"System");
         },
         L"端口 3390 正被系统内核（PID 4）侦听：若是改过端口、未重启的远程桌面，可以继续；若是 HTTP.sys（IIS、WinRM 等，"
         L"netsh http show servicestate 可查看），重启后仍占用端口，请改用其他端口。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = OrdinaryMachine();
        world.ListenAsRemoteDesktop(3389);
        c.arrange(world);
        view.log = kStartLog;
        Change(L"3390", {kNo, kNo});
        const auto questions = Questions();
        if (c.said.empty()) {
            EXPECT_TRUE(questions.empty());
            EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3390));
            continue;
        }
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_NE(questions[0].find(L"1、" + c.said), std::wstring::npos) << questions[0].size();
        EXPECT_EQ(world.registry[kRdpTcpPortPath], Dword(3389)) << "No writes nothing";
    }
}

// At start-up the line names only the ports of Remote Desktop's own listener, and only when it is told.
TEST_F(ListenerOwnerTest, ThePendingPortLineNamesOnlyRemoteDesktopsOwnListener) {
    const struct {
        const char* name;
        void (*arrange)(FakeWorld&);
        uint32_t configured;
        std::optional<std::wstring> line;
    } cases[] = {
        {"waiting for the restart, another service of its process beside it",
         [](FakeWorld& w) {
             w.ListenAsRemoteDesktop(3389);
             w.Listen(8080, 1088, L"svchost.exe", L"W3SVC");
         },
         3390, L"远程桌面现在仍在端口 3389 上侦听，已设置的端口 3390 在重启计算机后生效"},
        {"only another service of its process listens",
         [](FakeWorld& w) {
             w.serviceProcesses[L"TermService"] = 1088;
             w.Listen(8080, 1088, L"svchost.exe", L"W3SVC");
         },
         3389, std::nullopt},
        {"Windows 7's kernel listener",
         [](FakeWorld& w) {
             w.version = {6, 1};
             w.serviceProcesses[L"TermService"] = 1088;
             w.Listen(3389, 4, L"System", L"System");
         },
         3390, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = FakeWorld();
        c.arrange(world);
        EXPECT_EQ(PendingPortLine(platform, c.configured), c.line);
    }
}

// The port Remote Desktop uses now is neither bound nor checked against the dynamic range: the port its own
// listener is on, where Windows names it; else the configured one. Here the dynamic range starts at 10000, so
// that 10010 checked brings a warning.
TEST_F(ListenerOwnerTest, TheCurrentPortIsTheListenersWhereItIsKnown) {
    const struct {
        const char* name;
        uint32_t configured;
        bool listenerKnown;  // on 3389
        std::wstring entered;
        bool checked;
    } cases[] = {
        {"the pending port entered again", 10010, true, L"10010", true},
        {"back to the port it still listens on", 10010, true, L"3389", false},
        {"listener not known: the configured port", 10010, false, L"10010", false},
        {"listener not known: another port", 10010, false, L"3389", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        world = OrdinaryMachine();
        ChangedBefore(std::to_wstring(c.configured));
        world.dynamicRange = DynamicPortRange{10000, 1000};
        if (c.listenerKnown) world.ListenAsRemoteDesktop(3389);
        view.log = kStartLog;
        Change(c.entered, {kNo, kNo});
        EXPECT_EQ(Checked(c.entered), c.checked ? 1 : 0);
        EXPECT_EQ(Questions().size(), c.checked && c.entered == L"10010" ? 1u : 0u);
    }
}

}  // namespace
}  // namespace korvane::testing
