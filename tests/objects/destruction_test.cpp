// Destroying values when memory is exhausted: on a fresh thread, with the
// host's heap failing and, where the C library lets a program stand in for
// its allocator, with that failing too. Destruction must need no memory.
#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "pos_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
#define QELTEST_OWN_ALLOCATOR 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QELTEST_OWN_ALLOCATOR 0
#endif
#endif
#if !defined(QELTEST_OWN_ALLOCATOR)
#if defined(__GLIBC__)
#define QELTEST_OWN_ALLOCATOR 1
#else
#define QELTEST_OWN_ALLOCATOR 0
#endif
#endif

#if QELTEST_OWN_ALLOCATOR
// The C allocator watched on one thread: calls counted, and refused while
// armed. glibc calls these by name from itself too (thread-local blocks,
// registrations for thread exit), so they see every allocation there.
namespace {
struct CAllocatorWatch final {
    bool counting = false;
    bool failing = false;
    unsigned calls = 0;
};
thread_local CAllocatorWatch tWatch;  // trivial: the program's own, static, thread-local block

bool Refuse() noexcept {
    if (!tWatch.counting) return false;
    ++tWatch.calls;
    return tWatch.failing;
}
}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) { return Refuse() ? nullptr : __libc_malloc(size); }
void* calloc(size_t count, size_t size) { return Refuse() ? nullptr : __libc_calloc(count, size); }
void* realloc(void* block, size_t size) { return Refuse() ? nullptr : __libc_realloc(block, size); }
void* memalign(size_t alignment, size_t size) { return Refuse() ? nullptr : __libc_memalign(alignment, size); }
void* aligned_alloc(size_t alignment, size_t size) {
    return Refuse() ? nullptr : __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    if (Refuse()) return 12;  // ENOMEM
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) return 12;
    *out = block;
    return 0;
}
}
#endif

namespace {

using qelhost::pos::Ref;
using qeltest::POSTest;

std::atomic<int> gReleased{0};
void CountRelease(void*) { ++gReleased; }

// Every kind of value, collections nested levels deep, raw pointers at
// every tenth level: released through their release procedures.
Ref Everything(const qelhost::pos::Client& pos, int levels) {
    Ref outer = pos.Array();
    Ref inner = outer;
    for (int level = 1; level < levels; ++level) {
        Ref next = level % 2 == 0 ? pos.Array() : pos.Dict();
        if (pos.IsDict(inner)) {
            pos.Put(inner, "next", next);
            pos.Put(inner, "s", pos.String(std::to_string(level).c_str()));
            if (level % 10 == 2) pos.Put(inner, "r", pos.RawPointer(nullptr, &CountRelease));
        } else {
            pos.Append(inner, pos.Number(level));
            pos.Append(inner, pos.UnicodeString(u"u"));
            pos.Append(inner, pos.BinData("t", "bytes"));
            pos.Append(inner, next);
        }
        inner = next;
    }
    return outer;
}
constexpr int kLevels = 20000;
constexpr int kRawPointers = kLevels / 10;

// Runs on a thread of its own, on which the library has never run.
void OnFreshThread(const std::function<void()>& body) { std::thread(body).join(); }

TEST_F(POSTest, TheFirstDestructionOnAThreadNeedsNoHostMemory) {
    Ref doc = Everything(pos(), kLevels);
    gReleased = 0;
    OnFreshThread([&] {
        host().FailAllocation(1, true);
        doc.reset();
        host().FailAllocation(0);
    });
    EXPECT_EQ(gReleased, kRawPointers);
    EXPECT_EQ(host().books().containers, 0);
    EXPECT_EQ(TakeReports(), std::vector<std::string>{});
}

// With the host's heap exhausted, each procedure that needs memory reports
// that once and returns its failure value; the others go on working.
TEST_F(POSTest, WithTheHostHeapExhaustedEveryProcedureReportsBadAllocation) {
    const Ref array = Parse("[1 [2] <a 3>]");
    const Ref dict = Parse("<a 1>");
    const Ref full = Parse("[1 2 3 4]");
    const Ref number = pos().Number(7);
    const qelhost::pos::Atom key("a");
    const uint16_t units[] = {'u', 0};
    struct Case final {
        const char* what;
        std::function<bool()> failed;  // the failure value came back
        bool reports;
    };
    const Case cases[] = {
        {"NewPOSNumber", [&] { return pos().Proc<contract::POSNumberInterface::NewPOSNumber>()(1) == nullptr; }, true},
        {"NewPOSString", [&] { return pos().Proc<contract::POSStringInterface::NewPOSString>()("fresh text") == nullptr; }, true},
        {"NewPOSUnicodeString", [&] { return pos().Proc<contract::POSUnicodeStringInterface::NewPOSUnicodeString>()(units) == nullptr; }, true},
        {"NewPOSBinData", [&] { return pos().Proc<contract::POSBinDataInterface::NewPOSBinData>()("t", "b", 1) == nullptr; }, true},
        {"NewPOSRawPointer", [&] { return pos().Proc<contract::POSRawPointerInterface::NewPOSRawPointer>()(nullptr, nullptr) == nullptr; }, true},
        {"NewPOSArray", [&] { return pos().Proc<contract::POSArrayInterface::NewPOSArray>()() == nullptr; }, true},
        {"NewPOSDict", [&] { return pos().Proc<contract::POSDictInterface::NewPOSDict>()() == nullptr; }, true},
        {"NewPOSDictIterator", [&] { return pos().Proc<contract::POSDictIteratorInterface::NewPOSDictIterator>()(dict.get()) == nullptr; }, true},
        {"Clone", [&] { return pos().Proc<contract::POSObjectInterface::Clone>()(array.get()) == nullptr; }, true},
        {"CreateFromText", [&] { return pos().Proc<contract::POSObjectStatics::CreateFromText>()("[1 2]", nullptr) == nullptr; }, true},
        {"Append beyond the capacity", [&] {
             pos().Proc<contract::POSArrayInterface::Append>()(full.get(), number.get());
             return pos().Proc<contract::POSArrayInterface::Count>()(full.get()) == 4;
         }, true},
        // What needs no new memory still works.
        {"Clone of a number", [&] { return pos().Proc<contract::POSObjectInterface::Clone>()(number.get()) != number.get(); }, false},
        {"IsEqual", [&] { return pos().Proc<contract::POSObjectInterface::IsEqual>()(array.get(), array.get()) != 1; }, false},
        {"Get", [&] { return pos().Proc<contract::POSNumberInterface::Get>()(pos().Proc<contract::POSArrayInterface::GetAt>()(array.get(), 0)) != 1; }, false},
        {"Remove", [&] {
             pos().Proc<contract::POSDictInterface::Remove>()(dict.get(), key.get());
             return pos().Proc<contract::POSDictInterface::Get>()(dict.get(), key.get()) != nullptr;
         }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool failed = false;
        OnFreshThread([&] {
            host().FailAllocation(1, true);
            failed = c.failed();
            host().FailAllocation(0);
        });
        EXPECT_EQ(failed, c.reports);
        EXPECT_EQ(TakeReports(), c.reports ? std::vector<std::string>{"bad allocation"} : std::vector<std::string>{});
    }
}

// A release procedure that drops the last reference to another deep value:
// destruction begun inside a destruction waits its turn.
Ref gHeldByARawPointer;
void ReleaseTheHeldValue(void*) {
    ++gReleased;
    gHeldByARawPointer.reset();
}

TEST_F(POSTest, AReleaseProcedureMayDestroyAnotherDeepValue) {
    gReleased = 0;
    {
        gHeldByARawPointer = Everything(pos(), kLevels);
        Ref outer = pos().Array();
        Ref inner = outer;
        for (int level = 0; level < kLevels; ++level) {
            Ref next = pos().Array();
            pos().Append(inner, next);
            inner = next;
        }
        pos().Append(inner, pos().RawPointer(nullptr, &ReleaseTheHeldValue));
    }
    EXPECT_FALSE(gHeldByARawPointer);
    EXPECT_EQ(gReleased, kRawPointers + 1);
    EXPECT_EQ(host().books().containers, 0);
}

#if QELTEST_OWN_ALLOCATOR
// The test's own client looks the host's procedures up once a thread: done
// before watching, on an object of the host's own, so the library has still
// not run on the thread.
void WarmUpTheClient(qelhost::Host& host) { Ref::Take(host.NewMemoryStream()).reset(); }

TEST_F(POSTest, DestroyingCallsNoCAllocator) {
    Ref doc = Everything(pos(), kLevels);
    gReleased = 0;
    unsigned calls = ~0u;
    OnFreshThread([&] {
        WarmUpTheClient(host());
        tWatch.counting = true;
        doc.reset();
        tWatch.counting = false;
        calls = tWatch.calls;
    });
    EXPECT_EQ(calls, 0u);
    EXPECT_EQ(gReleased, kRawPointers);
    EXPECT_EQ(host().books().containers, 0);
}

TEST_F(POSTest, DestroyingWhenNoAllocatorHasMemory) {
    Ref doc = Everything(pos(), kLevels);
    gReleased = 0;
    OnFreshThread([&] {
        WarmUpTheClient(host());
        host().FailAllocation(1, true);
        tWatch.failing = true;
        tWatch.counting = true;
        doc.reset();
        tWatch = CAllocatorWatch{};
        host().FailAllocation(0);
    });
    EXPECT_EQ(gReleased, kRawPointers);
    EXPECT_EQ(host().books().containers, 0);
    EXPECT_EQ(TakeReports(), std::vector<std::string>{});
}
#endif

}  // namespace
