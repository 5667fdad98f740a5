#include "port/sentences.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(Say, FillsNamedPlaceholdersAndNothingElse) {
    const struct {
        const wchar_t* sentence;
        std::initializer_list<ValueView> values;
        const wchar_t* said;
    } cases[] = {
        {L"端口 {port} 在{networks}上", {{L"port", L"3390"}, {L"networks", L"专用网络"}}, L"端口 3390 在专用网络上"},
        {L"{port}-{port}", {{L"port", L"1"}}, L"1-1"},
        {L"{unknown} 与 {port", {{L"port", L"1"}}, L"{unknown} 与 {port"},
        {L"{{port}}", {{L"port", L"1"}}, L"{1}"},
        {L"规则{rules}", {{L"rules", L"“{port}”"}, {L"port", L"1"}}, L"规则“{port}”"},
        {L"", {{L"port", L"1"}}, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(Say(c.sentence, c.values), c.said) << c.sentence;
}

// A value that begins or ends in Latin letters or digits next to a Chinese character is set apart by a space;
// next to punctuation, or in the sentence's own text, nothing changes.
TEST(Say, SetsLatinValuesApartFromChineseCharacters) {
    EXPECT_EQ(Say(L"需先在{cloud}安全组放行", {{L"cloud", L"AWS"}}), L"需先在 AWS 安全组放行");
    EXPECT_EQ(Say(L"需先在{cloud}安全组放行", {{L"cloud", L"阿里云"}}), L"需先在阿里云安全组放行");
    EXPECT_EQ(Say(L"读取{setting}原值", {{L"setting", L"Tds 端口"}}), L"读取 Tds 端口原值");
    EXPECT_EQ(Say(L"设置为：{port}！", {{L"port", L"10010"}}), L"设置为：10010！");
    EXPECT_EQ(Say(L"KorvaneIT技术网{x}", {{L"x", L""}}), L"KorvaneIT技术网");
}

TEST(HomeEditionName, AsChineseWindowsNamesIt) {
    const struct {
        const wchar_t* id;
        const wchar_t* name;
    } cases[] = {
        {L"Core", L"家庭版"},          {L"CoreCountrySpecific", L"家庭中文版"}, {L"CoreSingleLanguage", L"家庭单语言版"},
        {L"HomeBasic", L"家庭普通版"}, {L"HomePremium", L"家庭高级版"},        {L"Starter", L"简易版"},
        {L"CoreARM", L"家庭版（CoreARM）"},
    };
    for (const auto& c : cases) EXPECT_EQ(HomeEditionName(c.id), c.name) << c.id;
}

}  // namespace
}  // namespace korvane
