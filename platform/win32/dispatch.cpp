#include "platform/win32/dispatch.h"

#include <vector>

#include "platform/failure_text.h"
#include "platform/win32/scoped.h"

namespace korvane {

void ReleaseObject(IUnknown* object) {
    object->Release();
}

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

Status FailureFromHresult(HRESULT code, const std::wstring& fallback) {
    std::wstring text = SystemErrorText(code);
    if (text.empty()) text = fallback;
    if (text.empty()) text = L"未知错误。";
    return Status::Failure(static_cast<uint32_t>(code), text);
}

Status StatusFromHresult(HRESULT code) {
    return SUCCEEDED(code) ? Status::Ok() : FailureFromHresult(code);
}

Status Win32Failure(DWORD error) {
    return FailureFromHresult(HRESULT_FROM_WIN32(error));
}

Status LastErrorStatus() {
    return Win32Failure(GetLastError());
}

Status InvokeMethod(IDispatch* object, const wchar_t* name, std::initializer_list<const VARIANT*> arguments,
                    VARIANT* result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return FailureFromHresult(hr);

    // Invoke takes the arguments last to first; it does not change them.
    std::vector<VARIANT> reversed;
    reversed.reserve(arguments.size());
    for (auto it = arguments.end(); it != arguments.begin();) reversed.push_back(**--it);
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};

    ExcepInfo exception;
    UINT badArgument = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, exception.Get(),
                        &badArgument);
    if (hr != DISP_E_EXCEPTION) return StatusFromHresult(hr);
    EXCEPINFO& info = *exception.Get();
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    const uint32_t code = AutomationExceptionCode(static_cast<uint32_t>(info.scode), info.wCode);
    std::wstring text = AutomationExceptionText(info.bstrDescription ? info.bstrDescription : L"",
                                                SystemErrorText(static_cast<HRESULT>(code)));
    if (text.empty()) text = L"未知错误。";
    return Status::Failure(code, text);
}

}  // namespace korvane
