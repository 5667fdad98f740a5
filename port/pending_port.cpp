#include "port/pending_port.h"

#include <algorithm>
#include <vector>

#include "port/remote_desktop_listener.h"

namespace korvane {

std::optional<std::wstring> PendingPortLine(Platform& platform, const std::wstring& configuredPort) {
    const std::vector<uint16_t> listening = RemoteDesktopListenerPorts(platform);
    const bool listensWhereConfigured =
        std::any_of(listening.begin(), listening.end(),
                    [&](uint16_t port) { return std::to_wstring(port) == configuredPort; });
    if (listening.empty() || listensWhereConfigured) return std::nullopt;
    std::wstring ports;
    for (uint16_t port : listening) ports += (ports.empty() ? L"" : L"、") + std::to_wstring(port);
    return L"远程桌面现在仍在端口 " + ports + L" 上监听，已设置的端口 " + configuredPort + L" 在重启计算机后生效";
}

}  // namespace korvane
