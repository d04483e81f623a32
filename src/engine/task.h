// One download task: its settings copied from the record, its thread (which starts the
// first connection, delivers the queued events in order and raises event 4 last), the
// blocks of its file and the counters behind GetSpeed and GetDoneLength.
//
// Everything the engine's threads share lives here and is held by shared_ptr, so that a
// task whose object was destroyed can finish on its own without touching the object;
// once `detached` is set no routine of the tool is called again.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/blocks.h"
#include "engine/failure.h"
#include "engine/task_param.h"
#include "engine/url.h"
#include "platform/output_file.h"

namespace engine {

// The engine's receive buffer per connection.
constexpr size_t kReceiveBuffer = 20480;

struct TaskConfig {
    Url url;
    std::string targetPath;
    std::optional<std::string> referer;
    std::optional<Url> proxy;  // host and port of an HTTP proxy
    int connections = 1;
    int speedLimit = 0;
    int connectTimeout = 0;
    int sendTimeout = 0;
    int receiveTimeout = 0;
    int stopWait = 0;
    size_t receiveBlock = kReceiveBuffer;
    EventRoutine callback = nullptr;
    int retryPauseMs = 5000;
    int maxRetries = 999;
};

class Task : public std::enable_shared_from_this<Task> {
  public:
    explicit Task(TaskConfig config);
    ~Task();

    // --- The object's side (the tool's thread) ---
    bool Start();  // starts the task thread; false when it cannot
    void Stop();   // every connection stops within about 20 ms
    // Waits in 20 ms steps, at most `ms`, for the task thread to end; true when it did.
    bool WaitFinished(int ms);
    // Gives the task up: no routine of the tool is called from now on; the threads end
    // on their own.
    void Detach();
    bool Ended() const { return ended_.load(std::memory_order_acquire); }
    int32_t TakeSpeed();
    int32_t DoneLength() const;

    // --- The connections' side ---
    const TaskConfig& config() const { return config_; }
    const std::atomic<bool>& stopFlag() const { return stop_; }
    Url CurrentUrl();
    void SetUrl(const Url& url);  // a redirect: the new address for every later request
    int32_t FileLength();         // -1 until known
    int RunningConnections();

    // A direct call of the event routine on the calling thread; 0 once detached.
    int32_t Call(int code, int conn, int32_t v1, int32_t v2);
    // An event for the task thread to deliver in order.
    void Queue(int code, int conn, int32_t v1, int32_t v2);

    // The first connection learnt the length: event 6, the exchange of event 18, the file,
    // event 3, the blocks and the further connections. On success it serves block 0.
    Failure OnLength(int conn, int32_t length);

    enum class WriteResult { kMore, kBlockDone, kLost, kFileError };
    // Writes answer bytes at the connection's position in `*block` (which is its `next`),
    // running on into the following block when nobody has started it (event 7).
    WriteResult Write(int conn, size_t* block, const char* data, size_t size);
    // Bytes for the block are in hand: from now on no other connection takes it over.
    // False when the connection no longer serves it.
    bool Claim(int conn, size_t block);
    // Whether the connection still serves the block, and where it goes on from.
    bool Owns(int conn, size_t block, int32_t* next, int32_t* end);
    // A block for a connection that has finished its own: one that nobody serves, else
    // half of what is left of the largest one served.
    std::optional<size_t> TakeUnserved(int conn, int32_t* next, int32_t* end);
    // Whether a block is still being fetched by another connection, which an idle one may
    // yet relieve.
    bool OthersAtWork(int conn);
    void Release(int conn, size_t block);
    int32_t Reached(size_t block);

  private:
    struct Event {
        int code, conn;
        int32_t v1, v2;
    };
    void Run();
    bool StartWorker(int conn, std::optional<size_t> block);
    void WorkerEnded(int conn);

    const TaskConfig config_;
    const int32_t handle_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    std::atomic<int64_t> done_{0};
    std::atomic<int64_t> speed_{0};

    // mutex_: the event queue, the workers, the address, `detached_`, `finished_`.
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Event> queue_;
    int liveWorkers_ = 0;
    int nextConn_ = 1;
    std::vector<std::thread> workers_;
    // Each connection's own stop flag: set for all by Stop, for one whose block was taken over.
    std::map<int, std::shared_ptr<std::atomic<bool>>> halts_;
    Url url_;
    bool detached_ = false;
    bool finished_ = false;
    std::thread thread_;

    // blockMutex_ (taken before mutex_ where both are held): the blocks, the file, the length.
    std::mutex blockMutex_;
    BlockTable blocks_;
    std::unique_ptr<platform::OutputFile> file_;
    int32_t length_ = -1;
};

}  // namespace engine
