#include "port/port_change.h"

#include <vector>

#include "platform/failure_text.h"
#include "platform/number_text.h"
#include "port/change_report.h"
#include "port/firewall_rule_step.h"
#include "port/port_number.h"
#include "port/port_settings.h"
#include "port/publisher.h"
#include "port/reachability.h"
#include "port/remote_desktop_listener.h"
#include "port/sentences.h"

namespace korvane {

namespace {

constexpr wchar_t kRestartArguments[] = L"-r -t 1";
// shutdown.exe returns at once: 0 once the restart is scheduled, otherwise the Win32 code of Windows' refusal
// (1190 a shutdown already scheduled, 1115 one in progress, 5 no privilege).
constexpr uint32_t kRestartWaitMs = 5000;

// Tells the administrator which step failed and why, and in what state the machine is left.
void ReportFailedChange(Platform& platform, MainView& view, const ChangeOutcome& outcome, std::wstring reason = {}) {
    if (reason.empty()) reason = DescribeFailure(outcome.status);
    const std::wstring settings = Joined(outcome.notRestored, L"\r\n");
    const auto say = [&](const wchar_t* sentence) {
        return Say(sentence, {{L"step", outcome.failedStep}, {L"reason", reason}, {L"settings", settings}});
    };
    const wchar_t* prompt = !outcome.notRestored.empty() ? words::kFailedNotRestored
                            : outcome.changedAnything    ? words::kFailedRestored
                                                         : words::kFailedNothingWritten;
    AppendLogLine(view, say(words::kFailedLine));
    if (!outcome.notRestored.empty()) {
        AppendLogLine(view, Say(words::kNotRestoredLine,
                                {{L"settings", Joined(outcome.notRestored, words::kNotRestoredSeparator)}}));
    }
    platform.ShowMessage(say(prompt), kMessageCritical, Say(words::kErrorTitle));
}

void ReportFailedStep(Platform& platform, MainView& view, const std::wstring& step, const Status& status,
                      std::wstring reason = {}) {
    ChangeOutcome outcome;
    outcome.status = status;
    outcome.failedStep = step;
    ReportFailedChange(platform, view, outcome, std::move(reason));
}

// Only a whole number from 1 to 65535, typed as plain digits, may reach the registry.
std::optional<uint16_t> AcceptPort(Platform& platform, MainView& view, const std::wstring& text) {
    const NewPort port = ParseNewPort(text);
    if (port.verdict == NewPort::Verdict::Port) return port.number;
    const wchar_t* prompt =
        port.verdict == NewPort::Verdict::AboveHighest ? words::kLimitPrompt : words::kNotAPortPrompt;
    platform.ShowMessage(Say(prompt, {{L"port", kDefaultPort}}), kMessageCritical, Say(words::kErrorTitle));
    view.SetNewPortText(kDefaultPort);
    return std::nullopt;
}

void OfferRestart(Platform& platform, MainView& view) {
    if (platform.ShowMessage(Say(words::kRestartQuestion), kMessageYesNo, Say(words::kRestartTitle)) != kAnswerYes)
        return;
    platform.ShowMessage(Say(words::kRestartNotice), kMessageOk, Say(words::kNoticeTitle));
    // By full path: a shutdown.exe beside the program or in the current folder must never run here.
    const std::wstring shutdown = platform.SystemDirectory() + L"\\shutdown.exe";
    const std::wstring command = shutdown + L" " + kRestartArguments;
    ProgramExit exit;
    Status status = platform.StartProgram(shutdown, kRestartArguments, kShowMinimized, kRestartWaitMs, exit);
    if (!status) {
        const std::wstring reason = DescribeFailure(status);
        const auto say = [&](const wchar_t* sentence) {
            return Say(sentence, {{L"command", command}, {L"reason", reason}});
        };
        AppendLogLine(view, say(words::kRestartNotStartedLine));
        platform.ShowMessage(say(words::kRestartNotStartedPrompt), kMessageCritical, Say(words::kErrorTitle));
        return;
    }
    if (!exit.ended) {
        AppendLogLine(view, Say(words::kRestartUnconfirmedLine,
                                {{L"command", command}, {L"seconds", DecimalText(kRestartWaitMs / 1000)}}));
        return;
    }
    if (exit.code == 0) return;
    // Windows refused: the administrator, told the restart comes at once, must not wait for one that never does.
    const std::wstring reason = Say(exit.codeText.empty() ? words::kExitCode : words::kExitCodeWithText,
                                    {{L"code", DecimalText(exit.code)}, {L"text", WithoutFinalStop(exit.codeText)}});
    const auto say = [&](const wchar_t* sentence) {
        return Say(sentence, {{L"command", command}, {L"reason", reason}});
    };
    AppendLogLine(view, say(words::kRestartRefusedLine));
    platform.ShowMessage(say(words::kRestartRefusedPrompt), kMessageCritical, Say(words::kErrorTitle));
}

}  // namespace

void RunPortChange(Platform& platform, MainView& view) {
    Status status;
    std::unique_ptr<ScriptShell> shell = platform.CreateScriptShell(status);
    if (!shell)
        return ReportFailedStep(platform, view, Say(words::kCreateShellStep), status, ScriptShellFailure(status));

    // The port as typed is what the registry values get; everything else works with its number.
    const std::wstring typed = view.NewPortText();
    const std::optional<uint16_t> port = AcceptPort(platform, view, typed);
    if (!port) return;

    PortSettingsWrites settings = ReadPortSettings(*shell, typed);
    if (!settings.status) return ReportFailedStep(platform, view, settings.failedStep, settings.status);

    // Before the first write: anything that would leave Remote Desktop unreachable on the new port after
    // the restart is put to the administrator, with "do nothing" the default.
    // The port Remote Desktop uses now is that of its own listener where that is known: while a change waits for
    // the restart the configured port is not yet listened on, and entering it again must check it again.
    const bool isCurrentPort =
        IsCurrentRemoteDesktopPort(RemoteDesktopListenerPorts(platform), settings.previousListenerPort, *port);
    Status firewallStatus;
    std::unique_ptr<FirewallPolicy> firewall = platform.CreateFirewallPolicy(firewallStatus);
    // A firewall whose policy object fails for another reason than its service being down cannot take the
    // rules: that is said as the failure it is, before any question, and nothing is written.
    if (!firewall && !IsFirewallServiceDown(firewallStatus.code)) {
        return ReportFailedStep(platform, view, Say(words::kOpenFirewallStep), firewallStatus);
    }
    // The scope of the new rules comes from the rules that admit Remote Desktop on the port the registry gives
    // it now (3389 when the value is missing, as Remote Desktop itself assumes).
    const uint32_t configured = settings.previousListenerPort;
    const uint16_t configuredPort =
        configured == 0 || configured > kHighestPort ? kStandardRemoteDesktopPort : static_cast<uint16_t>(configured);
    const ReachabilityFindings findings =
        CheckReachability(platform, *shell, firewall.get(), firewallStatus, *port, isCurrentPort, configuredPort);
    // Everything found, in one warning; with nothing found, the checks that could not be made are only logged.
    if (!findings.findings.empty()) {
        const ChangeReport report = ReportOf(DecimalText(*port), findings.findings, findings.uncheckedLines);
        if (platform.ShowMessage(report.prompt, kReportStyle, Say(words::kReportTitle)) != kAnswerYes) {
            AppendLogLine(view, report.cancelledLine);
            return;
        }
    }
    for (const std::wstring& line : findings.uncheckedLines) AppendLogLine(view, line);
    for (const std::wstring& line : findings.noteLines) AppendLogLine(view, line);

    // The firewall rules come first and the registry values after them, the firewall entry last: a failure
    // anywhere takes back only rules and rewrites of existing values, never a value that has to be deleted.
    // With the firewall service down there are no rules to make, and the administrator chose to go on.
    std::vector<std::unique_ptr<UndoableStep>> steps;
    if (!findings.firewallUnavailable) {
        for (const FirewallRule& rule : findings.rules) steps.push_back(FirewallRuleStep(*firewall, rule));
    }
    for (std::unique_ptr<UndoableStep>& write : settings.steps) steps.push_back(std::move(write));
    const ChangeOutcome outcome = RunSteps(steps);
    if (!outcome.status) return ReportFailedChange(platform, view, outcome);

    AppendLogLine(view, Say(words::kChangedLine, {{L"port", view.NewPortText()}}));
    AppendLogLine(view, findings.firewallUnavailable ? findings.noRuleLine : Say(words::kRulesAddedLine));
    AppendLogLine(view, Say(words::kTakesEffectLine));
    AppendLogLine(view, Say(words::kWelcomeLine, {{L"url", kPublisherUrl}}));
    OfferRestart(platform, view);
}

}  // namespace korvane
