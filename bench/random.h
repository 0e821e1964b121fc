// The benchmarks' random numbers: the same sequences on every platform, so
// that a catalogue or a set of numbers is the same wherever it is made.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelbench {

// splitmix64: tiny, fast and the same everywhere.
class Random final {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n): the high half of a 128-bit product, bias below 2^-32.
    uint64_t Below(uint64_t n) { return static_cast<uint64_t>((static_cast<unsigned __int128>(Next()) * n) >> 64); }
    int Between(int lo, int hi) { return lo + static_cast<int>(Below(static_cast<uint64_t>(hi - lo + 1))); }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    template <size_t N>
    const char* Pick(const char* const (&words)[N]) {
        return words[Below(N)];
    }

private:
    uint64_t state_;
};

}  // namespace qelbench
