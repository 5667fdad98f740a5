#include "platform/number_text.h"

namespace korvane {

namespace {

template <typename Char>
std::optional<uint32_t> Decimal(std::basic_string_view<Char> text, uint32_t highest, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    uint64_t value = 0;
    for (Char c : text) {
        if (c < Char('0') || c > Char('9')) return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - Char('0'));
        if (value > highest) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<uint32_t> DecimalValue(std::wstring_view text, uint32_t highest, std::size_t maxDigits) {
    return Decimal(text, highest, maxDigits);
}

std::optional<uint32_t> DecimalValue(std::string_view text, uint32_t highest, std::size_t maxDigits) {
    return Decimal(text, highest, maxDigits);
}

std::wstring DecimalText(int64_t value) {
    // Worked on the magnitude as unsigned, so that the most negative number has one too.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    wchar_t digits[21];
    wchar_t* first = digits + sizeof digits / sizeof digits[0];
    do {
        *--first = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--first = L'-';
    return std::wstring(first, digits + sizeof digits / sizeof digits[0]);
}

std::wstring HexText8(uint32_t value) {
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = L"0123456789ABCDEF"[value & 0xF];
    return text;
}

}  // namespace korvane
