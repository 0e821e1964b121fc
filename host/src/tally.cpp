#include "tally.h"

#include <mutex>
#include <new>

namespace qelhost {

namespace detail {
constinit thread_local TallyBlock* tTallies = nullptr;
}  // namespace detail

namespace {

// The blocks of living threads, and what ended threads counted. Never
// destroyed: a thread may end after static destruction began.
struct Registry final {
    std::mutex lock;
    TallyBlock* first = nullptr;
    std::array<std::atomic<int64_t>, kTallies> retired{};
};
Registry& Blocks() noexcept {
    static Registry* registry = new Registry;
    return *registry;
}

#ifndef _WIN32
constinit thread_local bool tEnded = false;

// Links the thread's block on its first count and folds it into the retired
// counts when the thread ends.
class Owner final {
public:
    Owner() {
        Registry& r = Blocks();
        std::lock_guard hold(r.lock);
        block_.next = r.first;
        if (r.first != nullptr) r.first->prev = &block_;
        r.first = &block_;
    }
    ~Owner() {
        Registry& r = Blocks();
        std::lock_guard hold(r.lock);
        for (size_t i = 0; i < kTallies; ++i)
            r.retired[i].fetch_add(block_.values[i].load(std::memory_order_relaxed), std::memory_order_relaxed);
        if (block_.prev != nullptr) block_.prev->next = block_.next;
        else r.first = block_.next;
        if (block_.next != nullptr) block_.next->prev = block_.prev;
        detail::tTallies = nullptr;
        tEnded = true;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    TallyBlock* block() noexcept { return &block_; }

private:
    TallyBlock block_;
};
#endif

}  // namespace

namespace detail {

#ifdef _WIN32
// mingw-w64's emulated thread-locals may free a thread's storage before its
// thread_local destructors run, so an Owner could not fold its block safely:
// on Windows a thread's block lives on the heap and stays linked when the
// thread ends (the sums keep counting it; a block per thread ever run).
TallyBlock* AttachTallies() noexcept {
    auto* block = new (std::nothrow) TallyBlock;
    if (block == nullptr) return nullptr;
    Registry& r = Blocks();
    std::lock_guard hold(r.lock);
    block->next = r.first;
    if (r.first != nullptr) r.first->prev = block;
    r.first = block;
    tTallies = block;
    return block;
}
#else
TallyBlock* AttachTallies() noexcept {
    if (tEnded) return nullptr;
    thread_local Owner owner;
    tTallies = owner.block();
    return tTallies;
}
#endif

void AddRetired(Tally tally, int64_t delta) noexcept {
    Blocks().retired[static_cast<size_t>(tally)].fetch_add(delta, std::memory_order_relaxed);
}

}  // namespace detail

std::array<int64_t, kTallies> SumTallies() noexcept {
    Registry& r = Blocks();
    std::array<int64_t, kTallies> sum{};
    std::lock_guard hold(r.lock);
    for (size_t i = 0; i < kTallies; ++i) sum[i] = r.retired[i].load(std::memory_order_relaxed);
    for (const TallyBlock* b = r.first; b != nullptr; b = b->next)
        for (size_t i = 0; i < kTallies; ++i) sum[i] += b->values[i].load(std::memory_order_relaxed);
    return sum;
}

}  // namespace qelhost
