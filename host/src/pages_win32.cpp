// Spans of the host's allocator on Windows: VirtualAlloc places every
// allocation on its 64 KiB granularity, which is the span alignment.
#include <windows.h>

#include <cstdint>

#include "arena.h"

namespace qelhost::arena {

static_assert(kSpanBytes == 64 * 1024, "the allocation granularity of Windows");

void* MapSpan(size_t bytes) noexcept {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void UnmapSpan(void* span, size_t) noexcept { VirtualFree(span, 0, MEM_RELEASE); }

}  // namespace qelhost::arena
