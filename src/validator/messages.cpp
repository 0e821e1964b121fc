#include "validator/messages.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"

namespace NPOSValidatorImpl {

using QEL_T_MT::Lookup;

namespace {

constexpr size_t kFormatBlock = 1024;

// A scratch block of host memory for one formatted text.
class ScratchBlock final {
public:
    ScratchBlock() : block_(static_cast<char*>(QEL_T_MT::HostAlloc(kFormatBlock))) {}
    ~ScratchBlock() { QEL_T_MT::host::Free(block_); }
    ScratchBlock(const ScratchBlock&) = delete;
    ScratchBlock& operator=(const ScratchBlock&) = delete;
    char* get() const noexcept { return block_; }

private:
    char* block_;
};

}  // namespace

CPOSString FormatIntoPOSString(const char* format, ...) {
    const ScratchBlock block;
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(block.get(), kFormatBlock, format, args);
    va_end(args);
    if (length < 0 || static_cast<size_t>(length) >= kFormatBlock)
        throw DWEException("FormatIntoPOSString overwrote buffer");
    return CPOSString(block.get());
}

void AppendPrefixed(const CPOSArray& dest, const CPOSArray& source, const CPOSString& prefix) {
    const char* head = prefix.Get();
    const uint32_t count = source.Count();
    for (uint32_t i = 0; i < count; ++i) {
        const CPOSString line(source.GetAt(i, Lookup::Strict), Lookup::Strict);
        dest.Append(FormatIntoPOSString("%s %s", head, line.Get()));
    }
}

const char* BufferText(const QEL_T_MT::QELSharedBuffRef& buffer) {
    char* text = buffer.Data();
    const uint64_t size = buffer.Size();
    if (text == nullptr || size == 0) return "";
    if (std::memchr(text, '\0', size) == nullptr) text[size - 1] = '\0';
    return text;
}

int32_t TruncateToInt32(double value) noexcept {
    // The range test is written so that NaN fails it.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

double SinglePrecision(double value) noexcept {
    // Halfway between the largest float and 2^128: from here on the nearest
    // float is infinite. Converting such a double directly is undefined.
    constexpr double kFloatOverflow = 0x1.ffffffp127;
    if (std::isnan(value)) return value;
    if (std::fabs(value) >= kFloatOverflow) return std::copysign(std::numeric_limits<double>::infinity(), value);
    return static_cast<double>(static_cast<float>(value));
}

}  // namespace NPOSValidatorImpl
