// engine_cli ADDRESS TARGET [CONNECTIONS]: one download with the engine, set up as the
// tool sets it (five connections, 10240-byte reads). Exit code 0 when the whole file
// arrived, 1 otherwise.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "engine/download.h"
#include "engine/events.h"

namespace {

std::atomic<bool> ended{false};
std::atomic<int64_t> length{-1};
std::atomic<int64_t> received{0};
std::atomic<int> failures{0};
bool trace = false;  // QZLN_TRACE=1: every event but data on stderr, with the time
const auto start = std::chrono::steady_clock::now();

int32_t OnEvent(int32_t code, int32_t conn, int32_t v1, int32_t v2, int32_t) {
    if (trace && code != engine::kEventData)
        std::fprintf(stderr, "%8.3f event %d conn %d %d %d\n",
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), code, conn, v1,
                     v2);
    switch (code) {
        case engine::kEventLength:
            length = v1;
            break;
        case engine::kEventData:
            received += v1;
            break;
        case engine::kEventConnectionFailed:
            ++failures;
            break;
        case engine::kEventTaskEnded:
            ended = true;
            break;
        case engine::kEventFileExists:
            return 1;  // never over an existing file
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: engine_cli ADDRESS TARGET [CONNECTIONS]\n");
        return 2;
    }
    trace = std::getenv("QZLN_TRACE") != nullptr;
    engine::TaskParam p;
    p.mode = 4096;
    p.address = argv[1];
    p.targetPath = argv[2];
    p.connections = argc > 3 ? std::atoi(argv[3]) : 5;
    p.stopWait = 1000;
    p.connectTimeout = 5000;
    p.sendTimeout = 5001;
    p.receiveTimeout = 10000;
    p.receiveBlock = 10240;
    p.eventCallback = &OnEvent;
    engine::Download d;
    if (!engine::AddTask(d, p)) {
        std::fprintf(stderr, "engine_cli: task refused\n");
        return 1;
    }
    while (!ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    while (engine::IsBusy(d))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    bool complete = length >= 0 && received == length;
    if (!complete)
        std::fprintf(stderr, "engine_cli: %lld of %lld bytes, %d failed connections\n",
                     static_cast<long long>(received.load()), static_cast<long long>(length.load()), failures.load());
    return complete ? 0 : 1;
}
