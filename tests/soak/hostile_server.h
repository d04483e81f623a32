// A file server that misbehaves on purpose, for the engine's soak: per connection it
// picks, from its own seeded generator, either an honest answer or one of the faults
// below. Every path under the soak's prefix serves the same content.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "support/http_test_server.h"

namespace soak {

enum class Fault {
    kNone,
    kReset,         // the connection is reset at a random byte of the answer
    kStall,         // a random part of the answer, then silence beyond the receive time-out
    kIgnoreRange,   // a block request answered 200 with the whole file
    kShiftedRange,  // a 206 whose Content-Range (and body) starts elsewhere than asked
    kWrongLength,   // a Content-Length that does not match the body
    kNoLength,      // no Content-Length at all
    kLongHeader,    // a head longer than any client should accept
    kRedirect,      // 302 to another path of the same content, absolute or relative
    kChunked,       // the body in chunked transfer coding
    kCount,
};
const char* FaultName(Fault f);

struct HostileOptions {
    std::shared_ptr<const std::string> content;
    uint64_t seed = 1;
    int faultPercent = 30;   // the share of connections that misbehave
    int stallMs = 1000;      // how long a stall lasts; longer than the client's receive time-out
    int bytesPerSecond = 0;  // bodies are sent at about this rate (0: at once), so that blocks overlap
    std::string pathPrefix = "/soak/";
};

// Counts of what the server did, for the soak's figures.
struct HostileStats {
    std::atomic<int> connections{0};
    std::atomic<int> faults[static_cast<int>(Fault::kCount)] = {};
};

testsupport::Handler HostileFileServer(HostileOptions options, std::shared_ptr<HostileStats> stats);

}  // namespace soak
