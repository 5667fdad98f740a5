// What the program asks of Windows about itself: services, processes, the version of the system and the
// firmware's SMBIOS table.
#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/smbios.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/scoped.h"
#include "platform/win32/system_library.h"

namespace korvane {

namespace {

// Opens `service` with `access` (no more than querying) through a connection to the service manager.
Status OpenService(const std::wstring& service, DWORD access, ServiceHandle& manager, ServiceHandle& handle) {
    manager.Reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return LastErrorStatus();
    handle.Reset(OpenServiceW(manager.Get(), service.c_str(), access));
    if (!handle) return LastErrorStatus();
    return Status::Ok();
}

}  // namespace

Status Win32Platform::ServiceProcess(const std::wstring& service, uint32_t& processId) {
    processId = 0;
    ServiceHandle manager, opened;
    const Status status = OpenService(service, SERVICE_QUERY_STATUS, manager, opened);
    if (!status) return status;
    SERVICE_STATUS_PROCESS process = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(opened.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof process,
                              &needed)) {
        return LastErrorStatus();
    }
    // A service that does not run has no process (dwProcessId is 0 then).
    if (process.dwCurrentState == SERVICE_RUNNING) processId = process.dwProcessId;
    return Status::Ok();
}

Status Win32Platform::ServiceStartType(const std::wstring& service, uint32_t& startType) {
    ServiceHandle manager, opened;
    const Status status = OpenService(service, SERVICE_QUERY_CONFIG, manager, opened);
    if (!status) return status;
    DWORD needed = 0;
    QueryServiceConfigW(opened.Get(), nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return LastErrorStatus();
    std::vector<unsigned char> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(opened.Get(), config, needed, &needed)) return LastErrorStatus();
    startType = config->dwStartType;
    return Status::Ok();
}

// From a snapshot of the process list, which needs no access to the process itself.
std::wstring Win32Platform::ProcessImageName(uint32_t processId) {
    const HANDLE snapshotHandle = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshotHandle == INVALID_HANDLE_VALUE) return std::wstring();
    const KernelHandle snapshot(snapshotHandle);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    std::wstring name;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == processId) {
            name = entry.szExeFile;
            break;
        }
    }
    return name;
}

WindowsVersion Win32Platform::Version() {
    // RtlGetVersion tells the true version; GetVersionExW answers according to the program's manifest.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = SystemFunction<RtlGetVersionFunction>(L"ntdll.dll", "RtlGetVersion");
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!getVersion || getVersion(&info) != 0) return {};
    return {info.dwMajorVersion, info.dwMinorVersion};
}

const std::vector<uint8_t>& Win32Platform::Smbios() {
    if (smbiosRead_) return smbios_;
    smbiosRead_ = true;
    const DWORD kRawSmbios = 0x52534D42;  // "RSMB", the raw SMBIOS provider
    const UINT size = GetSystemFirmwareTable(kRawSmbios, 0, nullptr, 0);
    if (size == 0) return smbios_;
    smbios_.resize(size);
    if (GetSystemFirmwareTable(kRawSmbios, 0, smbios_.data(), size) != size) smbios_.clear();
    return smbios_;
}

std::wstring Win32Platform::ChassisAssetTag() {
    return korvane::ChassisAssetTag(Smbios());
}

std::vector<uint8_t> Win32Platform::SystemUuid() {
    return korvane::SystemUuid(Smbios());
}

std::wstring Win32Platform::SystemSerialNumber() {
    return korvane::SystemSerialNumber(Smbios());
}

}  // namespace korvane
