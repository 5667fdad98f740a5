// Small RAII owners for the Windows handles the program uses: kernel, service and socket handles, COM pointers,
// BSTRs, VARIANTs, GDI objects, the COM apartment of the user-interface thread, and whatever one call begins and
// another ends.
#pragma once

// winsock2.h before windows.h, or windows.h brings in the old winsock.h.
#include <winsock2.h>
#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace korvane {

// Owns one handle of the kind `Traits` describes: its type, the value that is no handle, and how it is closed.
template <typename Traits>
class Owned {
public:
    using Handle = typename Traits::Handle;
    explicit Owned(Handle handle = Traits::None()) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Reset(); }
    void Reset(Handle handle = Traits::None()) {
        if (handle_ != Traits::None()) Traits::Close(handle_);
        handle_ = handle;
    }
    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::None(); }
    // For functions that hand out a new handle.
    Handle* Put() {
        Reset();
        return &handle_;
    }
    Handle Release() { return std::exchange(handle_, Traits::None()); }

private:
    Handle handle_;
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE None() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static SC_HANDLE None() { return nullptr; }
    static void Close(SC_HANDLE handle) { CloseServiceHandle(handle); }
};
struct SocketTraits {
    using Handle = SOCKET;
    static SOCKET None() { return INVALID_SOCKET; }
    static void Close(SOCKET socket) { closesocket(socket); }
};
struct RegistryKeyTraits {
    using Handle = HKEY;
    static HKEY None() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
template <typename Object>
struct GdiObjectTraits {
    using Handle = Object;
    static Object None() { return nullptr; }
    static void Close(Object object) { DeleteObject(object); }
};
using KernelHandle = Owned<KernelHandleTraits>;
using ServiceHandle = Owned<ServiceHandleTraits>;
using Socket = Owned<SocketTraits>;
using RegistryKey = Owned<RegistryKeyTraits>;
template <typename Object>
using GdiObject = Owned<GdiObjectTraits<Object>>;

// Runs `end` when it goes: for what one call begins and another ends (the clipboard opened, a memory block
// locked, Winsock started, a font selected).
template <typename End>
class AtScopeEnd {
public:
    explicit AtScopeEnd(End end) : end_(std::move(end)) {}
    AtScopeEnd(const AtScopeEnd&) = delete;
    AtScopeEnd& operator=(const AtScopeEnd&) = delete;
    ~AtScopeEnd() { end_(); }

private:
    End end_;
};

// Gives up one reference to a COM object: one function for every interface, whose Release is IUnknown's.
void ReleaseObject(IUnknown* object);

// A COM object's interface, one reference to it owned.
template <typename Interface>
struct ComTraits {
    using Handle = Interface*;
    static Interface* None() { return nullptr; }
    static void Close(Interface* object) { ReleaseObject(object); }
};
template <typename Interface>
class ComPtr : public Owned<ComTraits<Interface>> {
public:
    using Owned<ComTraits<Interface>>::Owned;
    Interface* operator->() const { return this->Get(); }
    // For functions that hand out a new reference.
    void** PutVoid() { return reinterpret_cast<void**>(this->Put()); }
};

struct BstrTraits {
    using Handle = BSTR;
    static BSTR None() { return nullptr; }
    static void Close(BSTR text) { SysFreeString(text); }
};
class Bstr : public Owned<BstrTraits> {
public:
    explicit Bstr(const wchar_t* text = nullptr) : Owned(text ? SysAllocString(text) : nullptr) {}
};

class Variant {
public:
    Variant() { VariantInit(&v_); }
    explicit Variant(const wchar_t* text) {
        VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = SysAllocString(text);
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v_); }
    VARIANT* Get() { return &v_; }
    const VARIANT& Ref() const { return v_; }

private:
    VARIANT v_;
};

// Releases the EXCEPINFO strings a failed IDispatch::Invoke filled in.
class ExcepInfo {
public:
    ExcepInfo() { ZeroMemory(&info_, sizeof info_); }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        SysFreeString(info_.bstrSource);
        SysFreeString(info_.bstrDescription);
        SysFreeString(info_.bstrHelpFile);
    }
    EXCEPINFO* Get() { return &info_; }
    const EXCEPINFO& Ref() const { return info_; }

private:
    EXCEPINFO info_;
};

// Single-threaded COM apartment for the user-interface thread.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

}  // namespace korvane
