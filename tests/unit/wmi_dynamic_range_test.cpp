// The dynamic range from WMI's TCP settings: answers that only say WMI needs longer, settings without a range,
// failures and a deadline that passes; and what 修改 logs and assumes when Windows does not tell the range.
#include <gtest/gtest.h>

#include "platform/wmi_dynamic_range.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

using Answer = TcpSettingEnumerator::Answer;

// WMI as a script of answers on a clock of the test's own: an answer that times out takes all the time it was
// given, any other 10 ms. After the script, WMI only times out.
class ScriptedSettings final : public TcpSettingEnumerator {
public:
    struct Step {
        Answer answer;
        TcpSettingRange setting;
        uint32_t code;
    };
    explicit ScriptedSettings(std::vector<Step> steps) : steps_(std::move(steps)) {}

    Answer Next(uint32_t timeoutMs, TcpSettingRange& setting, uint32_t& code) override {
        waits.push_back(timeoutMs);
        const Step step = next_ < steps_.size() ? steps_[next_++] : Step{Answer::TimedOut, {}, 0};
        now += step.answer == Answer::TimedOut ? timeoutMs : 10;
        setting = step.setting;
        code = step.code;
        return step.answer;
    }
    uint64_t NowMs() override { return now; }

    uint64_t now = 1000;
    std::vector<uint32_t> waits;

private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
};

const ScriptedSettings::Step kTimedOut = {Answer::TimedOut, {}, 0};
const ScriptedSettings::Step kEnd = {Answer::End, {}, 0};
ScriptedSettings::Step Setting(std::optional<int32_t> start, std::optional<int32_t> count) {
    return {Answer::Setting, {start, count}, 0};
}

TEST(WmiDynamicRange, EveryAnswerWithinTheDeadline) {
    const struct {
        const char* name;
        std::vector<ScriptedSettings::Step> steps;
        uint32_t code;
        DynamicPortRange range;  // when code is 0
    } cases[] = {
        {"a cold WMI: timed out twice, then the setting",
         {kTimedOut, kTimedOut, Setting(49152, 16384), kEnd},
         0,
         {49152, 16384}},
        {"moved by netsh", {Setting(10000, 1000), kEnd}, 0, {10000, 1000}},
        {"two settings that differ: both covered",
         {Setting(49152, 16384), Setting(10000, 1000), kEnd},
         0,
         {10000, 55536}},
        {"settings without a range, or an impossible one, skipped",
         {Setting(std::nullopt, std::nullopt), Setting(0, 100), Setting(65000, 1000), Setting(10000, 0),
          Setting(20000, 100), kEnd},
         0,
         {20000, 100}},
        {"no valid range at all", {Setting(std::nullopt, 16384), kEnd}, kDynamicRangeNotFound, {}},
        {"WMI fails", {kTimedOut, {Answer::Failed, {}, 0x80041010u}}, 0x80041010u, {}},
        {"WMI fails without a code", {{Answer::Failed, {}, 0}}, 0x80004005u, {}},
        {"never answers", {}, kDynamicRangeTimedOut, {}},
        {"a setting, then no end in time", {Setting(10000, 1000)}, kDynamicRangeTimedOut, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSettings settings(c.steps);
        const uint64_t deadline = settings.now + 5000;
        DynamicPortRange range{1, 1};
        EXPECT_EQ(CollectDynamicRange(settings, deadline, range), c.code);
        const DynamicPortRange expected = c.code == 0 ? c.range : DynamicPortRange{1, 1};
        EXPECT_EQ(range.start, expected.start);
        EXPECT_EQ(range.count, expected.count);
        EXPECT_LE(settings.now, deadline) << "no wait goes past the deadline";
        for (uint32_t wait : settings.waits) EXPECT_LE(wait, 1000u);
    }
}

class DynamicRangeLogTest : public ChangeTest {};

// Windows does not tell the range (no WMI class before Windows 8, a broken or silent WMI): the log says so and
// the default range is assumed, warning for a port in it and not for one below it.
TEST_F(DynamicRangeLogTest, ARangeNotToldIsSaidAndTheDefaultAssumed) {
    const std::wstring line =
        L"未能读取动态端口范围：类无效（错误代码 0x80041010），按默认的 "
        L"49152-65535 检查\r\n";
    const struct {
        std::wstring port;
        std::optional<DynamicPortRange> told;
        std::wstring log;
    } cases[] = {
        // In the warning, which lists the checks not made; No logs only that it is cancelled.
        {L"49152", std::nullopt, kStartLog + L"修改已取消：端口 49152 在动态端口范围（49152-65535）内\r\n"},
        {L"10010", std::nullopt, kStartLog + line + SuccessLines(L"10010")},
        {L"10010", DynamicPortRange{10000, 0},
         kStartLog + L"未能读取动态端口范围：Windows 没有给出范围，按默认的 49152-65535 检查\r\n" +
             SuccessLines(L"10010")},
        {L"10010", DynamicPortRange{49152, 16384}, kStartLog + SuccessLines(L"10010")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log.size());
        world = OrdinaryMachine();
        world.dynamicRange = c.told;
        view.log = kStartLog;
        Change(c.port, {7, 7});
        EXPECT_EQ(view.log, c.log);
    }
}

}  // namespace
}  // namespace korvane::testing
