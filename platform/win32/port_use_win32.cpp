// Who uses a TCP port: an exclusive bind of the program's own, and the system's listener tables.
// winsock2.h before windows.h, or windows.h brings in the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include "platform/win32/dispatch.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/scoped.h"
#include "platform/win32/system_library.h"

namespace korvane {

namespace {

// Binds the wildcard address of `family`. Sets `bindError` to the error of a refused bind (the port is
// used or reserved); a failure of anything else means the check could not be made.
Status TryBind(int family, uint16_t port, int& bindError) {
    bindError = 0;
    Socket socket(::socket(family, SOCK_STREAM, IPPROTO_TCP));
    if (socket.Get() == INVALID_SOCKET) return Win32Failure(static_cast<DWORD>(WSAGetLastError()));
    // Exclusive use, as Remote Desktop listens: any socket on the port refuses it, even one that would
    // share the address.
    BOOL on = TRUE;
    if (setsockopt(socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return Win32Failure(static_cast<DWORD>(WSAGetLastError()));

    sockaddr_storage address = {};
    int length = 0;
    if (family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        v4->sin_addr.s_addr = htonl(INADDR_ANY);
        length = sizeof *v4;
    } else {
        if (setsockopt(socket.Get(), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on), sizeof on) != 0)
            return Win32Failure(static_cast<DWORD>(WSAGetLastError()));
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        v6->sin6_addr = in6addr_any;
        length = sizeof *v6;
    }
    if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = WSAGetLastError();
        if (error != WSAEADDRINUSE && error != WSAEACCES) return Win32Failure(static_cast<DWORD>(error));
        bindError = error;
    }
    return Status::Ok();
}

using GetExtendedTcpTableFunction = DWORD(WINAPI*)(PVOID, PDWORD, BOOL, ULONG, TCP_TABLE_CLASS, ULONG);
using GetOwnerModuleFromTcpEntryFunction = DWORD(WINAPI*)(PMIB_TCPROW_OWNER_MODULE, TCPIP_OWNER_MODULE_INFO_CLASS,
                                                          PVOID, PDWORD);
using GetOwnerModuleFromTcp6EntryFunction = DWORD(WINAPI*)(PMIB_TCP6ROW_OWNER_MODULE, TCPIP_OWNER_MODULE_INFO_CLASS,
                                                           PVOID, PDWORD);

// The listener table of one address family, as GetExtendedTcpTable fills it: with each row's owner, so that
// the owning module (a service of a shared svchost process, say) can be named.
Status ReadListenerTable(GetExtendedTcpTableFunction getTable, ULONG family, std::vector<unsigned char>& table) {
    DWORD size = 0;
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    // The table may grow between asking for its size and reading it.
    for (int attempt = 0; attempt < 4 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        table.resize(size ? size : 1);
        size = static_cast<DWORD>(table.size());
        result = getTable(table.data(), &size, FALSE, family, TCP_TABLE_OWNER_MODULE_LISTENER, 0);
    }
    return StatusFromHresult(HRESULT_FROM_WIN32(result));
}

// The name Windows gives the module that owns a row: the service's name for a service's listener, a program's
// file name, "System" for the kernel's. Empty when Windows does not tell (process 0, a process gone since the
// table was read, no name for it).
template <typename Function, typename Row>
std::wstring OwnerName(Function getOwner, Row row) {
    // Windows names no owner for process 0 (ERROR_NOT_FOUND): not worth the call.
    if (!getOwner || row.dwOwningPid == 0) return {};
    // The structure is followed by the strings it points to.
    std::vector<unsigned char> buffer(sizeof(TCPIP_OWNER_MODULE_BASIC_INFO) + 2 * MAX_PATH * sizeof(wchar_t));
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD result = getOwner(&row, TCPIP_OWNER_MODULE_INFO_BASIC, buffer.data(), &size);
    if (result == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(size);
        result = getOwner(&row, TCPIP_OWNER_MODULE_INFO_BASIC, buffer.data(), &size);
    }
    if (result != NO_ERROR) return {};
    const auto* info = reinterpret_cast<const TCPIP_OWNER_MODULE_BASIC_INFO*>(buffer.data());
    return info->pModuleName ? std::wstring(info->pModuleName) : std::wstring();
}

template <typename Table, typename Function>
void AddListeners(const std::vector<unsigned char>& bytes, Function getOwner, std::vector<TcpListener>& listeners) {
    const auto* table = reinterpret_cast<const Table*>(bytes.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        // The port is in network byte order, in the low 16 bits.
        const auto port = ntohs(static_cast<u_short>(table->table[i].dwLocalPort & 0xFFFF));
        listeners.push_back({port, table->table[i].dwOwningPid, OwnerName(getOwner, table->table[i])});
    }
}

}  // namespace

// It never listens: the first listen of a program that no firewall rule covers brings up the firewall's
// "allow access" prompt, and either answer leaves rules for the program behind.
Status Win32Platform::TryExclusiveBind(uint16_t port, PortBind& result) {
    result = PortBind::Free;
    WSADATA winsock = {};
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) return Win32Failure(static_cast<DWORD>(WSAGetLastError()));
    const AtScopeEnd cleanUp([] { WSACleanup(); });

    int error = 0;
    Status status = TryBind(AF_INET, port, error);
    if (!status) return status;
    if (error == 0) {
        status = TryBind(AF_INET6, port, error);
        // A machine without IPv6 has only the IPv4 address to worry about.
        if (!status && status.code == static_cast<uint32_t>(HRESULT_FROM_WIN32(WSAEAFNOSUPPORT))) return Status::Ok();
        if (!status) return status;
    }
    // A port in an excluded range refuses the bind with "access denied" rather than "in use".
    if (error == WSAEACCES) result = PortBind::Reserved;
    if (error == WSAEADDRINUSE) result = PortBind::InUse;
    return Status::Ok();
}

// Both tables, IPv4 and IPv6, each listener with its process and the module Windows names as its owner.
Status Win32Platform::ListTcpListeners(std::vector<TcpListener>& listeners) {
    listeners.clear();
    // iphlpapi.dll is not one of the DLLs Windows always takes from the system folder.
    const auto getTable = SystemFunction<GetExtendedTcpTableFunction>(L"iphlpapi.dll", "GetExtendedTcpTable");
    if (!getTable) return Win32Failure(ERROR_PROC_NOT_FOUND);
    // Without these, no owner is named: every listener counts as another program's.
    const auto getOwner =
        SystemFunction<GetOwnerModuleFromTcpEntryFunction>(L"iphlpapi.dll", "GetOwnerModuleFromTcpEntry");
    const auto getOwner6 =
        SystemFunction<GetOwnerModuleFromTcp6EntryFunction>(L"iphlpapi.dll", "GetOwnerModuleFromTcp6Entry");
    std::vector<unsigned char> table;
    Status status = ReadListenerTable(getTable, AF_INET, table);
    if (!status) return status;
    AddListeners<MIB_TCPTABLE_OWNER_MODULE>(table, getOwner, listeners);
    status = ReadListenerTable(getTable, AF_INET6, table);
    // A machine without IPv6 has no IPv6 table; its IPv4 listeners are all there is.
    if (!status && status.code == static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED))) return Status::Ok();
    if (!status) return status;
    AddListeners<MIB_TCP6TABLE_OWNER_MODULE>(table, getOwner6, listeners);
    return Status::Ok();
}

}  // namespace korvane
