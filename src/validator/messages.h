// The explanation lines of a validation: formatting into the host's memory,
// prefixing nested lines with their context, and the number conversions the
// lines use.
#pragma once

#include <cstdint>

#include "frame/shared_buffer_ref.h"
#include "objects/pos_client.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::CPOSArray;
using QEL_T_MT::CPOSString;

// printf-style into a 1024-byte block of host memory; a result that does not
// fit with its NUL is DWEException "FormatIntoPOSString overwrote buffer".
[[gnu::format(printf, 1, 2)]] CPOSString FormatIntoPOSString(const char* format, ...);

// Appends "<prefix> <line>" to dest for each line of source, in order.
void AppendPrefixed(const CPOSArray& dest, const CPOSArray& source, const CPOSString& prefix);

// A message list whose Array is made with its first line: a check that
// passes makes none. (The lists are the walk's own scratch: when they are
// made is nothing a caller sees.)
class LineList final {
public:
    void Append(const CPOSString& line) {
        if (array_.empty()) array_ = CPOSArray::New();
        array_.Append(line);
    }
    // "<prefix> <line>" for each line of source, in order.
    void AppendPrefixed(const LineList& source, const CPOSString& prefix) {
        if (source.array_.empty()) return;
        if (array_.empty()) array_ = CPOSArray::New();
        NPOSValidatorImpl::AppendPrefixed(array_, source.array_, prefix);
    }
    // The lines as an Array, an empty one when there were none.
    const CPOSArray& Array() {
        if (array_.empty()) array_ = CPOSArray::New();
        return array_;
    }
    bool empty() const noexcept { return array_.empty(); }
    void Reset() noexcept { array_.Reset(); }

private:
    CPOSArray array_;
};

// The size of the buffer a check procedure writes its message into.
inline constexpr uint64_t kCheckBufferSize = 1024;

// The text a check procedure left in its buffer, never read past the end.
const char* BufferText(const QEL_T_MT::QELSharedBuffRef& buffer);

// A bound as "%d" shows it: truncated toward zero; NaN and values out of the
// 32-bit range give INT32_MIN, as the processor's conversion does.
int32_t TruncateToInt32(double value) noexcept;

// A bound as "%f" shows it: rounded to single precision first.
double SinglePrecision(double value) noexcept;

}  // namespace NPOSValidatorImpl
