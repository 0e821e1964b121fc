// A few values the library keeps per thread. Each can be read and written at
// any moment, the first time on a fresh thread included, without allocating
// memory and without registering anything for the thread's exit: the library
// must go on (destroy, report, refuse) when memory is exhausted, and a C
// runtime that cannot allocate there aborts the process. Every value is zero
// on a fresh thread.
#pragma once

#include <cstdint>

namespace qel::platform {

enum class ThreadValue : unsigned {
    DestructionList,   // the objects waiting to be destroyed
    NestingDepth,      // levels of the clone and equality walks
    ReportedFailures,  // failures reported to the host so far
    MakingError,       // a host error object is being made
    Count
};

uintptr_t GetThreadValue(ThreadValue which) noexcept;
// False when the value cannot be stored on this thread (the system had no
// room for it); the caller then does without.
bool SetThreadValue(ThreadValue which, uintptr_t value) noexcept;

}  // namespace qel::platform

#if !defined(_WIN32)
#include "platform/posix/thread_values_inline.h"
#endif
