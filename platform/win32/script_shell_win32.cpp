// The Windows Script Host shell object ("wscript.shell"), through which the program reads and writes the registry.
#include <windows.h>
#include <objbase.h>

#include "platform/win32/dispatch.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/scoped.h"

namespace korvane {

namespace {

class WshShell final : public ScriptShell {
public:
    explicit WshShell(ComPtr<IDispatch> object) : object_(std::move(object)) {}

    Status RegRead(const std::wstring& path, RegValue& value) override {
        Variant argument(path.c_str());
        Variant result;
        Status status = InvokeMethod(object_.Get(), L"regread", {argument.Get()}, result.Get());
        if (!status) return status;
        const VARIANT& v = result.Ref();
        value = RegValue();
        switch (v.vt) {
            case VT_I4:
                value.kind = RegValue::Kind::Number;
                value.number = static_cast<uint32_t>(v.lVal);
                break;
            case VT_UI4:
                value.kind = RegValue::Kind::Number;
                value.number = v.ulVal;
                break;
            case VT_BSTR:
                value.kind = RegValue::Kind::Text;
                value.text = v.bstrVal ? v.bstrVal : L"";
                break;
            default:
                value.kind = RegValue::Kind::Other;
                break;
        }
        return Status::Ok();
    }

    Status RegWrite(const std::wstring& path, const std::wstring& value, const std::wstring& type) override {
        Variant pathArgument(path.c_str());
        Variant valueArgument(value.c_str());
        Variant typeArgument(type.c_str());
        return InvokeMethod(object_.Get(), L"regwrite", {pathArgument.Get(), valueArgument.Get(), typeArgument.Get()});
    }

    Status RegDelete(const std::wstring& path) override {
        Variant argument(path.c_str());
        return InvokeMethod(object_.Get(), L"regdelete", {argument.Get()});
    }

private:
    ComPtr<IDispatch> object_;
};

}  // namespace

std::unique_ptr<ScriptShell> Win32Platform::CreateScriptShell(Status& status) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    HRESULT hr = CLSIDFromProgID(L"wscript.shell", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              object.PutVoid());
    status = StatusFromHresult(hr);
    if (!status) return nullptr;
    return std::make_unique<WshShell>(std::move(object));
}

}  // namespace korvane
