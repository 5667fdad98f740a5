#include "platform/win32/system_info_win32.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/smbios.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/scoped.h"
#include "platform/win32/system_library.h"

namespace korvane {

namespace {

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ServiceHandle() {
        if (handle_) CloseServiceHandle(handle_);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE Get() const { return handle_; }

private:
    SC_HANDLE handle_;
};

Status LastError() {
    return FailureFromHresult(HRESULT_FROM_WIN32(GetLastError()));
}

// Opens `service` with `access` (no more than querying) through a connection to the service manager.
Status OpenService(const std::wstring& service, DWORD access, SC_HANDLE& manager, SC_HANDLE& handle) {
    manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return LastError();
    handle = OpenServiceW(manager, service.c_str(), access);
    if (!handle) return LastError();
    return Status::Ok();
}

}  // namespace

Status ServiceProcessWindows(const std::wstring& service, uint32_t& processId) {
    processId = 0;
    SC_HANDLE managerHandle = nullptr, serviceHandle = nullptr;
    const Status status = OpenService(service, SERVICE_QUERY_STATUS, managerHandle, serviceHandle);
    const ServiceHandle manager(managerHandle), opened(serviceHandle);
    if (!status) return status;
    SERVICE_STATUS_PROCESS process = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(opened.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof process,
                              &needed)) {
        return LastError();
    }
    // A service that does not run has no process (dwProcessId is 0 then).
    if (process.dwCurrentState == SERVICE_RUNNING) processId = process.dwProcessId;
    return Status::Ok();
}

Status ServiceStartTypeWindows(const std::wstring& service, uint32_t& startType) {
    SC_HANDLE managerHandle = nullptr, serviceHandle = nullptr;
    const Status status = OpenService(service, SERVICE_QUERY_CONFIG, managerHandle, serviceHandle);
    const ServiceHandle manager(managerHandle), opened(serviceHandle);
    if (!status) return status;
    DWORD needed = 0;
    QueryServiceConfigW(opened.Get(), nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return LastError();
    std::vector<unsigned char> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(opened.Get(), config, needed, &needed)) return LastError();
    startType = config->dwStartType;
    return Status::Ok();
}

// From a snapshot of the process list, which needs no access to the process itself.
std::wstring ProcessImageNameWindows(uint32_t processId) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return std::wstring();
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    std::wstring name;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == processId) {
            name = entry.szExeFile;
            break;
        }
    }
    CloseHandle(snapshot);
    return name;
}

WindowsVersion WindowsVersionNow() {
    // RtlGetVersion tells the true version; GetVersionExW answers according to the program's manifest.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = SystemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!getVersion || getVersion(&info) != 0) return {};
    return {info.dwMajorVersion, info.dwMinorVersion};
}

namespace {

// The raw SMBIOS table; empty where the firmware has none.
std::vector<uint8_t> SmbiosTable() {
    const DWORD kRawSmbios = 0x52534D42;  // "RSMB", the raw SMBIOS provider
    const UINT size = GetSystemFirmwareTable(kRawSmbios, 0, nullptr, 0);
    if (size == 0) return {};
    std::vector<uint8_t> table(size);
    if (GetSystemFirmwareTable(kRawSmbios, 0, table.data(), size) != size) return {};
    return table;
}

}  // namespace

std::wstring ChassisAssetTagWindows() {
    const std::string tag = ChassisAssetTag(SmbiosTable());
    return std::wstring(tag.begin(), tag.end());  // SMBIOS strings are ASCII
}

std::vector<uint8_t> SystemUuidWindows() {
    return SystemUuid(SmbiosTable());
}

}  // namespace korvane
