// Clone and equality of nested values: the nesting bound (on a small stack
// too), members of other components, and one report per failed call however
// deep the failure lay.
#include <pthread.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "pos_fixture.h"

namespace {

using qelhost::pos::Ref;
using qeltest::POSTest;

constexpr const char kTooDeep[] = "Nesting of arrays and dictionaries is too deep";
constexpr unsigned kBound = 1000;

enum class Nest { Arrays, Dicts, Alternating };

// levels collections, each inside the one before, the innermost holding a
// number.
Ref Nested(const qelhost::pos::Client& pos, Nest nest, unsigned levels) {
    auto make = [&](unsigned level) {
        return nest == Nest::Dicts || (nest == Nest::Alternating && level % 2 == 1) ? pos.Dict() : pos.Array();
    };
    auto add = [&](const Ref& into, const Ref& value) {
        if (pos.IsDict(into))
            pos.Put(into, "k", value);
        else
            pos.Append(into, value);
    };
    Ref outer = make(0);
    Ref inner = outer;
    for (unsigned level = 1; level < levels; ++level) {
        Ref next = make(level);
        add(inner, next);
        inner = next;
    }
    add(inner, pos.Number(levels));
    return outer;
}

TEST_F(POSTest, NestingUpToTheBoundClonesAndCompares_OneLevelMoreFailsWithOneReport) {
    for (Nest nest : {Nest::Arrays, Nest::Dicts, Nest::Alternating}) {
        SCOPED_TRACE(static_cast<int>(nest));
        {
            const Ref deep = Nested(pos(), nest, kBound);
            const Ref twin = Nested(pos(), nest, kBound);
            const Ref copy = pos().Clone(deep);
            ASSERT_TRUE(copy);
            EXPECT_NE(copy.get(), deep.get());
            EXPECT_TRUE(pos().IsEqual(copy, deep));
            EXPECT_TRUE(pos().IsEqual(deep, twin));
            EXPECT_EQ(TakeReports(), std::vector<std::string>{});
        }
        const Ref deeper = Nested(pos(), nest, kBound + 1);
        const int64_t made = host().books().containers;
        EXPECT_FALSE(pos().Clone(deeper));
        EXPECT_EQ(TakeReports(), std::vector<std::string>{kTooDeep});
        EXPECT_EQ(host().books().containers, made) << "the partial copy is gone";
        EXPECT_FALSE(pos().IsEqual(deeper, deeper));
        EXPECT_EQ(TakeReports(), std::vector<std::string>{kTooDeep});
    }
}

// The stack a thread has for the walks at the bound: what the release build
// must fit in, and more under AddressSanitizer, whose frames carry red zones.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kSmallStack = 1u << 20;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t kSmallStack = 1u << 20;
#else
constexpr size_t kSmallStack = 256u << 10;
#endif
#else
constexpr size_t kSmallStack = 256u << 10;
#endif

constexpr unsigned char kPaint = 0xA5;

struct SmallStackRun final {
    const std::function<void()>* body;
    size_t used = 0;  // 0: not measured
};

// Below the caller's frame: the part of the stack that the body may use.
__attribute__((noinline, no_sanitize_address)) void Paint(unsigned char* low, unsigned char* high) {
    for (volatile unsigned char* p = low; p < high; ++p) *p = kPaint;
}
__attribute__((noinline, no_sanitize_address)) const unsigned char* DeepestTouched(const unsigned char* low,
                                                                                 const unsigned char* high) {
    const volatile unsigned char* p = low;
    while (p < high && *p == kPaint) ++p;
    return const_cast<const unsigned char*>(p);
}

void* RunOnSmallStack(void* argument) {
    auto* run = static_cast<SmallStackRun*>(argument);
    unsigned char top[1];
    unsigned char* low = nullptr;
#if defined(__GLIBC__)
    // Where the C library tells where the stack lies, the bytes the body
    // used are measured; elsewhere it only runs.
    pthread_attr_t attr;
    void* base = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0 && pthread_attr_getstack(&attr, &base, &size) == 0) {
        low = static_cast<unsigned char*>(base) + 4096;  // past a guard page
        Paint(low, reinterpret_cast<unsigned char*>(reinterpret_cast<uintptr_t>(top) - 1024));
    }
    pthread_attr_destroy(&attr);
#endif
    (*run->body)();
    if (low != nullptr) run->used = static_cast<size_t>(top - DeepestTouched(low, top));
    return nullptr;
}

// Runs body on a new thread with a stack of kSmallStack bytes; the bytes it
// used, or 0 where that cannot be measured.
size_t OnSmallStack(const std::function<void()>& body) {
    SmallStackRun run{&body};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    EXPECT_EQ(pthread_attr_setstacksize(&attr, kSmallStack), 0);
    pthread_t thread;
    const int created = pthread_create(&thread, &attr, &RunOnSmallStack, &run);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(created, 0);
    if (created == 0) pthread_join(thread, nullptr);
    return run.used;
}

TEST_F(POSTest, CloneAndEqualityAtTheBoundFitASmallStack) {
    for (Nest nest : {Nest::Arrays, Nest::Dicts, Nest::Alternating}) {
        SCOPED_TRACE(static_cast<int>(nest));
        const Ref deep = Nested(pos(), nest, kBound);
        const Ref twin = Nested(pos(), nest, kBound);
        const Ref deeper = Nested(pos(), nest, kBound + 1);
        Ref copy;
        bool equal = false;
        bool refused = true;
        const size_t cloning = OnSmallStack([&] { copy = pos().Clone(deep); });
        const size_t comparing = OnSmallStack([&] { equal = pos().IsEqual(deep, twin); });
        // Failing at the bound unwinds from the deepest frame.
        OnSmallStack([&] { refused = !pos().Clone(deeper) && !pos().IsEqual(deeper, deeper); });
        EXPECT_TRUE(copy);
        EXPECT_TRUE(equal);
        EXPECT_TRUE(refused);
        EXPECT_EQ(TakeReports(), (std::vector<std::string>{kTooDeep, kTooDeep}));
        std::printf("%u levels on a %zu KB stack: Clone used %zu KB, IsEqual %zu KB\n", kBound, kSmallStack >> 10,
                    cloning >> 10, comparing >> 10);
        // Headroom, so that growth shows here before it overflows.
        EXPECT_LT(cloning, kSmallStack / 5 * 4);
        EXPECT_LT(comparing, kSmallStack / 5 * 4);
    }
}

// A component's own object kind, published under an interface of its own
// with POSObjectInterface's two methods. What its Clone does is set per case.
enum class ForeignClone { Itself, NothingSilently, NothingWithAReport, TheLibrarysTooDeepClone };
ForeignClone gForeignClone;
POSObjectCloneProc gLibraryClone;
QELContainerHandle gTooDeep;
QELReportProc gHostReport;

QELContainerHandle CloneForeign(QELContainerHandle self) {
    switch (gForeignClone) {
        case ForeignClone::Itself:
            return self;
        case ForeignClone::NothingSilently:
            return nullptr;
        case ForeignClone::NothingWithAReport:
            gHostReport("foreign clone failed");
            return nullptr;
        case ForeignClone::TheLibrarysTooDeepClone:
            return gLibraryClone(gTooDeep);
    }
    return nullptr;
}
int32_t EqualForeign(QELContainerHandle a, QELContainerHandle b) { return a == b ? 1 : 0; }

class ForeignMemberTest : public POSTest {
protected:
    void SetUp() override {
        POSTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(host().Register("ForeignObjectInterface", "Clone", "POSObjectCloneProc",
                                    reinterpret_cast<void*>(&CloneForeign)));
        ASSERT_TRUE(host().Register("ForeignObjectInterface", "IsEqual", "POSObjectIsEqualProc",
                                    reinterpret_cast<void*>(&EqualForeign)));
        gLibraryClone = pos().clone;
        gHostReport = host().Get<QELReportProc>("QEL", "QELReportError", "QELReportError");
        const auto newContainer = host().Get<QELNewFullContainerV5Proc>("QELContainerInterface", "NewFullContainer",
                                                                        "QELNewFullContainerV5Proc");
        static int object;
        const qelhost::pos::Atom impl("ForeignImpl");
        const qelhost::pos::Atom iface("ForeignObjectInterface");
        QELContainerHandle handle = nullptr;
        ASSERT_EQ(newContainer(&handle, &object, impl.get(), nullptr, iface.get(), nullptr, nullptr, nullptr), nullptr);
        foreign_ = Ref::Take(handle);
    }
    void TearDown() override {
        foreign_.reset();
        host().Withdraw("ForeignObjectInterface");
        POSTest::TearDown();
    }
    Ref foreign_;
};

TEST_F(ForeignMemberTest, AForeignMemberClonesAndReportsAsItsOwnerDecides) {
    const Ref tooDeep = Nested(pos(), Nest::Arrays, kBound + 1);
    gTooDeep = tooDeep.get();
    struct Case {
        ForeignClone clone;
        bool copied;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        {ForeignClone::Itself, true, {}},
        {ForeignClone::NothingSilently, false, {"CPOSObject::Clone failed"}},
        {ForeignClone::NothingWithAReport, false, {"foreign clone failed", "CPOSObject::Clone failed"}},
        {ForeignClone::TheLibrarysTooDeepClone, false, {kTooDeep}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.clone));
        gForeignClone = c.clone;
        // The foreign member three levels down, beside members of our own.
        const Ref doc = Parse("<a [1 2] b [x <c y>]>");
        const Ref inner = pos().DeepGet(doc, "b[1]");
        ASSERT_TRUE(inner);
        pos().Put(inner, "f", foreign_);
        const int64_t containers = host().books().containers;
        const Ref copy = pos().Clone(doc);
        EXPECT_EQ(bool(copy), c.copied);
        EXPECT_EQ(TakeReports(), c.reports);
        if (copy) {
            EXPECT_EQ(pos().DeepGet(copy, "b[1].f").get(), foreign_.get()) << "the member cloned itself";
            EXPECT_NE(pos().DeepGet(copy, "b[1]").get(), inner.get());
            EXPECT_TRUE(pos().IsEqual(copy, doc));
        } else {
            EXPECT_EQ(host().books().containers, containers) << "nothing of the partial copy is left";
        }
    }
}

// A fault at each allocation-like host call of one Clone in turn, then the
// same with every later call failing too: either a whole copy or none, one
// report, and the books where they were.
TEST_F(POSTest, CloneFailsCleanlyAtEveryAllocation) {
    const Ref doc = Parse("<a [1 (two) `0041` <b [] c <>>] d <e [[3] [4 5]] f (g)> h 6>");
    pos().Append(pos().Get(doc, "a"), pos().UnicodeString(u"u"));
    pos().Put(doc, "r", pos().RawPointer(nullptr, nullptr));
    ASSERT_TRUE(pos().Clone(doc)) << "first use imports what later calls find";
    TakeReports();
    for (bool persistent : {false, true}) {
        uint64_t nth = 1;
        for (;; ++nth) {
            SCOPED_TRACE(std::string(persistent ? "from allocation " : "allocation ") + std::to_string(nth));
            const qelhost::Books before = host().books();
            const uint64_t calls = host().AllocationCalls();
            host().FailAllocation(nth, persistent);
            Ref copy = pos().Clone(doc);
            const bool struck = host().AllocationCalls() - calls >= nth;
            host().FailAllocation(0);
            const std::vector<std::string> reports = TakeReports();
            EXPECT_EQ(bool(copy), !struck);
            EXPECT_EQ(reports, struck ? std::vector<std::string>{"bad allocation"} : std::vector<std::string>{});
            if (copy) {
                EXPECT_TRUE(pos().IsEqual(copy, doc));
            }
            copy.reset();
            const qelhost::Books after = host().books();
            EXPECT_EQ(after.ToString(), before.ToString());
            if (!struck) break;
            ASSERT_LT(nth, 1000u);
        }
        EXPECT_GT(nth, 20u) << "the sweep reached every level";
    }
}

}  // namespace
