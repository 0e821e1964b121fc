// Spans of the host's allocator on POSIX systems: anonymous mappings,
// trimmed to the span alignment.
#include <sys/mman.h>

#include <cstdint>

#include "arena.h"

namespace qelhost::arena {

void* MapSpan(size_t bytes) noexcept {
    const size_t padded = bytes + kSpanBytes;
    void* mapped = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kSpanBytes - 1) & ~(kSpanBytes - 1);
    if (aligned != start) munmap(mapped, aligned - start);
    const uintptr_t used = aligned + bytes;
    if (start + padded != used) munmap(reinterpret_cast<void*>(used), start + padded - used);
    return reinterpret_cast<void*>(aligned);
}

void UnmapSpan(void* span, size_t bytes) noexcept { munmap(span, bytes); }

}  // namespace qelhost::arena
