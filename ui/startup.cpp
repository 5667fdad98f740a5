#include "ui/startup.h"

#include "platform/failure_text.h"
#include "port/pending_port.h"
#include "port/port_settings.h"

namespace korvane {

void RunStartup(Platform& platform, MainView& view) {
    Status shellStatus;
    std::unique_ptr<ScriptShell> shell = platform.CreateScriptShell(shellStatus);

    view.DisableCurrentPort();
    view.SetNewPortText(kDefaultPort);
    AppendLogLine(view, L"程序默认将远程端口设置为：" + view.NewPortText());

    if (!shell) {
        AppendLogLine(view,
                      L"无法读取当前远程端口：无法创建脚本宿主对象 wscript.shell，" + DescribeFailure(shellStatus));
        return;
    }
    CurrentPort port = ReadCurrentPort(*shell);
    if (!port.status) {
        AppendLogLine(view, L"无法读取当前远程端口：" + DescribeFailure(port.status));
        return;
    }
    view.SetCurrentPortText(port.text);
}

void ReportPendingPort(Platform& platform, MainView& view, const std::wstring& configuredPort) {
    if (configuredPort.empty()) return;
    if (const auto pending = PendingPortLine(platform, configuredPort)) AppendLogLine(view, *pending);
}

}  // namespace korvane
