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
    for (size_t j = 0; j < blocks_.size(); ++j) {
        Block& b = blocks_[j];
        if (j == i || b.start != blocks_[i].end || b.Complete())
            continue;
        if (b.started || b.next != b.start)
            return std::nullopt;
        b.owner = conn;
        return j;
    }
    return std::nullopt;
}

std::optional<size_t> BlockTable::SplitLargest(int conn, int64_t nowMs, int* victim) {
    *victim = 0;
    size_t best = blocks_.size(), idle = blocks_.size();
    int32_t bestLeft = 0, idleLeft = 0;
    for (size_t i = 0; i < blocks_.size(); ++i) {
        const Block& b = blocks_[i];
        int32_t left = b.end - b.next;
        if (b.owner == 0 || b.owner == conn || left <= 0)
            continue;
        if (left > bestLeft) {
            best = i;
            bestLeft = left;
        }
        if (!b.writing && nowMs - b.active >= kIdleTakeoverMs && left > idleLeft) {
            idle = i;
            idleLeft = left;
        }
    }
    Block part;
    size_t from;
    if (best < blocks_.size() && bestLeft >= 2 * kMinSplitPiece) {
        from = best;
        part.start = blocks_[best].next + bestLeft / 2;
    } else if (idle < blocks_.size()) {
        from = idle;
        part.start = blocks_[idle].next;
        part.started = true;  // the former owner must not run on into it again
        *victim = blocks_[idle].owner;
    } else {
        return std::nullopt;
    }
    part.next = part.start;
    part.end = blocks_[from].end;
    part.owner = conn;
    part.active = nowMs;
    blocks_[from].end = part.start;
    blocks_.push_back(part);
    return blocks_.size() - 1;
}

bool BlockTable::OthersAtWork(int conn) const {
    for (const auto& b : blocks_)
        if (b.owner != 0 && b.owner != conn && !b.Complete())
            return true;
    return false;
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
