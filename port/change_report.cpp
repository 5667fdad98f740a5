#include "port/change_report.h"

#include <algorithm>

#include "platform/number_text.h"

namespace korvane {

namespace {

bool Has(const std::vector<Finding>& findings, const FindingWords* kind) {
    return std::any_of(findings.begin(), findings.end(), [kind](const Finding& f) { return f.kind == kind; });
}

}  // namespace

std::vector<Finding> MergeRelated(const std::vector<Finding>& findings) {
    const bool home = Has(findings, &found::kHomeEdition);
    const bool reserved = Has(findings, &found::kPortReserved);
    std::vector<Finding> merged;
    for (const Finding& finding : findings) {
        const bool off = finding.kind == &found::kRemoteDesktopOffHere ||
                         finding.kind == &found::kRemoteDesktopOffHereWindows7 ||
                         finding.kind == &found::kRemoteDesktopOffByPolicy;
        if (home && off) continue;
        if (reserved && finding.kind == &found::kDynamicRange) continue;
        merged.push_back(finding);
    }
    return merged;
}

ChangeReport ReportOf(const std::wstring& port, const std::vector<Finding>& findings,
                      const std::vector<std::wstring>& unchecked) {
    const std::vector<Finding> merged = MergeRelated(findings);
    ChangeReport report;
    report.prompt = Say(words::kReportHeading, {{L"port", port}}) + L"\r\n";
    std::vector<std::wstring> briefs;
    for (std::size_t i = 0; i < merged.size(); ++i) {
        report.prompt +=
            L"\r\n" + Say(words::kReportItem, {{L"number", DecimalText(i + 1)}, {L"text", merged[i].text}});
        briefs.push_back(merged[i].brief);
    }
    if (!unchecked.empty()) {
        report.prompt += L"\r\n\r\n" + Say(words::kReportUnchecked);
        for (const std::wstring& line : unchecked) report.prompt += L"\r\n" + line;
    }
    report.prompt += L"\r\n\r\n" + Say(words::kReportQuestion);
    report.cancelledLine = Say(words::kCancelled, {{L"findings", Joined(briefs, words::kCancelledSeparator)}});
    return report;
}

}  // namespace korvane
