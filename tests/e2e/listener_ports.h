// Seeding the two registry values the program reads the listener port from, and the log lines start-up
// writes: shared by every scenario that starts the program on a known registry.
#pragma once

#include <optional>
#include <string>

#include "port/port_settings.h"
#include "registry.h"

namespace e2e {

// Sets each port value to the number given, or deletes it when given nothing.
inline void SeedListenerPorts(std::optional<DWORD> rdpTcpPort, std::optional<DWORD> tdsPort) {
    if (rdpTcpPort) {
        SetRegistryDword(korvane::kRdpTcpPortPath, *rdpTcpPort);
    } else {
        DeleteRegistryValue(korvane::kRdpTcpPortPath);
    }
    if (tdsPort) {
        SetRegistryDword(korvane::kTdsPortPath, *tdsPort);
    } else {
        DeleteRegistryValue(korvane::kTdsPortPath);
    }
}

// The log's first line, as start-up writes it.
inline const std::wstring kStartupLogLine = L"程序默认将远程端口设置为：" + korvane::kDefaultPort + L"\r\n";
// Start of the line that follows it when the current port cannot be read.
inline const std::wstring kUnreadablePortPrefix = L"无法读取当前远程端口：";

}  // namespace e2e
