#include "platform/failure_text.h"

#include <cstdio>

namespace korvane {

std::wstring DescribeFailure(const Status& status) {
    std::wstring text = status.message;
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (status.code != 0) {
        wchar_t code[32];
        std::swprintf(code, sizeof code / sizeof code[0], L"（错误代码 0x%08X）", static_cast<unsigned>(status.code));
        text += code;
    }
    return text;
}

}  // namespace korvane
