// The one warning 修改 shows before the first write: every finding, numbered, related ones as one, the
// checks that could not be made, and one question whether to change anyway; and the log line of No.
#pragma once

#include <string>
#include <vector>

#include "port/reachability.h"

namespace korvane {

// Buttons and icon of the warning: Yes/No, No the default.
constexpr int kReportStyle = kMessageYesNo | kMessageWarning | kMessageSecondButtonDefault;

struct ChangeReport {
    std::wstring prompt;
    std::wstring cancelledLine;  // "修改已取消：" and each finding in short
};

// The findings with related ones as one, in their order: a Home edition is the reason Remote Desktop is off,
// so that is said once, as the edition; a port Windows reserves is said as reserved, not also as a port in the
// dynamic range, where the reservations lie.
std::vector<Finding> MergeRelated(const std::vector<Finding>& findings);

// The warning for `findings` (at least one) on a change to `port`, the checks that could not be made listed
// at its end.
ChangeReport ReportOf(const std::wstring& port, const std::vector<Finding>& findings,
                      const std::vector<std::wstring>& unchecked);

}  // namespace korvane
