// The digits of a TypeA number: the C runtime's "%.32g", made faster.
#pragma once

#include <cstddef>

namespace NPOSStreamerImpl::NTypeAImpl {

// Room for any "%.32g" text: a sign, 32 digits, a point, four zeros after
// it or an exponent of up to three digits, and the NUL.
inline constexpr size_t kG32Size = 48;

// Writes exactly what snprintf(out, kG32Size, "%.32g", value) writes in the
// locale and rounding mode in force, NUL included, and returns its length.
// Infinities and not-a-number, a decimal separator other than ".", and a
// rounding mode other than to-nearest are left to the runtime itself, so
// that whatever it does there (signs of NaN, a decimal comma, directed
// rounding) stays exactly as it was.
size_t FormatG32(double value, char (&out)[kG32Size]);

}  // namespace NPOSStreamerImpl::NTypeAImpl
