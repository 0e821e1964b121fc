#include "arena.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QELHOST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QELHOST_ASAN 1
#endif
#endif
#if defined(QELHOST_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace qelhost::arena {

namespace {

constexpr uint64_t kSpanMagic = 0x5A4E0B10C5A4E0B1;
constexpr uint32_t kLargeClass = 0xFFFFFFFF;
// The second word of a free block: the mark xor its address, so that a
// second Free of it is caught without a header.
constexpr uint64_t kFreeMark = 0xF4EEB10CF4EEB10C;
// Spans are taken from the system this many at a time.
constexpr size_t kSpansPerSegment = 16;

struct FreeBlock final {
    FreeBlock* next;
    uint64_t mark;
};

class Heap;

// A span of a class belongs to one heap for good. Its owner allocates from it
// and frees into it without atomics; any other thread's Free goes to the
// span's remote list, which the owner collects when it runs out of blocks.
struct SpanHeader final {
    uint64_t magic;
    uint32_t sizeClass;  // kLargeClass: one block of its own
    uint16_t used;       // blocks out, the remote frees not yet collected included
    // Set by the owner when it drops the span from its list for want of free
    // blocks; whoever clears it puts the span back in the list.
    std::atomic<uint8_t> full;
    uint8_t reserved;
    FreeBlock* free;  // freed blocks of the owner, in any order
    union {
        char* carve;         // blocks never handed out since the span was last empty begin here
        size_t mappedBytes;  // a large block's whole mapping
    };
    std::atomic<FreeBlock*> remote;
    Heap* owner;
    // The owner's list of the class's spans that may have free blocks; next
    // also links the spans another thread handed back to the owner.
    SpanHeader* next;
    SpanHeader* prev;
};
static_assert(sizeof(SpanHeader) <= kSpanHeaderBytes);

// How many blocks of each class a span holds.
constexpr auto kCapacity = [] {
    std::array<uint16_t, kClasses> capacity{};
    for (size_t c = 0; c < kClasses; ++c)
        capacity[c] = static_cast<uint16_t>((kSpanBytes - kSpanHeaderBytes) / kClassBytes[c]);
    return capacity;
}();
static_assert(kSpanBytes / kClassBytes[0] <= UINT16_MAX);

[[noreturn]] void Die(const char* what) noexcept {
    std::fprintf(stderr, "qelhost: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

// Under AddressSanitizer free blocks are poisoned, so that a use after Free
// is caught here as the system allocator would catch it; the links of a free
// list are reached through these.
#if defined(QELHOST_ASAN)
void Poison(void* p, size_t n) noexcept { ASAN_POISON_MEMORY_REGION(p, n); }
void Unpoison(void* p, size_t n) noexcept { ASAN_UNPOISON_MEMORY_REGION(p, n); }
bool Poisoned(void* p) noexcept { return __asan_address_is_poisoned(p) != 0; }
#else
void Poison(void*, size_t) noexcept {}
void Unpoison(void*, size_t) noexcept {}
bool Poisoned(void*) noexcept { return false; }
#endif

FreeBlock* NextOf(FreeBlock* block) noexcept {
    Unpoison(block, sizeof(FreeBlock));
    FreeBlock* next = block->next;
    Poison(block, sizeof(FreeBlock));
    return next;
}

void SetNext(FreeBlock* block, FreeBlock* next) noexcept {
    Unpoison(block, sizeof(FreeBlock));
    block->next = next;
    Poison(block, sizeof(FreeBlock));
}

void Prefetch(const void* block) noexcept {
#if defined(__GNUC__)
    if (block != nullptr) __builtin_prefetch(block, 1);
#else
    (void)block;
#endif
}

SpanHeader* SpanOf(const void* block) noexcept {
    return reinterpret_cast<SpanHeader*>(reinterpret_cast<uintptr_t>(block) & ~(kSpanBytes - 1));
}

char* FirstBlock(SpanHeader* span) noexcept { return reinterpret_cast<char*>(span) + kSpanHeaderBytes; }
char* SpanEnd(SpanHeader* span) noexcept {
    return FirstBlock(span) + size_t{kCapacity[span->sizeClass]} * kClassBytes[span->sizeClass];
}

// A span whose blocks are all back is carved again from its start: blocks
// are then handed out in address order, as they were the first time, and
// not in the order a document happened to be destroyed (reuse in that order
// had left every later document scattered over the memory).
void Reset(SpanHeader* span) noexcept {
    span->free = nullptr;
    span->carve = FirstBlock(span);
    Poison(span->carve, static_cast<size_t>(SpanEnd(span) - span->carve));
}

// Spans for the classes, from segments that are never given back: memory
// freed once is kept for blocks of the same class.
class SpanSource final {
public:
    void* Take() noexcept {
        std::lock_guard hold(lock_);
        if (next_ == end_) {
            char* segment = static_cast<char*>(MapSpan(kSpanBytes * kSpansPerSegment));
            if (segment == nullptr) return nullptr;
            next_ = segment;
            end_ = segment + kSpanBytes * kSpansPerSegment;
        }
        void* span = next_;
        next_ += kSpanBytes;
        return span;
    }

private:
    std::mutex lock_;
    char* next_ = nullptr;
    char* end_ = nullptr;
};

SpanSource& Spans() noexcept {
    static SpanSource* source = new SpanSource;  // never destroyed: blocks may be freed during static destruction
    return *source;
}

// The spans of one thread, or of every thread that has none (then guarded by
// its lock). A heap is never destroyed: when its thread ends it waits for the
// next thread that needs one, and other threads may still free into its
// spans meanwhile.
class Heap final {
public:
    explicit Heap(bool shared) noexcept : shared_(shared) {}

    bool shared() const noexcept { return shared_; }
    std::mutex& lock() noexcept { return lock_; }

    void* Allocate(size_t sizeClass) noexcept {
        for (;;) {
            SpanHeader* span = head_[sizeClass];
            if (span == nullptr) {
                if (Adopt()) continue;
                if ((span = NewSpan(sizeClass)) == nullptr) return nullptr;
            }
            if (FreeBlock* block = span->free) {
                span->free = NextOf(block);
                // Freed blocks have often left the cache: the next Allocate
                // reads this one's link, so that line is fetched meanwhile.
                Prefetch(span->free);
                ++span->used;
                return block;
            }
            // Other threads' frees before the rest of the span: if they were
            // the last blocks out, the span is carved again from its start.
            if (span->remote.load(std::memory_order_relaxed) != nullptr && Collect(span)) continue;
            if (span->carve != SpanEnd(span)) {
                void* block = span->carve;
                span->carve += kClassBytes[sizeClass];
                ++span->used;
                return block;
            }
            Unlink(span);
            // A remote Free that came between the collection and the mark
            // did not see the mark: look once more.
            span->full.store(1, std::memory_order_seq_cst);
            if (span->remote.load(std::memory_order_seq_cst) != nullptr && ClearFull(span)) Link(span);
        }
    }

    // A block of one of this heap's spans, freed by its owner.
    void Free(SpanHeader* span, FreeBlock* block) noexcept {
        SetNext(block, span->free);
        span->free = block;
        if (ClearFull(span)) Link(span);
        if (--span->used == 0) Reset(span);
    }

    // A block of one of this heap's spans, freed by another thread.
    void FreeRemote(SpanHeader* span, FreeBlock* block) noexcept {
        FreeBlock* head = span->remote.load(std::memory_order_relaxed);
        do SetNext(block, head);
        while (!span->remote.compare_exchange_weak(head, block, std::memory_order_seq_cst, std::memory_order_relaxed));
        if (!ClearFull(span)) return;
        // The owner dropped the span from its list: hand it back.
        SpanHeader* first = handedBack_.load(std::memory_order_relaxed);
        do span->next = first;
        while (!handedBack_.compare_exchange_weak(first, span, std::memory_order_release, std::memory_order_relaxed));
    }

    Heap* nextIdle = nullptr;  // in the list of heaps whose threads ended

private:
    // Whether this caller cleared the span's full mark, and so puts the span
    // back in its owner's list: of all who find it set, one does.
    static bool ClearFull(SpanHeader* span) noexcept {
        return span->full.load(std::memory_order_seq_cst) != 0 && span->full.exchange(0) != 0;
    }

    // The blocks other threads freed into span; false when there were none.
    bool Collect(SpanHeader* span) noexcept {
        FreeBlock* first = span->remote.exchange(nullptr, std::memory_order_acquire);
        if (first == nullptr) return false;
        FreeBlock* last = first;
        uint16_t count = 1;
        for (FreeBlock* next; (next = NextOf(last)) != nullptr; last = next) ++count;
        SetNext(last, span->free);
        span->free = first;
        span->used = static_cast<uint16_t>(span->used - count);
        if (span->used == 0) Reset(span);
        return true;
    }

    // The spans that other threads handed back, into the lists.
    bool Adopt() noexcept {
        SpanHeader* span = handedBack_.exchange(nullptr, std::memory_order_acquire);
        if (span == nullptr) return false;
        while (span != nullptr) {
            SpanHeader* next = span->next;
            Link(span);
            span = next;
        }
        return true;
    }

    SpanHeader* NewSpan(size_t sizeClass) noexcept {
        void* memory = Spans().Take();
        if (memory == nullptr) return nullptr;
        auto* span = new (memory) SpanHeader{};
        span->magic = kSpanMagic;
        span->sizeClass = static_cast<uint32_t>(sizeClass);
        span->owner = this;
        Reset(span);
        Link(span);
        return span;
    }

    // Spans that gained free blocks go last: the first one is used up first.
    void Link(SpanHeader* span) noexcept {
        const size_t c = span->sizeClass;
        span->next = nullptr;
        span->prev = tail_[c];
        if (tail_[c] != nullptr)
            tail_[c]->next = span;
        else
            head_[c] = span;
        tail_[c] = span;
    }

    void Unlink(SpanHeader* span) noexcept {
        const size_t c = span->sizeClass;
        (span->prev != nullptr ? span->prev->next : head_[c]) = span->next;
        (span->next != nullptr ? span->next->prev : tail_[c]) = span->prev;
    }

    const bool shared_;
    std::mutex lock_;  // the shared heap's only
    std::array<SpanHeader*, kClasses> head_{};
    std::array<SpanHeader*, kClasses> tail_{};
    std::atomic<SpanHeader*> handedBack_{nullptr};
};

// Never destroyed: threads may free blocks during static destruction.
struct Shared final {
    Heap heap{true};
    std::mutex idleLock;
    Heap* idle = nullptr;
};
Shared& Global() noexcept {
    static Shared* shared = new Shared;
    return *shared;
}

// mingw-w64's emulated thread-locals may free a thread's storage before its
// thread_local destructors run, so a thread's heap could not be handed on
// safely when it ends: on Windows every block comes from the shared heap.
#ifdef _WIN32
constexpr bool kThreadHeaps = false;
#else
constexpr bool kThreadHeaps = true;
#endif
constinit thread_local Heap* tHeap = nullptr;
constinit thread_local bool tEnded = false;

// A heap of an ended thread, or a new one in pages of its own (not from the
// C allocator: the thread may be freeing a document while it asks).
Heap* TakeHeap() noexcept {
    Shared& global = Global();
    {
        std::lock_guard hold(global.idleLock);
        if (Heap* heap = global.idle) {
            global.idle = heap->nextIdle;
            return heap;
        }
    }
    void* memory = MapSpan((sizeof(Heap) + kPageBytes - 1) / kPageBytes * kPageBytes);
    return memory != nullptr ? new (memory) Heap(false) : nullptr;
}

class HeapOwner final {
public:
    HeapOwner() noexcept = default;
    ~HeapOwner() {
        Shared& global = Global();
        std::lock_guard hold(global.idleLock);
        tHeap->nextIdle = global.idle;
        global.idle = tHeap;
        tHeap = nullptr;
        tEnded = true;
    }
    HeapOwner(const HeapOwner&) = delete;
    HeapOwner& operator=(const HeapOwner&) = delete;
};

// The thread's first block: a heap of its own, handed on when it ends.
Heap* OwnHeap() noexcept {
    if (!kThreadHeaps || tEnded) return nullptr;
    Heap* heap = TakeHeap();
    if (heap == nullptr) return nullptr;
    tHeap = heap;
    thread_local HeapOwner owner;
    return heap;
}

void* AllocateShared(size_t sizeClass) noexcept {
    Heap& heap = Global().heap;
    std::lock_guard hold(heap.lock());
    return heap.Allocate(sizeClass);
}

void* AllocateLarge(size_t size) noexcept {
    if (size > (SIZE_MAX >> 2)) return nullptr;
    const size_t mapped = GivenBytes(size) + kSpanHeaderBytes;
    void* memory = MapSpan(mapped);
    if (memory == nullptr) return nullptr;
    auto* span = new (memory) SpanHeader{};
    span->magic = kSpanMagic;
    span->sizeClass = kLargeClass;
    span->mappedBytes = mapped;
    return static_cast<char*>(memory) + kSpanHeaderBytes;
}

}  // namespace

void* Allocate(size_t size) noexcept {
    if (size > kLargestClass) return AllocateLarge(size);
    const size_t sizeClass = kClassOf[(size + 7) / 8];
    Heap* heap = tHeap;
    if (heap == nullptr) [[unlikely]]
        heap = OwnHeap();
    void* memory = heap != nullptr ? heap->Allocate(sizeClass) : AllocateShared(sizeClass);
    if (memory == nullptr) return nullptr;
    auto* block = static_cast<FreeBlock*>(memory);
    Unpoison(block, kClassBytes[sizeClass]);
    block->mark = 0;
    return block;
}

void Free(void* block) noexcept {
    if (block == nullptr) return;
    SpanHeader* span = SpanOf(block);
    if (span->magic != kSpanMagic) Die("Free of a block that is not the host's");
    if (span->sizeClass == kLargeClass) {
        if (reinterpret_cast<char*>(block) != FirstBlock(span)) Die("Free of an address inside a block");
        span->magic = 0;
        return UnmapSpan(span, span->mappedBytes);
    }
    auto* freed = static_cast<FreeBlock*>(block);
    const uint64_t mark = kFreeMark ^ reinterpret_cast<uintptr_t>(block);
    if (Poisoned(block) || freed->mark == mark) Die("a host memory block freed twice");
    freed->mark = mark;
    Poison(freed + 1, kClassBytes[span->sizeClass] - sizeof(FreeBlock));
    Heap* owner = span->owner;
    if (owner == tHeap) return owner->Free(span, freed);
    if (owner->shared()) {
        std::lock_guard hold(owner->lock());
        return owner->Free(span, freed);
    }
    owner->FreeRemote(span, freed);
}

size_t BlockBytes(const void* block) noexcept {
    const SpanHeader* span = SpanOf(block);
    if (span->magic != kSpanMagic) Die("the size of a block that is not the host's");
    return span->sizeClass == kLargeClass ? span->mappedBytes - kSpanHeaderBytes : kClassBytes[span->sizeClass];
}

}  // namespace qelhost::arena
