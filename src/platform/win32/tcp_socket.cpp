#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

#include "platform/tcp_socket.h"
#include "platform/socket_wait.h"

namespace platform {
namespace {

// Waits until the socket is readable (or writable). A failed connect shows up in the
// except set.
NetStatus WaitFor(SOCKET s, bool write, int timeoutMs, const std::atomic<bool>& stop) {
    return WaitInSlices(timeoutMs, stop, [&](int slice) -> std::optional<NetStatus> {
        fd_set set, except;
        FD_ZERO(&set);
        FD_ZERO(&except);
        FD_SET(s, &set);
        FD_SET(s, &except);
        timeval tv{slice / 1000, (slice % 1000) * 1000};
        int r = select(0, write ? nullptr : &set, write ? &set : nullptr, &except, &tv);
        if (r == SOCKET_ERROR)
            return NetStatus::kFailed;
        if (r > 0)
            return FD_ISSET(s, &except) ? NetStatus::kFailed : NetStatus::kOk;
        return std::nullopt;
    });
}

bool WouldBlock() {
    int e = WSAGetLastError();
    return e == WSAEWOULDBLOCK || e == WSAEINPROGRESS;
}

}  // namespace

bool NetStartup() {
    static const bool done = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return done;
}

TcpSocket::~TcpSocket() {
    Close();
}

void TcpSocket::Close() {
    if (handle_ != kInvalid)
        closesocket(static_cast<SOCKET>(handle_));
    handle_ = kInvalid;
}

NetStatus TcpSocket::Connect(const std::string& host, int port, int timeoutMs, const std::atomic<bool>& stop) {
    if (!NetStartup())
        return NetStatus::kFailed;
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0 || !list)
        return NetStatus::kResolveFailed;
    NetStatus status = NetStatus::kConnectFailed;
    for (addrinfo* a = list; a; a = a->ai_next) {
        SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET)
            continue;
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        int r = connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen));
        if (r != 0 && WouldBlock()) {
            status = WaitFor(s, true, timeoutMs, stop);
            int err = 0;
            int len = sizeof err;
            if (status == NetStatus::kOk &&
                (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0 || err != 0))
                status = NetStatus::kConnectFailed;
            r = status == NetStatus::kOk ? 0 : -1;
        } else if (r != 0) {
            status = NetStatus::kConnectFailed;
        }
        if (r == 0) {
            BOOL one = TRUE;
            setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
            handle_ = static_cast<intptr_t>(s);
            status = NetStatus::kOk;
            break;
        }
        closesocket(s);
        if (status == NetStatus::kStopped || status == NetStatus::kTimedOut)
            break;
    }
    freeaddrinfo(list);
    return status;
}

NetStatus TcpSocket::SendAll(const char* data, size_t size, int timeoutMs, const std::atomic<bool>& stop) {
    SOCKET s = static_cast<SOCKET>(handle_);
    while (size > 0) {
        int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
        int n = send(s, data, chunk, 0);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n == SOCKET_ERROR && WouldBlock()) {
            NetStatus st = WaitFor(s, true, timeoutMs, stop);
            if (st != NetStatus::kOk)
                return st;
            continue;
        }
        return NetStatus::kFailed;
    }
    return NetStatus::kOk;
}

NetStatus TcpSocket::Receive(char* buffer,
                             size_t capacity,
                             size_t* received,
                             int timeoutMs,
                             const std::atomic<bool>& stop) {
    SOCKET s = static_cast<SOCKET>(handle_);
    *received = 0;
    int cap = capacity > (1u << 30) ? (1 << 30) : static_cast<int>(capacity);
    for (;;) {
        if (stop.load(std::memory_order_relaxed))
            return NetStatus::kStopped;
        int n = recv(s, buffer, cap, 0);
        if (n > 0) {
            *received = static_cast<size_t>(n);
            return NetStatus::kOk;
        }
        if (n == 0)
            return NetStatus::kClosed;
        if (!WouldBlock())
            return NetStatus::kFailed;
        NetStatus st = WaitFor(s, false, timeoutMs, stop);
        if (st != NetStatus::kOk)
            return st;
    }
}

}  // namespace platform
