// A TCP client socket for the download engine: BSD sockets natively, Winsock on Windows.
// Every wait is sliced so that a stop flag set by another thread ends it within about
// 20 ms; no other thread ever touches the socket itself, so closing it cannot race.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class NetStatus {
    kOk,
    kResolveFailed,
    kConnectFailed,
    kTimedOut,
    kClosed,  // orderly end of the peer's data
    kFailed,  // reset or any other error
    kStopped,
};

// Once per process before the first socket (Winsock needs it); safe to call again.
bool NetStartup();

class TcpSocket {
  public:
    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Resolves the host and connects within timeoutMs (0 or less: no limit of our own).
    NetStatus Connect(const std::string& host, int port, int timeoutMs, const std::atomic<bool>& stop);
    // Sends all bytes; timeoutMs bounds each wait for the socket to take more.
    NetStatus SendAll(const char* data, size_t size, int timeoutMs, const std::atomic<bool>& stop);
    // Receives at most `capacity` bytes into `buffer`; kOk with *received > 0, or kClosed.
    NetStatus Receive(char* buffer, size_t capacity, size_t* received, int timeoutMs, const std::atomic<bool>& stop);
    void Close();
    bool IsOpen() const { return handle_ != kInvalid; }

  private:
    static constexpr intptr_t kInvalid = -1;
    intptr_t handle_ = kInvalid;
};

}  // namespace platform
