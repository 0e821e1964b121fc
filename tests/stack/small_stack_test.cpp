// The harness itself: the work runs on a stack of the size asked for, and
// what it used is measured where the platform allows it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "small_stack.h"

namespace {

using qeltest::RunOnStack;
using qeltest::StackRun;

constexpr size_t kBlock = 64 << 10;
volatile char gSink = 0;

// Touches a block of its own frame, so that the stack must hold it.
[[gnu::noinline]] char UseStack() {
    volatile char block[kBlock];
    for (size_t i = 0; i < kBlock; i += 64) block[i] = static_cast<char>(i);
    return block[kBlock / 2];
}

TEST(SmallStack, TheWorkRunsAndWhatItUsedIsMeasured) {
    const StackRun run = RunOnStack(qeltest::kSmallStackBytes, [] { gSink = UseStack(); });
    EXPECT_TRUE(run.started);
    EXPECT_TRUE(run.finished);
    if (run.peakBytes == 0) GTEST_SKIP() << "no stack measure on this platform";
    EXPECT_GE(run.peakBytes, kBlock);
    // The block and the few frames above it.
    EXPECT_LT(run.peakBytes, kBlock + (32 << 10));
}

TEST(SmallStack, TheThreadGetsTheStackAskedFor) {
    const StackRun run = RunOnStack(qeltest::kSmallStackBytes, [] {});
    ASSERT_TRUE(run.finished);
    if (run.grantedBytes == 0) GTEST_SKIP() << "the platform does not tell a thread's stack";
    // The system may round up to its allocation granularity, no further.
    constexpr size_t kGranularity = 64 << 10;
    if (run.grantedBytes > qeltest::kSmallStackBytes + kGranularity)
        GTEST_SKIP() << "this system gives every thread " << run.grantedBytes
                     << " bytes of stack: the headroom tests prove no smaller promise here";
    EXPECT_GE(run.grantedBytes + kGranularity, qeltest::kSmallStackBytes);
}

TEST(SmallStack, LittleWorkMeasuresLittle) {
    const StackRun run = RunOnStack(qeltest::kSmallStackBytes, [] {});
    EXPECT_TRUE(run.finished);
    EXPECT_LT(run.peakBytes, kBlock);
}

TEST(SmallStack, AnEscapingExceptionLeavesTheWorkUnfinished) {
    const StackRun run = RunOnStack(qeltest::kSmallStackBytes, [] { throw std::runtime_error("stop"); });
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.finished);
}

TEST(SmallStack, AStackTooSmallForAnyThreadIsNoStart) {
#if defined(_WIN32)
    GTEST_SKIP() << "the system rounds any size up to what a thread needs";
#endif
    bool ran = false;
    const StackRun run = RunOnStack(1, [&] { ran = true; });
    EXPECT_FALSE(run.started);
    EXPECT_FALSE(ran);
}

}  // namespace
