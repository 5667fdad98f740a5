#include "platform/win32/dispatch.h"

#include <vector>

#include "platform/failure_text.h"
#include "platform/win32/error_text.h"
#include "platform/win32/scoped.h"

namespace korvane {

Status FailureFromHresult(HRESULT code, const std::wstring& fallback) {
    std::wstring text = SystemErrorText(code);
    if (text.empty()) text = fallback;
    if (text.empty()) text = L"未知错误。";
    return Status::Failure(static_cast<uint32_t>(code), text);
}

Status StatusFromHresult(HRESULT code) {
    return SUCCEEDED(code) ? Status::Ok() : FailureFromHresult(code);
}

Status LastErrorStatus() {
    return FailureFromHresult(HRESULT_FROM_WIN32(GetLastError()));
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
