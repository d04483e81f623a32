// The soak's random choices: splitmix64, small, seedable, and the same on every system.
#pragma once

#include <cstdint>

namespace soak {

struct Rng {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [lo, hi].
    int64_t Between(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(Next() % uint64_t(hi - lo + 1)); }
    bool Percent(int p) { return Between(0, 99) < p; }
};

}  // namespace soak
