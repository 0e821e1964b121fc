// The shared-buffer service: counted buffers over the host's memory or over
// data that a release procedure gives back.
#include <cstdlib>
#include <cstring>
#include <new>

#include "host_state.h"

namespace qelhost {

struct SharedBuffer final {
    std::atomic<uint32_t> refs;
    uint64_t size;
    void* data;
    QELRawPointerReleaseProc release;
    bool owned;
};

namespace {

QELSharedBuffHandle NewBuffer(uint64_t size, void* data, QELRawPointerReleaseProc release, void*) {
    if (S().AllocationFails()) return nullptr;
    auto* b = new (std::nothrow) SharedBuffer{{1}, size, data, release, data == nullptr};
    if (b == nullptr) return nullptr;
    if (b->owned) {
        b->data = std::malloc(size != 0 ? size : 1);
        if (b->data == nullptr) {
            delete b;
            return nullptr;
        }
        std::memset(b->data, S().policy.bufferFill, size);
    }
    Count(Tally::Buffers, 1);
    return Wrap(b);
}

void BufferAddRef(QELSharedBuffHandle buffer) {
    if (buffer != nullptr) Unwrap(buffer)->refs.fetch_add(1, std::memory_order_relaxed);
}

void BufferRelease(QELSharedBuffHandle buffer) {
    SharedBuffer* b = Unwrap(buffer);
    if (b == nullptr || b->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (b->owned)
        std::free(b->data);
    else if (b->release != nullptr)
        b->release(b->data);
    Count(Tally::Buffers, -1);
    delete b;
}

void* BufferGet(QELSharedBuffHandle buffer) { return buffer != nullptr ? Unwrap(buffer)->data : nullptr; }
uint64_t BufferGetSize(QELSharedBuffHandle buffer) { return buffer != nullptr ? Unwrap(buffer)->size : 0; }
void BufferDeleteUnowned(QELSharedBuffHandle buffer) { BufferRelease(buffer); }

}  // namespace

void RegisterSharedBuffers(Registry& registry) {
    using Buffers = qelutils::contract::QELSharedBuffInterface;
    using qelutils::contract::Publish;
    AddRows(registry, qelutils::contract::Publication(
                          Publish<Buffers::NewBuffer>(&NewBuffer),
                          qelutils::contract::PublishUnspecified<Buffers::DeleteUnowned>(&BufferDeleteUnowned),
                          Publish<Buffers::AddRef>(&BufferAddRef), Publish<Buffers::Release>(&BufferRelease),
                          Publish<Buffers::GetBuffer>(&BufferGet), Publish<Buffers::GetSize>(&BufferGetSize)));
}

}  // namespace qelhost
