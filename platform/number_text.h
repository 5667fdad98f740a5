// Whole numbers as text without the C library's printf engine, which would pull its floating-point
// formatting into the program only to print ports, counts and error codes.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// Plain decimal: 0, 3389, 4294967295; a negative number with its minus sign.
std::wstring DecimalText(int64_t value);

// Eight upper-case hexadecimal digits, as Windows writes an HRESULT: 80070005.
std::wstring HexText8(uint32_t value);

}  // namespace korvane
