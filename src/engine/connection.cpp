#include "engine/connection.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/events.h"
#include "engine/request.h"
#include "engine/task.h"

namespace engine {
namespace {

constexpr int kMaxRedirects = 20;
constexpr int kLingerStepMs = 50;

Failure FromNet(platform::NetStatus s, Failure onFailure) {
    switch (s) {
        case platform::NetStatus::kOk:
            return Failure::kNone;
        case platform::NetStatus::kResolveFailed:
            return Failure::kResolve;
        case platform::NetStatus::kConnectFailed:
            return Failure::kConnect;
        case platform::NetStatus::kTimedOut:
            return Failure::kTimedOut;
        case platform::NetStatus::kClosed:
            return Failure::kClosedEarly;
        case platform::NetStatus::kStopped:
            return Failure::kStopped;
        case platform::NetStatus::kFailed:
            break;
    }
    return onFailure;
}

}  // namespace

Connection::Connection(std::shared_ptr<Task> task,
                       int id,
                       std::optional<size_t> block,
                       std::shared_ptr<std::atomic<bool>> halt)
    : task_(std::move(task)), id_(id), block_(block), halt_(std::move(halt)), buffer_(new char[kReceiveBuffer]) {}

void Connection::Run() {
    task_->Queue(kEventWorkerStarted, id_, 0, 0);
    int32_t next = 0, end = 0;
    if (block_ && task_->Owns(id_, *block_, &next, &end))
        task_->Queue(kEventFirstBlock, id_, next, end);
    const TaskConfig& config = task_->config();
    int retries = 0;
    for (;;) {
        Failure f = Attempt();
        if (f == Failure::kStopped && !task_->stopFlag()) {
            // Woken because another connection took over the rest of its block.
            halt_->store(false);
            f = Failure::kNone;
        }
        if (f == Failure::kNone) {
            if (block_ && task_->Owns(id_, *block_, &next, &end))
                continue;  // still its own: go on with it
            // Its block is complete (or another connection carried it on): take up one that
            // nobody serves or a share of one that is served; while other connections are
            // still fetching, stay at hand to relieve them; else end.
            if (auto b = task_->TakeUnserved(id_, &next, &end)) {
                block_ = b;
                task_->Queue(kEventNextBlock, id_, next, end);
                continue;
            }
            if (task_->OthersAtWork(id_) && Pause(kLingerStepMs))
                continue;
            task_->Queue(task_->stopFlag() ? kEventConnectionFailed : kEventConnectionDone, id_,
                         block_ ? task_->Reached(*block_) : 0, 0);
            return;
        }
        if (task_->stopFlag() || !ShouldRetry(f) || retries >= config.maxRetries || !Pause(config.retryPauseMs)) {
            if (block_)
                task_->Release(id_, *block_);
            task_->Queue(kEventConnectionFailed, id_, block_ ? task_->Reached(*block_) : 0, 0);
            return;
        }
        ++retries;
    }
}

bool Connection::Pause(int ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (task_->stopFlag())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !task_->stopFlag();
}

size_t Connection::ReadSize() {
    const TaskConfig& config = task_->config();
    if (config.speedLimit <= 0)
        return config.receiveBlock;
    // The limit is shared equally by the running connections, each reading once a second.
    int running = std::max(1, task_->RunningConnections());
    return std::clamp<size_t>(static_cast<size_t>(config.speedLimit / running), 1, kReceiveBuffer);
}

Failure Connection::Attempt() {
    std::optional<int32_t> rangeFrom;
    if (block_) {
        int32_t next = 0, end = 0;
        if (!task_->Owns(id_, *block_, &next, &end))
            return Failure::kNone;  // done or carried on by another
        rangeFrom = next;
    }
    platform::TcpSocket socket;
    ResponseHead head;
    size_t bodyStart = 0, bodySize = 0;
    Failure f = Exchange(socket, rangeFrom, &head, &bodyStart, &bodySize);
    if (f != Failure::kNone)
        return f;
    if (!block_) {
        // The first answer of the task: it brings the length.
        f = task_->OnLength(id_, head.length());
        if (f != Failure::kNone)
            return f;
        block_ = 0;
    } else {
        int32_t next = 0, end = 0;
        if (!task_->Owns(id_, *block_, &next, &end) || next != *rangeFrom)
            return Failure::kNone;
    }
    return ReadBody(socket, head, bodyStart, bodySize);
}

// Connects, sends the request and reads the answer head, following redirects; on success
// the first body bytes are in buffer_[bodyStart, bodyStart + bodySize).
Failure Connection::Exchange(platform::TcpSocket& socket,
                             std::optional<int32_t> rangeFrom,
                             ResponseHead* head,
                             size_t* bodyStart,
                             size_t* bodySize) {
    const TaskConfig& config = task_->config();
    const auto& stop = *halt_;
    for (int redirects = 0;; ++redirects) {
        Url url = task_->CurrentUrl();
        if (url.scheme != "http")
            return Failure::kHttpStatus;  // the other schemes are not fetched here
        RequestInput in{url, config.referer, rangeFrom, config.proxy.has_value()};
        std::string request;
        if (!BuildRequest(in, &request))
            return Failure::kPathTooLong;
        const Url& peer = config.proxy ? *config.proxy : url;
        Failure f = FromNet(socket.Connect(peer.host, peer.port, config.connectTimeout, stop), Failure::kConnect);
        if (f != Failure::kNone)
            return f;
        f = FromNet(socket.SendAll(request.data(), request.size(), config.sendTimeout, stop), Failure::kSend);
        if (f != Failure::kNone)
            return f;
        *head = ResponseHead();
        size_t got = 0, used = 0;
        while (head->state() != ResponseHead::State::kDone) {
            f = FromNet(socket.Receive(buffer_.get(), ReadSize(), &got, config.receiveTimeout, stop),
                        Failure::kReceive);
            if (f != Failure::kNone)
                return f;
            used = head->Feed(buffer_.get(), got);
            if (head->state() == ResponseHead::State::kError)
                return head->error() == ResponseHead::Error::kTooLong ? Failure::kHeadTooLong : Failure::kBadStatusLine;
        }
        *bodyStart = used;
        *bodySize = got - used;
        if (head->status() == 301 || head->status() == 302) {
            Url target;
            if (!head->location() || !ResolveLocation(url, *head->location(), &target))
                return Failure::kBadLocation;
            if (redirects + 1 > kMaxRedirects)
                return Failure::kTooManyRedirects;
            task_->SetUrl(target);
            socket.Close();
            continue;
        }
        return CheckAnswer(*head, rangeFrom);
    }
}

Failure Connection::CheckAnswer(const ResponseHead& head, std::optional<int32_t> rangeFrom) {
    int status = head.status();
    if (status != 200 && status != 206)
        return Failure::kHttpStatus;
    // Chunked or compressed framing would put foreign bytes into the file.
    if (head.transferCoded())
        return Failure::kTransferCoded;
    if (!rangeFrom) {
        if (head.lengthState() == ResponseHead::Length::kAbsent)
            return Failure::kNoLength;
        if (head.lengthState() == ResponseHead::Length::kMalformed)
            return Failure::kBadLength;
        if (status == 206 &&
            (!head.contentRangeValid() || head.rangeFirst() != 0 || head.rangeTotal() != head.length()))
            return Failure::kBadContentRange;
        return Failure::kNone;
    }
    int32_t fileLength = task_->FileLength();
    if (status == 200) {
        // The whole file: fine only when the block starts at byte 0 and the length agrees.
        bool whole = head.lengthState() == ResponseHead::Length::kValid && head.length() == fileLength;
        return *rangeFrom == 0 && whole ? Failure::kNone : Failure::kRangeIgnored;
    }
    // 206: the bytes must start where they were asked for, in the file we know.
    if (!head.contentRangeValid() || head.rangeFirst() != *rangeFrom ||
        (head.rangeTotal() != -1 && head.rangeTotal() != fileLength))
        return Failure::kBadContentRange;
    return Failure::kNone;
}

Failure Connection::ReadBody(platform::TcpSocket& socket, const ResponseHead& head, size_t bodyStart, size_t bodySize) {
    const TaskConfig& config = task_->config();
    const auto& stop = *halt_;
    // With a length, the end of the body is known even if the server keeps the connection.
    int64_t left = head.lengthState() == ResponseHead::Length::kValid ? head.length() : INT64_MAX;
    // Reads gather in the buffer and go to the file when the next read would not fit:
    // half the writes with the tool's 10240-byte reads. Paced reads are written at once.
    const bool gather = config.speedLimit <= 0;
    char* buffer = buffer_.get();
    size_t fill = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(bodySize), left));
    std::memmove(buffer, buffer + bodyStart, fill);
    left -= static_cast<int64_t>(fill);
    // Writes what has gathered; kNone to read on, else why this answer is done with.
    auto flush = [&]() -> std::optional<Failure> {
        if (fill == 0)
            return std::nullopt;
        Task::WriteResult r = task_->Write(id_, &*block_, buffer, fill);
        fill = 0;
        switch (r) {
            case Task::WriteResult::kMore:
                return std::nullopt;
            case Task::WriteResult::kBlockDone:
            case Task::WriteResult::kLost:
                return Failure::kNone;
            case Task::WriteResult::kFileError:
                return Failure::kFile;
        }
        return std::nullopt;
    };
    auto lastRead = std::chrono::steady_clock::now();
    bool claimed = false;
    for (;;) {
        if (fill > 0 && !claimed) {
            if (!task_->Claim(id_, *block_))
                return Failure::kNone;  // another connection carried the block on meanwhile
            claimed = true;
        }
        size_t readSize = ReadSize();
        if (left <= 0 || !gather || kReceiveBuffer - fill < readSize) {
            if (auto done = flush())
                return *done;
        }
        if (left <= 0)
            return Failure::kClosedEarly;  // the answer ended before the block
        if (!gather) {
            // One read a second per connection.
            auto due = lastRead + std::chrono::seconds(1);
            while (std::chrono::steady_clock::now() < due) {
                if (stop)
                    return Failure::kStopped;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            lastRead = std::chrono::steady_clock::now();
        }
        size_t got = 0;
        Failure f =
            FromNet(socket.Receive(buffer + fill, readSize, &got, config.receiveTimeout, stop), Failure::kReceive);
        if (f != Failure::kNone) {
            // What arrived before the failure is good: keep it, then report.
            if (auto done = flush())
                return *done;
            return f;
        }
        got = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(got), left));
        left -= static_cast<int64_t>(got);
        fill += got;
    }
}

}  // namespace engine
