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
            LeaveThreadLevels(1);
    }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

    // Out of line: the walks that count per thread may recurse through
    // other components' procedures, and every byte of a frame counts a
    // thousand times.
    static void EnterThreadLevel();
    static void LeaveThreadLevels(unsigned levels) noexcept;

private:
    unsigned* depth_ = nullptr;  // null: the thread's count
};

// The levels of a walk that keeps its open levels on the heap and counts them
// per thread (clone and equality: another component's procedure met on the
// way may enter them again). Every level still counted is given back when the
// walk ends, however it ends.
class ThreadLevels final {
public:
    ThreadLevels() noexcept = default;
    ~ThreadLevels() { NestingGuard::LeaveThreadLevels(entered_); }
    ThreadLevels(const ThreadLevels&) = delete;
    ThreadLevels& operator=(const ThreadLevels&) = delete;

    // One level more; past the bound, POSException kTooDeep and nothing counted.
    void Enter() {
        NestingGuard::EnterThreadLevel();
        ++entered_;
    }
    void Leave() noexcept {
        NestingGuard::LeaveThreadLevels(1);
        --entered_;
    }

private:
    unsigned entered_ = 0;
};

}  // namespace NPOSObjectImpl
