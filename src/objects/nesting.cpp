#include "objects/nesting.h"

#include <new>

#include "platform/thread_values.h"

namespace NPOSObjectImpl {

using qel::platform::ThreadValue;

void NestingGuard::EnterThreadLevel() {
    const uintptr_t depth = GetThreadValue(ThreadValue::NestingDepth);
    if (depth >= kMaxNesting) throw QEL_T_MT::POSException(kTooDeep);
    // No room for the count on this thread: refuse rather than recurse
    // without a bound.
    if (!SetThreadValue(ThreadValue::NestingDepth, depth + 1)) throw std::bad_alloc();
}

void NestingGuard::LeaveThreadLevels(unsigned levels) noexcept {
    if (levels == 0) return;
    SetThreadValue(ThreadValue::NestingDepth, GetThreadValue(ThreadValue::NestingDepth) - levels);
}

}  // namespace NPOSObjectImpl
