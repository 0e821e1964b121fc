#include "tally.h"

#include <mutex>

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

}  // namespace

namespace detail {

TallyBlock* AttachTallies() noexcept {
    if (tEnded) return nullptr;
    thread_local Owner owner;
    tTallies = owner.block();
    return tTallies;
}

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
