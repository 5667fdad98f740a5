// The end-to-end bench's own small framework: scenarios registered by macro, checks that record what
// differed (file:line, the expression, actual and expected values), and a runner that prints one line
// per scenario and the closing "N passed, N failed".
//
//   SCENARIO(startup_shows_current_port) {
//       SeedRegistry ...;
//       Program program;                       // launched, main window found; ended when it goes out of scope
//       CHECK_EQ(program.Text(korvane::kIdText1), L"3389");
//   }
//
// CHECK_* record a failure and go on; REQUIRE_* record it and end the scenario (the program is still
// ended by its destructor), for checks that make the rest of the scenario meaningless.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace e2e {

// ---- text ----

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
// A wide string as a quoted UTF-8 literal with control characters escaped, e.g. "3389\r\n".
std::string Quote(const std::wstring& text);
std::string Hex(uint32_t value);

// How a value is shown in a failure message. Overload Show for the bench's own types next to them.
inline std::string Show(const std::wstring& text) { return Quote(text); }
inline std::string Show(const wchar_t* text) { return text ? Quote(text) : "(null)"; }
inline std::string Show(const std::string& text) { return "\"" + text + "\""; }
inline std::string Show(const char* text) { return text ? Show(std::string(text)) : "(null)"; }
inline std::string Show(bool value) { return value ? "true" : "false"; }
template <typename T>
std::enable_if_t<std::is_arithmetic_v<T> || std::is_enum_v<T>, std::string> Show(T value) {
    if constexpr (std::is_enum_v<T>) {
        return std::to_string(static_cast<std::underlying_type_t<T>>(value));
    } else {
        return std::to_string(value);
    }
}
template <typename T>
std::string Show(const std::optional<T>& value) {
    return value ? Show(*value) : "(nothing)";
}
template <typename T>
std::string Show(const std::vector<T>& values) {
    std::string shown = "[";
    for (std::size_t i = 0; i < values.size(); ++i) shown += (i ? ", " : "") + Show(values[i]);
    return shown + "]";
}

// ---- failures ----

// Thrown to end the current scenario early; the runner catches it.
struct ScenarioAborted {};

void RecordFailure(const char* file, int line, const std::string& message);
[[noreturn]] void AbortScenario(const char* file, int line, const std::string& message);

// Prefixes every failure recorded while it lives with `what`, e.g. "control Text2: ...". Nests.
class Context {
public:
    explicit Context(std::string what);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

template <typename A, typename B>
bool CheckEqual(const char* file, int line, const char* actualExpr, const A& actual, const B& expected, bool fatal) {
    if (actual == expected) return true;
    const std::string message = std::string(actualExpr) + " is " + Show(actual) + ", expected " + Show(expected);
    if (fatal) AbortScenario(file, line, message);
    RecordFailure(file, line, message);
    return false;
}

bool CheckContains(const char* file, int line, const char* expr, const std::wstring& text, const std::wstring& part);
bool CheckStartsWith(const char* file, int line, const char* expr, const std::wstring& text,
                     const std::wstring& prefix);

#define CHECK(condition) \
    ((condition) ? true : (::e2e::RecordFailure(__FILE__, __LINE__, "CHECK(" #condition ") failed"), false))
#define CHECK_MSG(condition, message) \
    ((condition) ? true : (::e2e::RecordFailure(__FILE__, __LINE__, (message)), false))
#define CHECK_EQ(actual, expected) ::e2e::CheckEqual(__FILE__, __LINE__, #actual, (actual), (expected), false)
#define CHECK_CONTAINS(text, part) ::e2e::CheckContains(__FILE__, __LINE__, #text, (text), (part))
#define CHECK_STARTS_WITH(text, prefix) ::e2e::CheckStartsWith(__FILE__, __LINE__, #text, (text), (prefix))
#define REQUIRE(condition) \
    ((condition) ? (void)0 : ::e2e::AbortScenario(__FILE__, __LINE__, "REQUIRE(" #condition ") failed"))
#define REQUIRE_MSG(condition, message) ((condition) ? (void)0 : ::e2e::AbortScenario(__FILE__, __LINE__, (message)))
#define REQUIRE_EQ(actual, expected) ::e2e::CheckEqual(__FILE__, __LINE__, #actual, (actual), (expected), true)
// Ends the scenario with a message, from helpers that cannot go on (a window that never appeared).
#define FAIL_SCENARIO(message) ::e2e::AbortScenario(__FILE__, __LINE__, (message))

// ---- scenarios ----

using ScenarioFunction = void (*)();

struct ScenarioRegistrar {
    ScenarioRegistrar(const char* name, ScenarioFunction function);
};

#define SCENARIO(name)                                                                     \
    static void E2eScenario_##name();                                                      \
    static const ::e2e::ScenarioRegistrar e2eRegistrar_##name(#name, &E2eScenario_##name); \
    static void E2eScenario_##name()

// ---- waiting ----

// Polls `condition` every 20 ms until it holds or `timeoutMs` has passed; returns its last answer.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
}

// Writes a line to the driver's output (UTF-8), for scenarios that show what they do, like the demo.
void Say(const std::string& line);

// The folder the driver runs from (with a trailing backslash): the program and the probe lie beside it.
std::wstring DriverFolder();

}  // namespace e2e
