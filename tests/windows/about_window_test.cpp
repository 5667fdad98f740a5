// The About window (Form2) in the test's own process: one window for the program, its texts, layout and
// fonts as designed, made anew after it was closed, and a main window that stays usable beside it.
#include <gtest/gtest.h>

#include "tests/shared/expected_texts.h"
#include "tests/windows/program_windows.h"
#include "ui/control_ids.h"

namespace windows_test {
namespace {

using namespace korvane;

// Form2 as designed, in twips; only Label1 has a font of its own size (12 pt), the rest 9 pt.
struct Designed {
    int id;
    int left, top, width, height;
};
const Designed kAboutDesign[] = {
    {kIdAboutLabel1, 960, 120, 2295, 255},   {kIdAboutLabel2, 120, 720, 3735, 255},
    {kIdAboutLabel3, 120, 960, 3735, 255},   {kIdAboutLabel4, 120, 1200, 2895, 255},
    {kIdAboutLabel5, 120, 1440, 3015, 255},  {kIdAboutLabel8, 120, 1680, 3855, 255},
    {kIdAboutLabel6, 2640, 1920, 1215, 255}, {kIdAboutLabel7, 1800, 2160, 2175, 255},
};

class AboutWindowTest : public ::testing::Test {
protected:
    ProgramWindows program;
};

TEST_F(AboutWindowTest, OneWindowWithItsTextsLayoutAndFonts) {
    const HWND about = program.OpenAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(IsWindowVisible(about));
    EXPECT_EQ(program.OpenAbout(), about) << "a second click made a second window";
    EXPECT_EQ(GetForegroundWindow(), about) << "asked for again, it did not come to the front";
    int aboutWindows = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM count) {
            wchar_t name[32] = {};
            GetClassNameW(window, name, 32);
            if (lstrcmpW(name, kAboutWindowClass) == 0) ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&aboutWindows));
    EXPECT_EQ(aboutWindows, 1);

    EXPECT_EQ(TextOf(about), expected::kAboutCaption);
    EXPECT_NE(GetClassLongPtrW(about, GCLP_HICON), 0u);
    EXPECT_EQ(GetMenu(about), nullptr);
    EXPECT_FALSE(GetWindowLongW(about, GWL_STYLE) & WS_THICKFRAME) << "it can be resized";
    for (const auto& text : expected::kAboutTexts) {
        EXPECT_EQ(TextOf(GetDlgItem(about, text.id)), text.text) << "control " << text.id;
    }

    const int dpi = ScreenDpi();
    RECT client = {};
    GetClientRect(about, &client);
    EXPECT_EQ(client.right, Px(4050, dpi));
    EXPECT_EQ(client.bottom, Px(2415, dpi));
    for (const Designed& d : kAboutDesign) {
        SCOPED_TRACE("About control " + std::to_string(d.id));
        HWND label = GetDlgItem(about, d.id);
        const RECT rect = RectInClient(about, label);
        EXPECT_EQ(rect.left, Px(d.left, dpi));
        EXPECT_EQ(rect.top, Px(d.top, dpi));
        EXPECT_GE(rect.right - rect.left, Px(d.width, dpi));
        EXPECT_GE(rect.bottom - rect.top, Px(d.height, dpi));
        const LOGFONTW font = FontOf(label);
        EXPECT_STREQ(font.lfFaceName, L"宋体");
        EXPECT_EQ(font.lfHeight, -FontPx(d.id == kIdAboutLabel1 ? 1200 : 900, dpi));
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_EQ(font.lfCharSet, GB2312_CHARSET);
    }
    // Line1 from (600, 480) to (3480, 480), one pixel at 96 DPI (15 twips) and thicker with the scaling.
    const RECT line = RectInClient(about, GetDlgItem(about, kIdAboutLine1));
    EXPECT_EQ(line.left, Px(600, dpi));
    EXPECT_EQ(line.top, Px(480, dpi));
    EXPECT_EQ(line.right, Px(3480, dpi));
    EXPECT_EQ(line.bottom - line.top, Px(15, dpi));
    EXPECT_EQ(ClippedTexts(about), "");
}

TEST_F(AboutWindowTest, MadeAnewAfterItWasClosed) {
    const HWND first = program.OpenAbout();
    SendMessageW(first, WM_CLOSE, 0, 0);
    PumpPending();
    EXPECT_FALSE(IsWindow(first));
    int code = 0;
    EXPECT_FALSE(TakeQuit(code)) << "closing the About window ended the program";
    const HWND second = program.OpenAbout();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(IsWindowVisible(second));
}

// Modeless: with the About window open the main window takes input as before.
TEST_F(AboutWindowTest, MainWindowStaysUsableBesideIt) {
    program.OpenAbout();
    EXPECT_TRUE(IsWindowEnabled(program.Main()));
    HWND field = program.Control(kIdText2);
    SendMessageW(field, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    for (wchar_t digit : std::wstring(L"3390")) SendMessageW(field, WM_CHAR, digit, 0);
    EXPECT_EQ(TextOf(field), L"3390");
}

}  // namespace
}  // namespace windows_test
