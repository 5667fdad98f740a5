// Turns a failed platform operation into words for the administrator.
#pragma once

#include <string>

#include "platform/platform.h"

namespace korvane {

// The system's error text followed by its code, for instance "拒绝访问。（错误代码 0x80070005）".
std::wstring DescribeFailure(const Status& status);

}  // namespace korvane
