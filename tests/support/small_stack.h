// Runs a piece of work on a thread with a stack of a chosen size, so that a
// test can prove a recursive path fits in what a host may give its threads.
// std::thread cannot choose its stack size: this goes to the platform.
#pragma once

#include <cstddef>
#include <functional>

namespace qeltest {

struct StackRun final {
    bool started = false;   // the platform made the thread
    bool finished = false;  // the work returned (an escaping exception does not count)
    // The deepest the work went below the thread's start, in bytes; 0 where
    // it is not measured (Windows).
    size_t peakBytes = 0;
    // The stack the thread got, as the platform tells it; 0 when it does not.
    // An emulation may give more than asked for (Wine gives at least 1 MB),
    // and then proves less.
    size_t grantedBytes = 0;
};

// The work runs on a new thread whose whole stack is `stackBytes` and is
// waited for. A stack overflow ends the process: the test then fails as a
// crash, which is the point.
StackRun RunOnStack(size_t stackBytes, const std::function<void()>& work);

// Whether the sanitizers fatten every frame of this build.
#if defined(__SANITIZE_ADDRESS__)
#define QELTEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QELTEST_SANITIZED 1
#endif
#endif
#ifndef QELTEST_SANITIZED
#define QELTEST_SANITIZED 0
#endif

// The stack a host may give a thread, as the library promises to live with
// it: 256 KB, and 1 MB when the sanitizers fatten every frame.
inline constexpr size_t kSmallStackBytes = QELTEST_SANITIZED ? size_t{1} << 20 : size_t{256} << 10;

}  // namespace qeltest
