// What the new-port field lets in: typed characters one by one, pasted text as a whole.
#include <gtest/gtest.h>

#include <string>

#include "ui/new_port_field.h"

namespace korvane {
namespace {

TEST(AcceptsTypedCharacter, TakesTheTenAsciiDigits) {
    for (char32_t digit = U'0'; digit <= U'9'; ++digit) EXPECT_TRUE(AcceptsTypedCharacter(digit)) << digit;
}

TEST(AcceptsTypedCharacter, RefusesTheNeighboursOfTheDigits) {
    EXPECT_FALSE(AcceptsTypedCharacter(U'/'));  // 47
    EXPECT_FALSE(AcceptsTypedCharacter(U':'));  // 58
}

TEST(AcceptsTypedCharacter, RefusesEditingAndControlCharacters) {
    EXPECT_FALSE(AcceptsTypedCharacter(8));    // Backspace
    EXPECT_FALSE(AcceptsTypedCharacter(13));   // Enter
    EXPECT_FALSE(AcceptsTypedCharacter(22));   // Ctrl+V
    EXPECT_FALSE(AcceptsTypedCharacter(3));    // Ctrl+C
    EXPECT_FALSE(AcceptsTypedCharacter(24));   // Ctrl+X
    EXPECT_FALSE(AcceptsTypedCharacter(127));  // Ctrl+Backspace
    EXPECT_FALSE(AcceptsTypedCharacter(0));
}

TEST(AcceptsTypedCharacter, RefusesSignsLettersAndSpace) {
    for (char32_t c : std::u32string(U" +-.,eEaZ")) EXPECT_FALSE(AcceptsTypedCharacter(c)) << c;
}

TEST(AcceptsTypedCharacter, RefusesDigitsOfOtherScriptsAndDoubleByteCharacters) {
    EXPECT_FALSE(AcceptsTypedCharacter(U'０'));      // full-width digit zero, U+FF10
    EXPECT_FALSE(AcceptsTypedCharacter(U'９'));      // U+FF19
    EXPECT_FALSE(AcceptsTypedCharacter(U'\u0660'));  // Arabic-Indic digit zero
    EXPECT_FALSE(AcceptsTypedCharacter(U'²'));
    EXPECT_FALSE(AcceptsTypedCharacter(U'中'));
    EXPECT_FALSE(AcceptsTypedCharacter(U'。'));
}

TEST(AcceptsTypedCharacter, RefusesCodesBeyondSixteenBitsWhoseLowHalfIsADigit) {
    EXPECT_FALSE(AcceptsTypedCharacter(0x10030));  // would read as "0" if cut to 16 bits
    EXPECT_FALSE(AcceptsTypedCharacter(0x1D7CE));  // mathematical bold digit zero
}

TEST(AcceptsPastedText, TakesAPlainRunOfDigitsOfAnyLength) {
    EXPECT_TRUE(AcceptsPastedText(L"3390"));
    EXPECT_TRUE(AcceptsPastedText(L"0"));
    EXPECT_TRUE(AcceptsPastedText(L"0123456789"));
    EXPECT_TRUE(AcceptsPastedText(std::wstring(200, L'9')));  // no length limit: 修改 judges the value
}

TEST(AcceptsPastedText, RefusesEmptyText) {
    EXPECT_FALSE(AcceptsPastedText(L""));
}

TEST(AcceptsPastedText, RefusesDigitsWithAnythingElse) {
    EXPECT_FALSE(AcceptsPastedText(L"12a"));
    EXPECT_FALSE(AcceptsPastedText(L"a12"));
    EXPECT_FALSE(AcceptsPastedText(L" 3390"));
    EXPECT_FALSE(AcceptsPastedText(L"3390 "));
    EXPECT_FALSE(AcceptsPastedText(L"33 90"));
    EXPECT_FALSE(AcceptsPastedText(L"3390\r\n"));  // a copied line
    EXPECT_FALSE(AcceptsPastedText(L"\t3390"));
    EXPECT_FALSE(AcceptsPastedText(L"-1"));
    EXPECT_FALSE(AcceptsPastedText(L"+1"));
    EXPECT_FALSE(AcceptsPastedText(L"12.5"));
    EXPECT_FALSE(AcceptsPastedText(L"1e3"));
    EXPECT_FALSE(AcceptsPastedText(L"0x10"));
    EXPECT_FALSE(AcceptsPastedText(L"３３９０"));  // full-width digits
    EXPECT_FALSE(AcceptsPastedText(L"端口3390"));
    std::wstring withNull = L"33";
    withNull += L'\0';
    withNull += L"90";
    EXPECT_FALSE(AcceptsPastedText(withNull));
}

}  // namespace
}  // namespace korvane
