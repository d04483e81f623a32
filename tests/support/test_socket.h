// The few socket calls the test server needs, one .cpp per system.
#pragma once

#include <cstddef>
#include <cstdint>

namespace testsupport::sock {

using Handle = intptr_t;
constexpr Handle kInvalid = -1;

void Startup();                        // Winsock needs it; a no-op elsewhere
Handle ListenLoopback(int* portOut);   // 127.0.0.1 on *portOut, or a port chosen by the system for 0
Handle Accept(Handle listener);        // kInvalid once the listener is closed
long Recv(Handle s, char* buf, size_t len);        // <= 0 on end or error
long Send(Handle s, const char* buf, size_t len);  // < 0 on error
void ShutdownBoth(Handle s);           // wakes a blocked Accept or Recv
void Close(Handle s);
void CloseWithReset(Handle s);         // SO_LINGER 0: the peer sees a reset

}  // namespace testsupport::sock
