#include "port/startup.h"

#include <vector>

#include "platform/failure_text.h"
#include "platform/number_text.h"
#include "port/port_settings.h"
#include "port/remote_desktop_listener.h"
#include "port/sentences.h"

namespace korvane {

std::optional<uint32_t> RunStartup(Platform& platform, MainView& view) {
    Status shellStatus;
    std::unique_ptr<ScriptShell> shell = platform.CreateScriptShell(shellStatus);

    view.DisableCurrentPort();
    view.SetNewPortText(kDefaultPort);
    AppendLogLine(view, Say(words::kDefaultPortLine, {{L"port", view.NewPortText()}}));

    if (!shell) {
        AppendLogLine(view, Say(words::kNoShellAtStartup, {{L"reason", ScriptShellFailure(shellStatus)}}));
        return std::nullopt;
    }
    const CurrentPort port = ReadCurrentPort(*shell);
    if (!port.status) {
        AppendLogLine(view, Say(words::kCurrentPortUnreadable, {{L"reason", DescribeFailure(port.status)}}));
        return std::nullopt;
    }
    view.SetCurrentPortText(DecimalText(port.number));
    return port.number;
}

std::optional<std::wstring> PendingPortLine(Platform& platform, uint32_t configuredPort) {
    const std::vector<uint16_t> listening = RemoteDesktopListenerPorts(platform);
    if (IsCurrentRemoteDesktopPort(listening, configuredPort, configuredPort)) return std::nullopt;
    std::vector<std::wstring> ports;
    for (uint16_t port : listening) ports.push_back(DecimalText(port));
    return Say(words::kPendingPort,
               {{L"ports", Joined(ports, words::kListSeparator)}, {L"port", DecimalText(configuredPort)}});
}

void ReportPendingPort(Platform& platform, MainView& view, std::optional<uint32_t> configuredPort) {
    if (!configuredPort) return;
    if (const auto pending = PendingPortLine(platform, *configuredPort)) AppendLogLine(view, *pending);
}

}  // namespace korvane
