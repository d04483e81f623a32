// One connection worker of a task, on a thread of its own: it sends a request, reads the
// answer head, follows redirects, and writes the body into the blocks it serves; after a
// network failure it pauses and tries again from the byte where its block stopped.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "engine/failure.h"
#include "engine/response_head.h"
#include "platform/tcp_socket.h"

namespace engine {

class Task;

class Connection {
  public:
    // The first connection (no block yet) learns the length; the others serve `block`.
    // `halt` ends its waits: set when the task stops, or when its block was taken over.
    Connection(std::shared_ptr<Task> task,
               int id,
               std::optional<size_t> block,
               std::shared_ptr<std::atomic<bool>> halt);
    void Run();

  private:
    Failure Attempt();
    Failure Exchange(platform::TcpSocket& socket,
                     std::optional<int32_t> rangeFrom,
                     ResponseHead* head,
                     size_t* bodyStart,
                     size_t* bodySize);
    Failure CheckAnswer(const ResponseHead& head, std::optional<int32_t> rangeFrom);
    Failure ReadBody(platform::TcpSocket& socket, const ResponseHead& head, size_t bodyStart, size_t bodySize);
    bool Pause(int ms);
    size_t ReadSize();

    std::shared_ptr<Task> task_;
    const int id_;
    std::optional<size_t> block_;
    std::shared_ptr<std::atomic<bool>> halt_;
    std::unique_ptr<char[]> buffer_;
};

}  // namespace engine
