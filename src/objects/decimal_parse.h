// Decimal text to a double, for the numbers of the text notation and of
// TypeA: what the C runtime's strtod gives in the "C" locale, whatever the
// locale in force.
#pragma once

namespace NPOSObjectImpl {

// [first, last) holds signs, digits, points and exponent letters only (the
// runtime's words such as inf, hexadecimal forms and leading white space
// cannot occur). An optional sign, digits with at most one point and an
// optional exponent: the longest such prefix counts, a text without one
// gives 0, and a value beyond a double's range gives infinity or zero with
// its sign.
double ParseDecimal(const char* first, const char* last) noexcept;

}  // namespace NPOSObjectImpl
