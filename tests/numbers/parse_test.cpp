// The number reader of the text notation and of TypeA against the C
// runtime's strtod in the "C" locale, bit for bit: well-formed numbers of
// every size (overflow, underflow and subnormals among them), and any run of
// the bytes that the two forms let into a number.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "comma_locale.h"
#include "objects/decimal_parse.h"
#include "sweep.h"

namespace {

using NPOSObjectImpl::ParseDecimal;
using qeltest::numbers::Random;
using qeltest::numbers::SameBits;
using qeltest::numbers::SweepSize;

// Where strtod converts nothing the readers give 0 on every platform; there
// mingw's strtod gives -0 after a minus sign, glibc's 0.
double Runtime(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() ? 0.0 : value;
}

class Differences final : public qeltest::numbers::DifferenceLog {
public:
    void Check(const std::string& text, double expected) {
        Checked();
        const double got = ParseDecimal(text.data(), text.data() + text.size());
        if (SameBits(got, expected)) return;
        Differs([&] {
            char line[160];
            std::snprintf(line, sizeof line, ": runtime %a, reader %a", expected, got);
            return "\"" + text + "\"" + line;
        });
    }
    void Check(const std::string& text) { Check(text, Runtime(text)); }
};

std::string Digits(Random& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + r.Below(10));
    return s;
}

// ------------------------------------------------------------------ families

// Any run of the bytes a TypeA number may hold, 1 to 62 of them: mostly
// malformed, where the longest valid prefix (or 0) counts.
std::string TypeABytes(Random& r) {
    static const char kBytes[] = "+-0123456789.Ee";
    std::string s;
    for (int n = r.Between(1, 62); n > 0; --n) s += kBytes[r.Below(sizeof kBytes - 1)];
    return s;
}

// A notation number token: a digit, sign or point first, then digits and
// points, up to 100 characters.
std::string NotationTokens(Random& r) {
    static const char kFirst[] = "+-.0123456789";
    std::string s(1, kFirst[r.Below(sizeof kFirst - 1)]);
    const int n = r.Between(0, 99);
    for (int i = 0; i < n; ++i) s += r.Below(12) == 0 ? '.' : static_cast<char>('0' + r.Below(10));
    return s;
}

// Sign, digits, point, digits, exponent: long mantissas that need exact
// rounding, and exponents past both ends of the range.
std::string Scientific(Random& r) {
    std::string s;
    switch (r.Below(3)) {
        case 0: s += '-'; break;
        case 1: s += '+'; break;
        default: break;
    }
    s += Digits(r, r.Between(0, 25));
    if (r.Below(2) == 0) s += '.' + Digits(r, r.Between(0, 25));
    if (r.Below(4) != 0) {
        s += r.Below(2) == 0 ? 'e' : 'E';
        if (r.Below(2) == 0) s += r.Below(2) == 0 ? '-' : '+';
        s += std::to_string(r.Between(0, 420));
    }
    return s.substr(0, 62);
}

// What the writer makes: every double written with 17 and with 32
// significant digits must read back as strtod reads it.
std::string Written(Random& r) {
    char text[64];
    std::snprintf(text, sizeof text, r.Below(2) == 0 ? "%.17g" : "%.32g", std::bit_cast<double>(r.Next()));
    return text;
}

struct Family final {
    const char* name;
    std::string (*make)(Random&);
};

const Family kFamilies[] = {
    {"TypeA bytes", &TypeABytes},
    {"notation tokens", &NotationTokens},
    {"scientific", &Scientific},
    {"written doubles", &Written},
};

void Sweep(uint64_t perFamily, uint64_t seed) {
    for (const Family& family : kFamilies) {
        SCOPED_TRACE(family.name);
        Random r(seed);
        Differences d;
        for (uint64_t i = 0; i < perFamily; ++i) {
            const std::string text = family.make(r);
            // Not-a-number and infinity words cannot reach the reader.
            if (text.find_first_of("ni") != std::string::npos) continue;
            d.Check(text);
        }
        EXPECT_TRUE(d.none()) << d.Summary();
    }
}

// ------------------------------------------------------------------ tests

TEST(NumberReader, ReadsWhatTheRuntimeReadsForEveryFamily) { Sweep(SweepSize(), 424242); }

TEST(NumberReader, TextsAtTheEdges) {
    Differences d;
    for (const char* text : {"", "+", "-", ".", "+.", "-.", "++1", "+-1", "-+1", "--1", "+1", "-0", "-.0", "0.", ".5",
                             "1.2.3", "1e", "1e+", "1E-", "1e5", "1E5", ".e1", "e5", "1e-400", "-1e-400", "1e400",
                             "-1e400", "2.4703282292062327e-324", "2.4703282292062328e-324", "4.9e-324",
                             "2.2250738585072011e-308", "1.7976931348623157e308", "1.7976931348623159e308",
                             "1e0000000000000000000000000000000000000000000000000000000400",
                             "0.0000000000000000000000000000000000000000000000000000000001e-270",
                             "1000000000000000000000000000000000000000000000000000000000e260",
                             "00000000000000000000000000000000000000000000000000000000001"})
        d.Check(text);
    EXPECT_TRUE(d.none()) << d.Summary();
}

// The readers never follow the locale: with a decimal comma in force they
// still read a point, as strtod reads it in the "C" locale.
TEST(NumberReader, ADecimalCommaChangesNothing) {
    const qeltest::numbers::CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << comma.why();
    ASSERT_EQ(std::strtod("2.5", nullptr), 2.0);  // the locale is really in force
    Differences d;
    d.Check("2.5", 2.5);
    d.Check("-1.5e999", -std::numeric_limits<double>::infinity());
    d.Check("1.5e-999", 0.0);
    d.Check("0.10000000000000000555111512312578", 0.1);
    EXPECT_TRUE(d.none()) << d.Summary();
}

}  // namespace
