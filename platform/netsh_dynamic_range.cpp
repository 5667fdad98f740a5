#include "platform/netsh_dynamic_range.h"

#include <algorithm>
#include <cstdint>

#include "platform/number_text.h"

namespace korvane {

namespace {

// A plain run of ASCII digits, blanks (spaces, tabs, carriage returns) around it allowed; more digits than any port
// count has are not a number.
bool ReadNumber(const std::vector<char>& text, std::size_t from, std::size_t to, uint32_t& number) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (from < to && blank(text[from])) ++from;
    while (to > from && blank(text[to - 1])) --to;
    const std::optional<uint32_t> read = DecimalValue(std::string_view(text.data() + from, to - from), UINT32_MAX, 6);
    if (read) number = *read;
    return read.has_value();
}

}  // namespace

bool ParseNetshDynamicRange(const std::vector<char>& output, DynamicPortRange& range) {
    uint32_t numbers[2] = {};
    std::size_t found = 0;
    for (std::size_t line = 0; line < output.size() && found < 2;) {
        const auto first = output.begin() + static_cast<std::ptrdiff_t>(line);
        const std::size_t end = static_cast<std::size_t>(std::find(first, output.end(), '\n') - output.begin());
        const std::size_t colon = static_cast<std::size_t>(std::find(first, output.end(), ':') - output.begin());
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
