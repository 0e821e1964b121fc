// Counts the host keeps on every call: live objects for the books, calls of
// each kind for the fault knobs, bytes held for the memory figures. Each
// thread adds to a block of its own with a plain load and store, and a reader
// sums the blocks on demand, so counting takes no locked operation and no
// shared cache line on the hot paths.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace qelhost {

enum class Tally : uint8_t {
    Containers,
    AtomRefs,
    ErrorRefs,
    Buffers,
    MemoryBlocks,
    StreamData,
    OpenFiles,
    AllocationCalls,
    ContainerLookups,
    StreamCalls,
    ResolveCalls,
    BlockBytes,      // host memory blocks, by the size the allocator gave them
    ContainerBytes,  // container records
    Count,
};
constexpr size_t kTallies = static_cast<size_t>(Tally::Count);

// One thread's counts. Only its thread writes them; readers load them.
struct TallyBlock final {
    std::array<std::atomic<int64_t>, kTallies> values{};
    TallyBlock* next = nullptr;
    TallyBlock* prev = nullptr;
};

namespace detail {
extern constinit thread_local TallyBlock* tTallies;
TallyBlock* AttachTallies() noexcept;  // null once the thread is ending
void AddRetired(Tally tally, int64_t delta) noexcept;
}  // namespace detail

inline void Count(Tally tally, int64_t delta) noexcept {
    TallyBlock* block = detail::tTallies;
    if (block == nullptr && (block = detail::AttachTallies()) == nullptr) [[unlikely]]
        return detail::AddRetired(tally, delta);
    std::atomic<int64_t>& value = block->values[static_cast<size_t>(tally)];
    value.store(value.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
}

// Every thread's counts since the process started, those of ended threads
// included. Exact when no thread counts at the same time.
std::array<int64_t, kTallies> SumTallies() noexcept;

}  // namespace qelhost
