// Stands in for the system's netsh.exe in the test prefix (Wine's has no "show dynamicport"): asked exactly
// "interface ipv4 show dynamicport tcp", it prints what Chinese Windows' netsh prints, in its OEM code page
// (936), with the start and the number of ports written in C:\netsh-dynamicport.txt ("10000 1000"), or the
// default range without that file. Asked anything else, it says so and exits with 1, as netsh does.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void Print(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int wmain() {
    const std::wstring commandLine = GetCommandLineW();
    const std::wstring expected = L" interface ipv4 show dynamicport tcp";
    if (commandLine.size() < expected.size() ||
        commandLine.compare(commandLine.size() - expected.size(), expected.size(), expected) != 0) {
        Print("The following command was not found.\r\n");
        return 1;
    }
    unsigned start = 49152, count = 16384;
    if (FILE* file = _wfopen(L"C:\\netsh-dynamicport.txt", L"r")) {
        const int read = std::fscanf(file, "%u %u", &start, &count);
        std::fclose(file);
        if (read != 2) return 2;
    }
    // "协议 tcp 动态端口范围", "启动端口", "端口数" in code page 936.
    Print(
        "\r\n\xd0\xad\xd2\xe9 tcp \xb6\xaf\xcc\xac\xb6\xcb\xbf\xda\xb7\xb6\xce\xa7\r\n"
        "---------------------------------\r\n"
        "\xc6\xf4\xb6\xaf\xb6\xcb\xbf\xda        : " +
        std::to_string(start) + "\r\n\xb6\xcb\xbf\xda\xca\xfd          : " + std::to_string(count) + "\r\n\r\n");
    return 0;
}
