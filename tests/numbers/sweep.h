// Seeded random values and the size of a differential sweep.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace qeltest::numbers {

// splitmix64: the same sequence on every platform.
class Random final {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n).
    uint64_t Below(uint64_t n) { return static_cast<uint64_t>((static_cast<unsigned __int128>(Next()) * n) >> 64); }
    int Between(int lo, int hi) { return lo + static_cast<int>(Below(static_cast<uint64_t>(hi - lo + 1))); }

private:
    uint64_t state_;
};

// Values per family: QELUTILS_NUMBER_SWEEP millions, else a quarter million,
// which keeps the suite to seconds.
inline uint64_t SweepSize() {
    const char* text = std::getenv("QELUTILS_NUMBER_SWEEP");
    const double millions = text != nullptr ? std::strtod(text, nullptr) : 0.0;
    return millions > 0 ? static_cast<uint64_t>(millions * 1e6) : 250'000;
}

// A double's bits, so that -0 and 0 (and NaNs) compare apart.
inline bool SameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

// What a sweep found: the values checked, those that differed, and the
// first few of them as lines to show.
class DifferenceLog {
public:
    uint64_t checked() const { return checked_; }
    bool none() const { return count_ == 0; }
    std::string Summary() const {
        return std::to_string(count_) + " of " + std::to_string(checked_) + " differ:" + shown_;
    }

protected:
    void Checked() { ++checked_; }
    // One more difference; its line is made only for the first few.
    template <class MakeLine>
    void Differs(MakeLine makeLine) {
        if (++count_ <= 5) shown_ += "\n  " + makeLine();
    }

private:
    uint64_t checked_ = 0;
    uint64_t count_ = 0;
    std::string shown_;
};

}  // namespace qeltest::numbers
