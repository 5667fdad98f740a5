#include "platform/win32/listen_port_win32.h"

// winsock2.h before windows.h, or windows.h brings in the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <tlhelp32.h>

#include <vector>

#include "platform/win32/dispatch.h"

namespace korvane {

namespace {

class Winsock {
public:
    Winsock() { started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~Winsock() {
        if (started_) WSACleanup();
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    bool Started() const { return started_; }

private:
    WSADATA data_ = {};
    bool started_ = false;
};

class Socket {
public:
    explicit Socket(SOCKET socket) : socket_(socket) {}
    ~Socket() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

Status SocketFailure(int error) {
    return FailureFromHresult(HRESULT_FROM_WIN32(static_cast<DWORD>(error)));
}

// Listens on the wildcard address of `family`. Sets `bindError` to the error of a refused bind (the port
// is taken or reserved); a failure of anything else means the check could not be made.
Status TryListen(int family, uint16_t port, int& bindError) {
    bindError = 0;
    Socket socket(::socket(family, SOCK_STREAM, IPPROTO_TCP));
    if (socket.Get() == INVALID_SOCKET) return SocketFailure(WSAGetLastError());
    // Exclusive use, as Remote Desktop listens: a listener that merely shares the address is found too.
    BOOL on = TRUE;
    if (setsockopt(socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return SocketFailure(WSAGetLastError());

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
            return SocketFailure(WSAGetLastError());
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        v6->sin6_addr = in6addr_any;
        length = sizeof *v6;
    }
    if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        listen(socket.Get(), SOMAXCONN) != 0) {
        const int error = WSAGetLastError();
        if (error != WSAEADDRINUSE && error != WSAEACCES) return SocketFailure(error);
        bindError = error;
    }
    return Status::Ok();
}

// The process that listens on `port`, from the system's TCP listener table; 0 when it is not listed or
// Windows does not tell (Wine answers 0 for every owner).
DWORD ListenerProcess(int family, uint16_t port) {
    ULONG size = 0;
    std::vector<unsigned char> table;
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < 3 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        table.resize(size);
        result = GetExtendedTcpTable(table.empty() ? nullptr : table.data(), &size, FALSE, family,
                                     TCP_TABLE_OWNER_PID_LISTENER, 0);
    }
    if (result != NO_ERROR) return 0;
    if (family == AF_INET) {
        const auto* rows = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data());
        for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
            if (ntohs(static_cast<u_short>(rows->table[i].dwLocalPort)) == port) return rows->table[i].dwOwningPid;
        }
    } else {
        const auto* rows = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(table.data());
        for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
            if (ntohs(static_cast<u_short>(rows->table[i].dwLocalPort)) == port) return rows->table[i].dwOwningPid;
        }
    }
    return 0;
}

// The image name of a process ("svchost.exe"), from a snapshot of the process list, which needs no
// access to the process itself; empty when it cannot be found.
std::wstring ImageName(DWORD processId) {
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

}  // namespace

Status CheckWindowsListenPort(uint16_t port, PortAvailability& availability) {
    availability = PortAvailability();
    Winsock winsock;
    if (!winsock.Started()) return SocketFailure(WSAGetLastError());

    int error = 0;
    Status status = TryListen(AF_INET, port, error);
    if (!status) return status;
    if (error == 0) {
        status = TryListen(AF_INET6, port, error);
        // A machine without IPv6 has only the IPv4 listener to worry about.
        if (!status && status.code == static_cast<uint32_t>(HRESULT_FROM_WIN32(WSAEAFNOSUPPORT))) return Status::Ok();
        if (!status) return status;
    }
    if (error == 0) return Status::Ok();
    // A port in an excluded range refuses the bind with "access denied" rather than "in use".
    if (error == WSAEACCES) {
        availability.state = PortAvailability::State::Reserved;
        return Status::Ok();
    }
    availability.state = PortAvailability::State::InUse;
    availability.ownerProcessId = ListenerProcess(AF_INET, port);
    if (availability.ownerProcessId == 0) availability.ownerProcessId = ListenerProcess(AF_INET6, port);
    if (availability.ownerProcessId != 0) availability.ownerImage = ImageName(availability.ownerProcessId);
    return Status::Ok();
}

}  // namespace korvane
