// The new-port field (Text2) in the test's own process: typed characters, editing keys, pasting through
// every way Windows offers, the double-click that empties it and its tooltip. The rules themselves are unit
// tested; this checks that the field applies them to what reaches it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "tests/shared/expected_texts.h"
#include "tests/windows/program_windows.h"
#include "ui/control_ids.h"

namespace windows_test {
namespace {

using namespace korvane;

class NewPortFieldTest : public ::testing::Test {
protected:
    HWND Field() const { return program.Control(kIdText2); }
    std::wstring Text() const { return TextOf(Field()); }
    void Type(const std::wstring& characters) const {
        for (wchar_t c : characters) SendMessageW(Field(), WM_CHAR, c, 0);
    }
    void Key(WORD vk) const { SendMessageW(Field(), WM_KEYDOWN, vk, 0); }
    void Select(int start, int end) const { SendMessageW(Field(), EM_SETSEL, start, end); }
    void PutOnClipboard(const std::wstring& text) const {
        ASSERT_TRUE(OpenClipboard(program.Main()));
        EmptyClipboard();
        const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
        CopyMemory(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
        CloseClipboard();
    }
    // Shift+Insert as the field sees it: Insert pressed while the thread's keyboard state has Shift down.
    void ShiftInsert() const {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        const BYTE shift = keys[VK_SHIFT];
        keys[VK_SHIFT] = 0x80;
        SetKeyboardState(keys);
        Key(VK_INSERT);
        keys[VK_SHIFT] = shift;
        SetKeyboardState(keys);
    }

    ProgramWindows program;
};

TEST_F(NewPortFieldTest, OnlyTypedDigitsGoIn) {
    SetWindowTextW(Field(), L"");
    // 1, a, 2, Backspace, 3 leaves 123; then signs, space, a point, full-width digits, Chinese, Tab, Enter,
    // Ctrl+V's character and half of a character outside the basic plane are all refused.
    Type(L"1a2\b3");
    EXPECT_EQ(Text(), L"123");
    Type(
        L" -+.,e０９中。\t\r\x16\xD83D"
        L"4");
    EXPECT_EQ(Text(), L"1234");
    for (UINT message : {UINT(WM_IME_CHAR), UINT(WM_UNICHAR)}) SendMessageW(Field(), message, L'x', 0);
    EXPECT_EQ(Text(), L"1234");
}

TEST_F(NewPortFieldTest, EditingKeysKeepTheirEffect) {
    ASSERT_EQ(Text(), L"10010");
    Select(5, 5);
    Type(L"\b7");  // Backspace is refused
    EXPECT_EQ(Text(), L"100107");
    Key(VK_HOME);
    Key(VK_DELETE);
    EXPECT_EQ(Text(), L"00107");
    Key(VK_RIGHT);
    Key(VK_DELETE);
    EXPECT_EQ(Text(), L"0107");
    Select(2, 4);
    Type(L"9");  // typed over the selection
    EXPECT_EQ(Text(), L"019");
    Type(L"123456");  // no limit on the length: 65535 is checked by 修改
    EXPECT_EQ(Text(), L"019123456");
}

TEST_F(NewPortFieldTest, OnlyPlainDigitsArePasted) {
    PutOnClipboard(L"3390");
    Select(0, -1);
    SendMessageW(Field(), WM_PASTE, 0, 0);
    EXPECT_EQ(Text(), L"3390");
    for (const wchar_t* refused : {L"12a", L" 42", L"42\r\n", L"-1", L"３３", L""}) {
        SCOPED_TRACE(Utf8(refused));
        PutOnClipboard(refused);
        Select(4, 4);
        SendMessageW(Field(), WM_PASTE, 0, 0);
        ShiftInsert();
        Type(L"\x16");  // Ctrl+V's character
        EXPECT_EQ(Text(), L"3390");
    }
    PutOnClipboard(L"42");
    Select(0, -1);
    ShiftInsert();
    EXPECT_EQ(Text(), L"42");
}

TEST_F(NewPortFieldTest, DoubleClickEmptiesItWherever) {
    SendMessageW(Field(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(40, 10));
    EXPECT_EQ(Text(), L"");
    SetWindowTextW(Field(), L"123 456");  // near the left end a double-click selects only the first word
    SendMessageW(Field(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 10));
    EXPECT_EQ(Text(), L"");
    Type(L"8");
    EXPECT_EQ(Text(), L"8");
}

TEST_F(NewPortFieldTest, TooltipSaysThatADoubleClickEmptiesIt) {
    SendMessageW(Field(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    HWND tooltip = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            wchar_t name[32] = {};
            GetClassNameW(window, name, 32);
            if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0) *reinterpret_cast<HWND*>(found) = window;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tooltip));
    ASSERT_NE(tooltip, nullptr) << "no tooltip once the pointer came over the field";
    ASSERT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[80] = {};
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.lpszText = text;
    ASSERT_TRUE(SendMessageW(tooltip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(std::wstring(text), expected::kTooltip);
    EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), Field());
}

}  // namespace
}  // namespace windows_test
