#include "numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace pos {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Divides a decimal digit string by two in place; false when it was odd.
bool Halve(std::string& digits) {
    int carry = 0;
    for (char& c : digits) {
        const int d = carry * 10 + (c - '0');
        c = static_cast<char>('0' + d / 2);
        carry = d % 2;
    }
    const size_t first = digits.find_first_not_of('0');
    digits.erase(0, first == std::string::npos ? digits.size() - 1 : first);
    return carry == 0;
}

// Significant digits and the decimal exponent of the first one, of a text
// in JSON's number grammar (also what to_chars writes): 1.50e3 -> "15", 3.
struct Decimal final {
    bool negative = false;
    std::string digits;  // no leading or trailing zeros; empty for zero
    long exponent = 0;
};
Decimal Normalise(std::string_view text) {
    Decimal d;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.negative = text[i++] == '-';
    std::string all;
    long point = -1;
    for (; i < text.size() && (IsDigit(text[i]) || text[i] == '.'); ++i) {
        if (text[i] == '.')
            point = static_cast<long>(all.size());
        else
            all += text[i];
    }
    if (point < 0) point = static_cast<long>(all.size());
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) exponent = std::strtol(std::string(text.substr(i + 1)).c_str(), nullptr, 10);
    const size_t first = all.find_first_not_of('0');
    if (first == std::string::npos) return d;
    const size_t last = all.find_last_not_of('0');
    d.digits = all.substr(first, last - first + 1);
    d.exponent = point - static_cast<long>(first) + exponent;
    return d;
}

}  // namespace

std::string ShortestDigits(double value) {
    if (!std::isfinite(value)) return {};
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

double TokenValue(std::string_view token, size_t* used) {
    const std::string copy(token);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    *used = static_cast<size_t>(end - copy.c_str());
    return value;
}

std::optional<double> InexactInteger(std::string_view text) {
    size_t i = 0;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    if (i == text.size()) return std::nullopt;
    for (size_t j = i; j < text.size(); ++j)
        if (!IsDigit(text[j])) return std::nullopt;
    std::string digits(text.substr(i));
    const double value = std::strtod(std::string(text).c_str(), nullptr);
    // Every integer below 2^53 is a double; above, the double is m * 2^e and
    // equals the integer exactly when halving it e times leaves m.
    const double magnitude = std::fabs(value);
    if (magnitude < 9007199254740992.0) return std::nullopt;
    if (!std::isfinite(magnitude)) return value;
    int exponent = 0;
    const double mantissa = std::ldexp(std::frexp(magnitude, &exponent), 53);  // 2^52 <= m < 2^53
    exponent -= 53;
    for (int k = 0; k < exponent; ++k)
        if (!Halve(digits)) return value;
    char m[32];
    const auto r = std::to_chars(m, m + sizeof m, static_cast<unsigned long long>(mantissa));
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos || digits.substr(first) != std::string(m, r.ptr)) return value;
    return std::nullopt;
}

std::optional<double> InexactDecimal(std::string_view text) {
    const double value = std::strtod(std::string(text).c_str(), nullptr);
    if (!std::isfinite(value)) return value;
    const Decimal written = Normalise(text);
    char digits[64];
    const auto r = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific);
    const Decimal read = Normalise(std::string_view(digits, static_cast<size_t>(r.ptr - digits)));
    if (written.digits == read.digits && (written.digits.empty() || written.exponent == read.exponent)) return std::nullopt;
    return value;
}

}  // namespace pos
