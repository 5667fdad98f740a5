// Whole numbers as text without the C library's printf engine, which would pull its floating-point
// formatting into the program only to print ports, counts and error codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// Plain decimal: 0, 3389, 4294967295; a negative number with its minus sign.
std::wstring DecimalText(int64_t value);

// The value of a plain run of ASCII digits, at most `maxDigits` of them (leading zeros count), when it is at most
// `highest`; none for anything else: empty, any other character, more digits, a larger value. Read digit by digit,
// stopping as soon as the value passes `highest`, so that a run of any length is judged exactly, without overflow.
std::optional<uint32_t> DecimalValue(std::wstring_view text, uint32_t highest, std::size_t maxDigits = SIZE_MAX);
std::optional<uint32_t> DecimalValue(std::string_view text, uint32_t highest, std::size_t maxDigits = SIZE_MAX);

// Eight upper-case hexadecimal digits, as Windows writes an HRESULT: 80070005.
std::wstring HexText8(uint32_t value);

}  // namespace korvane
