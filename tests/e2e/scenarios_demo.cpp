// The demonstration walk-through of scripts/run.sh, also run with the other scenarios: one change from
// 3389 to 3390 as a person makes it, restart declined, with the registry shown before and after and
// screenshots of the main window, the restart question and the About window.
#include <windows.h>

#include "bench.h"
#include "port/port_settings.h"
#include "program.h"
#include "recorded_firewall.h"
#include "registry.h"
#include "screenshot.h"
#include "ui/control_ids.h"

namespace {

using namespace korvane;

std::string Describe(const e2e::RegistryValue& value) {
    if (!value.exists) return "(不存在 / absent)";
    if (value.type == REG_DWORD) return std::to_string(value.number) + " (REG_DWORD)";
    return e2e::Utf8(value.text) + " (REG_SZ)";
}

void ShowSettings(const std::string& heading) {
    e2e::Say(heading);
    e2e::Say("  RDP-Tcp PortNumber        = " + Describe(e2e::ReadRegistryValue(kRdpTcpPortPath)));
    e2e::Say("  Tds\\tcp PortNumber        = " + Describe(e2e::ReadRegistryValue(kTdsPortPath)));
    e2e::Say("  GloballyOpenPorts 3390:TCP = " + Describe(e2e::ReadRegistryValue(kFirewallListPath + L"3390:TCP")));
    const auto rules = e2e::ReadRecordedFirewallRules();
    if (rules.empty()) e2e::Say("  firewall rules            = (none)");
    for (const auto& rule : rules) e2e::Say("  firewall rule             = " + firewall_recorder::Show(rule));
}

}  // namespace

SCENARIO(demo_walkthrough) {
    e2e::CleanFirewall firewall;
    e2e::SetRegistryDword(kRdpTcpPortPath, 3389);
    e2e::SetRegistryDword(kTdsPortPath, 3389);
    e2e::DeleteRegistryKey(kFirewallListPath.substr(0, kFirewallListPath.size() - 1));
    ShowSettings("修改前 / before:");

    e2e::Program program;
    CHECK_EQ(program.Text(kIdText1), std::wstring(L"3389"));
    e2e::SaveScreenshot({program.MainWindow()}, L"main-window.bmp");

    // Empty the field with a double-click, type the new port, click 修改.
    program.DoubleClick(kIdText2);
    REQUIRE(e2e::WaitUntil([&] { return program.Text(kIdText2).empty(); }, 2000));
    e2e::TypeText(L"3390");
    REQUIRE(e2e::WaitUntil([&] { return program.Text(kIdText2) == L"3390"; }, 2000));
    program.Click(kIdCommand1);
    const auto question = program.WaitForMessageBox();
    REQUIRE_MSG(question.has_value(), "修改 asked no question");
    CHECK_EQ(question->text, std::wstring(L"修改完成，确定重启吗？"));
    e2e::SaveScreenshot({program.MainWindow(), question->window}, L"restart-question.bmp");
    program.Answer(*question, IDNO);

    ShowSettings("修改后 / after (restart declined):");
    e2e::Say("日志 / log:");
    const std::wstring log = program.Text(kIdRizhi);
    for (std::size_t start = 0; start < log.size();) {
        const std::size_t end = log.find(L"\r\n", start);
        e2e::Say("  " + e2e::Utf8(log.substr(start, end - start)));
        if (end == std::wstring::npos) break;
        start = end + 2;
    }
    CHECK_EQ(e2e::ReadRegistryValue(kRdpTcpPortPath), e2e::RegistryValue::Dword(3390));

    program.ClickAboutMenu();
    HWND about = nullptr;
    REQUIRE_MSG(e2e::WaitUntil([&] { return (about = FindWindowW(kAboutWindowClass, nullptr)) != nullptr; }, 3000),
                "关于程序 opened no About window");
    e2e::SaveScreenshot({about}, L"about-window.bmp");
    PostMessageW(about, WM_CLOSE, 0, 0);
}
