#include "arena.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

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

struct SpanHeader final {
    uint64_t magic;
    uint32_t sizeClass;  // kLargeClass: one block of its own
    uint32_t reserved;
    size_t blockBytes;
    size_t mappedBytes;
};
static_assert(sizeof(SpanHeader) <= kSpanHeaderBytes);

struct FreeBlock final {
    FreeBlock* next;
    uint64_t mark;
};

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

// The blocks of one class that no thread holds: whole batches as threads gave
// them back, single blocks, then the unused end of the span being carved.
// A batch is handed out again as it came, without walking its links: those
// blocks have usually left the cache, and a walk through them is one miss
// after another.
class Pool final {
public:
    // Up to count blocks (poisoned, linked through SetNext, the last linking
    // to null) from the result; taken says how many.
    FreeBlock* Take(size_t sizeClass, size_t count, size_t* taken) noexcept {
        std::lock_guard hold(lock_);
        if (batchCount_ != 0) {
            Batch& batch = batches_[batchCount_ - 1];
            FreeBlock* first = batch.first;
            if (batch.count <= count) {
                *taken = batch.count;
                --batchCount_;
                return first;
            }
            // Fewer than a batch (a thread without lists asks for one).
            FreeBlock* last = first;
            for (size_t i = 1; i < count; ++i) last = NextOf(last);
            batch.first = NextOf(last);
            batch.count -= count;
            SetNext(last, nullptr);
            *taken = count;
            return first;
        }
        FreeBlock* head = nullptr;
        FreeBlock* last = nullptr;
        size_t n = 0;
        auto link = [&](FreeBlock* block) {
            if (last == nullptr)
                head = block;
            else
                SetNext(last, block);
            last = block;
            ++n;
        };
        while (n < count && free_ != nullptr) {
            FreeBlock* block = free_;
            free_ = NextOf(block);
            link(block);
        }
        const size_t bytes = kClassBytes[sizeClass];
        while (n < count) {
            if (static_cast<size_t>(carveEnd_ - carve_) < bytes && !NewSpan(sizeClass)) break;
            auto* block = reinterpret_cast<FreeBlock*>(carve_);
            carve_ += bytes;
            link(block);
        }
        if (last != nullptr) SetNext(last, nullptr);
        *taken = n;
        return head;
    }

    // Takes back a list of count blocks (poisoned, linked through SetNext).
    void Give(FreeBlock* first, FreeBlock* last, size_t count) noexcept {
        std::lock_guard hold(lock_);
        // Without room to note a batch, its blocks join the single ones.
        if (count > 1 && (batchCount_ < batchCapacity_ || GrowBatches())) {
            SetNext(last, nullptr);
            batches_[batchCount_++] = Batch{first, count};
            return;
        }
        SetNext(last, free_);
        free_ = first;
    }

private:
    struct Batch final {
        FreeBlock* first;
        size_t count;
    };

    bool NewSpan(size_t sizeClass) noexcept;

    // The batches' list lives in pages of its own, not on the C heap: freeing
    // a host block never calls the C allocator.
    bool GrowBatches() noexcept {
        const size_t capacity = batchCapacity_ == 0 ? kPageBytes / sizeof(Batch) : batchCapacity_ * 2;
        auto* grown = static_cast<Batch*>(MapSpan(capacity * sizeof(Batch)));
        if (grown == nullptr) return false;
        if (batches_ != nullptr) {
            std::memcpy(grown, batches_, batchCount_ * sizeof(Batch));
            UnmapSpan(batches_, batchCapacity_ * sizeof(Batch));
        }
        batches_ = grown;
        batchCapacity_ = capacity;
        return true;
    }

    std::mutex lock_;
    Batch* batches_ = nullptr;
    size_t batchCount_ = 0;
    size_t batchCapacity_ = 0;
    FreeBlock* free_ = nullptr;
    char* carve_ = nullptr;
    char* carveEnd_ = nullptr;
};

// Never destroyed: threads may free blocks during static destruction.
struct Shared final {
    SpanSource spans;
    std::array<Pool, kClasses> pools;
};
Shared& Global() noexcept {
    static Shared* shared = new Shared;
    return *shared;
}

bool Pool::NewSpan(size_t sizeClass) noexcept {
    void* memory = Global().spans.Take();
    if (memory == nullptr) return false;
    auto* span = static_cast<SpanHeader*>(memory);
    const size_t bytes = kClassBytes[sizeClass];
    *span = SpanHeader{kSpanMagic, static_cast<uint32_t>(sizeClass), 0, bytes, kSpanBytes};
    carve_ = static_cast<char*>(memory) + kSpanHeaderBytes;
    carveEnd_ = carve_ + (kSpanBytes - kSpanHeaderBytes) / bytes * bytes;
    Poison(carve_, static_cast<size_t>(carveEnd_ - carve_));
    return true;
}

// How many blocks move between a thread and the pool at a time; a thread
// keeps at most twice as many of a class.
constexpr auto kBatch = [] {
    std::array<uint32_t, kClasses> batch{};
    for (size_t c = 0; c < kClasses; ++c) {
        const uint32_t n = 8192 / kClassBytes[c];
        batch[c] = n < 4 ? 4 : n > 64 ? 64 : n;
    }
    return batch;
}();

struct ThreadList final {
    FreeBlock* head;
    uint32_t count;
};
// mingw-w64's emulated thread-locals may free a thread's storage before its
// thread_local destructors run, so a thread's lists could not be given back
// safely when it ends: on Windows every block comes from and goes to the
// pools directly.
#ifdef _WIN32
constexpr bool kThreadLists = false;
#else
constexpr bool kThreadLists = true;
#endif
constinit thread_local std::array<ThreadList, kClasses> tLists{};
constinit thread_local bool tListsOwned = false;  // given back when the thread ends
constinit thread_local bool tEnded = false;

void GiveBack(size_t sizeClass, size_t count) noexcept {
    ThreadList& list = tLists[sizeClass];
    FreeBlock* first = list.head;
    FreeBlock* last = first;
    for (size_t i = 1; i < count; ++i) last = NextOf(last);
    list.head = NextOf(last);
    list.count -= static_cast<uint32_t>(count);
    Global().pools[sizeClass].Give(first, last, count);
}

class ListsOwner final {
public:
    ListsOwner() noexcept { tListsOwned = true; }
    ~ListsOwner() {
        for (size_t c = 0; c < kClasses; ++c)
            while (tLists[c].count != 0) GiveBack(c, std::min<size_t>(tLists[c].count, kBatch[c]));
        tEnded = true;
    }
    ListsOwner(const ListsOwner&) = delete;
    ListsOwner& operator=(const ListsOwner&) = delete;
};

// The thread's lists go back to the pools when it ends.
void OwnLists() noexcept { thread_local ListsOwner owner; }

// The thread's list of a class is empty: a batch from the pool.
void* Refill(size_t sizeClass) noexcept {
    Pool& pool = Global().pools[sizeClass];
    size_t taken = 0;
    if (!kThreadLists || tEnded) return pool.Take(sizeClass, 1, &taken);
    if (!tListsOwned) OwnLists();
    FreeBlock* first = pool.Take(sizeClass, kBatch[sizeClass], &taken);
    if (first == nullptr) return nullptr;
    // The rest go to the thread's list, as they are (poisoned).
    ThreadList& list = tLists[sizeClass];
    list.head = NextOf(first);
    list.count = static_cast<uint32_t>(taken - 1);
    return first;
}

void* AllocateLarge(size_t size) noexcept {
    if (size > (SIZE_MAX >> 2)) return nullptr;
    const size_t mapped = GivenBytes(size) + kSpanHeaderBytes;
    void* memory = MapSpan(mapped);
    if (memory == nullptr) return nullptr;
    *static_cast<SpanHeader*>(memory) = SpanHeader{kSpanMagic, kLargeClass, 0, mapped - kSpanHeaderBytes, mapped};
    return static_cast<char*>(memory) + kSpanHeaderBytes;
}

}  // namespace

void* Allocate(size_t size) noexcept {
    if (size > kLargestClass) return AllocateLarge(size);
    const size_t sizeClass = kClassOf[(size + 7) / 8];
    ThreadList& list = tLists[sizeClass];
    FreeBlock* block = kThreadLists ? list.head : nullptr;
    if (block == nullptr) [[unlikely]] {
        block = static_cast<FreeBlock*>(Refill(sizeClass));
        if (block == nullptr) return nullptr;
    } else {
        list.head = NextOf(block);
        --list.count;
    }
    // Free blocks have often left the cache: the next Allocate of this class
    // reads its block's link, so that line is fetched while the caller works.
    Prefetch(list.head);
    Unpoison(block, kClassBytes[sizeClass]);
    block->mark = 0;
    return block;
}

void Free(void* block) noexcept {
    if (block == nullptr) return;
    SpanHeader* span = SpanOf(block);
    if (span->magic != kSpanMagic) Die("Free of a block that is not the host's");
    if (span->sizeClass == kLargeClass) {
        if (reinterpret_cast<char*>(block) != reinterpret_cast<char*>(span) + kSpanHeaderBytes)
            Die("Free of an address inside a block");
        span->magic = 0;
        return UnmapSpan(span, span->mappedBytes);
    }
    const size_t sizeClass = span->sizeClass;
    auto* freed = static_cast<FreeBlock*>(block);
    const uint64_t mark = kFreeMark ^ reinterpret_cast<uintptr_t>(block);
    if (Poisoned(block) || freed->mark == mark) Die("a host memory block freed twice");
    freed->mark = mark;
    if (!kThreadLists || tEnded) [[unlikely]] {
        Poison(block, kClassBytes[sizeClass]);
        return Global().pools[sizeClass].Give(freed, freed, 1);
    }
    if (!tListsOwned) [[unlikely]] OwnLists();
    ThreadList& list = tLists[sizeClass];
    freed->next = list.head;
    Poison(block, kClassBytes[sizeClass]);
    list.head = freed;
    if (++list.count > 2 * kBatch[sizeClass]) [[unlikely]] GiveBack(sizeClass, kBatch[sizeClass]);
}

size_t BlockBytes(const void* block) noexcept {
    const SpanHeader* span = SpanOf(block);
    if (span->magic != kSpanMagic) Die("the size of a block that is not the host's");
    return span->blockBytes;
}

}  // namespace qelhost::arena
