#include "platform/failure_text.h"

#include <cstdio>

namespace korvane {

std::wstring DescribeFailure(const Status& status) {
    std::wstring text = status.message;
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (status.code != 0) {
        wchar_t code[32];
        std::swprintf(code, sizeof code / sizeof code[0], L"（错误代码 0x%08X）", static_cast<unsigned>(status.code));
        text += code;
    }
    return text;
}

uint32_t AutomationExceptionCode(uint32_t scode, uint16_t wCode) {
    constexpr uint32_t kDispatchException = 0x80020009u;  // DISP_E_EXCEPTION
    constexpr uint32_t kFirstWCode = 0x80040200u;         // FACILITY_ITF, 0x200: where automation maps wCode
    constexpr uint32_t kLastWCode = 0x8004FFFFu;
    if (scode != 0) return scode;
    if (wCode == 0) return kDispatchException;
    return wCode >= 0xFE00 ? kLastWCode : kFirstWCode + wCode;
}

std::wstring AutomationExceptionText(const std::wstring& description, const std::wstring& systemText) {
    auto trimmed = [](std::wstring text) {
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
        return text;
    };
    const std::wstring own = trimmed(description);
    const std::wstring system = trimmed(systemText);
    if (own.empty() || own == system) return system;
    if (system.empty()) return own;
    return own + L" " + system;
}

}  // namespace korvane
