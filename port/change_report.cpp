#include "port/change_report.h"

#include <algorithm>

namespace korvane {

namespace {

bool Has(const std::vector<Finding>& findings, Finding::Kind kind) {
    return std::any_of(findings.begin(), findings.end(), [kind](const Finding& f) { return f.kind == kind; });
}

}  // namespace

std::vector<Finding> MergeRelated(const std::vector<Finding>& findings) {
    const bool home = Has(findings, Finding::Kind::Edition);
    const bool reserved = Has(findings, Finding::Kind::PortReserved);
    std::vector<Finding> merged;
    for (const Finding& finding : findings) {
        if (home && finding.kind == Finding::Kind::RemoteDesktopOff) continue;
        if (reserved && finding.kind == Finding::Kind::DynamicRange) continue;
        merged.push_back(finding);
    }
    return merged;
}

ChangeReport ReportOf(const std::wstring& port, const std::vector<Finding>& findings,
                      const std::vector<std::wstring>& unchecked) {
    const std::vector<Finding> merged = MergeRelated(findings);
    ChangeReport report;
    report.prompt = L"修改为端口 " + port + L" 之前，发现以下问题：\r\n";
    report.cancelledLine = L"修改已取消：";
    for (std::size_t i = 0; i < merged.size(); ++i) {
        report.prompt += L"\r\n" + std::to_wstring(i + 1) + L"、" + merged[i].text;
        report.cancelledLine += (i ? L"；" : L"") + merged[i].brief;
    }
    if (!unchecked.empty()) {
        report.prompt += L"\r\n\r\n以下检查未能完成：";
        for (const std::wstring& line : unchecked) report.prompt += L"\r\n" + line;
    }
    report.prompt += L"\r\n\r\n仍要修改吗？选择“是”继续修改；选择“否”取消，不做任何更改。";
    return report;
}

}  // namespace korvane
