// The sockets' waits, shared by every system: in slices of at most 20 ms, so that a
// connection told to stop sees it promptly, up to the time-out (none when 0 or less).
#pragma once

#include <atomic>
#include <chrono>
#include <optional>

#include "platform/tcp_socket.h"

namespace platform {

// waitOnce(sliceMs) waits on the system's call for at most sliceMs and returns a status,
// or nothing when the slice passed without news.
template <typename WaitOnce>
NetStatus WaitInSlices(int timeoutMs, const std::atomic<bool>& stop, WaitOnce waitOnce) {
    using Clock = std::chrono::steady_clock;
    constexpr int kSliceMs = 20;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (stop.load(std::memory_order_relaxed))
            return NetStatus::kStopped;
        int slice = kSliceMs;
        if (timeoutMs > 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return NetStatus::kTimedOut;
            if (left < slice)
                slice = static_cast<int>(left);
        }
        if (std::optional<NetStatus> status = waitOnce(slice))
            return *status;
    }
}

}  // namespace platform
