// The explanation lines of a validation: formatting into the host's memory,
// prefixing nested lines with their context, and the number conversions the
// lines use.
#pragma once

#include <cstdint>

#include "objects/pos_client.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::CPOSArray;
using QEL_T_MT::CPOSString;

// printf-style into a 1024-byte block of host memory; a result that does not
// fit with its NUL is DWEException "FormatIntoPOSString overwrote buffer".
[[gnu::format(printf, 1, 2)]] CPOSString FormatIntoPOSString(const char* format, ...);

// Appends "<prefix> <line>" to dest for each line of source, in order.
void AppendPrefixed(const CPOSArray& dest, const CPOSArray& source, const CPOSString& prefix);

// A bound as "%d" shows it: truncated toward zero; NaN and values out of the
// 32-bit range give INT32_MIN, as the processor's conversion does.
int32_t TruncateToInt32(double value) noexcept;

// A bound as "%f" shows it: rounded to single precision first.
double SinglePrecision(double value) noexcept;

}  // namespace NPOSValidatorImpl
