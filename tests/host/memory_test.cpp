// The host's memory blocks and books as a component sees them: blocks of
// every size hold what was written into them and never overlap a live
// block, whichever thread frees them; the books and the memory figures come
// back to where they were, also when the threads that counted have ended;
// an armed fault strikes the nth allocation-like call of any kind.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host_fixture.h"

namespace {

using qeltest::HostTest;

struct MemoryProcs final {
    explicit MemoryProcs(const qelhost::Host& h)
        : alloc(h.Get<contract::QELMemoryInterface::Alloc>()),
          realloc(h.Get<contract::QELMemoryInterface::Realloc>()),
          free(h.Get<contract::QELMemoryInterface::Free>()) {}
    QELMemAllocProc alloc;
    QELMemReallocProc realloc;
    QELMemFreeProc free;
};

// A block filled with a pattern of its own, so that a block handed out twice
// or written past its end shows when it is checked.
struct Filled final {
    unsigned char* bytes;
    uint64_t size;
    unsigned char seed;

    void Fill() const {
        for (uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(seed + i * 31);
    }
    bool Intact() const {
        for (uint64_t i = 0; i < size; ++i)
            if (bytes[i] != static_cast<unsigned char>(seed + i * 31)) return false;
        return true;
    }
};

// Sizes on both sides of every class boundary, and blocks past the largest.
std::vector<uint64_t> Sizes() {
    std::vector<uint64_t> sizes{0, 1, 7, 8, 9};
    for (uint64_t s = 16; s <= 5000; s += s / 4)
        for (uint64_t d : {s - 1, s, s + 1}) sizes.push_back(d);
    for (uint64_t s : {8191u, 70000u, 300000u}) sizes.push_back(s);
    return sizes;
}

TEST_F(HostTest, BlocksOfEverySizeHoldTheirBytesAndAreAligned) {
    const MemoryProcs m(host());
    const qelhost::HostMemory before = host().Memory();
    std::vector<Filled> blocks;
    unsigned char seed = 1;
    for (int round = 0; round < 3; ++round)
        for (uint64_t size : Sizes()) {
            auto* p = static_cast<unsigned char*>(m.alloc(size));
            ASSERT_NE(p, nullptr) << size;
            const uintptr_t address = reinterpret_cast<uintptr_t>(p);
            // Aligned for any object of the size asked.
            uint64_t want = 1;
            while (want < 16 && size % (want * 2) == 0 && size >= want * 2) want *= 2;
            EXPECT_EQ(address % want, 0u) << "block of " << size << " bytes at " << p;
            blocks.push_back({p, size, seed++});
            blocks.back().Fill();
        }
    EXPECT_EQ(host().books().memoryBlocks, static_cast<int64_t>(blocks.size()));
    int64_t asked = 0;
    for (const Filled& b : blocks) asked += static_cast<int64_t>(b.size);
    EXPECT_GE(host().Memory().blockBytes - before.blockBytes, asked);
    for (const Filled& b : blocks) EXPECT_TRUE(b.Intact()) << "block of " << b.size << " bytes overwritten";

    // Realloc keeps the bytes, whether the block grows or shrinks.
    for (Filled& b : blocks) {
        const uint64_t size = b.size % 2 == 0 ? b.size * 3 + 5 : b.size / 2;
        auto* moved = static_cast<unsigned char*>(m.realloc(b.bytes, size));
        ASSERT_NE(moved, nullptr);
        for (uint64_t i = 0; i < std::min(size, b.size); ++i)
            ASSERT_EQ(moved[i], static_cast<unsigned char>(b.seed + i * 31)) << "byte " << i << " of " << b.size;
        b = {moved, size, b.seed};
        b.Fill();
    }
    for (const Filled& b : blocks) EXPECT_TRUE(b.Intact());
    for (const Filled& b : blocks) m.free(b.bytes);
    EXPECT_EQ(host().books().memoryBlocks, 0);
    EXPECT_EQ(host().Memory().blockBytes, before.blockBytes);
}

// Producers allocate and fill blocks and hand them over; consumers check and
// free them, each on its own thread, while producing blocks of their own.
TEST_F(HostTest, BlocksFreedOnOtherThreadsAreReusedWithoutOverlap) {
    const MemoryProcs m(host());
    const int64_t bytesBefore = host().Memory().blockBytes;
    const std::vector<uint64_t> sizes = Sizes();
    struct Queue final {
        std::mutex lock;
        std::condition_variable ready;
        std::deque<Filled> blocks;
        bool closed = false;
    };
    constexpr int kThreads = 4;
    std::vector<Queue> queues(kThreads);
    std::atomic<int> broken{0}, refused{0};

    auto work = [&](int me) {
        std::mt19937 random(static_cast<unsigned>(me) + 11);
        std::vector<Filled> own;
        for (int i = 0; i < 6000; ++i) {
            const uint64_t size = sizes[random() % (sizes.size() - 2)];  // the largest now and then only
            auto* p = static_cast<unsigned char*>(m.alloc(i % 500 == 0 ? 70000 : size));
            if (p == nullptr) {
                ++refused;
                continue;
            }
            Filled b{p, i % 500 == 0 ? 70000 : size, static_cast<unsigned char>(random())};
            b.Fill();
            if (random() % 2 == 0) {
                Queue& q = queues[(me + 1) % kThreads];
                std::lock_guard hold(q.lock);
                q.blocks.push_back(b);
                q.ready.notify_one();
            } else {
                own.push_back(b);
            }
            // Free some of its own and whatever was handed to it.
            if (own.size() > 50) {
                for (const Filled& f : own) {
                    if (!f.Intact()) ++broken;
                    m.free(f.bytes);
                }
                own.clear();
            }
            Queue& mine = queues[me];
            std::deque<Filled> taken;
            {
                std::lock_guard hold(mine.lock);
                taken.swap(mine.blocks);
            }
            for (const Filled& f : taken) {
                if (!f.Intact()) ++broken;
                m.free(f.bytes);
            }
        }
        for (const Filled& f : own) {
            if (!f.Intact()) ++broken;
            m.free(f.bytes);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
    for (std::thread& t : threads) t.join();
    // What was handed over after its receiver finished.
    for (Queue& q : queues)
        for (const Filled& f : q.blocks) {
            if (!f.Intact()) ++broken;
            m.free(f.bytes);
        }
    EXPECT_EQ(broken.load(), 0) << "blocks overlapped or were overwritten";
    EXPECT_EQ(refused.load(), 0);
    EXPECT_EQ(host().books().memoryBlocks, 0);
    EXPECT_EQ(host().Memory().blockBytes, bytesBefore);
}

// Blocks handed out after every block of theirs came back, whoever freed
// them and in whatever order, come in address order again: reused in the
// order of the frees they would scatter every later document over memory.
TEST_F(HostTest, BlocksAllFreedComeBackInAddressOrder) {
    if (host().config().variant != qelhost::HostConfig::Variant::Reference)
        GTEST_SKIP() << "the other configuration takes its blocks from the C heap";
    const MemoryProcs m(host());
    enum class FreedBy { TheirThread, AnotherThread };
    for (FreedBy freedBy : {FreedBy::TheirThread, FreedBy::AnotherThread}) {
        SCOPED_TRACE(freedBy == FreedBy::TheirThread ? "freed by their thread" : "freed by another thread");
        constexpr size_t kBlocks = 6000;  // several spans' worth
        std::vector<uintptr_t> again;
        std::thread owner([&] {
            std::vector<void*> blocks;
            for (size_t i = 0; i < kBlocks; ++i) blocks.push_back(m.alloc(40));
            std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
            auto freeAll = [&] {
                for (void* b : blocks) m.free(b);
            };
            if (freedBy == FreedBy::TheirThread)
                freeAll();
            else
                std::thread(freeAll).join();
            for (size_t i = 0; i < kBlocks; ++i) again.push_back(reinterpret_cast<uintptr_t>(m.alloc(40)));
            for (uintptr_t b : again) m.free(reinterpret_cast<void*>(b));
        });
        owner.join();
        ASSERT_EQ(again.size(), kBlocks);
        EXPECT_EQ(std::count(again.begin(), again.end(), uintptr_t{0}), 0);
        // An address lower than the one before: where one span ends and the
        // next begins, or in a span that other blocks still hold (a host
        // whose threads share one heap has some). Reuse in the order of the
        // frees makes about every second one lower.
        size_t descents = 0;
        for (size_t i = 1; i < again.size(); ++i) descents += again[i] < again[i - 1] ? 1 : 0;
        EXPECT_LT(descents, kBlocks / 50);
    }
    EXPECT_EQ(host().books().memoryBlocks, 0);
}

int gRecordsDestroyed = 0;
void DestroyRecord(void*) { ++gRecordsDestroyed; }

// The books are counted where the calls are made; what ended threads counted
// must still be in them, and the objects they made may be given back here.
TEST_F(HostTest, BooksCountWhatThreadsMadeAfterTheThreadsEnd) {
    const auto newAtom = host().Get<contract::QELStringInterface::NewStringAtom>();
    const auto deleteAtom = host().Get<contract::QELStringInterface::DeleteStringAtom>();
    const auto newContainer = host().Get<contract::QELContainerInterface::NewFullContainer>();
    const auto addRef = host().Get<contract::QELContainerInterface::AddRef>();
    const auto release = host().Get<contract::QELContainerInterface::Release>();
    const MemoryProcs m(host());
    QELStringAtom impl = newAtom("BooksImpl");
    QELStringAtom iface = newAtom("BooksInterface");
    const qelhost::HostMemory before = host().Memory();

    constexpr int kThreads = 3, kEach = 500;
    std::vector<std::vector<QELContainerHandle>> containers(kThreads);
    std::vector<std::vector<void*>> blocks(kThreads);
    std::vector<std::vector<QELStringAtom>> atoms(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                QELContainerHandle c = nullptr;
                if (newContainer(&c, nullptr, impl, &DestroyRecord, iface, nullptr, nullptr, nullptr) == nullptr) {
                    addRef(c);
                    containers[t].push_back(c);
                }
                blocks[t].push_back(m.alloc(40));
                atoms[t].push_back(newAtom(("thread" + std::to_string(t) + "-" + std::to_string(i % 50)).c_str()));
            }
        });
    for (std::thread& t : threads) t.join();
    const qelhost::Books made = host().books();
    EXPECT_EQ(made.containers, kThreads * kEach);
    EXPECT_EQ(made.memoryBlocks, kThreads * kEach);
    EXPECT_EQ(made.atomRefs, kThreads * kEach + 2);
    EXPECT_GT(host().Memory().containerBytes, before.containerBytes);

    gRecordsDestroyed = 0;
    for (int t = 0; t < kThreads; ++t) {
        for (QELContainerHandle c : containers[t]) release(c);
        for (void* b : blocks[t]) m.free(b);
        for (QELStringAtom a : atoms[t]) deleteAtom(a);
    }
    EXPECT_EQ(gRecordsDestroyed, kThreads * kEach);
    deleteAtom(impl);
    deleteAtom(iface);
    EXPECT_TRUE(host().books().AllZero()) << host().books().ToString();
    EXPECT_EQ(host().Memory().containerBytes, before.containerBytes);
    EXPECT_EQ(host().Memory().blockBytes, before.blockBytes);
}

// Every allocation-like call takes its turn, whatever its kind; the count of
// calls goes on whether a fault is armed or not.
TEST_F(HostTest, AnArmedFaultStrikesTheNthAllocationLikeCallOfAnyKind) {
    const auto newAtom = host().Get<contract::QELStringInterface::NewStringAtom>();
    const auto deleteAtom = host().Get<contract::QELStringInterface::DeleteStringAtom>();
    const auto newContainer = host().Get<contract::QELContainerInterface::NewFullContainer>();
    const auto release = host().Get<contract::QELContainerInterface::Release>();
    const auto releaseError = host().Get<contract::QELErrorInterface::Release>();
    const MemoryProcs m(host());
    QELStringAtom impl = newAtom("FaultImpl");
    QELStringAtom iface = newAtom("FaultInterface");

    // One call of each kind; true when it succeeded.
    const std::vector<std::function<bool()>> calls{
        [&] {
            void* b = m.alloc(24);
            m.free(b);
            return b != nullptr;
        },
        [&] {
            QELStringAtom a = newAtom("fault text");
            deleteAtom(a);
            return a != nullptr;
        },
        [&] {
            QELContainerHandle c = nullptr;
            const QELErrorHandle e = newContainer(&c, nullptr, impl, nullptr, iface, nullptr, nullptr, nullptr);
            if (e != nullptr) releaseError(e);
            if (c != nullptr) release(c);
            return e == nullptr && c != nullptr;
        },
        [&] {
            void* b = m.alloc(100);
            void* grown = m.realloc(b, 5000);
            m.free(grown != nullptr ? grown : b);
            return grown != nullptr;  // the Alloc is the first call, the Realloc the second
        },
    };
    constexpr uint64_t kCalls = 5;  // the four kinds make five allocation-like calls
    for (uint64_t nth = 1; nth <= kCalls + 1; ++nth) {
        SCOPED_TRACE("fault at call " + std::to_string(nth));
        const uint64_t before = host().AllocationCalls();
        host().FailAllocation(nth);
        std::vector<bool> ok;
        for (const auto& call : calls) ok.push_back(call());
        host().FailAllocation(0);
        EXPECT_EQ(host().AllocationCalls() - before, kCalls);
        const std::vector<bool> want{nth != 1, nth != 2, nth != 3, nth != 5};
        EXPECT_EQ(ok, want);
    }
    // Persistent: every call from the nth on.
    host().FailAllocation(2, true);
    std::vector<bool> ok;
    for (const auto& call : calls) ok.push_back(call());
    host().FailAllocation(0);
    EXPECT_EQ(ok, (std::vector<bool>{true, false, false, false}));
    EXPECT_TRUE(calls[0]()) << "disarmed";
    deleteAtom(impl);
    deleteAtom(iface);
}

}  // namespace
