// The name of a network interface from its GUID, as Group Policy's firewall rules name interfaces and the firewall's
// objects do not: INetFwRule::put_Interfaces takes the names Windows shows ("以太网"), the interface's alias.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <objbase.h>

#include "platform/win32/dispatch.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/system_library.h"

namespace korvane {

Status Win32Platform::InterfaceName(const std::wstring& guid, std::wstring& name) {
    name.clear();
    GUID id = {};
    // IIDFromString reads the braced form alone and never looks a name up in the registry, as CLSIDFromString may.
    HRESULT hr = IIDFromString(guid.c_str(), &id);
    if (FAILED(hr)) return FailureFromHresult(hr);
    // iphlpapi.dll is not one of the DLLs Windows always takes from the system folder; both functions are Vista's.
    using GuidToLuid = DWORD(WINAPI*)(const GUID*, NET_LUID*);
    using LuidToAlias = DWORD(WINAPI*)(const NET_LUID*, PWSTR, SIZE_T);
    const auto toLuid = SystemFunction<GuidToLuid>(L"iphlpapi.dll", "ConvertInterfaceGuidToLuid");
    const auto toAlias = SystemFunction<LuidToAlias>(L"iphlpapi.dll", "ConvertInterfaceLuidToAlias");
    if (!toLuid || !toAlias) return Win32Failure(ERROR_PROC_NOT_FOUND);
    NET_LUID luid = {};
    DWORD result = toLuid(&id, &luid);
    wchar_t alias[IF_MAX_STRING_SIZE + 1] = {};
    if (result == NO_ERROR) result = toAlias(&luid, alias, IF_MAX_STRING_SIZE + 1);
    if (result != NO_ERROR) return Win32Failure(result);
    name = alias;
    return Status::Ok();
}

}  // namespace korvane
