// "%.32g" without the runtime's printf for the numbers documents hold:
// integers, and fractions from 0.1 up, are written here from exact integer
// arithmetic; everything else goes to std::to_chars, whose precision form is
// printf's, or to the runtime itself where only it knows the answer.
#include "serializer/number_format.h"

#include <array>
#include <bit>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/decimal_point.h"

namespace NPOSStreamerImpl::NTypeAImpl {

namespace {

using Wide = unsigned __int128;

constexpr int kPrecision = 32;
// Powers of five whose product with a 53-bit significand fits 128 bits.
constexpr int kMaxPow5 = 32;

constexpr std::array<Wide, kMaxPow5 + 1> kPow5 = [] {
    std::array<Wide, kMaxPow5 + 1> powers{};
    Wide p = 1;
    for (Wide& power : powers) {
        power = p;
        p *= 5;
    }
    return powers;
}();

// 10^0 to 10^16, every one exact.
constexpr std::array<double, 17> kPow10 = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                           1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};

constexpr uint64_t kTen16 = 10'000'000'000'000'000ull;
constexpr Wide kTen32 = Wide(kTen16) * kTen16;

constexpr std::array<char, 200> kPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

void Put2(char* at, uint32_t n) noexcept { std::memcpy(at, &kPairs[2 * n], 2); }

void Put4(char* at, uint32_t n) noexcept {
    Put2(at, n / 100);
    Put2(at + 2, n % 100);
}

void Put8(char* at, uint32_t n) noexcept {
    Put4(at, n / 10000);
    Put4(at + 4, n % 10000);
}

// Exactly 16 digits of n < 10^16, leading zeros kept; split in halves, so
// that the divisions do not wait on one another.
void Put16(char* at, uint64_t n) noexcept {
    Put8(at, static_cast<uint32_t>(n / 100'000'000));
    Put8(at + 8, static_cast<uint32_t>(n % 100'000'000));
}

// n / 10^16 and n % 10^16 for n < 10^32, without a 128-bit division: a
// floating estimate of the quotient is off by at most a few units.
void Split32(Wide n, uint64_t& high, uint64_t& low) noexcept {
    const double approx =
        static_cast<double>(static_cast<uint64_t>(n >> 64)) * 0x1p64 + static_cast<double>(static_cast<uint64_t>(n));
    auto q = static_cast<uint64_t>(approx * 1e-16);
    auto r = static_cast<__int128>(n - Wide(q) * kTen16);
    while (r < 0) {
        --q;
        r += kTen16;
    }
    while (r >= static_cast<__int128>(kTen16)) {
        ++q;
        r -= kTen16;
    }
    high = q;
    low = static_cast<uint64_t>(r);
}

size_t Runtime(double value, char (&out)[kG32Size]) {
    if (std::snprintf(out, kG32Size, "%.32g", value) < 0) out[0] = '\0';
    return std::strlen(out);
}

size_t ToChars(double value, char (&out)[kG32Size]) {
    const auto result = std::to_chars(out, out + kG32Size - 1, value, std::chars_format::general, kPrecision);
    *result.ptr = '\0';
    return static_cast<size_t>(result.ptr - out);
}

// An integral magnitude below 10^32 has at most 32 digits, all exact: the
// runtime writes them all, with no point and nothing rounded.
size_t Integral(double magnitude, bool negative, char (&out)[kG32Size]) {
    char* at = out;
    if (negative) *at++ = '-';
    if (magnitude < 0x1p64) {
        at = std::to_chars(at, out + kG32Size, static_cast<uint64_t>(magnitude)).ptr;
    } else {
        uint64_t high, low;
        Split32(static_cast<Wide>(magnitude), high, low);
        at = std::to_chars(at, out + kG32Size, high).ptr;
        Put16(at, low);
        at += 16;
    }
    *at = '\0';
    return static_cast<size_t>(at - out);
}

// The 32 significant digits of a magnitude that is not an integer (so below
// 2^53), rounded to nearest with ties to even as the runtime rounds its
// exact expansion, and the decimal exponent of the first. False when the
// scaled significand would not fit 128 bits (magnitudes below about 0.1),
// or when rounding would carry into a 33rd digit.
bool Digits32(double magnitude, Wide& digits, int& exponent) noexcept {
    const auto bits = std::bit_cast<uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    uint64_t significand = bits & ((uint64_t(1) << 52) - 1);
    int power2 = -1074;
    if (biased != 0) {
        significand |= uint64_t(1) << 52;
        power2 = biased - 1075;
    }
    // magnitude = significand * 2^power2 with power2 < 0, as it has a fraction.
    const int fractionBits = -power2;
    const int log2 = 63 - std::countl_zero(significand) + power2;
    // floor(log2 * log10(2)) is the decimal exponent or one below it; the
    // powers of ten compared with are exact doubles.
    int x = (log2 * 78913) >> 18;
    if (x < -1) return false;
    x += magnitude >= kPow10[x + 1] ? 1 : 0;
    const int k = kPrecision - 1 - x;
    if (k > kMaxPow5) return false;
    // magnitude * 10^k = significand * 5^k * 2^(k - fractionBits)
    const Wide product = Wide(significand) * kPow5[k];
    Wide n;
    bool up = false;
    if (k >= fractionBits) {
        n = product << (k - fractionBits);
    } else {
        const int shift = fractionBits - k;
        n = product >> shift;
        const Wide rest = product & ((Wide(1) << shift) - 1);
        const Wide half = Wide(1) << (shift - 1);
        up = rest > half || (rest == half && (n & 1) != 0);
    }
    n += up ? 1 : 0;
    if (n == kTen32) return false;
    digits = n;
    exponent = x;
    return true;
}

// "%.32g" of 32 digits with a decimal exponent from -1 to 15: plain
// notation, trailing zeros of the fraction dropped.
size_t Fixed(Wide digits, int exponent, bool negative, char (&out)[kG32Size]) {
    char d[kPrecision];
    uint64_t high, low;
    Split32(digits, high, low);
    Put16(d, high);
    Put16(d + 16, low);
    int last = kPrecision - 1;
    while (last > 0 && d[last] == '0') --last;

    char* at = out;
    if (negative) *at++ = '-';
    if (exponent < 0) {
        *at++ = '0';
        *at++ = '.';
        std::memcpy(at, d, static_cast<size_t>(last + 1));
        at += last + 1;
    } else {
        std::memcpy(at, d, static_cast<size_t>(exponent + 1));
        at += exponent + 1;
        if (last > exponent) {
            *at++ = '.';
            std::memcpy(at, d + exponent + 1, static_cast<size_t>(last - exponent));
            at += last - exponent;
        }
    }
    *at = '\0';
    return static_cast<size_t>(at - out);
}

}  // namespace

size_t FormatG32(double value, char (&out)[kG32Size]) {
    if (!std::isfinite(value)) return Runtime(value, out);
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    if (magnitude < 0x1p53) {
        const auto whole = static_cast<uint64_t>(magnitude);
        if (static_cast<double>(whole) == magnitude) return Integral(magnitude, negative, out);
    } else if (magnitude < 1e32) {
        return Integral(magnitude, negative, out);  // every double from 2^53 up is an integer
    }
    // From here on a point is written and digits are rounded.
    if (std::fegetround() != FE_TONEAREST || !qel::platform::DecimalPointIsDot()) return Runtime(value, out);
    Wide digits;
    int exponent;
    if (magnitude < 0x1p53 && Digits32(magnitude, digits, exponent)) return Fixed(digits, exponent, negative, out);
    return ToChars(value, out);
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
