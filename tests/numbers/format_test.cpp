// The TypeA number writer against the C runtime's own "%.32g", double for
// double, over families of values that reach every way the writer has:
// integers, fractions above and below 0.1, exponent forms, subnormals,
// rounding ties, and what only the runtime may write (infinities, NaN, a
// decimal comma, directed rounding).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "comma_locale.h"
#include "serializer/number_format.h"
#include "sweep.h"

namespace {

using NPOSStreamerImpl::NTypeAImpl::FormatG32;
using NPOSStreamerImpl::NTypeAImpl::kG32Size;
using qeltest::numbers::Random;
using qeltest::numbers::SweepSize;

std::string Runtime(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.32g", value);
    return text;
}

// Differences found in one sweep; the first few are kept to be shown.
class Differences final : public qeltest::numbers::DifferenceLog {
public:
    void Check(double value) {
        Checked();
        char text[kG32Size];
        std::memset(text, 'x', sizeof text);
        const size_t n = FormatG32(value, text);
        const std::string expected = Runtime(value);
        if (n < kG32Size && text[n] == '\0' && expected == text) return;
        Differs([&] {
            char bits[32];
            std::snprintf(bits, sizeof bits, "%a", value);
            return std::string(bits) + ": runtime " + expected + ", writer " +
                   std::string(text, std::min(n, kG32Size - 1)) + " (length " + std::to_string(n) + ")";
        });
    }
};

double FromBits(uint64_t bits) { return std::bit_cast<double>(bits); }

// ------------------------------------------------------------------ families

// Every bit pattern alike: mostly exponent forms, with NaNs, infinities and
// subnormals among them.
double AnyBits(Random& r) { return FromBits(r.Next()); }

// A full significand at a binary exponent from 2^-70 to 2^120: both sides of
// 0.1, of 2^53 and of 10^32.
double Scaled(Random& r) {
    const double value = std::ldexp(static_cast<double>(r.Next() >> 11), r.Between(-123, 67));
    return r.Next() & 1 ? -value : value;
}

// Integers of every width, up to 2^64 and past 10^32.
double Integers(Random& r) {
    const int shift = r.Between(0, 63);
    double value = static_cast<double>(r.Next() >> shift);
    if (r.Below(8) == 0) value = std::ldexp(std::floor(value), r.Between(0, 50));
    return r.Next() & 1 ? -value : value;
}

// Decimals as documents hold them: prices, measures, shares.
double ShortDecimals(Random& r) {
    static const double kScales[] = {10, 100, 1000, 1e4, 1e5, 1e6};
    const double whole = static_cast<double>(r.Below(uint64_t(1) << r.Between(1, 40)));
    const double value = whole / kScales[r.Below(6)];
    return r.Next() & 1 ? -value : value;
}

// Odd multiples of a power of two: exact decimal expansions of every
// length, and those of 33 significant digits ending in 5 are ties that the
// runtime rounds to even.
double BinaryFractions(Random& r) {
    const uint64_t odd = (r.Next() >> r.Between(11, 63)) | 1;
    return std::ldexp(static_cast<double>(odd), -r.Between(0, 80));
}

double Subnormals(Random& r) { return FromBits(r.Next() >> 12 | (r.Next() & (uint64_t(1) << 63))); }

// Powers of ten from 1e-330 to 1e310 as the runtime reads them, and the
// doubles a few steps away on both sides.
double PowersOfTen(Random& r) {
    char text[16];
    std::snprintf(text, sizeof text, "1e%d", r.Between(-330, 310));
    double value = std::strtod(text, nullptr);
    for (int steps = r.Between(-3, 3); steps != 0; steps += steps < 0 ? 1 : -1)
        value = std::nextafter(value, steps < 0 ? 0.0 : std::numeric_limits<double>::infinity());
    return value;
}

// The benchmark catalogue's kinds of number: ids, prices, tenths of a
// millimetre, inches converted to centimetres.
double CatalogueLike(Random& r) {
    switch (r.Below(4)) {
        case 0: return static_cast<double>(1000 + r.Below(100000));
        case 1: return static_cast<double>(r.Between(99, 999999)) / 100.0;
        case 2: return static_cast<double>(r.Between(5, 2500)) / 10.0;
        default:
            return (static_cast<double>(r.Between(1, 4000)) / 16.0 + static_cast<double>(r.Below(1000)) / 7919.0) *
                   2.54;
    }
}

struct Family final {
    const char* name;
    double (*make)(Random&);
};

const Family kFamilies[] = {
    {"any bit pattern", &AnyBits},       {"scaled significands", &Scaled}, {"integers", &Integers},
    {"short decimals", &ShortDecimals},  {"binary fractions", &BinaryFractions},
    {"subnormals", &Subnormals},         {"powers of ten", &PowersOfTen},  {"catalogue numbers", &CatalogueLike},
};

void Sweep(uint64_t perFamily, uint64_t seed) {
    for (const Family& family : kFamilies) {
        SCOPED_TRACE(family.name);
        Random r(seed);
        Differences d;
        for (uint64_t i = 0; i < perFamily; ++i) d.Check(family.make(r));
        EXPECT_TRUE(d.none()) << d.Summary();
    }
}

// ------------------------------------------------------------------ tests

TEST(NumberWriter, WritesWhatTheRuntimeWritesForEveryFamily) { Sweep(SweepSize(), 20240611); }

TEST(NumberWriter, ValuesAtTheEdges) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double values[] = {
        0.0, -0.0, 1, -1, 0.5, 0.1, -0.1, 1.0 / 3, 2.0 / 3, 0.09999999999999999, 0.1000000000000000055511151231257827,
        // Either side of 2^53, where every double becomes an integer, and of 2^64.
        0x1p52 - 0.5, 0x1p53 - 1, 0x1p53, 0x1p53 + 2, 0x1p64 - 2048, 0x1p64, 0x1p64 + 4096,
        // Either side of 10^32, where the integers turn to exponent form.
        1e32, std::nextafter(1e32, 0.0), std::nextafter(1e32, kInf), 99999999999999991433150857216000.0,
        // Either side of 1e-4 and 0.1, where the form and the writer's way change.
        1e-4, std::nextafter(1e-4, 0.0), 1e-5, 0.1, std::nextafter(0.1, 0.0), std::nextafter(0.1, 1.0),
        // Ties at the 33rd significant digit.
        1 + 0x1p-32, 3 + 0x1p-32, 1 + 0x1p-33, 12345 + 0x1p-30,
        std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
        std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
        kInf, -kInf, kNaN, -kNaN, std::bit_cast<double>(uint64_t(0x7FF0000000000001)),
        std::bit_cast<double>(uint64_t(0xFFF8000000000123)),
    };
    Differences d;
    for (double v : values) d.Check(v);
    EXPECT_TRUE(d.none()) << d.Summary();
}

// Not a check of the writer: a check that the families reach what they are
// meant to, so that a sweep cannot pass by missing it.
TEST(NumberWriter, FamiliesReachTiesAndBothSidesOfTheBoundaries) {
    Random r(7);
    int ties = 0, belowTenth = 0, tenthTo2p53 = 0, integersPast2p64 = 0;
    for (int i = 0; i < 200000; ++i) {
        const double b = BinaryFractions(r);
        char exact[128];
        std::snprintf(exact, sizeof exact, "%.40e", b);
        // 33 significant digits ending in 5: d.ddd...d5 then zeros.
        const std::string digits = std::string(1, exact[0]) + std::string(exact + 2, 39);
        if (digits[32] == '5' && digits.find_first_not_of('0', 33) == std::string::npos) ++ties;
        const double s = std::fabs(Scaled(r));
        if (s < 0.1) ++belowTenth;
        if (s >= 0.1 && s < 0x1p53 && s != std::floor(s)) ++tenthTo2p53;
        if (std::fabs(Integers(r)) > 0x1p64) ++integersPast2p64;
    }
    EXPECT_GT(ties, 100);
    EXPECT_GT(belowTenth, 1000);
    EXPECT_GT(tenthTo2p53, 1000);
    EXPECT_GT(integersPast2p64, 100);
}

// glibc's printf rounds its exact expansion in the mode in force; the writer
// must then give way to it.
TEST(NumberWriter, DirectedRoundingIsTheRuntimes) {
    const int saved = std::fegetround();
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(std::fesetround(mode), 0);
        Sweep(SweepSize() / 20, 99);
        std::fesetround(saved);
    }
}

TEST(NumberWriter, ADecimalCommaIsTheRuntimes) {
    const qeltest::numbers::CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << comma.why();
    EXPECT_EQ(Runtime(2.5), "2,5");  // the locale is really in force
    Sweep(SweepSize() / 20, 5);
}

}  // namespace
