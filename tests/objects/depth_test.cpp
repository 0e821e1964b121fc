// Nesting that no recursion could survive: destroyed without touching the
// stack's limits; refused by the parser, the clone and the equality walk.
#include <string>

#include "pos_fixture.h"

namespace {

using qelhost::pos::Ref;
using qeltest::POSTest;

TEST_F(POSTest, AMillionLevelsDeepAreDestroyedIteratively) {
    for (bool dicts : {false, true}) {
        SCOPED_TRACE(dicts ? "dictionaries" : "arrays");
        {
            Ref outer = dicts ? pos().Dict() : pos().Array();
            Ref inner = outer;
            for (int i = 0; i < 1000000; ++i) {
                Ref next = dicts ? pos().Dict() : pos().Array();
                if (dicts)
                    pos().Put(inner, "k", next);
                else
                    pos().Append(inner, next);
                inner = next;
            }
            EXPECT_EQ(host().books().containers, 1000001);
        }
        EXPECT_EQ(host().books().containers, 0);
    }
}

TEST_F(POSTest, HostileNestingFailsAsAParseError) {
    for (const std::string unit : {"[", "<a "}) {
        SCOPED_TRACE(unit);
        std::string text;
        text.reserve(10 << 20);
        while (text.size() < (10u << 20)) text += unit;
        long offset = -1;
        EXPECT_FALSE(pos().FromText(text.c_str(), &offset));
        EXPECT_GT(offset, 0);
        EXPECT_LT(offset, 4000) << "refused at the nesting bound, not at the end";
        EXPECT_TRUE(TakeReports().empty());
    }
}

TEST_F(POSTest, NestingUpToTheBoundParses) {
    std::string text(1000, '[');
    text += std::string(1000, ']');
    const Ref deep = pos().FromText(text.c_str());
    ASSERT_TRUE(deep);
    std::string deeper(1001, '[');
    deeper += std::string(1001, ']');
    EXPECT_FALSE(pos().FromText(deeper.c_str()));
}

TEST_F(POSTest, CloneAndEqualityOfTooDeepValuesFailCleanly) {
    Ref outer = pos().Array();
    Ref inner = outer;
    for (int i = 0; i < 5000; ++i) {
        Ref next = pos().Array();
        pos().Append(inner, next);
        inner = next;
    }
    EXPECT_FALSE(pos().Clone(outer));
    EXPECT_FALSE(TakeReports().empty());
    EXPECT_FALSE(pos().IsEqual(outer, outer));
    EXPECT_EQ(TakeReports().size(), 1u);
}

}  // namespace
