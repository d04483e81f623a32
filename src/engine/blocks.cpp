#include "engine/blocks.h"

namespace engine {

void BlockTable::Split(int32_t length, int connections) {
    blocks_.clear();
    int n = length < kMinSplitLength ? 1 : connections < 1 ? 1 : connections;
    int32_t each = length / n;
    for (int i = 0; i < n; ++i) {
        Block b;
        b.start = each * i;
        b.end = i == n - 1 ? length : each * (i + 1);
        b.next = b.start;
        blocks_.push_back(b);
    }
}

std::optional<size_t> BlockTable::TakeUnserved(int conn) {
    for (size_t i = 0; i < blocks_.size(); ++i) {
        if (blocks_[i].owner == 0 && !blocks_[i].Complete()) {
            blocks_[i].owner = conn;
            return i;
        }
    }
    return std::nullopt;
}

std::optional<size_t> BlockTable::TakeAdjacent(size_t i, int conn) {
    size_t j = i + 1;
    if (j >= blocks_.size() || blocks_[j].started || blocks_[j].next != blocks_[j].start)
        return std::nullopt;
    blocks_[j].owner = conn;
    return j;
}

bool BlockTable::AllComplete() const {
    for (const auto& b : blocks_)
        if (!b.Complete())
            return false;
    return true;
}

int64_t BlockTable::Written() const {
    int64_t sum = 0;
    for (const auto& b : blocks_)
        sum += b.next - b.start;
    return sum;
}

}  // namespace engine
