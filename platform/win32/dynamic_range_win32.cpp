#include "platform/win32/dynamic_range_win32.h"

#include <wbemidl.h>

#include <new>
#include <utility>

#include "platform/win32/dispatch.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/responsive_wait.h"
#include "platform/win32/scoped.h"
#include "platform/wmi_dynamic_range.h"

namespace korvane {

namespace {

// WMI's own errors have no text in the system's message table.
constexpr wchar_t kWmiFailed[] = L"WMI 查询失败。";

Status WmiFailure(HRESULT code) {
    return FailureFromHresult(code, kWmiFailed);
}

// Calls on a WMI proxy (the services object, the enumerator) as the current user, impersonated: the default
// identify level is too low for many providers, and a blanket set on one proxy does not cover another. An
// object that is no proxy (WMI in the process itself) needs none.
HRESULT SetWmiSecurity(IUnknown* proxy) {
    const HRESULT hr = CoSetProxyBlanket(proxy, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    return hr == E_NOINTERFACE ? S_OK : hr;
}

// A number property of a WMI object; none when it is unset (VT_NULL) or not a number.
std::optional<int32_t> NumberProperty(IWbemClassObject* object, const wchar_t* name) {
    Variant value;
    if (FAILED(object->Get(name, 0, value.Get(), nullptr, nullptr))) return std::nullopt;
    if (value.Ref().vt == VT_NULL || value.Ref().vt == VT_EMPTY) return std::nullopt;
    if (FAILED(VariantChangeType(value.Get(), value.Get(), 0, VT_I4))) return std::nullopt;
    return value.Ref().lVal;
}

// WMI's enumerator of MSFT_NetTCPSetting, as the portable loop reads it.
class WmiTcpSettings final : public TcpSettingEnumerator {
public:
    explicit WmiTcpSettings(IEnumWbemClassObject* settings) : settings_(settings) {}

    Answer Next(uint32_t timeoutMs, TcpSettingRange& setting, uint32_t& code) override {
        if (ended_) return Answer::End;
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        const HRESULT hr = settings_->Next(static_cast<long>(timeoutMs), 1, object.Put(), &returned);
        // WBEM_S_FALSE may come with the last object.
        ended_ = hr == WBEM_S_FALSE;
        if (returned == 1 && object) {
            setting = {NumberProperty(object.Get(), L"DynamicPortRangeStartPort"),
                       NumberProperty(object.Get(), L"DynamicPortRangeNumberOfPorts")};
            return Answer::Setting;
        }
        if (hr == WBEM_S_TIMEDOUT) return Answer::TimedOut;
        if (SUCCEEDED(hr)) return Answer::End;
        code = static_cast<uint32_t>(hr);
        return Answer::Failed;
    }

    uint64_t NowMs() override { return GetTickCount64(); }

private:
    IEnumWbemClassObject* settings_;
    bool ended_ = false;
};

Status QueryWmi(uint64_t deadline, DynamicPortRange& range) {
    ComPtr<IWbemLocator> locator;
    HRESULT hr =
        CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator, locator.PutVoid());
    if (FAILED(hr)) return WmiFailure(hr);
    ComPtr<IWbemServices> services;
    const Bstr space(L"ROOT\\StandardCimv2");
    // Without this flag the call may never return when the WMI service is broken; with it, within 2 minutes.
    hr = locator->ConnectServer(space.Get(), nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT, nullptr,
                                nullptr, services.Put());
    if (FAILED(hr)) return WmiFailure(hr);
    hr = SetWmiSecurity(services.Get());
    if (FAILED(hr)) return WmiFailure(hr);
    const Bstr language(L"WQL"),
        query(L"SELECT DynamicPortRangeStartPort, DynamicPortRangeNumberOfPorts FROM MSFT_NetTCPSetting");
    ComPtr<IEnumWbemClassObject> settings;
    hr = services->ExecQuery(language.Get(), query.Get(), WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                             nullptr, settings.Put());
    if (FAILED(hr)) return WmiFailure(hr);
    hr = SetWmiSecurity(settings.Get());
    if (FAILED(hr)) return WmiFailure(hr);
    WmiTcpSettings rows(settings.Get());
    const uint32_t code = CollectDynamicRange(rows, deadline, range);
    return code == 0 ? Status::Ok() : WmiFailure(static_cast<HRESULT>(code));
}

// What the window's thread and the query's thread share; whichever lets go of it last deletes it, so a query
// that outlives the wait never touches freed memory.
struct SharedQuery {
    LONG references = 2;
    KernelHandle answered;  // set once `status` and `range` hold the answer
    uint64_t deadline = 0;
    DynamicRangeQuery query;
    Status status;
    DynamicPortRange range;

    void Release() {
        if (InterlockedDecrement(&references) == 0) delete this;
    }
};

DWORD WINAPI RunQuery(void* parameter) {
    auto* shared = static_cast<SharedQuery*>(parameter);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(com)) {
        shared->status = shared->query(shared->deadline, shared->range);
        shared->query = nullptr;  // whatever COM objects it holds, released before leaving the apartment
        CoUninitialize();
    } else {
        shared->status = FailureFromHresult(com);
    }
    SetEvent(shared->answered.Get());
    shared->Release();
    return 0;
}

}  // namespace

Status DynamicRangeOnItsOwnThread(uint32_t waitMs, HWND owner, DynamicRangeQuery query, DynamicPortRange& range) {
    auto* shared = new (std::nothrow) SharedQuery;
    if (!shared) return FailureFromHresult(E_OUTOFMEMORY);
    shared->answered.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!shared->answered) {
        const Status status = LastErrorStatus();
        delete shared;
        return status;
    }
    shared->deadline = GetTickCount64() + waitMs;
    shared->query = std::move(query);
    const KernelHandle thread(CreateThread(nullptr, 0, &RunQuery, shared, 0, nullptr));
    if (!thread) {
        const Status status = LastErrorStatus();
        shared->references = 1;
        shared->Release();
        return status;
    }
    const bool answered = WaitKeepingWindowsPainted(owner, shared->answered.Get(), waitMs);
    const Status status = answered ? shared->status : Win32Failure(ERROR_TIMEOUT);
    if (answered && status) range = shared->range;
    shared->Release();
    return status;
}

Status Win32Platform::TcpDynamicPortRange(uint32_t waitMilliseconds, DynamicPortRange& range) {
    // WMI tells the range from Windows 8 and Server 2012 (6.2) on; netsh before.
    const WindowsVersion version = Version();
    if (version.major == 6 && version.minor <= 1) return DynamicRangeFromNetsh(waitMilliseconds, range);
    return DynamicRangeOnItsOwnThread(waitMilliseconds, owner_, &QueryWmi, range);
}

}  // namespace korvane
