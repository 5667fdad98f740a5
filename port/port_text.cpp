#include "port/port_text.h"

#include "port/port_settings.h"

namespace korvane {

bool IsPlainDigits(const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
    }
    return true;
}

std::wstring PortNumberText(const std::wstring& digits) {
    const std::size_t first = digits.find_first_not_of(L'0');
    return first == std::wstring::npos ? L"0" : digits.substr(first);
}

bool IsAboveHighestPort(const std::wstring& digits) {
    // Compared as text so that a run of any length is judged exactly, without overflow.
    const std::wstring number = PortNumberText(digits);
    const std::wstring highest = std::to_wstring(kHighestPort);
    if (number.size() != highest.size()) return number.size() > highest.size();
    return number > highest;
}

bool IsZeroPort(const std::wstring& digits) {
    return PortNumberText(digits) == L"0";
}

}  // namespace korvane
