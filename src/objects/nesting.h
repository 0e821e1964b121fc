// The one bound on nesting, and the guard that every recursive walk over
// nested values (clone, equality, the parser, the TypeA writer and reader,
// the validation walk) counts its levels with, so that hostile depth fails
// cleanly instead of exhausting the stack.
#pragma once

#include "frame/errors.h"

namespace NPOSObjectImpl {

// Levels of nested arrays and dictionaries (and of validation checks) that
// any walk accepts.
inline constexpr unsigned kMaxNesting = 1000;

inline constexpr const char kTooDeep[] = "Nesting of arrays and dictionaries is too deep";

// Counts one level on entry and gives it back on exit. A level past the bound
// is refused with the walk's own failure, thrown before the level counts.
class NestingGuard final {
public:
    // A level of the clone and equality walks, which recurse through the
    // published procedures and so count per thread.
    NestingGuard() { EnterThreadLevel(); }

    // A level of a walk that keeps its own count.
    template <class Failure>
    NestingGuard(unsigned& depth, const Failure& failure) : depth_(&depth) {
        if (depth >= kMaxNesting) throw failure;
        ++depth;
    }

    ~NestingGuard() {
        if (depth_ != nullptr)
            --*depth_;
        else
            LeaveThreadLevel();
    }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    // Out of line: these walks recurse, and every byte of their frames counts
    // a thousand times.
    static void EnterThreadLevel();
    static void LeaveThreadLevel() noexcept;

    unsigned* depth_ = nullptr;  // null: the thread's count
};

}  // namespace NPOSObjectImpl
