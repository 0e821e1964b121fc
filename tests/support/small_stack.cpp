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

constexpr unsigned char kPaint = 0xA7;

// Fills the unused stack below this frame, from the top down, so that
// whatever the work touches shows afterwards. Top down, because a stack that
// grows on demand (Windows) commits its next page only when the page above
// it has been touched. Raw bytes below the stack pointer: no sanitizer may look.
[[gnu::noinline]] __attribute__((no_sanitize("address"))) void Paint(char* low) {
    volatile char here = 0;
    // A little below this frame, which the loop itself must not overwrite.
    volatile char* p = reinterpret_cast<volatile char*>(reinterpret_cast<uintptr_t>(&here) - 256);
    while (p > low) *--p = static_cast<char>(kPaint);
}

[[gnu::noinline]] __attribute__((no_sanitize("address"))) const char* LowestTouched(const char* low,
                                                                                   const char* top) {
    const volatile char* p = low;
    while (p < top && static_cast<unsigned char>(*p) == kPaint) ++p;
    return const_cast<const char*>(p);
}

// The lowest address of the calling thread's stack that may be painted and
// the size of the whole stack, or null where the platform does not tell.
char* PaintableLow(size_t& size) {
#if defined(_WIN32)
    ULONG_PTR low = 0;
    ULONG_PTR high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    size = static_cast<size_t>(high - low);
    // The lowest pages are the system's own guard against overflow.
    return reinterpret_cast<char*>(low) + (64u << 10);
#elif defined(__GLIBC__)
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return nullptr;
    void* low = nullptr;
    const int result = pthread_attr_getstack(&attributes, &low, &size);
    pthread_attr_destroy(&attributes);
    // A page above the lowest address stays unpainted, as a margin.
    return result == 0 ? static_cast<char*>(low) + 4096 : nullptr;
#else
    size = 0;
    return nullptr;
#endif
}

void Measure(Job& job) {
    char* low = PaintableLow(job.run.grantedBytes);
    volatile char start = 0;
    if (low != nullptr) Paint(low);
    Work(job);
    if (low != nullptr) {
        const char* top = const_cast<const char*>(&start);
        const char* lowest = LowestTouched(low, top);
        // Paint gone down to the last byte: the work may have gone further.
        job.run.peakBytes = lowest == low ? job.run.grantedBytes : static_cast<size_t>(top - lowest);
    }
}

#if defined(_WIN32)
DWORD WINAPI Entry(LPVOID argument) {
    Measure(*static_cast<Job*>(argument));
    return 0;
}
#else
void* Entry(void* argument) {
    Measure(*static_cast<Job*>(argument));
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
