// The memory service: blocks with a header that records their size, so that
// a foreign or freed block is caught.
#include <cstdlib>
#include <cstring>

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

void* MemAlloc(uint64_t size) {
    if (S().AllocationFails()) return nullptr;
    return HostMalloc(size);
}

void MemFree(void* block) { HostMfree(block); }

void* MemRealloc(void* block, uint64_t size) {
    if (S().AllocationFails()) return nullptr;
    if (block == nullptr) return HostMalloc(size);
    BlockHeader* header = HeaderOf(block);
    if (header->magic != kLiveBlock) std::abort();  // not a block of this host
    // Always moves, so that a caller holding the old address is caught.
    void* grown = HostMalloc(size);
    if (grown == nullptr) return nullptr;
    std::memcpy(grown, block, header->size < size ? header->size : size);
    HostMfree(block);
    return grown;
}

uint64_t MemGetBlockSize(void* block) { return block != nullptr ? HeaderOf(block)->size : 0; }

}  // namespace

void* HostMalloc(uint64_t size) {
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
    S().liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void HostMfree(void* block) {
    if (block == nullptr) return;
    const HostPolicy& policy = S().policy;
    BlockHeader* h = HeaderOf(block);
    if (h->magic != kLiveBlock) std::abort();  // double free or a foreign block
    h->magic = kDeadBlock;
    if (policy.freedFill) std::memset(block, *policy.freedFill, h->size);
    S().liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(static_cast<char*>(block) - policy.blockHeaderBytes);
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
