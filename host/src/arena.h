// The reference configuration's allocator for memory blocks and container
// records: size classes carved in address order from spans that are aligned
// to their size, so that a block needs no header (its span's header names its
// class and its owner). Each thread has a heap of spans per class, each span
// with its own free list; a block freed by another thread waits in its
// span's remote list until the owner collects it. A span whose blocks have
// all come back is carved again from its start, so that memory is reused in
// address order whatever the order of the frees.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qelhost::arena {

constexpr size_t kSpanBytes = size_t{64} * 1024;
constexpr size_t kSpanHeaderBytes = 64;  // blocks begin after it, 16-byte aligned
constexpr size_t kPageBytes = 4096;

// Block sizes: steps of 8 bytes up to 64 (a container record, a small
// object), then four classes per doubling. Blocks of 16 bytes or more are
// 16-byte aligned whenever their class is a multiple of 16, and always
// aligned for any object of their size.
constexpr std::array<uint32_t, 31> kClassBytes{16,  24,  32,  40,   48,   56,   64,   80,   96,   112, 128,
                                               160, 192, 224, 256,  320,  384,  448,  512,  640,  768, 896,
                                               1024, 1280, 1536, 1792, 2048, 2560, 3072, 3584, 4096};
constexpr size_t kClasses = kClassBytes.size();
constexpr size_t kLargestClass = kClassBytes.back();

// The class of a request, by its size in steps of 8 bytes.
inline constexpr auto kClassOf = [] {
    std::array<uint8_t, kLargestClass / 8 + 1> table{};
    size_t c = 0;
    for (size_t i = 0; i < table.size(); ++i) {
        while (kClassBytes[c] < i * 8) ++c;
        table[i] = static_cast<uint8_t>(c);
    }
    return table;
}();

// What a request of size costs: its class, or whole pages with the span
// header for a larger one.
constexpr size_t GivenBytes(size_t size) noexcept {
    if (size <= kLargestClass) return kClassBytes[kClassOf[(size + 7) / 8]];
    return (size + kSpanHeaderBytes + kPageBytes - 1) / kPageBytes * kPageBytes - kSpanHeaderBytes;
}

// Null when the system refuses memory or size is absurd.
void* Allocate(size_t size) noexcept;
// Aborts on a block that is not the allocator's, or one already freed.
void Free(void* block) noexcept;
// The usable size of a live block (at least what was asked).
size_t BlockBytes(const void* block) noexcept;

// Per platform: bytes (a multiple of kPageBytes) of zeroed memory aligned to
// kSpanBytes, null on failure; and its release.
void* MapSpan(size_t bytes) noexcept;
void UnmapSpan(void* span, size_t bytes) noexcept;

}  // namespace qelhost::arena
