// The memory service. The reference configuration hands out blocks of the
// size-class arena, with no header; the alternate one blocks of the C heap
// behind a header that records their size, filled with patterns fresh and
// freed, so that a foreign or freed block is caught and reliance on zeroed
// or stale memory shows.
#include <cstdlib>
#include <cstring>

#include "arena.h"
#include "host_state.h"

namespace qelhost {

namespace {

struct BlockHeader final {
    uint64_t size;
    uint64_t magic;
};
constexpr uint64_t kLiveBlock = 0x51E1B10C;
constexpr uint64_t kDeadBlock = 0xDEADB10C;

BlockHeader* HeaderOf(void* block) noexcept {
    return reinterpret_cast<BlockHeader*>(static_cast<char*>(block) - S().policy.blockHeaderBytes);
}

bool FromArena() noexcept { return S().policy.blocks == HostPolicy::Blocks::Arena; }

void* HeapMalloc(uint64_t size) {
    const HostPolicy& policy = S().policy;
    static_assert(sizeof(BlockHeader) <= 16);
    if (size > SIZE_MAX - policy.blockHeaderBytes) return nullptr;
    void* raw = std::malloc(policy.blockHeaderBytes + (size != 0 ? size : 1));
    if (raw == nullptr) return nullptr;
    void* block = static_cast<char*>(raw) + policy.blockHeaderBytes;
    BlockHeader* h = HeaderOf(block);
    h->size = size;
    h->magic = kLiveBlock;
    if (policy.freshFill) std::memset(block, *policy.freshFill, size);
    Count(Tally::BlockBytes, static_cast<int64_t>(policy.blockHeaderBytes + size));
    return block;
}

void HeapFree(void* block) {
    const HostPolicy& policy = S().policy;
    BlockHeader* h = HeaderOf(block);
    if (h->magic != kLiveBlock) std::abort();  // double free or a foreign block
    h->magic = kDeadBlock;
    if (policy.freedFill) std::memset(block, *policy.freedFill, h->size);
    Count(Tally::BlockBytes, -static_cast<int64_t>(policy.blockHeaderBytes + h->size));
    std::free(static_cast<char*>(block) - policy.blockHeaderBytes);
}

// The arena's own check comes at Free; a heap block is checked here, before
// its size is trusted for a copy.
uint64_t BlockSize(void* block) noexcept {
    if (FromArena()) return arena::BlockBytes(block);
    const BlockHeader* h = HeaderOf(block);
    if (h->magic != kLiveBlock) std::abort();  // freed, or not a block of this host
    return h->size;
}

void* MemAlloc(uint64_t size) {
    if (S().AllocationFails()) return nullptr;
    return HostMalloc(size);
}

void MemFree(void* block) { HostMfree(block); }

void* MemRealloc(void* block, uint64_t size) {
    if (S().AllocationFails()) return nullptr;
    if (block == nullptr) return HostMalloc(size);
    const uint64_t old = BlockSize(block);
    // Always moves, so that a caller holding the old address is caught.
    void* grown = HostMalloc(size);
    if (grown == nullptr) return nullptr;
    std::memcpy(grown, block, old < size ? old : size);
    HostMfree(block);
    return grown;
}

uint64_t MemGetBlockSize(void* block) { return block != nullptr ? BlockSize(block) : 0; }

}  // namespace

void* HostMalloc(uint64_t size) {
    void* block = nullptr;
    if (FromArena()) {
        if (size > SIZE_MAX / 2 || (block = arena::Allocate(size)) == nullptr) return nullptr;
        Count(Tally::BlockBytes, static_cast<int64_t>(arena::GivenBytes(size)));
    } else if ((block = HeapMalloc(size)) == nullptr) {
        return nullptr;
    }
    Count(Tally::MemoryBlocks, 1);
    return block;
}

void HostMfree(void* block) {
    if (block == nullptr) return;
    if (FromArena()) {
        Count(Tally::BlockBytes, -static_cast<int64_t>(arena::BlockBytes(block)));
        arena::Free(block);
    } else {
        HeapFree(block);
    }
    Count(Tally::MemoryBlocks, -1);
}

void* NewRecordBlock(size_t size) noexcept {
    const HostPolicy& policy = S().policy;
    if (FromArena()) {
        void* block = arena::Allocate(size);
        if (block != nullptr) Count(Tally::ContainerBytes, static_cast<int64_t>(arena::GivenBytes(size)));
        return block;
    }
    void* block = std::malloc(size);
    if (block == nullptr) return nullptr;
    if (policy.freshFill) std::memset(block, *policy.freshFill, size);
    Count(Tally::ContainerBytes, static_cast<int64_t>(size));
    return block;
}

void FreeRecordBlock(void* block, size_t size) noexcept {
    if (FromArena()) {
        Count(Tally::ContainerBytes, -static_cast<int64_t>(arena::BlockBytes(block)));
        return arena::Free(block);
    }
    Count(Tally::ContainerBytes, -static_cast<int64_t>(size));
    std::free(block);
}

void RegisterMemory(Registry& registry) {
    using Memory = qelutils::contract::QELMemoryInterface;
    using qelutils::contract::Publish;
    AddRows(registry, qelutils::contract::Publication(
                          Publish<Memory::Alloc>(&MemAlloc), Publish<Memory::Realloc>(&MemRealloc),
                          Publish<Memory::Free>(&MemFree),
                          qelutils::contract::PublishUnspecified<Memory::GetBlockSize>(&MemGetBlockSize)));
}

}  // namespace qelhost
