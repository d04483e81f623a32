#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/test_socket.h"

namespace testsupport::sock {

void Startup() {
    static bool done = [] {
        WSADATA d;
        return WSAStartup(MAKEWORD(2, 2), &d) == 0;
    }();
    (void)done;
}

Handle ListenLoopback(int* portOut) {
    Startup();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return kInvalid;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<u_short>(*portOut));
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 64) != 0) {
        closesocket(s);
        return kInvalid;
    }
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    *portOut = ntohs(a.sin_port);
    return static_cast<Handle>(s);
}

// Wine does not always wake a thread blocked in accept, send or recv when another thread
// closes or shuts down the socket: the server waits in short slices instead, and its
// connections give up on a peer that has stopped reading, so that Stop always returns.
Handle Accept(Handle listener) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(listener), &readable);
    timeval slice{0, 50000};
    if (select(0, &readable, nullptr, nullptr, &slice) != 1) return kInvalid;
    SOCKET c = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    if (c == INVALID_SOCKET) return kInvalid;
    DWORD timeoutMs = 15000;
    setsockopt(c, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    return static_cast<Handle>(c);
}

long Recv(Handle s, char* buf, size_t len) { return recv(static_cast<SOCKET>(s), buf, static_cast<int>(len), 0); }
long Send(Handle s, const char* buf, size_t len) {
    return send(static_cast<SOCKET>(s), buf, static_cast<int>(len), 0);
}
void ShutdownBoth(Handle s) { shutdown(static_cast<SOCKET>(s), SD_BOTH); }
void Close(Handle s) { closesocket(static_cast<SOCKET>(s)); }

void CloseWithReset(Handle s) {
    linger l{1, 0};
    setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    closesocket(static_cast<SOCKET>(s));
}

}  // namespace testsupport::sock
