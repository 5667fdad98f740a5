// The start-up sequence: what it reads, in which order, what the window shows and what the log says,
// for a machine whose listener port can be read and for each way reading it can fail.
#include <gtest/gtest.h>

#include "platform/number_text.h"
#include "port/port_settings.h"
#include "port/startup.h"
#include "tests/shared/expected_texts.h"
#include "tests/unit/fakes.h"

namespace korvane::testing {
namespace {

const std::wstring kDefaultLine = expected::kStartLog;

class StartupTest : public ::testing::Test {
protected:
    FakeWorld world;
    FakePlatform platform{world};
    FakeView view;
};

TEST_F(StartupTest, ShowsListenerPortProposesDefaultAndLogsOneLine) {
    world.registry[kRdpTcpPortPath] = Dword(3389);
    world.registry[kTdsPortPath] = Dword(3389);
    RunStartup(platform, view);

    EXPECT_EQ(view.currentPort, L"3389");
    EXPECT_FALSE(view.currentPortEnabled);
    EXPECT_EQ(view.newPort, L"10010");
    EXPECT_EQ(view.log, kDefaultLine);
    const std::vector<std::wstring> expected = {L"create shell", L"regread " + std::wstring(kRdpTcpPortPath)};
    EXPECT_EQ(world.calls, expected);
    EXPECT_EQ(world.shellsAlive, 0) << "the script shell object is released at the end of the run";
}

TEST_F(StartupTest, ShowsTheListenerPortWhenTheLegacyCopyDiffers) {
    world.registry[kRdpTcpPortPath] = Dword(3390);
    world.registry[kTdsPortPath] = Dword(3389);
    RunStartup(platform, view);
    EXPECT_EQ(view.currentPort, L"3390");
}

TEST_F(StartupTest, FallsBackToTheLegacyCopyOnlyWhenTheListenerValueCannotBeRead) {
    world.registry[kTdsPortPath] = Dword(3391);
    RunStartup(platform, view);
    EXPECT_EQ(view.currentPort, L"3391");
    EXPECT_EQ(view.log, kDefaultLine);
    const std::vector<std::wstring> expected = {L"create shell", L"regread " + std::wstring(kRdpTcpPortPath),
                                                L"regread " + std::wstring(kTdsPortPath)};
    EXPECT_EQ(world.calls, expected);

    FakeWorld denied;
    denied.registry[kRdpTcpPortPath] = Dword(3390);
    denied.registry[kTdsPortPath] = Dword(3389);
    denied.failing.insert(L"regread " + std::wstring(kRdpTcpPortPath));
    FakePlatform deniedPlatform(denied);
    FakeView deniedView;
    RunStartup(deniedPlatform, deniedView);
    EXPECT_EQ(deniedView.currentPort, L"3389");
}

TEST_F(StartupTest, NeitherValueReadableLeavesCurrentPortEmptyAndSaysWhy) {
    RunStartup(platform, view);
    EXPECT_EQ(view.currentPort, L"");
    EXPECT_FALSE(view.currentPortEnabled);
    EXPECT_EQ(view.newPort, L"10010");
    EXPECT_EQ(view.log, kDefaultLine + L"无法读取当前远程端口：系统找不到指定的文件（错误代码 0x80070002）\r\n");
}

TEST_F(StartupTest, ListenerValueOfTheWrongTypeIsNotShownAsAPort) {
    world.registry[kRdpTcpPortPath] = Sz(L"3389");
    RunStartup(platform, view);
    EXPECT_EQ(view.currentPort, L"");
    EXPECT_EQ(view.log,
              kDefaultLine + L"无法读取当前远程端口：注册表值 " + std::wstring(kRdpTcpPortPath) + L" 不是 DWORD 数值。\r\n");
}

TEST_F(StartupTest, MissingScriptShellObjectStillOpensTheWindowAndSaysWhy) {
    world.failShellCreation = true;
    world.registry[kRdpTcpPortPath] = Dword(3389);
    RunStartup(platform, view);
    EXPECT_EQ(view.currentPort, L"");
    EXPECT_FALSE(view.currentPortEnabled);
    EXPECT_EQ(view.newPort, L"10010");
    EXPECT_EQ(view.log, kDefaultLine + L"无法读取当前远程端口：无法创建 WScript.Shell 组件（用于读写注册表），" +
                            expected::ShellNotRegistered(L"800401F3") + L"\r\n");

    view.log.clear();
    world.shellCreationCode = 0x80070005u;
    RunStartup(platform, view);
    EXPECT_EQ(view.log, kDefaultLine + L"无法读取当前远程端口：无法创建 WScript.Shell 组件（用于读写注册表），拒绝访问（错误代码 "
                                       L"0x80070005）\r\n");
}

TEST_F(StartupTest, AppendsAfterWhateverTheLogAlreadyHolds) {
    view.log = L"earlier\r\n";
    world.registry[kRdpTcpPortPath] = Dword(3389);
    RunStartup(platform, view);
    EXPECT_EQ(view.log, L"earlier\r\n" + kDefaultLine);
}

TEST(DwordText, IsPlainUnsignedDecimal) {
    EXPECT_EQ(DecimalText(0), L"0");
    EXPECT_EQ(DecimalText(3389), L"3389");
    EXPECT_EQ(DecimalText(65535), L"65535");
    // regread hands large DWORDs over as negative numbers; the text is still the unsigned value.
    EXPECT_EQ(DecimalText(0xFFFFFFFFu), L"4294967295");
    EXPECT_EQ(DecimalText(0x80000000u), L"2147483648");
}

}  // namespace
}  // namespace korvane::testing
