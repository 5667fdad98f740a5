#include "port/pending_port.h"

#include <algorithm>
#include <vector>

namespace korvane {

std::optional<std::wstring> PendingPortLine(Platform& platform, const std::wstring& configuredPort) {
    uint32_t service = 0;
    if (!platform.ServiceProcess(kRemoteDesktopService, service) || service == 0) return std::nullopt;
    std::vector<TcpListener> listeners;
    if (!platform.ListTcpListeners(listeners)) return std::nullopt;
    std::vector<std::wstring> ports;  // IPv4 and IPv6 listeners share a port: each once
    for (const TcpListener& listener : listeners) {
        const std::wstring port = std::to_wstring(listener.port);
        if (listener.processId == service && std::find(ports.begin(), ports.end(), port) == ports.end())
            ports.push_back(port);
    }
    if (ports.empty() || std::find(ports.begin(), ports.end(), configuredPort) != ports.end()) return std::nullopt;
    std::wstring listening;
    for (const std::wstring& port : ports) listening += (listening.empty() ? L"" : L"、") + port;
    return L"远程桌面现在仍在端口 " + listening + L" 上监听，已设置的端口 " + configuredPort + L" 在重启计算机后生效";
}

}  // namespace korvane
