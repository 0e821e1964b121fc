#include "objects/decimal_parse.h"

#include <charconv>
#include <cmath>

#include "objects/characters.h"

namespace NPOSObjectImpl {

namespace {

// Only for a value that a double cannot hold (the conversion said so): the
// decimal exponent of its first significant digit tells too large from too
// small, as every such value is beyond 1e308 or below 1e-323.
double Saturated(const char* first, const char* last) noexcept {
    const bool negative = *first == '-';
    const char* p = negative ? first + 1 : first;
    long exponent = 0;
    bool significant = false;
    for (; p < last && IsDecimalDigit(*p); ++p) {
        if (*p != '0') significant = true;
        if (significant) ++exponent;
    }
    if (p < last && *p == '.') {
        for (++p; p < last && IsDecimalDigit(*p); ++p) {
            if (significant) continue;
            --exponent;
            if (*p != '0') significant = true;
        }
    }
    if (p < last && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool down = p < last && *p == '-';
        if (p < last && (*p == '-' || *p == '+')) ++p;
        long written = 0;
        for (; p < last && IsDecimalDigit(*p); ++p)
            if (written < 100000) written = written * 10 + (*p - '0');
        exponent += down ? -written : written;
    }
    const double magnitude = exponent > 0 ? HUGE_VAL : 0.0;
    return negative ? -magnitude : magnitude;
}

}  // namespace

double ParseDecimal(const char* first, const char* last) noexcept {
    // A sign is the C conversion's, "+" too; the standard one knows only "-".
    if (first < last && *first == '+') {
        ++first;
        if (first < last && (*first == '+' || *first == '-')) return 0;
    }
    double value = 0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc()) return value;
    if (result.ec == std::errc::result_out_of_range) return Saturated(first, result.ptr);
    return 0;
}

}  // namespace NPOSObjectImpl
