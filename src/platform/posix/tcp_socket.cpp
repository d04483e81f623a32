#include "platform/tcp_socket.h"
#include "platform/socket_wait.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

namespace platform {
namespace {

// Waits for `events` on the socket.
NetStatus WaitFor(int fd, short events, int timeoutMs, const std::atomic<bool>& stop) {
    return WaitInSlices(timeoutMs, stop, [&](int slice) -> std::optional<NetStatus> {
        pollfd p{fd, events, 0};
        int r = poll(&p, 1, slice);
        if (r > 0)
            return NetStatus::kOk;
        if (r < 0 && errno != EINTR)
            return NetStatus::kFailed;
        return std::nullopt;
    });
}

}  // namespace

bool NetStartup() {
    // A peer that closes while we send must not kill the process.
    static const bool done = [] {
        signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    return done;
}

TcpSocket::~TcpSocket() {
    Close();
}

void TcpSocket::Close() {
    if (handle_ != kInvalid)
        close(static_cast<int>(handle_));
    handle_ = kInvalid;
}

NetStatus TcpSocket::Connect(const std::string& host, int port, int timeoutMs, const std::atomic<bool>& stop) {
    NetStartup();
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0 || !list)
        return NetStatus::kResolveFailed;
    NetStatus status = NetStatus::kConnectFailed;
    for (addrinfo* a = list; a; a = a->ai_next) {
        int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0)
            continue;
        int r = connect(fd, a->ai_addr, a->ai_addrlen);
        if (r != 0 && errno == EINPROGRESS) {
            status = WaitFor(fd, POLLOUT, timeoutMs, stop);
            int err = 0;
            socklen_t len = sizeof err;
            if (status == NetStatus::kOk && (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0))
                status = NetStatus::kConnectFailed;
            r = status == NetStatus::kOk ? 0 : -1;
        } else if (r != 0) {
            status = NetStatus::kConnectFailed;
        }
        if (r == 0) {
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            handle_ = fd;
            status = NetStatus::kOk;
            break;
        }
        close(fd);
        if (status == NetStatus::kStopped || status == NetStatus::kTimedOut)
            break;
    }
    freeaddrinfo(list);
    return status;
}

NetStatus TcpSocket::SendAll(const char* data, size_t size, int timeoutMs, const std::atomic<bool>& stop) {
    int fd = static_cast<int>(handle_);
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            NetStatus s = WaitFor(fd, POLLOUT, timeoutMs, stop);
            if (s != NetStatus::kOk)
                return s;
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
    int fd = static_cast<int>(handle_);
    *received = 0;
    for (;;) {
        if (stop.load(std::memory_order_relaxed))
            return NetStatus::kStopped;
        ssize_t n = recv(fd, buffer, capacity, 0);
        if (n > 0) {
            *received = static_cast<size_t>(n);
            return NetStatus::kOk;
        }
        if (n == 0)
            return NetStatus::kClosed;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return NetStatus::kFailed;
        NetStatus s = WaitFor(fd, POLLIN, timeoutMs, stop);
        if (s != NetStatus::kOk)
            return s;
    }
}

}  // namespace platform
