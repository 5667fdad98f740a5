#include "port/port_change.h"

#include <vector>

#include "platform/failure_text.h"
#include "port/change_report.h"
#include "port/firewall_rules.h"
#include "port/port_settings.h"
#include "port/port_text.h"
#include "port/publisher.h"
#include "port/reachability.h"
#include "port/remote_desktop_listener.h"

namespace korvane {

namespace {

const std::wstring kErrorTitle = L"错误";
const std::wstring kLimitPrompt = L"端口最大值：65535，端口已自动生成可自行更改。";
const std::wstring kNotAPortPrompt = L"端口必须是 1 到 65535 之间的整数（只能包含数字），端口已自动生成可自行更改。";
const std::wstring kRestartQuestion = L"修改完成，确定重启吗？";
const std::wstring kRestartNotice = L"点击确定后立即重启";
const std::wstring kRestartArguments = L"-r -t 1";
// shutdown.exe returns at once: 0 once the restart is scheduled, otherwise the Win32 code of Windows' refusal
// (1190 a shutdown already scheduled, 1115 one in progress, 5 no privilege).
constexpr uint32_t kRestartWaitMs = 5000;

std::wstring Join(const std::vector<std::wstring>& lines, const std::wstring& separator) {
    std::wstring joined;
    for (const std::wstring& line : lines) {
        if (!joined.empty()) joined += separator;
        joined += line;
    }
    return joined;
}

// What a failed change left behind once it was taken back.
struct Rollback {
    bool changedAnything = false;
    std::vector<std::wstring> notRestored;

    void Add(bool changed, const std::vector<std::wstring>& left) {
        changedAnything = changedAnything || changed;
        notRestored.insert(notRestored.end(), left.begin(), left.end());
    }
};

// Tells the administrator which step failed and why, and in what state the machine is left.
void ReportFailedChange(Platform& platform, MainView& view, const std::wstring& step, const Status& status,
                        const Rollback& rollback = {}) {
    const std::wstring reason = DescribeFailure(status);
    std::wstring prompt = L"修改远程端口失败。\r\n\r\n失败的步骤：" + step + L"\r\n原因：" + reason + L"\r\n\r\n";
    if (!rollback.notRestored.empty()) {
        prompt += L"以下设置未能恢复原样，请手工检查：\r\n" + Join(rollback.notRestored, L"\r\n");
    } else if (rollback.changedAnything) {
        prompt += L"已写入的设置均已恢复原样，远程桌面端口和防火墙设置均未改变。";
    } else {
        prompt += L"没有写入任何设置，远程桌面端口和防火墙设置均未改变。";
    }

    AppendLogLine(view, L"修改失败：" + step + L"，" + reason);
    if (!rollback.notRestored.empty()) AppendLogLine(view, L"未能恢复：" + Join(rollback.notRestored, L"；"));
    platform.ShowMessage(prompt, kMessageCritical, kErrorTitle);
}

// Only a whole number from 1 to 65535, typed as plain digits, may reach the registry.
bool AcceptPort(Platform& platform, MainView& view, const std::wstring& text) {
    if (!IsPlainDigits(text) || IsZeroPort(text)) {
        platform.ShowMessage(kNotAPortPrompt, kMessageCritical, kErrorTitle);
        view.SetNewPortText(kDefaultPort);
        return false;
    }
    if (IsAboveHighestPort(text)) {
        platform.ShowMessage(kLimitPrompt, kMessageCritical, kErrorTitle);
        view.SetNewPortText(kDefaultPort);
        return false;
    }
    return true;
}

void OfferRestart(Platform& platform, MainView& view) {
    if (platform.ShowMessage(kRestartQuestion, kMessageYesNo, L"Korvane") != kAnswerYes) return;
    platform.ShowMessage(kRestartNotice, kMessageOk, L"提示");
    // By full path: a shutdown.exe beside the program or in the current folder must never run here.
    const std::wstring shutdown = platform.SystemDirectory() + L"\\shutdown.exe";
    const std::wstring command = shutdown + L" " + kRestartArguments;
    ProgramExit exit;
    Status status = platform.StartProgram(shutdown, kRestartArguments, kShowMinimized, kRestartWaitMs, exit);
    if (!status) {
        const std::wstring reason = DescribeFailure(status);
        AppendLogLine(view, L"重启失败：无法启动 " + command + L"，" + reason);
        platform.ShowMessage(L"远程端口已修改，但无法启动重启命令：\r\n" + command + L"\r\n原因：" + reason +
                                 L"\r\n\r\n请手动重启计算机，新端口在重启后生效。",
                             kMessageCritical, kErrorTitle);
        return;
    }
    if (!exit.ended) {
        AppendLogLine(view, L"未能确认重启：" + command + L" 在 " + std::to_wstring(kRestartWaitMs / 1000) +
                                L" 秒内没有结束；如果计算机没有重启，请手动重启，新端口在重启后生效");
        return;
    }
    if (exit.code == 0) return;
    // Windows refused: the administrator, told the restart comes at once, must not wait for one that never does.
    const std::wstring code = L"退出代码 " + std::to_wstring(exit.code);
    const std::wstring reason = exit.codeText.empty() ? code : exit.codeText + L"（" + code + L"）";
    AppendLogLine(view,
                  L"重启失败：Windows 拒绝了重启命令 " + command + L"，" + reason + L"，新端口在计算机下次重启后生效");
    platform.ShowMessage(
        L"Windows 拒绝了重启命令：\r\n" + command + L"\r\n原因：" + reason +
            L"\r\n\r\n远程端口已修改，新端口在计算机下次重启后生效。计算机现在可能不会重启，请稍后手动重启。",
        kMessageCritical, kErrorTitle);
}

}  // namespace

void RunPortChange(Platform& platform, MainView& view) {
    Status status;
    std::unique_ptr<ScriptShell> shell = platform.CreateScriptShell(status);
    if (!shell) return ReportFailedChange(platform, view, L"创建脚本宿主对象 wscript.shell", status);

    const std::wstring port = view.NewPortText();
    if (!AcceptPort(platform, view, port)) return;

    PortSettingsChange settings(*shell, port);
    status = settings.ReadPrevious();
    if (!status) return ReportFailedChange(platform, view, settings.FailedStep(), status);

    // Before the first write: anything that would leave Remote Desktop unreachable on the new port after
    // the restart is put to the administrator, with "do nothing" the default.
    const std::wstring number = PortNumberText(port);
    // The port Remote Desktop uses now is that of its own listener where that is known: while a change waits for
    // the restart the configured port is not yet listened on, and entering it again must check it again.
    const bool isCurrentPort =
        IsCurrentRemoteDesktopPort(RemoteDesktopListenerPorts(platform), settings.PreviousListenerPort(),
                                   static_cast<uint16_t>(std::stoul(number)));
    Status firewallStatus;
    std::unique_ptr<FirewallPolicy> firewall = platform.CreateFirewallPolicy(firewallStatus);
    // A firewall whose policy object fails for another reason than its service being down cannot take the
    // rules: that is said as the failure it is, before any question, and nothing is written.
    if (!firewall && !IsFirewallServiceDown(firewallStatus.code)) {
        return ReportFailedChange(platform, view, L"打开 Windows 防火墙策略（HNetCfg.FwPolicy2）", firewallStatus);
    }
    // The scope of the new rules comes from the rules that admit Remote Desktop on the port the registry gives
    // it now (3389 when the value is missing, as Remote Desktop itself assumes).
    const uint32_t configured = settings.PreviousListenerPort();
    const uint16_t configuredPort = configured == 0 || configured > 65535 ? 3389 : static_cast<uint16_t>(configured);
    const ReachabilityFindings findings =
        CheckReachability(platform, *shell, firewall.get(), firewallStatus, number, isCurrentPort, configuredPort);
    // Everything found, in one warning; with nothing found, the checks that could not be made are only logged.
    if (!findings.findings.empty()) {
        const ChangeReport report = ReportOf(number, findings.findings, findings.uncheckedLines);
        if (platform.ShowMessage(report.prompt, kReportStyle, kReportTitle) != kAnswerYes) {
            AppendLogLine(view, report.cancelledLine);
            return;
        }
    }
    for (const std::wstring& line : findings.uncheckedLines) AppendLogLine(view, line);
    for (const std::wstring& line : findings.noteLines) AppendLogLine(view, line);

    // The firewall rules come first and the registry values after them, the firewall entry last: a failure
    // anywhere takes back only rules and rewrites of existing values, never a value that has to be deleted.
    // With the firewall service down there are no rules to make, and the administrator chose to go on.
    std::unique_ptr<FirewallRulesChange> rules;
    if (!findings.firewallUnavailable) {
        rules = std::make_unique<FirewallRulesChange>(*firewall, findings.rules);
        status = rules->Apply();
        if (!status) {
            Rollback rollback;
            rollback.Add(rules->ChangedAnything(), rules->NotRestored());
            return ReportFailedChange(platform, view, rules->FailedStep(), status, rollback);
        }
    }

    status = settings.Write();
    if (!status) {
        Rollback rollback;
        rollback.Add(settings.WroteAnything(), settings.NotRestored());
        if (rules) {
            rules->Undo();
            rollback.Add(rules->ChangedAnything(), rules->NotRestored());
        }
        return ReportFailedChange(platform, view, settings.FailedStep(), status, rollback);
    }

    AppendLogLine(view, L"系统远程桌面连接端口已被修改为：" + view.NewPortText());
    AppendLogLine(view, findings.firewallUnavailable ? findings.noRuleLine : L"远程端口已被添加到防火墙例外");
    AppendLogLine(view, L"远程端口将在重启后生效！");
    AppendLogLine(view, std::wstring(L"欢迎访问KorvaneIT技术网：") + kPublisherUrl + L"！");
    OfferRestart(platform, view);
}

}  // namespace korvane
