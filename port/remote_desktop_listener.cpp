#include "port/remote_desktop_listener.h"

#include <algorithm>
#include <cwctype>

namespace korvane {

bool SameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

bool IsRemoteDesktopListener(const TcpListener& listener) {
    return SameName(listener.owner, kRemoteDesktopService);
}

bool IsKernelListener(const TcpListener& listener) {
    return SameName(listener.owner, kKernelOwner) || listener.processId == kKernelProcessId;
}

bool ListensInKernel(WindowsVersion version) {
    return version.major == 6 && version.minor <= 1;
}

std::vector<uint16_t> RemoteDesktopListenerPorts(Platform& platform) {
    // Where the service does not run, nothing listens for it; the listener table need not be read.
    uint32_t service = 0;
    if (!platform.ServiceProcess(kRemoteDesktopService, service) || service == 0) return {};
    std::vector<TcpListener> listeners;
    if (!platform.ListTcpListeners(listeners)) return {};
    std::vector<uint16_t> ports;  // IPv4 and IPv6 listeners share a port: each once
    for (const TcpListener& listener : listeners) {
        if (IsRemoteDesktopListener(listener) && std::find(ports.begin(), ports.end(), listener.port) == ports.end())
            ports.push_back(listener.port);
    }
    return ports;
}

bool IsCurrentRemoteDesktopPort(const std::vector<uint16_t>& listening, uint32_t configured, uint32_t port) {
    if (!listening.empty()) return std::find(listening.begin(), listening.end(), port) != listening.end();
    return configured == port;
}

}  // namespace korvane
