// Why a connection attempt ended, and whether that is worth another try.
#pragma once

namespace engine {

enum class Failure {
    kNone,
    // The network: worth another try after the pause.
    kResolve,
    kConnect,
    kSend,
    kReceive,
    kTimedOut,
    kClosedEarly,  // the answer ended before the block did
    // The server or the task: no retry.
    kStopped,
    kBadStatusLine,
    kHttpStatus,  // a status other than 200, 206, 301 and 302
    kNoLength,
    kBadLength,  // malformed, negative, 2 GB or more, or not the length known before
    kHeadTooLong,
    kRangeIgnored,     // a block request answered with the whole file
    kBadContentRange,  // a 206 that does not start at the byte asked for
    kTransferCoded,    // a body in a transfer coding other than identity
    kBadLocation,
    kTooManyRedirects,
    kPathTooLong,
    kFile,       // the target file could not be created or written
    kAbandoned,  // event 18 answered with anything but 0 and 2, or no free name
};

// Network failures are retried; what the server said or the task decided is final.
constexpr bool ShouldRetry(Failure f) {
    switch (f) {
        case Failure::kResolve:
        case Failure::kConnect:
        case Failure::kSend:
        case Failure::kReceive:
        case Failure::kTimedOut:
        case Failure::kClosedEarly:
            return true;
        default:
            return false;
    }
}

}  // namespace engine
