// Deep addresses into nested dictionaries and arrays.
#include <string>

#include "pos_fixture.h"

namespace {

using qelhost::pos::Ref;
using qeltest::POSTest;

TEST_F(POSTest, DeepGetAddresses) {
    const Ref doc = Parse("<a <b [10 20 <k 7>]> n 5 () <x 1> m <() <y 2>>>");
    struct Case {
        const char* address;
        const char* expected;  // the value in notation, or null for none
    };
    const Case cases[] = {
        {"a.b[2].k", "7"},
        {".a.b[2].k", "7"},
        {"a.b[1]", "20"},
        {"a.b[0]", "10"},
        {"a.b[00001]", "20"},
        {"a.b", "[10 20 <k 7>]"},
        {"a.b[3]", nullptr},
        {"a.b.k", nullptr},
        {"a.b[x]", nullptr},
        {"a.b[]", nullptr},
        {"a.b[1]k", nullptr},
        {"a.b[1", nullptr},
        {"a.b[-1]", nullptr},
        {"a.b[99999999999999999999]", nullptr},
        {"n", "5"},
        {"n[0]", nullptr},
        {"n.x", nullptr},
        {"missing", nullptr},
        {"", "<x 1>"},
        {"[0]", nullptr},
        {"m..y", "2"},
        {"m.", "<y 2>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const Ref found = pos().DeepGet(doc, c.address);
        if (c.expected == nullptr) {
            EXPECT_FALSE(found);
        } else {
            ASSERT_TRUE(found);
            EXPECT_EQ(Text(found), c.expected);
        }
    }
    EXPECT_TRUE(TakeReports().empty()) << "a failed lookup reports nothing";
}

TEST_F(POSTest, DeepGetWithoutTheEmptyKey) {
    const Ref doc = Parse("<a 5>");
    EXPECT_EQ(Text(pos().DeepGet(doc, "a")), "5");
    EXPECT_FALSE(pos().DeepGet(doc, ""));
    EXPECT_FALSE(pos().DeepGet(doc, "[0]"));
}

TEST_F(POSTest, DeepGetIntoALargeArraySaturates) {
    const Ref doc = Parse("<a [1 2 3]>");
    EXPECT_FALSE(pos().DeepGet(doc, "a[2147483648]"));
    EXPECT_FALSE(pos().DeepGet(doc, "a[4294967298]")) << "no wrap-around to a small index";
}

TEST_F(POSTest, DeepGetDoesNotChangeTheAddress) {
    const Ref doc = Parse("<a <b 1>>");
    const qelhost::pos::Atom address("a.b");
    EXPECT_NE(pos().Proc<contract::POSDictInterface::DeepGet>()(doc.get(), address.get()), nullptr);
    EXPECT_STREQ(address.text(), "a.b");
}

}  // namespace
