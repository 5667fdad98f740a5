#include "rule_file.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>

namespace firewall_recorder {

namespace {

constexpr std::size_t kFieldCount = 16;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

bool Wide(const std::string& utf8, std::wstring& text) {
    text.clear();
    if (utf8.empty()) return true;
    const int size =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (size <= 0) return false;
    text.resize(static_cast<std::size_t>(size));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return true;
}

std::string Escape(const std::string& field) {
    std::string escaped;
    for (char c : field) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '|':
                escaped += "\\|";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case '\n':
                escaped += "\\n";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// Splits at unescaped '|' and undoes the escapes.
bool SplitFields(const std::string& line, std::vector<std::string>& fields, std::string& error) {
    fields.assign(1, std::string());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '|') {
            fields.emplace_back();
        } else if (c != '\\') {
            fields.back() += c;
        } else if (++i == line.size()) {
            error = "the line ends in a lone backslash";
            return false;
        } else if (line[i] == '\\' || line[i] == '|') {
            fields.back() += line[i];
        } else if (line[i] == 'r') {
            fields.back() += '\r';
        } else if (line[i] == 'n') {
            fields.back() += '\n';
        } else {
            error = std::string("unknown escape \\") + line[i];
            return false;
        }
    }
    return true;
}

bool ParseNumber(const std::string& text, const char* what, long& value, std::string& error) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE) {
        error = std::string(what) + " \"" + text + "\" is not a number";
        return false;
    }
    return true;
}

std::string SystemText(DWORD code) {
    return "system error " + std::to_string(code);
}

struct FileHandle {
    HANDLE handle;
    explicit FileHandle(HANDLE h) : handle(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

}  // namespace

// The text fields by their place in the line; the others are numbers (3, 5, 6, 7) and flags (8, 15).
std::wstring StoredRule::*const kTextFields[] = {&StoredRule::name,
                                                 &StoredRule::description,
                                                 &StoredRule::grouping,
                                                 nullptr,
                                                 &StoredRule::localPorts,
                                                 nullptr,
                                                 nullptr,
                                                 nullptr,
                                                 nullptr,
                                                 &StoredRule::remotePorts,
                                                 &StoredRule::localAddresses,
                                                 &StoredRule::remoteAddresses,
                                                 &StoredRule::applicationName,
                                                 &StoredRule::serviceName,
                                                 &StoredRule::interfaceTypes,
                                                 nullptr};
struct NumberField {
    std::size_t index;
    const char* what;
    long StoredRule::*member;
};
const NumberField kNumberFields[] = {{3, "protocol", &StoredRule::protocol},
                                     {5, "direction", &StoredRule::direction},
                                     {6, "action", &StoredRule::action},
                                     {7, "profiles", &StoredRule::profiles}};

bool StoredRule::operator==(const StoredRule& other) const {
    return FormatRuleLine(*this) == FormatRuleLine(other);
}

std::string FormatRuleLine(const StoredRule& rule) {
    std::vector<std::string> fields(kFieldCount);
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (kTextFields[i]) fields[i] = Escape(Utf8(rule.*kTextFields[i]));
    }
    for (const NumberField& number : kNumberFields) fields[number.index] = std::to_string(rule.*number.member);
    fields[8] = rule.enabled ? "true" : "false";
    fields[15] = rule.edgeTraversal ? "true" : "false";
    std::string line;
    for (std::size_t i = 0; i < kFieldCount; ++i) line += (i ? "|" : "") + fields[i];
    return line;
}

bool ParseRuleLine(const std::string& line, StoredRule& rule, std::string& error) {
    std::vector<std::string> fields;
    if (!SplitFields(line, fields, error)) return false;
    if (fields.size() != kFieldCount) {
        error = std::to_string(fields.size()) + " fields instead of " + std::to_string(kFieldCount);
        return false;
    }
    rule = StoredRule();
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (kTextFields[i] && !Wide(fields[i], rule.*kTextFields[i])) {
            error = "a text field is not UTF-8";
            return false;
        }
    }
    for (const NumberField& number : kNumberFields) {
        if (!ParseNumber(fields[number.index], number.what, rule.*number.member, error)) return false;
    }
    for (std::size_t flag : {std::size_t(8), std::size_t(15)}) {
        if (fields[flag] != "true" && fields[flag] != "false") {
            error = "flag \"" + fields[flag] + "\" is neither true nor false";
            return false;
        }
    }
    rule.enabled = fields[8] == "true";
    rule.edgeTraversal = fields[15] == "true";
    return true;
}

bool ReadRuleFile(std::vector<StoredRule>& rules, std::string& error) {
    rules.clear();
    FileHandle file(CreateFileW(kRuleFilePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) return true;
        error = "cannot open the rule file: " + SystemText(code);
        return false;
    }
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.handle, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);

    std::size_t start = 0;
    int lineNumber = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        StoredRule rule;
        if (!ParseRuleLine(line, rule, error)) {
            error = "line " + std::to_string(lineNumber) + " of the rule file: " + error;
            return false;
        }
        rules.push_back(std::move(rule));
    }
    return true;
}

bool WriteRuleFile(const std::vector<StoredRule>& rules, std::string& error) {
    std::string content;
    for (const StoredRule& rule : rules) content += FormatRuleLine(rule) + "\r\n";

    // Written beside the list and moved over it, so that a reader never sees half a list.
    const std::wstring temporary = std::wstring(kRuleFilePath) + L".new";
    bool written = false;
    {
        FileHandle file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.handle == INVALID_HANDLE_VALUE) {
            error = "cannot create the rule file: " + SystemText(GetLastError());
            return false;
        }
        DWORD size = 0;
        written = content.empty() ||
                  (WriteFile(file.handle, content.data(), static_cast<DWORD>(content.size()), &size, nullptr) &&
                   size == content.size());
        if (!written) error = "cannot write the rule file: " + SystemText(GetLastError());
    }
    if (!written) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    if (!MoveFileExW(temporary.c_str(), kRuleFilePath, MOVEFILE_REPLACE_EXISTING)) {
        error = "cannot replace the rule file: " + SystemText(GetLastError());
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace firewall_recorder
