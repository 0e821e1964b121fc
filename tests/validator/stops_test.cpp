// Schemas and states that cannot be walked: the validation stops with one
// host report, the lines gathered so far are dropped, nothing leaks.
#include <string>
#include <vector>

#include "chain.h"
#include "validator_fixture.h"

namespace {

using qeltest::Accepted;
using qeltest::Nest;
using qeltest::Rejected;
using qeltest::Stopped;
using qeltest::ValidatorTest;

constexpr const char kDowncast[] = "downcast from CPOSObject to CPOSString failed";
constexpr const char kOverwrote[] = "FormatIntoPOSString overwrote buffer";

TEST_F(ValidatorTest, ADefinitionWithoutCategoryStops) {
    for (const char* schema : {"<T <min 1>>", "<T <>>", "<T <category 5>>", "<T <category [int]>>",
                               "<T <Category int>>"}) {
        SCOPED_TRACE(schema);
        EXPECT_TRUE(Stopped(Check(schema, "T", "1"), "Malformed schema definition for T, no category"));
    }
}

TEST_F(ValidatorTest, CategoriesOutsideTheThirteenWordsStop) {
    // "any" and "bool" are type names, "objref" is known only to the schema check.
    for (const char* category : {"objref", "any", "bool", "Int", "dictionary", "STRING", "rawpointer"}) {
        SCOPED_TRACE(category);
        const std::string schema = std::string("<T <category ") + category + ">>";
        EXPECT_TRUE(Stopped(Check(schema.c_str(), "T", pos().RawPointer(nullptr, nullptr)), "Unknown category in schema"));
    }
}

TEST_F(ValidatorTest, ListEntriesThatAreNoStringsStop) {
    const struct {
        const char* schema;
        const char* value;
    } cases[] = {
        {"<T <category string oneof [5 red]>>", "red"},
        {"<T <category bindata oneof [[png]]>>", nullptr},
        {"<T <category union set [<a 1> int]>>", "1"},
        {"<T <category intersection set [int 5]>>", "1"},
        {"<T <category array membertype [int 5]>>", "[1 2]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.schema);
        const Ref value = c.value != nullptr ? Parse(c.value) : pos().BinData("png", "x");
        EXPECT_TRUE(Stopped(Check(c.schema, "T", value), kDowncast));
    }
}

TEST_F(ValidatorTest, AStopDropsTheLinesAlreadyGathered) {
    // Index 0 fails before index 1 reaches the broken definition.
    EXPECT_TRUE(Stopped(Check("<T <category array membertype [int B]> B <category bogus>>", "T", "[x 1]"),
                        "Unknown category in schema"));
    EXPECT_TRUE(Stopped(Check("<T <category intersection set [int B]> B <min 1>>", "T", "x"),
                        "Malformed schema definition for B, no category"));
    // A union stops at a broken alternative even when a later one accepts...
    EXPECT_TRUE(Stopped(Check("<T <category union set [B int]> B <category bogus>>", "T", "1"),
                        "Unknown category in schema"));
    // ...but never reaches it after one accepted.
    EXPECT_TRUE(Accepted(Check("<T <category union set [int B]> B <category bogus>>", "T", "1")));
    // A member whose definition is broken, deep inside a dictionary.
    EXPECT_TRUE(Stopped(Check("<T <category dict valuetype any optional <z L>> L <category array membertype B>"
                              " B <min 1>>",
                              "T", "<b 2 z [1]>"),
                        "Malformed schema definition for B, no category"));
}

TEST_F(ValidatorTest, LinesOfUpTo1023CharactersAndNoMore) {
    // "Unknown member " is 15 characters: a 1008-byte key makes 1023.
    const Ref validator = NewValidator("<D <category dict> A <category array membertype D>>");
    for (size_t keyLength : {1008u, 1009u, 1100u}) {
        SCOPED_TRACE(keyLength);
        const std::string key(keyLength, 'k');
        const Ref value = pos().Dict();
        pos().Put(value, key.c_str(), pos().Number(1));
        const Outcome o = Validate(validator, value, "D");
        if (keyLength == 1008)
            EXPECT_TRUE(Rejected(o, {"Unknown member " + key}));
        else
            EXPECT_TRUE(Stopped(o, kOverwrote));
    }
    // The line fits, its prefixed form "[0]: ..." does not.
    const Ref inner = pos().Dict();
    const std::string key(1005, 'k');
    pos().Put(inner, key.c_str(), pos().Number(1));
    const Ref array = pos().Array();
    pos().Append(array, inner);
    EXPECT_TRUE(Rejected(Validate(validator, inner, "D"), {"Unknown member " + key}));
    EXPECT_TRUE(Stopped(Validate(validator, array, "A"), kOverwrote));
    // The undefined-name line counts its name too: 41 + 982 = 1023.
    for (size_t nameLength : {982u, 983u}) {
        SCOPED_TRACE(nameLength);
        const std::string name(nameLength, 'n');
        const Outcome o = Validate(validator, pos().Number(1), name.c_str());
        if (nameLength == 982)
            EXPECT_TRUE(Rejected(o, {"Schema not applicable, no definition for " + name}));
        else
            EXPECT_TRUE(Stopped(o, kOverwrote));
    }
}

TEST_F(ValidatorTest, SelfReferringUnionsAndIntersectionsFailCleanly) {
    for (const char* schema : {"<A <category union set [A]>>", "<A <category intersection set [A]>>",
                               "<A <category union set [B]> B <category intersection set [int A]>>",
                               "<A <category union set [string A]>>"}) {
        SCOPED_TRACE(schema);
        const Outcome o = Check(schema, "A", "1");
        // The failure's words are the implementation's own.
        EXPECT_EQ(o.result, 0);
        EXPECT_TRUE(o.lines.empty());
        EXPECT_EQ(o.reports.size(), 1u);
    }
}

TEST_F(ValidatorTest, RecursionFollowsTheValueWithinABound) {
    const Ref validator = NewValidator("<T <category array membertype T> D <category dict valuetype D keytype any>>");
    // `depth` levels below the outermost container.
    const auto nest = [&](int depth, Nest kind) { return qeltest::Chain(pos(), depth + 1, kind); };
    for (Nest kind : {Nest::Arrays, Nest::Dictionaries}) {
        const bool dicts = kind == Nest::Dictionaries;
        SCOPED_TRACE(dicts ? "dictionaries" : "arrays");
        const char* type = dicts ? "D" : "T";
        // Just within the bound: the stack of every target holds it.
        EXPECT_TRUE(Accepted(Validate(validator, nest(200, kind), type)));
        EXPECT_TRUE(Accepted(Validate(validator, nest(998, kind), type)));
        const Outcome o = Validate(validator, nest(100000, kind), type);
        EXPECT_EQ(o.result, 0);
        EXPECT_TRUE(o.lines.empty());
        EXPECT_EQ(o.reports.size(), 1u);
        // A failure deep down still explains itself with every level's prefix.
        const Ref deep = nest(30, kind);
        Ref leaf = deep;
        for (int i = 0; i < 30; ++i) leaf = qeltest::Inner(pos(), leaf, kind);
        if (dicts)
            pos().Put(leaf, "k", pos().Number(1));
        else
            pos().Append(leaf, pos().Number(1));
        std::string prefix;
        for (int i = 0; i < 31; ++i) prefix += dicts ? "k (value, type != D): " : "[0]: ";
        EXPECT_TRUE(Rejected(Validate(validator, deep, type),
                             {prefix + (dicts ? "Dict object expected" : "Array object expected")}));
    }
}

TEST_F(ValidatorTest, AValidatorOverANonDictionarySchemaKnowsOnlyTheBuiltIns) {
    for (const char* schema : {"[1 2]", "5", "text"}) {
        SCOPED_TRACE(schema);
        const Ref validator = NewValidator(schema);
        ASSERT_TRUE(validator);
        const Outcome o = Validate(validator, pos().Number(1), "T");
        EXPECT_EQ(o.result, 0);
        EXPECT_EQ(o.lines, std::vector<std::string>{"Schema not applicable, no definition for T"});
        EXPECT_EQ(o.reports.size(), 1u) << "the dictionary procedure's own report";
        EXPECT_TRUE(Accepted(Validate(validator, pos().Number(1), "int")));
        EXPECT_TRUE(Rejected(Validate(validator, pos().Number(1), "string"), {"Expected STRING was of invalid type"}));
    }
}

}  // namespace
