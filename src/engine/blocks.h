// The blocks of a task's file and which connection serves each. Not thread-safe: the
// task guards it with its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace engine {

// Files shorter than this are fetched by the first connection alone.
constexpr int32_t kMinSplitLength = 20480;
// A served block is halved for an idle connection only when each half is at least this.
constexpr int32_t kMinSplitPiece = 128 * 1024;
// A connection whose block has not moved for this long while another has nothing left to
// do hands over the rest of its block: a throttled or stalled answer that still holds the
// last bytes of the file would otherwise keep the whole task waiting.
constexpr int64_t kIdleTakeoverMs = 100;

struct Block {
    int32_t start = 0;
    int32_t end = 0;       // one past the last byte
    int32_t next = 0;      // the next byte to write; the block is complete at `end`
    int owner = 0;         // the connection serving it, 0 for none
    bool started = false;  // bytes of it are in hand: no longer for another to take over
    bool writing = false;  // its owner is writing a piece of it right now
    int64_t active = 0;    // when it last moved (or got its owner), in ms of a steady clock
    bool Complete() const { return next >= end; }
};

class BlockTable {
  public:
    // Blocks of equal length, the last also taking the remainder; one block for a short file.
    void Split(int32_t length, int connections);
    size_t size() const { return blocks_.size(); }
    Block& operator[](size_t i) { return blocks_[i]; }
    const Block& operator[](size_t i) const { return blocks_[i]; }

    // The first incomplete block that no connection serves, now served by `conn`.
    std::optional<size_t> TakeUnserved(int conn);
    // The block that starts where `i` ends, when the answer that filled `i` can run on into
    // it: nothing of it received yet. Its former owner, if any, loses it (and finds out on
    // its next write).
    std::optional<size_t> TakeAdjacent(size_t i, int conn);
    // For a connection with nothing left to serve: the second half of what is left of the
    // largest block another connection serves becomes a block of its own, served by
    // `conn`; the owner's block ends where the new one starts. When no block is worth
    // halving, `conn` takes over all that is left of the largest block that has stood
    // still for kIdleTakeoverMs; *victim then names its former owner, whose answer is of
    // no more use.
    std::optional<size_t> SplitLargest(int conn, int64_t nowMs, int* victim);
    // Whether a block is still being fetched by a connection other than `conn`.
    bool OthersAtWork(int conn) const;
    bool AllComplete() const;
    int64_t Written() const;

  private:
    std::vector<Block> blocks_;
};

}  // namespace engine
