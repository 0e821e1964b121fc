// Built-in type names: what each accepts, its one rejection line, and that a
// schema can neither redefine nor shadow them.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "validator_fixture.h"

namespace {

using qeltest::Accepted;
using qeltest::Rejected;
using qeltest::ValidatorTest;

TEST_F(ValidatorTest, EachBuiltInAcceptsItsKindAndNamesItInTheRejection) {
    // One value of every kind; "true" and 1 are also valid booleans.
    const Ref values[] = {pos().Number(1),    pos().String("true"),
                          pos().UnicodeString(u"u"), pos().BinData("t", "b"),
                          pos().RawPointer(reinterpret_cast<void*>(0x10), nullptr), Parse("[1]"),
                          Parse("<a 1>")};
    enum { kNumber, kString, kUnicode, kBin, kRaw, kArray, kDict };
    struct Case {
        const char* type;
        std::vector<int> accepts;
        const char* line;
    };
    const Case cases[] = {
        {"any", {kNumber, kString, kUnicode, kBin, kRaw, kArray, kDict}, nullptr},
        {"bool", {kNumber, kString}, "Expected BOOL was of invalid type"},
        {"int", {kNumber}, "Expected INT was of invalid type"},
        {"real", {kNumber}, "Expected REAL was of invalid type"},
        {"string", {kString}, "Expected STRING was of invalid type"},
        {"unicodestring", {kUnicode}, "Expected UNICODESTRING was of invalid type"},
        {"bindata", {kBin}, "Expected BINDATA was of invalid type"},
        {"rawptr", {kRaw}, "Expected RAWPTR was of invalid type"},
        {"qelobjref", {kRaw}, "Expected OBJREF was of invalid type"},
        {"zubaseobjref", {kRaw}, "Expected OBJREF was of invalid type"},
        {"qelerrorobjref", {kRaw}, "Expected OBJREF was of invalid type"},
    };
    const Ref validator = NewValidator("<>");
    ASSERT_TRUE(validator);
    for (const Case& c : cases) {
        for (int kind = kNumber; kind <= kDict; ++kind) {
            SCOPED_TRACE(std::string(c.type) + " against kind " + std::to_string(kind));
            const Outcome o = Validate(validator, values[kind], c.type);
            if (std::find(c.accepts.begin(), c.accepts.end(), kind) != c.accepts.end())
                EXPECT_TRUE(Accepted(o));
            else
                EXPECT_TRUE(Rejected(o, {c.line}));
        }
    }
}

TEST_F(ValidatorTest, BoolIsExactlyZeroOneTrueOrFalse) {
    const char* const notANumber = "BOOL was a number unequal to zero or one";
    const char* const notAWord = "BOOL was not a valid string (true/false)";
    struct Case {
        Ref value;
        const char* line;
    };
    const Case cases[] = {
        {pos().Number(0), nullptr},
        {pos().Number(1), nullptr},
        {pos().Number(-0.0), nullptr},
        {pos().String("true"), nullptr},
        {pos().String("false"), nullptr},
        {pos().Number(2), notANumber},
        {pos().Number(0.5), notANumber},
        {pos().Number(-1), notANumber},
        {pos().Number(1.0000000001), notANumber},
        {pos().Number(std::nan("")), notANumber},
        {pos().String("True"), notAWord},
        {pos().String("TRUE"), notAWord},
        {pos().String("yes"), notAWord},
        {pos().String("1"), notAWord},
        {pos().String("true "), notAWord},
        {pos().String(""), notAWord},
    };
    const Ref validator = NewValidator("<>");
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        const Outcome o = Validate(validator, c.value, "bool");
        if (c.line == nullptr)
            EXPECT_TRUE(Accepted(o));
        else
            EXPECT_TRUE(Rejected(o, {c.line}));
    }
}

TEST_F(ValidatorTest, IntIsAWholeNumberInTheSigned32BitRange) {
    const double accepted[] = {0, -0.0, 1, -1, 2147483647.0, -2147483648.0, 65536};
    const double rejected[] = {2147483648.0,  -2147483649.0,  1.5, -0.5, 1e10, -1e10, 4294967296.0,
                               2147483647.5, -2147483648.5, 1e300, std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), std::nan("")};
    const Ref validator = NewValidator("<>");
    for (double v : accepted) {
        SCOPED_TRACE(v);
        EXPECT_TRUE(Accepted(Validate(validator, pos().Number(v), "int")));
        EXPECT_TRUE(Accepted(Validate(validator, pos().Number(v), "real")));
    }
    for (double v : rejected) {
        SCOPED_TRACE(v);
        EXPECT_TRUE(Rejected(Validate(validator, pos().Number(v), "int"), {"INT was not a whole number"}));
        EXPECT_TRUE(Accepted(Validate(validator, pos().Number(v), "real")));
    }
}

TEST_F(ValidatorTest, SchemaEntriesNamedLikeBuiltInsAreNeverConsulted) {
    // Each entry would accept what the built-in refuses, or stop the walk
    // if it were read at all.
    const Ref validator = NewValidator(
        "<int <category string> string <category int> rawptr <category real>"
        " bool <nocategory here> any <category union set []>"
        " qelobjref <category bogus>>");
    EXPECT_TRUE(Rejected(Validate(validator, pos().String("5"), "int"), {"Expected INT was of invalid type"}));
    EXPECT_TRUE(Rejected(Validate(validator, pos().Number(5), "string"), {"Expected STRING was of invalid type"}));
    EXPECT_TRUE(Rejected(Validate(validator, pos().Number(5), "rawptr"), {"Expected RAWPTR was of invalid type"}));
    EXPECT_TRUE(Accepted(Validate(validator, pos().Number(1), "bool")));
    EXPECT_TRUE(Accepted(Validate(validator, Parse("[1 2]"), "any")));
    EXPECT_TRUE(Rejected(Validate(validator, pos().Number(5), "qelobjref"), {"Expected OBJREF was of invalid type"}));
    // The same names reached from a definition are still the built-ins.
    EXPECT_TRUE(Rejected(Check("<L <category array membertype int> int <category string>>", "L", "[a]"),
                         {"[0]: Expected INT was of invalid type"}));
}

TEST_F(ValidatorTest, BuiltInNamesAreCaseSensitiveAndUndefinedNamesFail) {
    const Ref validator = NewValidator("<Known <category int>>");
    for (const char* name : {"Int", "INT", "Bool", "unknown", "", "known"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Rejected(Validate(validator, pos().Number(1), name),
                             {std::string("Schema not applicable, no definition for ") + name}));
    }
    EXPECT_TRUE(Accepted(Validate(validator, pos().Number(1), "Known")));
}

TEST_F(ValidatorTest, AnEntryThatIsNoDictionaryIsNoDefinition) {
    const Ref validator = NewValidator("<S string N 5 A [category int]>");
    for (const char* name : {"S", "N", "A"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Rejected(Validate(validator, pos().Number(1), name),
                             {std::string("Schema not applicable, no definition for ") + name}));
    }
}

TEST_F(ValidatorTest, ObjectReferencesAcceptAnyRawPointerWhateverItHolds) {
    const Ref validator = NewValidator("<>");
    int target = 7;
    for (void* p : {static_cast<void*>(nullptr), reinterpret_cast<void*>(0x1), static_cast<void*>(&target)}) {
        const Ref raw = pos().RawPointer(p, nullptr);
        for (const char* type : {"rawptr", "qelobjref", "zubaseobjref", "qelerrorobjref", "any"}) {
            SCOPED_TRACE(type);
            EXPECT_TRUE(Accepted(Validate(validator, raw, type)));
        }
    }
}

}  // namespace
