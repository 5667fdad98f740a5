// The new port as the user gave it: text, checked before anything is written.
#pragma once

#include <string>

namespace korvane {

// A non-empty run of ASCII digits 0-9, nothing else (no spaces, signs, points or full-width digits).
bool IsPlainDigits(const std::wstring& text);

// For a plain run of digits: whether its value is above 65535, however many digits it has.
bool IsAboveHighestPort(const std::wstring& digits);

// For a plain run of digits: whether its value is 0 (leading zeros included, as in "000").
bool IsZeroPort(const std::wstring& digits);

// For a plain run of digits no larger than 65535: the number without leading zeros ("03389" -> "3389").
std::wstring PortNumberText(const std::wstring& digits);

}  // namespace korvane
