// Turns a failed platform operation into words for the administrator.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvane {

// `text` without the line break (and spaces) that system texts end in, which have no place inside a message.
std::wstring TrimmedEnd(std::wstring text);

// The system's error text and its code as one clause, for instance "拒绝访问（错误代码 0x80070005）".
std::wstring DescribeFailure(const Status& status);

// A system text without its line break and final full stop, for a clause followed by more.
std::wstring WithoutFinalStop(std::wstring text);

// The code of an automation exception: its scode, or when that is 0 its wCode as an HRESULT (numbered the
// way automation clients do, from 0x80040200 on); DISP_E_EXCEPTION when the object gave neither.
uint32_t AutomationExceptionCode(uint32_t scode, uint16_t wCode);

// The text of an automation exception: the object's own description (the script shell's names the registry
// path), then the system's text for its code; either alone when the other is empty or says the same.
std::wstring AutomationExceptionText(const std::wstring& description, const std::wstring& systemText);

}  // namespace korvane
