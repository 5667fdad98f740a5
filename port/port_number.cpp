#include "port/port_number.h"

#include "platform/number_text.h"
#include "platform/remote_desktop.h"

namespace korvane {

bool IsPlainDigits(const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

NewPort ParseNewPort(const std::wstring& text) {
    if (!IsPlainDigits(text)) return {};
    const std::optional<uint32_t> value = DecimalValue(text, kHighestPort);
    if (!value) return {NewPort::Verdict::AboveHighest, 0};
    if (*value == 0) return {};
    return {NewPort::Verdict::Port, static_cast<uint16_t>(*value)};
}

}  // namespace korvane
