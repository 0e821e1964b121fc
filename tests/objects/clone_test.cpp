// Clone and equality of nested values: the nesting bound, members of other
// components, and one report per failed call however deep the failure lay.
// (The bound on a small stack is proved with every other recursive path.)
#include <cstdint>
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

// A component's own object kind, published under an interface of its own
// with POSObjectInterface's two methods. What its Clone does is set per case.
enum class ForeignClone { Itself, NothingSilently, NothingWithAReport, TheLibrarysTooDeepClone, ItselfAfterAChange };
ForeignClone gForeignClone;
// What a foreign Clone or IsEqual does to the document before answering.
std::function<void()> gForeignChange;
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
        case ForeignClone::ItselfAfterAChange:
            if (gForeignChange) std::exchange(gForeignChange, nullptr)();
            return self;
    }
    return nullptr;
}
int32_t EqualForeign(QELContainerHandle a, QELContainerHandle b) {
    if (gForeignChange) std::exchange(gForeignChange, nullptr)();
    return a == b ? 1 : 0;
}

class ForeignMemberTest : public POSTest {
protected:
    void SetUp() override {
        POSTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(host().Register("ForeignObjectInterface", "Clone", "POSObjectCloneProc",
                                    reinterpret_cast<void*>(&CloneForeign)));
        ASSERT_TRUE(host().Register("ForeignObjectInterface", "IsEqual", "POSObjectIsEqualProc",
                                    reinterpret_cast<void*>(&EqualForeign)));
        gLibraryClone = pos().Proc<contract::POSObjectInterface::Clone>();
        gHostReport = host().Get<contract::QEL::QELReportError>();
        const auto newContainer = host().Get<contract::QELContainerInterface::NewFullContainer>();
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

// A foreign member's Clone or IsEqual may call back into the library and
// change the document being copied or compared: what it releases is not
// destroyed under the walk, and an entry taken away from under it fails the
// call with one report.
TEST_F(ForeignMemberTest, AForeignMemberThatChangesTheDocumentMeanwhile) {
    gForeignClone = ForeignClone::ItselfAfterAChange;
    const auto build = [&] {
        Ref doc = Parse("<a [1 2] b [x <c y>] z 3>");
        pos().Put(pos().DeepGet(doc, "b[1]"), "f", foreign_);
        return doc;
    };
    {
        SCOPED_TRACE("Clone, the collections around the member let go");
        const Ref doc = build();
        gForeignChange = [&] { pos().Put(doc, "b", pos().Number(0)); };
        const Ref copy = pos().Clone(doc);
        ASSERT_TRUE(copy);
        EXPECT_TRUE(TakeReports().empty());
        EXPECT_EQ(pos().DeepGet(copy, "b[1].f").get(), foreign_.get());
        EXPECT_EQ(pos().GetNumber(pos().Get(doc, "b")), 0);
    }
    for (const char* removed : {"b[1]", "root"}) {
        SCOPED_TRACE(std::string("Clone, an entry being copied removed from ") + removed);
        const Ref doc = build();
        gForeignChange = [&] {
            if (removed == std::string("root"))
                pos().Remove(doc, "b");
            else
                pos().Remove(pos().DeepGet(doc, "b[1]"), "f");
        };
        EXPECT_FALSE(pos().Clone(doc));
        EXPECT_EQ(TakeReports(), std::vector<std::string>{"the dictionary changed while it was copied"});
    }
    {
        SCOPED_TRACE("IsEqual, the member's parents removed on both sides");
        const Ref doc = build();
        const Ref other = build();
        gForeignChange = [&] {
            pos().Remove(doc, "b");
            pos().Remove(other, "b");
        };
        EXPECT_TRUE(pos().IsEqual(doc, other));
        EXPECT_TRUE(TakeReports().empty());
    }
    {
        SCOPED_TRACE("IsEqual, the next entry removed");
        const Ref doc = Parse("<b [x <c y>] z 3>");
        pos().Put(pos().DeepGet(doc, "b[1]"), "a", foreign_);
        const Ref other = pos().Clone(doc);
        gForeignChange = [&] { pos().Remove(pos().DeepGet(doc, "b[1]"), "c"); };
        EXPECT_FALSE(pos().IsEqual(doc, other));
        EXPECT_EQ(TakeReports(), std::vector<std::string>{"the dictionary changed while it was compared"});
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
