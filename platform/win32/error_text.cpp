#include "platform/win32/error_text.h"

#include "platform/failure_text.h"

namespace korvane {

namespace {

std::wstring FormatSystemMessageIn(DWORD code, DWORD language) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer) text.assign(buffer, length);
    LocalFree(buffer);
    return TrimmedEnd(std::move(text));
}

// In Chinese (Simplified), the language of the program, where the system has its messages in it; otherwise
// in the system's own language (language 0 searches the user's and the system's default languages).
std::wstring FormatSystemMessage(DWORD code) {
    const std::wstring chinese = FormatSystemMessageIn(code, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    return chinese.empty() ? FormatSystemMessageIn(code, 0) : chinese;
}

}  // namespace

std::wstring SystemErrorText(HRESULT code) {
    std::wstring text = FormatSystemMessage(static_cast<DWORD>(code));
    // Win32 errors wrapped in an HRESULT are best described by their plain code.
    if (text.empty() && HRESULT_FACILITY(code) == FACILITY_WIN32) text = FormatSystemMessage(HRESULT_CODE(code));
    return text;
}

}  // namespace korvane
