#include "engine/task.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "engine/connection.h"
#include "engine/events.h"
#include "engine/naming.h"

namespace engine {
namespace {

std::atomic<int32_t> nextTaskHandle{1};

// A split point lies at least this far beyond the owner's next byte, so a write that the
// owner has in flight never crosses it.
static_assert(kMinSplitPiece > static_cast<int32_t>(kReceiveBuffer));

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int32_t ClampToInt32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

}  // namespace

Task::Task(TaskConfig config) : config_(std::move(config)), handle_(nextTaskHandle.fetch_add(1)), url_(config_.url) {}

Task::~Task() {
    // Only the last holder gets here: the task thread either joined or detached by then.
    if (thread_.joinable())
        thread_.detach();
}

bool Task::Start() {
    try {
        thread_ = std::thread([self = shared_from_this()] { self->Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Task::Stop() {
    stop_.store(true);
    std::lock_guard lock(mutex_);
    for (auto& [conn, halt] : halts_)
        halt->store(true);
}

bool Task::WaitFinished(int ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (finished_)
                break;
        }
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (thread_.joinable())
        thread_.join();
    return true;
}

void Task::Detach() {
    {
        std::lock_guard lock(mutex_);
        detached_ = true;
    }
    if (thread_.joinable())
        thread_.detach();
}

int32_t Task::TakeSpeed() {
    return Ended() ? 0 : ClampToInt32(speed_.exchange(0));
}

int32_t Task::DoneLength() const {
    return Ended() ? 0 : ClampToInt32(done_.load());
}

Url Task::CurrentUrl() {
    std::lock_guard lock(mutex_);
    return url_;
}

void Task::SetUrl(const Url& url) {
    std::lock_guard lock(mutex_);
    url_ = url;
}

int32_t Task::FileLength() {
    std::lock_guard lock(blockMutex_);
    return length_;
}

int Task::RunningConnections() {
    std::lock_guard lock(mutex_);
    return liveWorkers_;
}

int32_t Task::Call(int code, int conn, int32_t v1, int32_t v2) {
    {
        std::lock_guard lock(mutex_);
        if (detached_ || !config_.callback)
            return 0;
    }
    return config_.callback(code, conn, v1, v2, handle_);
}

void Task::Queue(int code, int conn, int32_t v1, int32_t v2) {
    bool wake;
    {
        std::lock_guard lock(mutex_);
        wake = queue_.empty();
        queue_.push_back(Event{code, conn, v1, v2});
    }
    // The task thread drains the whole queue when it wakes, so one nudge per batch will do.
    if (wake)
        cv_.notify_one();
}

bool Task::StartWorker(int conn, std::optional<size_t> block) {
    std::lock_guard lock(mutex_);
    if (stop_)
        return false;
    auto halt = std::make_shared<std::atomic<bool>>(false);
    ++liveWorkers_;
    try {
        workers_.emplace_back([self = shared_from_this(), conn, block, halt] {
            Connection(self, conn, block, halt).Run();
            self->WorkerEnded(conn);
        });
    } catch (const std::system_error&) {
        --liveWorkers_;
        return false;
    }
    halts_[conn] = std::move(halt);
    return true;
}

void Task::WorkerEnded(int conn) {
    {
        std::lock_guard lock(mutex_);
        halts_.erase(conn);
        --liveWorkers_;
    }
    cv_.notify_one();
}

void Task::Run() {
    if (!StartWorker(nextConn_++, std::nullopt)) {
        // Not even one connection: the task ends at once.
    }
    std::vector<Event> batch;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            cv_.wait_for(lock, std::chrono::milliseconds(100), [&] { return !queue_.empty() || liveWorkers_ == 0; });
            if (queue_.empty() && liveWorkers_ == 0)
                break;
            batch.assign(queue_.begin(), queue_.end());
            queue_.clear();
        }
        for (const Event& e : batch)
            Call(e.code, e.conn, e.v1, e.v2);
        batch.clear();
        // While data flows, let a millisecond's events gather: one wake-up per batch
        // instead of one per read keeps the cost of events small at loopback speeds.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& t : workers)
        t.join();  // each has left its routine already
    int32_t value;
    {
        std::lock_guard lock(blockMutex_);
        file_.reset();
        value = stop_ ? ClampToInt32(done_.load()) : std::max(length_, 0);
    }
    Call(kEventTaskEnded, 0, value, 0);
    ended_.store(true, std::memory_order_release);
    std::lock_guard lock(mutex_);
    finished_ = true;
}

Failure Task::OnLength(int conn, int32_t length) {
    size_t splitCount;
    {
        std::lock_guard lock(blockMutex_);
        length_ = length;
        blocks_.Split(length, config_.connections);
        splitCount = blocks_.size();
        int64_t now = NowMs();
        for (size_t i = 0; i < blocks_.size(); ++i)
            blocks_[i].active = now;
        blocks_[0].owner = conn;
        Queue(kEventFirstBlock, conn, blocks_[0].start, blocks_[0].end);
    }
    std::string path = config_.targetPath;
    if (path.size() > kMaxTargetPath)
        return Failure::kPathTooLong;
    int64_t existing = 0;
    if (platform::ReadableFileLength(path, &existing)) {
        int32_t answer = Call(kEventFileExists, conn, ClampToInt32(existing), length);
        if (answer == 0) {
            auto taken = [](const std::string& name) {
                int64_t ignored;
                return platform::ReadableFileLength(name, &ignored);
            };
            if (!FindFreeName(path, taken, &path))
                return Failure::kAbandoned;
        } else if (answer != 2) {
            return Failure::kAbandoned;
        }
    }
    if (stop_)
        return Failure::kStopped;
    // A file of length 0 is not created; a file that appeared meanwhile is never overwritten.
    std::unique_ptr<platform::OutputFile> file;
    if (length == 0 || platform::CreateOutputFile(path, length, &file) != platform::CreateStatus::kOk)
        return Failure::kFile;
    {
        std::lock_guard lock(blockMutex_);
        file_ = std::move(file);
    }
    Queue(kEventLength, conn, length, 0);
    // One further connection per block of the split (blocks added later by sharing out
    // work come with their connection).
    for (size_t i = 1; i < splitCount; ++i) {
        int id;
        {
            std::lock_guard lock(mutex_);
            id = nextConn_++;
        }
        {
            std::lock_guard lock(blockMutex_);
            if (blocks_[i].owner != 0 || blocks_[i].started)
                continue;
            blocks_[i].owner = id;
        }
        if (!StartWorker(id, i)) {
            std::lock_guard lock(blockMutex_);
            if (blocks_[i].owner == id)
                blocks_[i].owner = 0;
        }
    }
    return Failure::kNone;
}

Task::WriteResult Task::Write(int conn, size_t* block, const char* data, size_t size) {
    while (size > 0) {
        int32_t at;
        size_t take;
        platform::OutputFile* file;
        {
            std::lock_guard lock(blockMutex_);
            Block& b = blocks_[*block];
            if (b.owner != conn)
                return WriteResult::kLost;
            take = std::min<size_t>(size, static_cast<size_t>(b.end - b.next));
            b.started = true;
            b.writing = true;
            at = b.next;
            file = file_.get();
        }
        if (take > 0) {
            if (!file || !file->WriteAt(at, data, take)) {
                std::lock_guard lock(blockMutex_);
                blocks_[*block].writing = false;
                return WriteResult::kFileError;
            }
            done_.fetch_add(static_cast<int64_t>(take), std::memory_order_relaxed);
            speed_.fetch_add(static_cast<int64_t>(take), std::memory_order_relaxed);
            Queue(kEventData, conn, static_cast<int32_t>(take), 0);
            data += take;
            size -= take;
        }
        std::lock_guard lock(blockMutex_);
        Block& b = blocks_[*block];
        b.next += static_cast<int32_t>(take);
        b.writing = false;
        b.active = NowMs();
        if (!b.Complete())
            continue;
        b.owner = 0;
        // The answer runs on in file order: carry on into the next block if nobody has begun it.
        std::optional<size_t> next = blocks_.TakeAdjacent(*block, conn);
        if (!next)
            return WriteResult::kBlockDone;
        *block = *next;
        blocks_[*next].active = NowMs();
        Queue(kEventNextBlock, conn, blocks_[*next].next, blocks_[*next].end);
    }
    return WriteResult::kMore;
}

bool Task::Claim(int conn, size_t block) {
    std::lock_guard lock(blockMutex_);
    if (block >= blocks_.size() || blocks_[block].owner != conn)
        return false;
    blocks_[block].started = true;
    return true;
}

bool Task::Owns(int conn, size_t block, int32_t* next, int32_t* end) {
    std::lock_guard lock(blockMutex_);
    if (block >= blocks_.size() || blocks_[block].owner != conn || blocks_[block].Complete())
        return false;
    *next = blocks_[block].next;
    *end = blocks_[block].end;
    return true;
}

std::optional<size_t> Task::TakeUnserved(int conn, int32_t* next, int32_t* end) {
    std::lock_guard lock(blockMutex_);
    int64_t now = NowMs();
    int victim = 0;
    auto i = blocks_.TakeUnserved(conn);
    if (!i)
        i = blocks_.SplitLargest(conn, now, &victim);
    if (i) {
        blocks_[*i].active = now;
        *next = blocks_[*i].next;
        *end = blocks_[*i].end;
    }
    if (victim != 0) {
        // Its answer has nothing left to give: wake it from its wait so it can help elsewhere.
        std::lock_guard lock(mutex_);
        if (auto it = halts_.find(victim); it != halts_.end())
            it->second->store(true);
    }
    return i;
}

bool Task::OthersAtWork(int conn) {
    std::lock_guard lock(blockMutex_);
    return blocks_.OthersAtWork(conn);
}

void Task::Release(int conn, size_t block) {
    std::lock_guard lock(blockMutex_);
    if (block < blocks_.size() && blocks_[block].owner == conn)
        blocks_[block].owner = 0;
}

int32_t Task::Reached(size_t block) {
    std::lock_guard lock(blockMutex_);
    return block < blocks_.size() ? blocks_[block].next : 0;
}

}  // namespace engine
