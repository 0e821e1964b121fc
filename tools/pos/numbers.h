// Numbers as the tool prints and checks them: the library keeps doubles,
// people write decimal digits.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pos {

// The shortest decimal text that reads back to the same double, without an
// exponent while that stays short ("100", "0.1", "1e+300"); "-0" keeps its
// sign. Empty for a value that is not finite.
std::string ShortestDigits(double value);

// What the library makes of a number token: its longest decimal prefix, 0
// when there is none. The number of bytes that counted goes to *used.
double TokenValue(std::string_view token, size_t* used);

// For a decimal integer (optional sign, then digits), the double it becomes
// when that double is not exactly the same integer; nothing when it is, or
// when text is not an integer.
std::optional<double> InexactInteger(std::string_view text);

// For a decimal number in JSON's grammar, the double it becomes when that
// double reads back to a different decimal value (more digits than a double
// holds, or out of range); nothing when the value survives.
std::optional<double> InexactDecimal(std::string_view text);

}  // namespace pos
