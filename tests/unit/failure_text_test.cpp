// How an exception raised by an automation object (the script shell) becomes a failure an administrator
// can act on: its own description kept beside the system's text, and a code even when scode is 0.
#include <gtest/gtest.h>

#include "platform/failure_text.h"

namespace korvane {
namespace {

TEST(AutomationException, CodeIsTheScodeOrElseTheWCodeMappedAsAutomationClientsDo) {
    EXPECT_EQ(AutomationExceptionCode(0x80070005u, 1234), 0x80070005u);
    EXPECT_EQ(AutomationExceptionCode(0, 5), 0x80040205u);
    EXPECT_EQ(AutomationExceptionCode(0, 0xFE00), 0x8004FFFFu);
    EXPECT_EQ(AutomationExceptionCode(0, 0), 0x80020009u);  // neither: DISP_E_EXCEPTION itself
}

TEST(AutomationException, TextKeepsTheObjectsDescriptionAndTheSystemsText) {
    const std::wstring description = L"无法打开注册表项“HKLM\\SYSTEM\\Tds\\PortNumber”以进行写入。\r\n";
    EXPECT_EQ(AutomationExceptionText(description, L"拒绝访问。\r\n"),
              L"无法打开注册表项“HKLM\\SYSTEM\\Tds\\PortNumber”以进行写入。 拒绝访问。");
    EXPECT_EQ(AutomationExceptionText(L"", L"拒绝访问。"), L"拒绝访问。");
    EXPECT_EQ(AutomationExceptionText(description, L""),
              L"无法打开注册表项“HKLM\\SYSTEM\\Tds\\PortNumber”以进行写入。");
    EXPECT_EQ(AutomationExceptionText(L"拒绝访问。", L"拒绝访问。\r\n"), L"拒绝访问。");
}

}  // namespace
}  // namespace korvane
