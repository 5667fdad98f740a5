#include "platform/netsh_dynamic_range.h"

#include <cstdint>

namespace korvane {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// A plain run of ASCII digits, blanks around it allowed; more digits than any port count has are not a number.
bool ReadNumber(const std::string& text, std::size_t from, std::size_t to, uint32_t& number) {
    while (from < to && IsBlank(text[from])) ++from;
    while (to > from && IsBlank(text[to - 1])) --to;
    if (from == to || to - from > 6) return false;
    number = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        number = number * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return true;
}

}  // namespace

bool ParseNetshDynamicRange(const std::string& output, DynamicPortRange& range) {
    uint32_t numbers[2] = {};
    std::size_t found = 0;
    for (std::size_t line = 0; line < output.size() && found < 2;) {
        std::size_t end = output.find('\n', line);
        if (end == std::string::npos) end = output.size();
        const std::size_t colon = output.find(':', line);
        if (colon < end && !ReadNumber(output, colon + 1, end, numbers[found++])) return false;
        line = end + 1;
    }
    if (found < 2) return false;
    const uint32_t start = numbers[0], count = numbers[1];
    if (start < 1 || count < 1 || start + count > 65536) return false;
    range = {static_cast<uint16_t>(start), count};
    return true;
}

}  // namespace korvane
