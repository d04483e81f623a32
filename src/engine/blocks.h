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

struct Block {
    int32_t start = 0;
    int32_t end = 0;       // one past the last byte
    int32_t next = 0;      // the next byte to write; the block is complete at `end`
    int owner = 0;         // the connection serving it, 0 for none
    bool started = false;  // bytes of it are in hand: no longer for another to take over
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
    // The block after `i`, when the answer that filled `i` can run on into it: nothing of it
    // written yet. Its former owner, if any, loses it (and finds out on its next write).
    std::optional<size_t> TakeAdjacent(size_t i, int conn);
    bool AllComplete() const;
    int64_t Written() const;

  private:
    std::vector<Block> blocks_;
};

}  // namespace engine
