// Start-up: what the main window shows on a registry with and without the listener port values.
#include "bench.h"
#include "listener_ports.h"
#include "program.h"
#include "registry.h"
#include "ui/app_identity.h"
#include "ui/control_ids.h"

using namespace e2e;
using namespace korvane;

namespace {

// The log split into its lines; each must end in CR LF.
std::vector<std::wstring> LogLines(const std::wstring& log) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < log.size()) {
        const size_t end = log.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            RecordFailure(__FILE__, __LINE__, "the log " + Quote(log) + " does not end in CR LF");
            lines.push_back(log.substr(start));
            break;
        }
        lines.push_back(log.substr(start, end - start + 2));
        start = end + 2;
    }
    return lines;
}

// The window opened although the port could not be read: Text1 empty, the log explains why.
void CheckUnreadablePortShown(const Program& program) {
    CHECK_EQ(program.Text(kIdText1), L"");
    CHECK_MSG(!program.IsEnabled(kIdText1), "Text1 is enabled; it must be disabled");
    CHECK_EQ(program.Text(kIdText2), kDefaultPort);
    const std::vector<std::wstring> lines = LogLines(program.Text(kIdRizhi));
    REQUIRE_EQ(lines.size(), size_t{2});
    CHECK_EQ(lines[0], kStartupLogLine);
    CHECK_STARTS_WITH(lines[1], kUnreadablePortPrefix);
    CHECK_CONTAINS(lines[1], L"（错误代码 0x");
}

}  // namespace

SCENARIO(startup_shows_listener_port) {
    SeedListenerPorts(3389, 3389);
    Program program;
    CHECK_EQ(program.Caption(), kMainCaption);
    CHECK_EQ(program.Text(kIdText1), L"3389");
    CHECK_MSG(!program.IsEnabled(kIdText1), "Text1 is enabled; it must be disabled");
    CHECK_EQ(program.Text(kIdText2), kDefaultPort);
    CHECK_MSG(program.IsEnabled(kIdText2), "Text2 is disabled");
    CHECK_EQ(program.Text(kIdRizhi), kStartupLogLine);
    CHECK_EQ(ControlName(program.WaitForFocus(kIdText2)), ControlName(kIdText2));
    // Reading must leave the values as they were.
    CHECK_EQ(ReadRegistryValue(kRdpTcpPortPath), RegistryValue::Dword(3389));
    CHECK_EQ(ReadRegistryValue(kTdsPortPath), RegistryValue::Dword(3389));
}

SCENARIO(startup_prefers_rdp_tcp_port) {
    SeedListenerPorts(3390, 3389);
    Program program;
    CHECK_EQ(program.Text(kIdText1), L"3390");
}

SCENARIO(startup_falls_back_to_tds_port) {
    SeedListenerPorts(std::nullopt, 3391);
    Program program;
    CHECK_EQ(program.Text(kIdText1), L"3391");
    CHECK_EQ(program.Text(kIdRizhi), kStartupLogLine);
}

SCENARIO(startup_without_port_values) {
    SeedListenerPorts(std::nullopt, std::nullopt);
    Program program;
    CheckUnreadablePortShown(program);
    CHECK_CONTAINS(program.Text(kIdRizhi), L"（错误代码 0x80070002）\r\n");
    // Start-up only reads: nothing may have been created.
    CHECK_EQ(ReadRegistryValue(kRdpTcpPortPath), RegistryValue::Absent());
    CHECK_EQ(ReadRegistryValue(kTdsPortPath), RegistryValue::Absent());
}

SCENARIO(startup_without_script_shell) {
    SeedListenerPorts(3389, 3389);
    // Neither the ProgID nor the class behind it can be found while these are hidden.
    HiddenRegistryKey progId(L"HKEY_LOCAL_MACHINE\\Software\\Classes\\WScript.Shell");
    HiddenRegistryKey shellClass(
        L"HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{72C24DD5-D70A-438B-8A42-98424B88AFB8}");
    Program program;
    CheckUnreadablePortShown(program);
}
