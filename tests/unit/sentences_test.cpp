#include "port/sentences.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(Say, FillsNamedPlaceholdersAndNothingElse) {
    const struct {
        const wchar_t* sentence;
        Values values;
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

}  // namespace
}  // namespace korvane
