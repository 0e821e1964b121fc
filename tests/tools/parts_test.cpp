// The tool's parts on their own: addresses, numbers, the lint pass, the
// folding of schema-check lines.
#include <gtest/gtest.h>

#include "address.h"
#include "explain.h"
#include "host_fixture.h"
#include "lint.h"
#include "numbers.h"

namespace {

TEST(Addresses, FormatParsesBackToTheSameSteps) {
    const std::vector<std::vector<pos::Step>> paths = {
        {},
        {{pos::Step::Kind::Key, "a", 0}},
        {{pos::Step::Kind::Index, "", 3}, {pos::Step::Kind::Key, "x.y", 0}},
        {{pos::Step::Kind::Key, "", 0}, {pos::Step::Kind::Index, "", -1}},
        {{pos::Step::Kind::Key, "[\"\\ ]", 0}, {pos::Step::Kind::Key, "two words", 0}},
    };
    for (const auto& steps : paths) {
        const std::string text = pos::FormatAddress(steps);
        SCOPED_TRACE(text);
        pos::Address parsed;
        std::string error;
        ASSERT_TRUE(pos::ParseAddress(text, parsed, &error)) << error;
        ASSERT_EQ(parsed.steps.size(), steps.size());
        for (size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(parsed.steps[i].kind, steps[i].kind);
            EXPECT_EQ(parsed.steps[i].key, steps[i].key);
            EXPECT_EQ(parsed.steps[i].index, steps[i].index);
        }
    }
    for (const char* bad : {"", "a.", "a..b", "a[", "a[1", "a[]", "a[-0]", "a[1]b", "[\"x", "a\\"}) {
        pos::Address parsed;
        std::string error;
        EXPECT_FALSE(pos::ParseAddress(bad, parsed, &error)) << bad;
    }
}

class AddressWalk : public qeltest::LibraryTest {};

// On plain addresses the tool finds what the library's DeepGet finds.
TEST_F(AddressWalk, AgreesWithDeepGet) {
    const qelhost::pos::Client pos(host());
    const auto doc = pos.FromText("<a <b [10 20 <k 7>]> c 5 (x y) [1]>");
    for (const char* address : {"a.b[2].k", ".a.b[2].k", "a.b[1]", "a.b[3]", "a.b.k", "a.b[1]k", "a", "c", "c[0]",
                                "x y", "(x y)", "a.b[99999999999]"}) {
        SCOPED_TRACE(address);
        const auto expected = pos.DeepGet(doc, address);
        pos::Address parsed;
        std::string why;
        const bool parses = pos::ParseAddress(address, parsed, &why);
        const auto found = parses ? pos::Walk(pos, doc, parsed, &why) : qelhost::pos::Ref();
        EXPECT_EQ(bool(found), bool(expected));
        if (found && expected) {
            EXPECT_TRUE(pos.IsEqual(found, expected));
        }
    }
    TakeReports();
}

TEST(Numbers, ExactnessOfIntegersAndDecimals) {
    struct Case {
        const char* text;
        bool inexact;
    };
    const Case integers[] = {{"0", false},  {"-12", false}, {"9007199254740992", false}, {"9007199254740993", true},
                             {"18014398509481988", false}, {"18014398509481990", true},
                             {"12345678901234567890", true}, {"1" "0000000000000000000000", false}, {"1" "000000000000000000000000", true},
                             {"1.5", false}, {"-", false}};
    for (const Case& c : integers) EXPECT_EQ(pos::InexactInteger(c.text).has_value(), c.inexact) << c.text;
    const Case decimals[] = {{"0.1", false}, {"1e3", false}, {"1.50", false}, {"-0.0", false}, {"1e-400", true},
                             {"1e400", true}, {"0.30000000000000000001", true}, {"123456789.123456789", true}};
    for (const Case& c : decimals) EXPECT_EQ(pos::InexactDecimal(c.text).has_value(), c.inexact) << c.text;
    EXPECT_EQ(pos::ShortestDigits(100), "100");
    EXPECT_EQ(pos::ShortestDigits(0.1), "0.1");
    EXPECT_EQ(pos::ShortestDigits(-0.0), "-0");
}

TEST(Lint, FindsNothingInTextMeantAsWritten) {
    for (const char* text : {"<a 1 b <a 2>>", "[a b c]", "<(a b) 1 (a\\) b) 2>", "[-1 +2 .5 1.]", "< k [1] >"})
        EXPECT_TRUE(pos::Lint(text).empty()) << text;
    // Repeated keys are per dictionary; nested ones do not clash with outer ones.
    const auto findings = pos::Lint("<a <a 1 a 2> b [<a 1> <a 1>]>");
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].offset, 8u);
}

TEST(Fold, KeepsLinesOutsideUnionsAndTheDecisiveAlternative) {
    const std::vector<std::string> lines = {
        "Missing required member x",
        "A (value, type != TypeDefn): Not a valid union type: Trying DictDefn: category (required, type != kDict): String is not one of the enumerated values",
        "A (value, type != TypeDefn): Not a valid union type: Trying IntDefn: max (optional, type != int): INT was not a whole number",
        "B (value, type != TypeDefn): Not a valid union type: Trying DictDefn: category (required, type != kDict): String is not one of the enumerated values",
        "B (value, type != TypeDefn): Not a valid union type: Trying ArrayDefn: Not a valid union type: Trying HomoArrayDefn: category (required, type != kArray): String is not one of the enumerated values",
        "C (value, type != TypeDefn): Not a valid union type: Trying DictDefn: Missing required member category",
        "C (value, type != TypeDefn): Not a valid union type: Trying IntDefn: Missing required member category",
    };
    const pos::Folded f = pos::FoldAlternatives(lines);
    EXPECT_EQ(f.decisive, (std::vector<std::string>{lines[0], lines[2], lines[5]}));
    ASSERT_EQ(f.notes.size(), 1u);
    EXPECT_EQ(f.notes[0], "B (value, type != TypeDefn): its category is none of those the schema language takes (dict, array)");
    EXPECT_EQ(f.folded, 4u);
}

}  // namespace
