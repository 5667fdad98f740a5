#include "bench.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace e2e {

namespace {

struct RegisteredScenario {
    const char* name;
    ScenarioFunction function;
};

std::vector<RegisteredScenario>& Scenarios() {
    static std::vector<RegisteredScenario> scenarios;  // filled by static registrars before wmain
    return scenarios;
}

std::vector<std::string> g_failures;  // of the running scenario
std::vector<std::string> g_contexts;

std::string BaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' || *p == '\\') base = p + 1;
    }
    return base;
}

std::string Located(const char* file, int line, const std::string& message) {
    std::string located = BaseName(file) + ":" + std::to_string(line) + ": ";
    for (const std::string& context : g_contexts) located += context + ": ";
    return located + message;
}

// Console text goes out as UTF-8 bytes: unchanged through a pipe, shown as such on a terminal.
void Print(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool Matches(const char* name, const std::string& pattern) {
    // "name" selects that scenario, "prefix*" every scenario whose name starts so.
    if (!pattern.empty() && pattern.back() == '*') return std::strncmp(name, pattern.c_str(), pattern.size() - 1) == 0;
    return pattern == name;
}

// The scenarios to run: all in registration order, or those the patterns match in the order given
// (so that an order-dependent fault can be reproduced), each once.
std::vector<RegisteredScenario> Selection(const std::vector<std::string>& patterns) {
    if (patterns.empty()) return Scenarios();
    std::vector<RegisteredScenario> selected;
    for (const std::string& pattern : patterns) {
        for (const RegisteredScenario& scenario : Scenarios()) {
            bool already = false;
            for (const RegisteredScenario& chosen : selected) already = already || chosen.function == scenario.function;
            if (!already && Matches(scenario.name, pattern)) selected.push_back(scenario);
        }
    }
    return selected;
}

}  // namespace

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

std::string Quote(const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
            case L'\r':
                escaped += L"\\r";
                break;
            case L'\n':
                escaped += L"\\n";
                break;
            case L'\t':
                escaped += L"\\t";
                break;
            case L'"':
                escaped += L"\\\"";
                break;
            case L'\\':
                escaped += L"\\\\";
                break;
            default:
                if (c < 0x20) {
                    wchar_t code[8];
                    swprintf(code, 8, L"\\x%02x", static_cast<unsigned>(c));
                    escaped += code;
                } else {
                    escaped += c;
                }
        }
    }
    return "\"" + Utf8(escaped) + "\"";
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

void RecordFailure(const char* file, int line, const std::string& message) {
    g_failures.push_back(Located(file, line, message));
}

void AbortScenario(const char* file, int line, const std::string& message) {
    RecordFailure(file, line, message);
    throw ScenarioAborted{};
}

Context::Context(std::string what) { g_contexts.push_back(std::move(what)); }

Context::~Context() { g_contexts.pop_back(); }

bool CheckContains(const char* file, int line, const char* expr, const std::wstring& text, const std::wstring& part) {
    if (text.find(part) != std::wstring::npos) return true;
    RecordFailure(file, line, std::string(expr) + " is " + Quote(text) + ", which does not contain " + Quote(part));
    return false;
}

bool CheckStartsWith(const char* file, int line, const char* expr, const std::wstring& text,
                     const std::wstring& prefix) {
    if (text.compare(0, prefix.size(), prefix) == 0) return true;
    RecordFailure(file, line,
                  std::string(expr) + " is " + Quote(text) + ", which does not start with " + Quote(prefix));
    return false;
}

ScenarioRegistrar::ScenarioRegistrar(const char* name, ScenarioFunction function) {
    Scenarios().push_back({name, function});
}

void Say(const std::string& line) {
    Print(line);
}

std::wstring DriverFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

}  // namespace e2e

// Usage: e2e_driver [--list] [scenario | prefix* ...]
int wmain(int argc, wchar_t** argv) {
    using namespace e2e;
    SetConsoleOutputCP(CP_UTF8);
    // Real pixels for every rectangle and cursor position, whatever the screen's scaling.
    SetProcessDPIAware();
    // A crash of the program under test must not bring up a dialog that waits for a person.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    std::vector<std::string> patterns;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = Utf8(argv[i]);
        if (argument == "--list") {
            list = true;
        } else {
            patterns.push_back(argument);
        }
    }

    const std::vector<RegisteredScenario> selected = Selection(patterns);
    if (list) {
        for (const RegisteredScenario& scenario : selected) Print(scenario.name);
        return 0;
    }
    int passed = 0;
    int failed = 0;
    for (const RegisteredScenario& scenario : selected) {
        g_failures.clear();
        g_contexts.clear();
        try {
            scenario.function();
        } catch (const ScenarioAborted&) {
            // already recorded
        } catch (const std::exception& error) {
            g_failures.push_back(std::string("unexpected exception: ") + error.what());
        } catch (...) {
            g_failures.push_back("unexpected exception");
        }
        if (g_failures.empty()) {
            ++passed;
            Print(std::string("PASS ") + scenario.name);
        } else {
            ++failed;
            Print(std::string("FAIL ") + scenario.name + ": " + g_failures.front());
            for (std::size_t i = 1; i < g_failures.size(); ++i) Print("    " + g_failures[i]);
        }
    }
    if (selected.empty()) {
        Print("no scenario matches the names given (see --list)");
        ++failed;
    }
    Print(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed");
    return failed == 0 ? 0 : 1;
}
