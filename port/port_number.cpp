#include "port/port_number.h"

#include "platform/remote_desktop.h"

namespace korvane {

bool IsPlainDigits(const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

std::optional<uint32_t> DecimalValue(const std::wstring& text, uint32_t highest) {
    if (!IsPlainDigits(text)) return std::nullopt;
    // Read digit by digit, stopping as soon as the value passes `highest`, so that a run of any length is judged
    // exactly, without overflow.
    uint64_t value = 0;
    for (wchar_t c : text) {
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > highest) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

NewPort ParseNewPort(const std::wstring& text) {
    if (!IsPlainDigits(text)) return {};
    const std::optional<uint32_t> value = DecimalValue(text, kHighestPort);
    if (!value) return {NewPort::Verdict::AboveHighest, 0};
    if (*value == 0) return {};
    return {NewPort::Verdict::Port, static_cast<uint16_t>(*value)};
}

}  // namespace korvane
