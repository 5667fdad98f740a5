#include "tests/windows/firewall_stand_in/stand_in_files.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/shared/ordinary_machine.h"
#include "tests/shared/utf8_win32.h"

namespace stand_in {

namespace {

using expected::Utf8;
using expected::Wide;

const wchar_t* const kRulesPath = L"C:\\firewall-rules.txt";
const wchar_t* const kFailurePath = L"C:\\firewall-failure.txt";
const wchar_t* const kLocalPolicyPath = L"C:\\firewall-local-policy.txt";

// The text properties, then the numbers, in the order of a line; fields are separated by tabs, and a tab,
// line end or backslash inside a text is written as \t, \n, \r, \\.
std::wstring korvane::FirewallRule::*const kTexts[] = {
    &korvane::FirewallRule::name,
    &korvane::FirewallRule::description,
    &korvane::FirewallRule::grouping,
    &korvane::FirewallRule::localPorts,
    &korvane::FirewallRule::remotePorts,
    &korvane::FirewallRule::localAddresses,
    &korvane::FirewallRule::remoteAddresses,
    &korvane::FirewallRule::applicationName,
    &korvane::FirewallRule::serviceName,
    &korvane::FirewallRule::interfaceTypes,
};
int korvane::FirewallRule::*const kNumbers[] = {
    &korvane::FirewallRule::protocol,
    &korvane::FirewallRule::direction,
    &korvane::FirewallRule::action,
    &korvane::FirewallRule::profiles,
    &korvane::FirewallRule::edgeTraversalOptions,
};

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\t' || c == '\n' || c == '\r' || c == '\\') {
            escaped += '\\';
            c = c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\';
        }
        escaped += c;
    }
    return escaped;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') {
            fields.emplace_back();
        } else if (line[i] == '\\' && i + 1 < line.size()) {
            const char c = line[++i];
            fields.back() += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

bool WriteText(const wchar_t* path, const std::string& text) {
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(file);
    return ok;
}

// The whole file; empty when it does not exist.
bool ReadText(const wchar_t* path, std::string& text) {
    text.clear();
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    char buffer[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr) != FALSE) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    return ok;
}

}  // namespace

korvane::FirewallRule NewRuleObject() {
    korvane::FirewallRule rule;
    rule.protocol = 256;
    rule.remotePorts.clear();
    rule.applicationName.clear();
    rule.serviceName.clear();
    rule.enabled = false;
    return rule;
}

bool ReadRules(std::vector<korvane::FirewallRule>& rules) {
    rules.clear();
    std::string text;
    if (!ReadText(kRulesPath, text)) return false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() != std::size(kTexts) + std::size(kNumbers) + 1) return false;
        korvane::FirewallRule rule = NewRuleObject();
        std::size_t next = 0;
        for (auto field : kTexts) rule.*field = Wide(fields[next++]);
        for (auto field : kNumbers) rule.*field = static_cast<int>(std::strtol(fields[next++].c_str(), nullptr, 10));
        rule.enabled = fields[next] == "1";
        rules.push_back(rule);
    }
    return true;
}

bool WriteRules(const std::vector<korvane::FirewallRule>& rules) {
    std::string text;
    for (const korvane::FirewallRule& rule : rules) {
        for (auto field : kTexts) text += Escaped(Utf8(rule.*field)) + '\t';
        for (auto field : kNumbers) text += std::to_string(rule.*field) + '\t';
        text += rule.enabled ? "1\n" : "0\n";
    }
    // Written beside the file and moved over it, so that no reader ever sees half a list.
    const std::wstring partial = std::wstring(kRulesPath) + L".new";
    return WriteText(partial.c_str(), text) && MoveFileExW(partial.c_str(), kRulesPath, MOVEFILE_REPLACE_EXISTING);
}

bool SetFailure(const std::string& operation, uint32_t code, int nth) {
    char line[64];
    std::snprintf(line, sizeof line, "%s %08X %d", operation.c_str(), static_cast<unsigned>(code), nth);
    return WriteText(kFailurePath, line);
}

void ClearFailure() {
    DeleteFileW(kFailurePath);
}

uint32_t TakeFailure(const std::string& operation) {
    std::string text;
    ReadText(kFailurePath, text);
    std::istringstream fields(text);
    std::string named;
    uint32_t code = 0;
    int nth = 0;
    if (!(fields >> named >> std::hex >> code >> std::dec >> nth) || named != operation) return 0;
    if (nth == 0) return code;
    if (nth == 1) ClearFailure();
    if (nth > 1) SetFailure(operation, code, nth - 1);
    return nth == 1 ? code : 0;
}

bool SetLocalPolicy(int modifyState, int currentProfiles, int enabledProfiles) {
    return WriteText(kLocalPolicyPath, std::to_string(modifyState) + " " + std::to_string(currentProfiles) + " " +
                                           std::to_string(enabledProfiles));
}

void ReadLocalPolicy(int& modifyState, int& currentProfiles, int& enabledProfiles) {
    modifyState = 0;
    currentProfiles = 2;
    enabledProfiles = 7;
    std::string text;
    ReadText(kLocalPolicyPath, text);
    std::istringstream(text) >> modifyState >> currentProfiles >> enabledProfiles;
}

void Reset() {
    WriteRules({});
    ClearFailure();
    DeleteFileW(kLocalPolicyPath);
}

void ResetToOrdinaryMachine() {
    Reset();
    WriteRules(expected::WindowsRemoteDesktopRules());
}

}  // namespace stand_in
