// Nesting that no recursion could survive: destroyed without touching the
// stack's limits; refused by the parser (clone and equality: clone_test).
#include <string>

#include "chain.h"
#include "pos_fixture.h"

namespace {

using qelhost::pos::Ref;
using qeltest::POSTest;

TEST_F(POSTest, AMillionLevelsDeepAreDestroyedIteratively) {
    for (qeltest::Nest kind : {qeltest::Nest::Arrays, qeltest::Nest::Dictionaries}) {
        SCOPED_TRACE(kind == qeltest::Nest::Dictionaries ? "dictionaries" : "arrays");
        {
            const Ref outer = qeltest::Chain(pos(), 1000001, kind);
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

}  // namespace
