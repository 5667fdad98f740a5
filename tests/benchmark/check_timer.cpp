// What 修改 and start-up ask of Windows before the first write, timed inside Wine (or on Windows): each
// question of the platform, and all checks of 修改 together, the median of 21 runs each. A benchmark, not a
// test: it prints the times (scripts/benchmark-checks.sh runs it).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/win32/platform_win32.h"
#include "platform/win32/scoped.h"
#include "port/host_facts.h"
#include "port/startup.h"
#include "port/reachability.h"
#include "port/remote_desktop_listener.h"

int wmain() {
    using namespace korvane;
    ComApartment apartment;
    Win32Platform platform;
    Status status;
    const std::unique_ptr<ScriptShell> shell = platform.CreateScriptShell(status);
    if (!shell) return std::fprintf(stderr, "no script shell object\n"), 1;
    const uint16_t port = 20001;
    const std::vector<std::pair<const char*, std::function<void()>>> checks = {
        {"exclusive bind, IPv4 and IPv6",
         [&] {
             PortBind bind;
             platform.TryExclusiveBind(port, bind);
         }},
        {"TCP listener table",
         [&] {
             std::vector<TcpListener> rows;
             platform.ListTcpListeners(rows);
         }},
        {"process of TermService",
         [&] {
             uint32_t id;
             platform.ServiceProcess(L"TermService", id);
         }},
        {"start type of MpsSvc",
         [&] {
             uint32_t type;
             platform.ServiceStartType(L"MpsSvc", type);
         }},
        {"dynamic port range (WMI)",
         [&] {
             DynamicPortRange range;
             platform.TcpDynamicPortRange(5000, range);
         }},
        {"chassis asset tag (SMBIOS)", [&] { platform.ChassisAssetTag(); }},
        {"firewall policy object and local policy",
         [&] {
             auto firewall = platform.CreateFirewallPolicy(status);
             FirewallLocalPolicy state;
             if (firewall) firewall->LocalPolicyState(state);
         }},
        {"5 registry values (switch, policy, edition, firmware)",
         [&] {
             RegValue value;
             for (const wchar_t* path : {kDenyConnectionsPath, kDenyConnectionsPolicyPath, kEditionIdPath,
                                       kSystemManufacturerPath, kSystemProductPath})
                 shell->RegRead(path, value);
         }},
        {"all checks of 修改",
         [&] {
             auto firewall = platform.CreateFirewallPolicy(status);
             CheckReachability(platform, *shell, firewall.get(), status, port, false, 3389);
         }},
        {"Remote Desktop's listener ports (each 修改, start-up)", [&] { RemoteDesktopListenerPorts(platform); }},
        {"start-up's pending port", [&] { PendingPortLine(platform, 3389); }},
    };
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::printf("median of 21 runs (ms)\n");
    for (const auto& [name, check] : checks) {
        std::vector<double> times;
        for (int run = 0; run < 21; ++run) {
            QueryPerformanceCounter(&start);
            check();
            QueryPerformanceCounter(&end);
            times.push_back(1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
        }
        std::sort(times.begin(), times.end());
        std::printf("%8.2f  %s\n", times[10], name);
    }
    return 0;
}
