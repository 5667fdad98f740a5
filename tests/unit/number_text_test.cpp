#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace korvane {
namespace {

TEST(NumberText, SignedDecimalAtTheEdgesOfItsRange) {
    const struct {
        int64_t value;
        const wchar_t* text;
    } cases[] = {
        {10, L"10"},
        {-1, L"-1"},
        {-2147483648LL, L"-2147483648"},
        {std::numeric_limits<int64_t>::min(), L"-9223372036854775808"},
        {std::numeric_limits<int64_t>::max(), L"9223372036854775807"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecimalText(c.value), c.text) << c.text;
}

TEST(NumberText, HexAlwaysEightUpperCaseDigits) {
    EXPECT_EQ(HexText8(0), L"00000000");
    EXPECT_EQ(HexText8(0x800401F3u), L"800401F3");
    EXPECT_EQ(HexText8(0xFFFFFFFFu), L"FFFFFFFF");
    EXPECT_EQ(HexText8(0x5u), L"00000005");
}

}  // namespace
}  // namespace korvane
