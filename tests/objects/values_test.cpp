// Scalars, kinds and the published surface's failure values and reports.
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "pos_fixture.h"

namespace {

using qelhost::pos::Ref;
using qeltest::POSTest;

TEST_F(POSTest, EveryKindAnswersOnlyItsOwnIsProcedure) {
    const Ref values[] = {
        pos().Number(1),       pos().String("s"),       pos().UnicodeString(u"u"), pos().BinData("t", "b"),
        pos().RawPointer(nullptr, nullptr), pos().Array(), pos().Dict(),
    };
    for (size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(i);
        const Ref& v = values[i];
        const bool is[] = {pos().IsNumber(v), pos().IsString(v),  pos().IsUnicodeString(v), pos().IsBinData(v),
                           pos().IsRawPointer(v), pos().IsArray(v), pos().IsDict(v)};
        for (size_t k = 0; k < std::size(is); ++k) EXPECT_EQ(is[k], k == i) << "kind " << k;
    }
    EXPECT_EQ(pos().Proc<contract::POSDictInterface::IsPOSDict>()(nullptr), 0);
    EXPECT_TRUE(TakeReports().empty()) << "asking the kind reports nothing";
}

TEST_F(POSTest, WrongKindsAreReportedWithTheirFailureValues) {
    const Ref number = pos().Number(3);
    const Ref array = pos().Array();
    const qelhost::pos::Atom key("k");
    struct Case {
        std::function<void()> call;
        const char* report;
    };
    const Case cases[] = {
        {[&] { EXPECT_EQ(pos().Proc<contract::POSNumberInterface::Get>()(array.get()), 0.0); }, "instance was not an POSNumber"},
        {[&] { EXPECT_STREQ(pos().Proc<contract::POSStringInterface::Get>()(number.get()), ""); }, "instance was not an POSString"},
        {[&] { EXPECT_EQ(pos().Proc<contract::POSUnicodeStringInterface::Get>()(number.get()), nullptr); }, "instance was not an POSUnicodeString"},
        {[&] { EXPECT_EQ(pos().Proc<contract::POSBinDataInterface::GetSize>()(number.get()), 0u); }, "instance was not an POSBinData"},
        {[&] { EXPECT_EQ(pos().Proc<contract::POSBinDataInterface::GetBinData>()(number.get()), nullptr); }, "instance was not an POSBinData"},
        {[&] { EXPECT_EQ(pos().Proc<contract::POSRawPointerInterface::GetRawPointer>()(number.get()), nullptr); }, "instance was not an POSRawPointer"},
        {[&] { EXPECT_EQ(pos().Proc<contract::POSArrayInterface::Count>()(number.get()), 0u); }, "instance was not an POSArray"},
        {[&] { pos().Proc<contract::POSArrayInterface::Append>()(number.get(), number.get()); }, "instance was not an POSArray"},
        {[&] { EXPECT_EQ(pos().Proc<contract::POSDictInterface::Get>()(array.get(), key.get()), nullptr); }, "instance was not an POSDict"},
        {[&] { EXPECT_EQ(pos().Proc<contract::POSDictInterface::DeepGet>()(array.get(), key.get()), nullptr); }, "instance was not an POSDict"},
        {[&] { EXPECT_EQ(pos().Proc<contract::POSDictIteratorInterface::NewPOSDictIterator>()(array.get()), nullptr); }, "instance was not an POSDict"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        c.call();
        EXPECT_EQ(TakeReports(), std::vector<std::string>{c.report});
    }
}

TEST_F(POSTest, HandlesThatAreNoPropertyObjectsFailInTheLookup) {
    const Ref dict = pos().Dict();
    const Ref iterator = Ref::Take(pos().Proc<contract::POSDictIteratorInterface::NewPOSDictIterator>()(dict.get()));
    EXPECT_EQ(pos().Proc<contract::POSNumberInterface::Get>()(iterator.get()), 0.0);
    EXPECT_EQ(TakeReports().size(), 1u) << "the host's answer is reported once";
    pos().Proc<contract::POSObjectStatics::DebugDump>()(iterator.get());
    EXPECT_EQ(TakeReports().size(), 1u);
    // And an iterator procedure given a property object.
    EXPECT_EQ(pos().Proc<contract::POSDictIteratorInterface::IsDone>()(dict.get()), 1);
    EXPECT_EQ(TakeReports().size(), 1u);
}

TEST_F(POSTest, ScalarsKeepTheirValues) {
    EXPECT_EQ(pos().GetNumber(pos().Number(-2.5)), -2.5);
    EXPECT_EQ(pos().GetString(pos().String("")), "");
    EXPECT_EQ(pos().GetString(pos().String("h\xC3\xA9llo")), "h\xC3\xA9llo");
    EXPECT_EQ(pos().GetUnicodeString(pos().UnicodeString(u"\u4E2Dx")), u"\u4E2Dx");
    const Ref empty = pos().UnicodeString(u"");
    ASSERT_NE(pos().Proc<contract::POSUnicodeStringInterface::Get>()(empty.get()), nullptr);
    EXPECT_EQ(pos().Proc<contract::POSUnicodeStringInterface::Get>()(empty.get())[0], 0);

    const std::string bytes("a\0b\xff", 4);
    const Ref bin = pos().BinData("image/raw", bytes);
    EXPECT_EQ(pos().GetBinData(bin), bytes);
    EXPECT_STREQ(pos().Proc<contract::POSBinDataInterface::GetTypeName>()(bin.get()), "image/raw");
    EXPECT_EQ(pos().Proc<contract::POSBinDataInterface::GetSize>()(pos().BinData("none", "").get()), 0u);

    int target = 0;
    const QELRawPointerReleaseProc release = [](void*) {};
    const Ref raw = pos().RawPointer(&target, release);
    EXPECT_EQ(pos().Proc<contract::POSRawPointerInterface::GetRawPointer>()(raw.get()), &target);
    EXPECT_EQ(pos().Proc<contract::POSRawPointerInterface::GetReleaseProc>()(raw.get()), release);
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(POSTest, AStringsTextLivesInTheHostsAtom) {
    const Ref a = pos().String("shared text");
    const Ref b = pos().String("shared text");
    EXPECT_EQ(pos().Proc<contract::POSStringInterface::Get>()(a.get()), pos().Proc<contract::POSStringInterface::Get>()(b.get())) << "equal texts share one atom";
}

int gReleases = 0;
void CountRelease(void*) { ++gReleases; }

TEST_F(POSTest, ARawPointerIsReleasedOnceWhenTheLastHolderLetsGo) {
    gReleases = 0;
    {
        const Ref raw = pos().RawPointer(nullptr, &CountRelease);
        const Ref array = pos().Array();
        pos().Append(array, raw);
        pos().Append(array, raw);
        EXPECT_EQ(gReleases, 0);
    }
    EXPECT_EQ(gReleases, 1) << "called once, also for a null pointer";
}

TEST_F(POSTest, ReplacingADictionaryValueReleasesTheOldOneOnce) {
    gReleases = 0;
    const Ref dict = pos().Dict();
    pos().Put(dict, "k", pos().RawPointer(nullptr, &CountRelease));
    pos().Put(dict, "k", pos().Number(1));
    EXPECT_EQ(gReleases, 1);
    EXPECT_EQ(pos().Keys(dict), std::vector<std::string>{"k"});
    EXPECT_EQ(pos().GetNumber(pos().Get(dict, "k")), 1);
    pos().Put(dict, "r", pos().RawPointer(nullptr, &CountRelease));
    pos().Remove(dict, "r");
    EXPECT_EQ(gReleases, 2);
    pos().Remove(dict, "absent");
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(POSTest, CloneSharesScalarsAndCopiesCollections) {
    for (const Ref& scalar : {pos().Number(1), pos().String("s"), pos().UnicodeString(u"u"),
                              pos().BinData("t", "b"), pos().RawPointer(nullptr, nullptr)}) {
        EXPECT_EQ(pos().Proc<contract::POSObjectInterface::Clone>()(scalar.get()), scalar.get());
    }
    const Ref dict = Parse("<list [1 2 3] name x>");
    const Ref copy = pos().Clone(dict);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), dict.get());
    EXPECT_TRUE(pos().IsEqual(copy, dict));
    const Ref list = pos().Get(dict, "list");
    const Ref listCopy = pos().Get(copy, "list");
    EXPECT_NE(list.get(), listCopy.get()) << "a new array";
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(pos().GetAt(list, i).get(), pos().GetAt(listCopy, i).get()) << "the same number objects";
    // The copy is independent.
    pos().Append(listCopy, pos().Number(4));
    EXPECT_EQ(pos().Count(list), 3u);
    EXPECT_FALSE(pos().IsEqual(copy, dict));

    const Ref emptyArray = pos().Array();
    const Ref emptyCopy = pos().Clone(emptyArray);
    EXPECT_NE(emptyCopy.get(), emptyArray.get());
    EXPECT_EQ(pos().Count(emptyCopy), 0u);
}

TEST_F(POSTest, EqualityRules) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        Ref a, b;
        bool equal;
        const char* what;
    };
    const Case cases[] = {
        {pos().Number(1), pos().Number(1), true, "numbers"},
        {pos().Number(0.0), pos().Number(-0.0), true, "signed zeros"},
        {pos().Number(nan), pos().Number(nan), false, "NaN"},
        {pos().Number(1), pos().String("1"), false, "number and string"},
        {pos().String("a"), pos().String("a"), true, "strings"},
        {pos().String("a"), pos().String("b"), false, "different strings"},
        {pos().UnicodeString(u"ab"), pos().UnicodeString(u"ab"), true, "unicode"},
        {pos().UnicodeString(u"ab"), pos().UnicodeString(u"a"), false, "unicode prefix"},
        {pos().BinData("t", "xy"), pos().BinData("t", "xy"), true, "bindata"},
        {pos().BinData("t", "xy"), pos().BinData("u", "xy"), false, "bindata type"},
        {pos().BinData("t", "xy"), pos().BinData("t", "xz"), false, "bindata bytes"},
        {pos().RawPointer(&gReleases, nullptr), pos().RawPointer(nullptr, &CountRelease), true, "raw pointers"},
        {pos().Array(), pos().Array(), true, "empty arrays"},
        {pos().Dict(), pos().Dict(), true, "empty dicts"},
        {pos().Array(), pos().Dict(), false, "array and dict"},
        {Parse("[1 [2 x]]"), Parse("[1 [2 x]]"), true, "nested arrays"},
        {Parse("[1 2]"), Parse("[2 1]"), false, "order"},
        {Parse("<a 1>"), Parse("<a 1 b 2>"), false, "subset"},
        {Parse("<a 1 b 2>"), Parse("<a 1>"), false, "superset"},
        {Parse("<a 1 b <c [x]>>"), Parse("<b <c [x]> a 1>"), true, "dicts in any order"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pos().IsEqual(c.a, c.b), c.equal);
    }
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(POSTest, DebugDumpWritesNothingAndKeepsTheCount) {
    const Ref dict = Parse("<a 1>");
    const int64_t containers = host().books().containers;
    pos().Proc<contract::POSObjectStatics::DebugDump>()(dict.get());
    pos().Proc<contract::POSObjectStatics::DebugDumpWithHeader>()(dict.get(), "x", nullptr);
    pos().Proc<contract::POSObjectStatics::DebugDumpRewind>()(dict.get(), nullptr, "y");
    EXPECT_EQ(host().books().containers, containers);
    EXPECT_TRUE(TakeReports().empty());
    // The dictionary is still alive and intact.
    EXPECT_EQ(pos().GetNumber(pos().Get(dict, "a")), 1);
}

TEST_F(POSTest, EveryAllocationFailureIsReportedOnceAndLeaksNothing) {
    // Sweep one failing allocation over building a document and comparing
    // it with another: each failed call says so exactly once.
    const Ref other = Parse("<b <c 3.5> a [1 (two) `0041`]>");
    for (uint64_t nth = 1;; ++nth) {
        SCOPED_TRACE(nth);
        const uint64_t before = host().AllocationCalls();
        host().FailAllocation(nth);
        size_t failedCalls = 0;
        {
            const Ref doc = pos().FromText("<a [1 (two) `0041`] b <c 3.5>>");
            if (!doc) {
                ++failedCalls;
            } else if (!pos().IsEqual(doc, other)) {
                ++failedCalls;
            }
        }
        const bool reached = host().AllocationCalls() - before >= nth;
        host().FailAllocation(0);
        const std::vector<std::string> reports = TakeReports();
        EXPECT_EQ(failedCalls, reached ? 1u : 0u);
        EXPECT_EQ(reports.size(), failedCalls) << (reports.empty() ? "" : reports.front());
        if (!reached) break;
        ASSERT_LT(nth, 10000u);
    }
}

}  // namespace

namespace {

// The library makes, reads, copies and compares its own objects directly:
// none of that goes back through the published tables, so a host that
// withdraws them (or routes them elsewhere) changes nothing of it.
TEST_F(POSTest, OwnObjectsAreBuiltAndWalkedWithoutThePublishedTables) {
    std::atomic<int> routed{0};
    static std::atomic<int>* gRouted = nullptr;
    gRouted = &routed;
    using Strings = contract::POSStringInterface;
    static POSStringNewPOSStringProc gNewString = nullptr;
    gNewString = pos().Proc<Strings::NewPOSString>();
    const auto counting = +[](const char* text) -> QELContainerHandle {
        ++*gRouted;
        return gNewString(text);
    };
    host().Withdraw(Strings::kName);
    qeltest::RegisterRows(host(), Strings::kName,
                          contract::Publication(contract::Publish<Strings::NewPOSString>(counting),
                                                contract::Publish<Strings::IsPOSString>(pos().Proc<Strings::IsPOSString>()),
                                                contract::Publish<Strings::Get>(pos().Proc<Strings::Get>())));
    for (const char* name : {contract::POSNumberInterface::kName, contract::POSArrayInterface::kName,
                             contract::POSDictInterface::kName, contract::POSDictIteratorInterface::kName})
        host().Withdraw(name);

    const Ref doc = pos().FromText("<a [1 (two) `0041`] b <c 3.5 d [x <e y>]>>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(routed, 0) << "the parser made its strings itself";
    EXPECT_EQ(Text(doc), "<a [1 two `0041`] b <c 3.5 d [x <e y>]>>");
    const Ref copy = pos().Clone(doc);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), doc.get());
    EXPECT_TRUE(pos().IsEqual(copy, doc));
    EXPECT_EQ(pos().DeepGet(copy, "b.d[1].e").get(), pos().DeepGet(doc, "b.d[1].e").get()) << "scalars are shared";
    EXPECT_EQ(TakeReports(), std::vector<std::string>{});
}

}  // namespace
