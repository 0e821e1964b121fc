// Arrays and dictionaries through the published tables.
#include <string>
#include <vector>

#include "pos_fixture.h"

namespace {

using qelhost::pos::Ref;
using qeltest::POSTest;

std::vector<double> Numbers(const qelhost::pos::Client& pos, const Ref& array) {
    std::vector<double> out;
    for (uint32_t i = 0; i < pos.Count(array); ++i) out.push_back(pos.GetNumber(pos.GetAt(array, i)));
    return out;
}

TEST_F(POSTest, ArrayAppendGetAtRemove) {
    const Ref array = Parse("[10 11 12]");
    EXPECT_EQ(pos().Proc<contract::POSArrayInterface::GetAt>()(array.get(), 3), nullptr) << "GetAt at Count is no member";
    pos().RemoveAt(array, 3);
    EXPECT_EQ(Numbers(pos(), array), (std::vector<double>{10, 11, 12}));
    pos().RemoveAt(array, 0);
    EXPECT_EQ(Numbers(pos(), array), (std::vector<double>{11, 12}));
    pos().RemoveAt(array, 1);
    pos().RemoveAt(array, 0);
    EXPECT_EQ(pos().Count(array), 0u);
    EXPECT_TRUE(TakeReports().empty()) << "absences are quiet";
}

TEST_F(POSTest, ArrayMembersAreHeldByTheArray) {
    const Ref array = pos().Array();
    const int64_t before = host().books().containers;
    for (int i = 0; i < 100; ++i) pos().Append(array, pos().Number(i));
    EXPECT_EQ(host().books().containers, before + 100);
    const Ref member = pos().GetAt(array, 57);
    EXPECT_EQ(pos().GetNumber(member), 57);
    pos().RemoveAt(array, 57);
    EXPECT_EQ(host().books().containers, before + 100) << "still held by us";
    EXPECT_EQ(pos().GetNumber(pos().GetAt(array, 57)), 58);
}

TEST_F(POSTest, SetAtBeyondTheEndLeavesEmptySlots) {
    const Ref array = pos().Array();
    pos().SetAt(array, 2, pos().Number(7));
    EXPECT_EQ(pos().Count(array), 3u);
    EXPECT_FALSE(pos().GetAt(array, 0));
    EXPECT_FALSE(pos().GetAt(array, 1));
    EXPECT_EQ(pos().GetNumber(pos().GetAt(array, 2)), 7);
    pos().SetAt(array, 0, pos().String("x"));
    EXPECT_EQ(pos().GetString(pos().GetAt(array, 0)), "x");
    // Empty slots compare and clone as empty slots.
    const Ref copy = pos().Clone(array);
    ASSERT_TRUE(copy);
    EXPECT_EQ(pos().Count(copy), 3u);
    EXPECT_FALSE(pos().GetAt(copy, 1));
    EXPECT_TRUE(pos().IsEqual(copy, array));
    pos().SetAt(copy, 1, pos().Number(0));
    EXPECT_FALSE(pos().IsEqual(copy, array));
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(POSTest, AnIndexTooLargeForAnyBlockFailsCleanly) {
    const Ref array = pos().Array();
    pos().SetAt(array, 0xFFFFFFFFu, pos().Number(1));
    EXPECT_EQ(TakeReports(), std::vector<std::string>{"bad allocation"});
    EXPECT_EQ(pos().Count(array), 0u);
}

TEST_F(POSTest, SetAtAndAppendRefuseHandlesThatAreNoObjects) {
    const Ref array = pos().Array();
    pos().Append(array, Ref());
    pos().SetAt(array, 0, Ref());
    EXPECT_EQ(TakeReports().size(), 2u);
    EXPECT_EQ(pos().Count(array), 0u) << "nothing is stored";
}

TEST_F(POSTest, KeysAreOrderedByUnsignedBytes) {
    const Ref dict = pos().Dict();
    for (const char* key : {"b", "a", "B", "ab", "\xC3\xA9", "\x7F", "", "a\x80", "a\x01"})
        pos().Put(dict, key, pos().Number(1));
    EXPECT_EQ(pos().Keys(dict), (std::vector<std::string>{"", "B", "a", "a\x01", "ab", "a\x80", "b", "\x7F",
                                                           "\xC3\xA9"}));
}

TEST_F(POSTest, IteratorWalksKeysInOrder) {
    const Ref dict = Parse("<b 1 a 2>");
    const Ref it = Ref::Take(pos().Proc<contract::POSDictIteratorInterface::NewPOSDictIterator>()(dict.get()));
    EXPECT_STREQ(pos().Proc<contract::POSDictIteratorInterface::CurKey>()(it.get()), "a");
    pos().Proc<contract::POSDictIteratorInterface::Next>()(it.get());
    EXPECT_STREQ(pos().Proc<contract::POSDictIteratorInterface::CurKey>()(it.get()), "b");
    pos().Proc<contract::POSDictIteratorInterface::Next>()(it.get());
    EXPECT_EQ(pos().Proc<contract::POSDictIteratorInterface::IsDone>()(it.get()), 1);
    EXPECT_EQ(pos().Proc<contract::POSDictIteratorInterface::CurKey>()(it.get()), nullptr);
    pos().Proc<contract::POSDictIteratorInterface::Next>()(it.get());  // at the end: nothing
    EXPECT_EQ(pos().Proc<contract::POSDictIteratorInterface::IsDone>()(it.get()), 1);
    pos().Proc<contract::POSDictIteratorInterface::Begin>()(it.get());
    EXPECT_STREQ(pos().Proc<contract::POSDictIteratorInterface::CurKey>()(it.get()), "a");

    const Ref empty = pos().Dict();
    const Ref none = Ref::Take(pos().Proc<contract::POSDictIteratorInterface::NewPOSDictIterator>()(empty.get()));
    EXPECT_EQ(pos().Proc<contract::POSDictIteratorInterface::IsDone>()(none.get()), 1);
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(POSTest, GetHandsOutABorrowedMember) {
    const Ref dict = pos().Dict();
    pos().Put(dict, "k", pos().Number(5));
    const int64_t containers = host().books().containers;
    const qelhost::pos::Atom key("k");
    QELContainerHandle borrowed = pos().Proc<contract::POSDictInterface::Get>()(dict.get(), key.get());
    ASSERT_NE(borrowed, nullptr);
    EXPECT_EQ(pos().Proc<contract::POSNumberInterface::Get>()(borrowed), 5);
    EXPECT_EQ(host().books().containers, containers);
    const qelhost::pos::Atom absent("nope");
    EXPECT_EQ(pos().Proc<contract::POSDictInterface::Get>()(dict.get(), absent.get()), nullptr);
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(POSTest, ADictionaryMayHoldItsOwnKindsAndSurviveItsKeys) {
    const Ref dict = pos().Dict();
    {
        const qelhost::pos::Atom key("transient key");
        pos().Proc<contract::POSDictInterface::Put>()(dict.get(), key.get(), pos().Number(1).get());
    }
    EXPECT_EQ(pos().Keys(dict), std::vector<std::string>{"transient key"}) << "the dictionary holds its own key";
}

}  // namespace
