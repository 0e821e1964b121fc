#include "small_stack.h"

#include <cstdint>

#if defined(_WIN32)
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0602  // the stack limits of a thread
#endif
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace qeltest {

namespace {

struct Job final {
    const std::function<void()>& work;
    StackRun& run;
};

void Work(Job& job) {
    try {
        job.work();
        job.run.finished = true;
    } catch (...) {
        // Not finished: the caller sees it in the result.
    }
}

#if defined(_WIN32)

// No measure of the depth here: how much of a stack is committed varies
// between the system and its emulations, so it would say nothing reliable.
DWORD WINAPI Entry(LPVOID argument) {
    Job& job = *static_cast<Job*>(argument);
    ULONG_PTR low = 0;
    ULONG_PTR high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    job.run.grantedBytes = static_cast<size_t>(high - low);
    Work(job);
    return 0;
}

#else

constexpr unsigned char kPaint = 0xA7;

// The lowest usable address of the calling thread's stack and its size, or
// null.
char* StackLow(size_t& size) {
#if defined(__GLIBC__)
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return nullptr;
    void* low = nullptr;
    const int result = pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
    return result == 0 ? static_cast<char*>(low) : nullptr;
#else
    size = 0;
    return nullptr;
#endif
}

// Fills the unused stack below this frame, so that whatever the work touches
// shows afterwards. Raw bytes below the stack pointer: no sanitizer may look.
[[gnu::noinline]] __attribute__((no_sanitize("address"))) void Paint(char* low) {
    volatile char here = 0;
    // A little below this frame, which the loop itself must not overwrite.
    const uintptr_t top = reinterpret_cast<uintptr_t>(&here) - 256;
    for (volatile char* p = low; reinterpret_cast<uintptr_t>(p) < top; ++p) *p = static_cast<char>(kPaint);
}

[[gnu::noinline]] __attribute__((no_sanitize("address"))) const char* LowestTouched(const char* low,
                                                                                   const char* top) {
    const volatile char* p = low;
    while (p < top && static_cast<unsigned char>(*p) == kPaint) ++p;
    return const_cast<const char*>(p);
}

void* Entry(void* argument) {
    Job& job = *static_cast<Job*>(argument);
    // A page above the lowest address stays unpainted, as a margin.
    char* low = StackLow(job.run.grantedBytes);
    if (low != nullptr) low += 4096;
    volatile char start = 0;
    if (low != nullptr) Paint(low);
    Work(job);
    if (low != nullptr) {
        const char* top = const_cast<const char*>(&start);
        job.run.peakBytes = static_cast<size_t>(top - LowestTouched(low, top));
    }
    return nullptr;
}

#endif

}  // namespace

StackRun RunOnStack(size_t stackBytes, const std::function<void()>& work) {
    StackRun run;
    Job job{work, run};
#if defined(_WIN32)
    // The size is the reservation, the whole stack, not what is committed first.
    const HANDLE thread = CreateThread(nullptr, stackBytes, &Entry, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) return run;
    run.started = true;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return run;
    pthread_t thread;
    const bool made = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                      pthread_create(&thread, &attributes, &Entry, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!made) return run;
    run.started = true;
    pthread_join(thread, nullptr);
#endif
    return run;
}

}  // namespace qeltest
