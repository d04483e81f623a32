#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/test_socket.h"

namespace testsupport::sock {

void Startup() { signal(SIGPIPE, SIG_IGN); }

Handle ListenLoopback(int* portOut) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return kInvalid;
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(*portOut));
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 64) != 0) {
        close(s);
        return kInvalid;
    }
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    *portOut = ntohs(a.sin_port);
    return s;
}

Handle Accept(Handle listener) {
    int c = accept(static_cast<int>(listener), nullptr, nullptr);
    return c < 0 ? kInvalid : c;
}

long Recv(Handle s, char* buf, size_t len) { return recv(static_cast<int>(s), buf, len, 0); }
long Send(Handle s, const char* buf, size_t len) { return send(static_cast<int>(s), buf, len, MSG_NOSIGNAL); }
void ShutdownBoth(Handle s) { shutdown(static_cast<int>(s), SHUT_RDWR); }
void Close(Handle s) { close(static_cast<int>(s)); }

void CloseWithReset(Handle s) {
    linger l{1, 0};
    setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close(static_cast<int>(s));
}

}  // namespace testsupport::sock
