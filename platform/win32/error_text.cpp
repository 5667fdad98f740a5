#include "platform/win32/error_text.h"

namespace korvane {

namespace {

std::wstring FormatSystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer) text.assign(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return text;
}

}  // namespace

std::wstring SystemErrorText(HRESULT code) {
    std::wstring text = FormatSystemMessage(static_cast<DWORD>(code));
    // Win32 errors wrapped in an HRESULT are best described by their plain code.
    if (text.empty() && HRESULT_FACILITY(code) == FACILITY_WIN32) text = FormatSystemMessage(HRESULT_CODE(code));
    return text;
}

}  // namespace korvane
