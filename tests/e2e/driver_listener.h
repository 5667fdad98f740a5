// A TCP listener of the driver's own on 0.0.0.0, for scenarios in which another program holds a port.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "bench.h"

namespace e2e {

class DriverListener {
public:
    explicit DriverListener(uint16_t port) {
        WSADATA winsock;
        if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) FAIL_SCENARIO("the driver cannot start Winsock");
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        if (bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            listen(socket_, 1) != 0) {
            Close();
            FAIL_SCENARIO("the driver cannot listen on " + std::to_string(port));
        }
    }
    ~DriverListener() { Close(); }
    DriverListener(const DriverListener&) = delete;
    DriverListener& operator=(const DriverListener&) = delete;

private:
    void Close() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        socket_ = INVALID_SOCKET;
        WSACleanup();
    }

    SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace e2e
