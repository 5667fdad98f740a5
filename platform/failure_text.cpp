#include "platform/failure_text.h"

#include "platform/number_text.h"

namespace korvane {

std::wstring TrimmedEnd(std::wstring text) {
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return text;
}

std::wstring WithoutFinalStop(std::wstring text) {
    text = TrimmedEnd(std::move(text));
    while (!text.empty() && (text.back() == L'。' || text.back() == L'.')) text.pop_back();
    return text;
}

std::wstring DescribeFailure(const Status& status) {
    if (status.code == 0) return TrimmedEnd(status.message);
    return WithoutFinalStop(status.message) + L"（错误代码 0x" + HexText8(status.code) + L"）";
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
    const std::wstring own = TrimmedEnd(description);
    const std::wstring system = TrimmedEnd(systemText);
    if (own.empty() || own == system) return system;
    if (system.empty()) return own;
    return own + L" " + system;
}

}  // namespace korvane
