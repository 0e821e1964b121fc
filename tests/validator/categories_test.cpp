// Categories and their keywords: the exact line of every broken rule, the
// number formats, and the keywords that do not count.
#include <cmath>
#include <string>
#include <vector>

#include "validator_fixture.h"

namespace {

using qeltest::Accepted;
using qeltest::Rejected;
using qeltest::ValidatorTest;

using Lines = std::vector<std::string>;

// One value against type T of a schema text, with the lines it must give
// (none: accepted).
struct Row {
    const char* schema;
    const char* value;  // text notation
    Lines lines;
};

class CategoryTest : public ValidatorTest {
protected:
    void Run(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.schema) + " with " + row.value);
            const Outcome o = Check(row.schema, "T", row.value);
            if (row.lines.empty())
                EXPECT_TRUE(Accepted(o));
            else
                EXPECT_TRUE(Rejected(o, row.lines));
        }
    }
};

TEST_F(CategoryTest, NumberBounds) {
    Run({
        {"<T <category int min 1 max 10>>", "5", {}},
        {"<T <category int min 1 max 10>>", "1", {}},
        {"<T <category int min 1 max 10>>", "10", {}},
        {"<T <category int min 1 max 10>>", "0", {"Number below mininum value 1.000000"}},
        {"<T <category int min 1 max 10>>", "11", {"Number above maximum value 10.000000"}},
        {"<T <category int min 1 max 10>>", "1.5", {"INT was not a whole number"}},
        {"<T <category int min 1 max 10>>", "x", {"Expected INT was of invalid type"}},
        {"<T <category real minexcl 1 maxexcl 2>>", "1.5", {}},
        {"<T <category real minexcl 1 maxexcl 2>>", "1", {"Number below mininum value 1.000000 (exclusive)"}},
        {"<T <category real minexcl 1 maxexcl 2>>", "2", {"Number above maximum value 2.000000 (exclusive)"}},
        {"<T <category real>>", "[1]", {"Expected REAL was of invalid type"}},
        {"<T <category int min 1 minexcl 1>>", "1", {"Number below mininum value 1.000000 (exclusive)"}},
        {"<T <category real max 0.1>>", "0.2", {"Number above maximum value 0.100000"}},
        {"<T <category real min -2.5>>", "-3", {"Number below mininum value -2.500000"}},
        // The bound is printed after rounding to single precision.
        {"<T <category real min 16777217>>", "0", {"Number below mininum value 16777216.000000"}},
        {"<T <category real max 0.333333333>>", "1", {"Number above maximum value 0.333333"}},
        // Each bound on its own, in the order min, max, minexcl, maxexcl.
        {"<T <category real maxexcl -10 minexcl 10 max -10 min 10>>",
         "0",
         {"Number below mininum value 10.000000", "Number above maximum value -10.000000",
          "Number below mininum value 10.000000 (exclusive)", "Number above maximum value -10.000000 (exclusive)"}},
    });
}

TEST_F(CategoryTest, NotANumberPassesEveryBoundOfReal) {
    const Outcome o = Check("<T <category real min 0 max 1 minexcl 0 maxexcl 1>>", "T", pos().Number(std::nan("")));
    EXPECT_TRUE(Accepted(o));
    const Ref schema = Parse("<T <category real>>");
    const Ref definition = pos().Get(schema, "T");
    pos().Put(definition, "max", pos().Number(std::nan("")));
    pos().Put(definition, "min", pos().Number(std::nan("")));
    EXPECT_TRUE(Accepted(Check(schema, "T", pos().Number(5))));
}

TEST_F(CategoryTest, StringKeywords) {
    Run({
        {"<T <category string minlen 2 maxlen 4>>", "ab", {}},
        {"<T <category string minlen 2 maxlen 4>>", "abcd", {}},
        {"<T <category string minlen 2 maxlen 4>>", "a", {"String length below mininum value 2"}},
        {"<T <category string minlen 2 maxlen 4>>", "abcde", {"String length above maximum value 4"}},
        {"<T <category string minlen 2>>", "5", {"Expected STRING was of invalid type"}},
        // Bounds compare as numbers and print truncated toward zero.
        {"<T <category string minlen 2.5>>", "ab", {"String length below mininum value 2"}},
        {"<T <category string minlen 2.5>>", "abc", {}},
        {"<T <category string maxlen 2.5>>", "abc", {"String length above maximum value 2"}},
        {"<T <category string maxlen -0.5>>", "()", {"String length above maximum value 0"}},
        {"<T <category string illegalchars (;,)>>", "(a b)", {}},
        {"<T <category string illegalchars (;,)>>", "(a,b)", {"String contains illegal characters in ';,'"}},
        {"<T <category string illegalchars (;,)>>", "(;)", {"String contains illegal characters in ';,'"}},
        {"<T <category string illegalchars ()>>", "(;,)", {}},
        {"<T <category string illegalchars x>>", "()", {}},
        {"<T <category string oneof [red green]>>", "green", {}},
        {"<T <category string oneof [red green]>>", "blue", {"String is not one of the enumerated values"}},
        {"<T <category string oneof [red green]>>", "Red", {"String is not one of the enumerated values"}},
        {"<T <category string oneof [red green]>>", "re", {"String is not one of the enumerated values"}},
        {"<T <category string oneof [()]>>", "()", {}},
        {"<T <category string oneof []>>", "red", {"String is not one of the enumerated values"}},
        {"<T <category string oneof []>>", "()", {"String is not one of the enumerated values"}},
        // In the order of the keywords, whatever their order in the text.
        {"<T <category string oneof [a] illegalchars x maxlen 0 minlen 5>>",
         "x",
         {"String length below mininum value 5", "String length above maximum value 0",
          "String contains illegal characters in 'x'", "String is not one of the enumerated values"}},
    });
}

TEST_F(CategoryTest, UnicodeStringLengthsCountCodeUnits) {
    const char* const schema = "<T <category unicodestring minlen 2 maxlen 3 oneof [] illegalchars a>>";
    EXPECT_TRUE(Accepted(Check(schema, "T", pos().UnicodeString(u"ab"))));
    EXPECT_TRUE(Accepted(Check(schema, "T", pos().UnicodeString(u"\U0001F600"))));  // one surrogate pair
    EXPECT_TRUE(Accepted(Check(schema, "T", pos().UnicodeString(u"\u00E9\u4E2D\u00E9"))));
    EXPECT_TRUE(
        Rejected(Check(schema, "T", pos().UnicodeString(u"a")), {"Unicode String length below mininum value 2"}));
    EXPECT_TRUE(
        Rejected(Check(schema, "T", pos().UnicodeString(u"abcd")), {"Unicode String length above maximum value 3"}));
    EXPECT_TRUE(Rejected(Check(schema, "T", pos().String("ab")), {"Expected UNICODESTRING was of invalid type"}));
}

TEST_F(CategoryTest, BinaryDataSizeAndTypeName) {
    const char* const schema = "<T <category bindata minlen 2 maxlen 3 oneof [png jpg]>>";
    struct Case {
        Ref value;
        Lines lines;
    };
    const Case cases[] = {
        {pos().BinData("png", "ab"), {}},
        {pos().BinData("jpg", std::string("\0\0\0", 3)), {}},  // the size, not a text length
        {pos().BinData("png", "a"), {"String length below mininum value 2"}},
        {pos().BinData("gif", "abcd"),
         {"String length above maximum value 3", "TypeName is not one of the enumerated values"}},
        {pos().BinData("PNG", "ab"), {"TypeName is not one of the enumerated values"}},
        {pos().String("png"), {"Expected BINDATA was of invalid type"}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        const Outcome o = Check(schema, "T", c.value);
        if (c.lines.empty())
            EXPECT_TRUE(Accepted(o));
        else
            EXPECT_TRUE(Rejected(o, c.lines));
    }
    EXPECT_TRUE(Rejected(Check("<T <category bindata oneof []>>", "T", pos().BinData("", "")),
                         {"TypeName is not one of the enumerated values"}));
}

TEST_F(CategoryTest, RawPointerCategoriesKeepTheirBuiltInLine) {
    const Ref validator = NewValidator(
        "<R <category rawptr minlen 5> Q <category qelobjref> Z <category zubaseobjref>"
        " E <category qelerrorobjref oneof []>>");
    const Ref raw = pos().RawPointer(reinterpret_cast<void*>(0x1), nullptr);
    for (const char* type : {"R", "Q", "Z", "E"}) {
        SCOPED_TRACE(type);
        EXPECT_TRUE(Accepted(Validate(validator, raw, type)));
        EXPECT_TRUE(Rejected(Validate(validator, pos().Number(1), type),
                             {type[0] == 'R' ? "Expected RAWPTR was of invalid type"
                                             : "Expected OBJREF was of invalid type"}));
    }
}

TEST_F(CategoryTest, Arrays) {
    Run({
        {"<T <category array minlen 2 maxlen 3 membertype int>>", "[1 2]", {}},
        {"<T <category array minlen 2 maxlen 3 membertype int>>", "[1]", {"Array length below mininum value 2"}},
        {"<T <category array minlen 2 maxlen 3 membertype int>>", "[1 2 3 4]", {"Array length above maximum value"}},
        {"<T <category array minlen 2 maxlen 3 membertype int>>",
         "[1 x 2.5]",
         {"[1]: Expected INT was of invalid type", "[2]: INT was not a whole number"}},
        {"<T <category array minlen 2 membertype int>>",
         "[x]",
         {"Array length below mininum value 2", "[0]: Expected INT was of invalid type"}},
        {"<T <category array minlen 1.9>>", "[]", {"Array length below mininum value 1"}},
        {"<T <category array>>", "<>", {"Array object expected"}},
        {"<T <category array membertype int>>", "5", {"Array object expected"}},
        {"<T <category array membertype int>>", "[]", {}},
        // Positional member types.
        {"<T <category array membertype [int string]>>", "[1 a]", {}},
        {"<T <category array membertype [int string]>>",
         "[a 1]",
         {"[0]: Expected INT was of invalid type", "[1]: Expected STRING was of invalid type"}},
        {"<T <category array membertype [int string]>>",
         "[x y z]",
         {"Heterogenous array object size did not match type array size"}},
        {"<T <category array membertype [int]>>", "[]", {"Heterogenous array object size did not match type array size"}},
        {"<T <category array membertype []>>", "[]", {}},
        // A membertype of neither kind is absent.
        {"<T <category array membertype 5>>", "[a <>]", {}},
        {"<T <category array membertype <a int>>>", "[a]", {}},
        {"<T <category array minlen (2)>>", "[]", {}},
    });
}

TEST_F(CategoryTest, DictionaryMembers) {
    const char* const schema = "<T <category dict required <y real x real> optional <z string>>>";
    Run({
        {schema, "<x 1 y 2>", {}},
        {schema, "<x 1 y 2 z a>", {}},
        {schema, "<x 1>", {"Missing required member y"}},
        {schema, "<x 1 y a>", {"y (required, type != real): Expected REAL was of invalid type"}},
        {schema, "<x 1 y 2 z 3>", {"z (optional, type != string): Expected STRING was of invalid type"}},
        {schema, "<x 1 y 2 w 3>", {"Unknown member w"}},
        {schema, "[1]", {"Dict object expected"}},
        // Missing members alone, in key order; the others are not looked at.
        {schema, "<w 3 z 4>", {"Missing required member x", "Missing required member y"}},
        {schema, "<>", {"Missing required member x", "Missing required member y"}},
        // Per member: its key, then its value, then required, then optional.
        {"<T <category dict keytype K valuetype int> K <category string minlen 2>>", "<ab 1 cd 2>", {}},
        {"<T <category dict keytype K valuetype int> K <category string minlen 2>>",
         "<ab x c 1 d y>",
         {"ab (value, type != int): Expected INT was of invalid type",
          "c (key, type != K): String length below mininum value 2", "d (key, type != K): String length below mininum value 2",
          "d (value, type != int): Expected INT was of invalid type"}},
        // A value type alone does not make a member known.
        {"<T <category dict valuetype int>>", "<>", {}},
        {"<T <category dict valuetype int>>", "<a 1>", {"Unknown member a"}},
        {"<T <category dict valuetype int>>",
         "<a x>",
         {"a (value, type != int): Expected INT was of invalid type", "Unknown member a"}},
        {"<T <category dict valuetype int required <b string>>>", "<b 1.5>",
         {"b (value, type != int): INT was not a whole number",
          "b (required, type != string): Expected STRING was of invalid type"}},
        // Listed in both: checked against both.
        {"<T <category dict required <a int> optional <a string>>>", "<a 1>",
         {"a (optional, type != string): Expected STRING was of invalid type"}},
        {"<T <category dict required <a int> optional <a string>>>", "<a 1.5>",
         {"a (required, type != int): INT was not a whole number",
          "a (optional, type != string): Expected STRING was of invalid type"}},
        // Keywords of the wrong kind are absent.
        {"<T <category dict required [a]>>", "<a 1>", {"Unknown member a"}},
        {"<T <category dict required [a]>>", "<>", {}},
        {"<T <category dict keytype [int] optional <a any>>>", "<a 1 b 2>", {"Unknown member b"}},
        {"<T <category dict valuetype <x int> optional <a any>>>", "<a 1>", {}},
        // A member type that is no string neither checks nor makes known.
        {"<T <category dict optional <a 5>>>", "<a 1>", {"Unknown member a"}},
    });
}

TEST_F(CategoryTest, UnionsAndIntersections) {
    Run({
        {"<T <category union set [int string]>>", "a", {}},
        {"<T <category union set [int string]>>", "5", {}},
        {"<T <category union set [int string]>>",
         "[]",
         {"Not a valid union type: Trying int: Expected INT was of invalid type",
          "Not a valid union type: Trying string: Expected STRING was of invalid type"}},
        {"<T <category union set [S int]> S <category string maxlen 1 minlen 3>>",
         "ab",
         {"Not a valid union type: Trying S: String length below mininum value 3",
          "Not a valid union type: Trying S: String length above maximum value 1",
          "Not a valid union type: Trying int: Expected INT was of invalid type"}},
        {"<T <category intersection set [int S]> S <category real max 3>>", "2", {}},
        {"<T <category intersection set [S int real]> S <category real max 3>>",
         "4.5",
         {"Failed intersection type S: Number above maximum value 3.000000",
          "Failed intersection type int: INT was not a whole number"}},
        {"<T <category intersection set []>>", "[]", {}},
        {"<T <category intersection>>", "[]", {}},
        {"<T <category intersection set int>>", "x", {}},
        {"<T <category union set [any]>>", "<a [1]>", {}},
    });
    // A union with nothing to try rejects without a word.
    for (const char* schema : {"<T <category union set []>>", "<T <category union>>", "<T <category union set int>>"}) {
        SCOPED_TRACE(schema);
        EXPECT_TRUE(Rejected(Check(schema, "T", "5"), {}));
    }
}

TEST_F(CategoryTest, KeywordsOfOtherCategoriesAndUnknownMembersAreIgnored) {
    Run({
        {"<T <category int illegalchars 1 minlen 5 oneof [] membertype string foo bar>>", "3", {}},
        {"<T <category string min 10 max 0 required <a int>>>", "abc", {}},
        {"<T <category array oneof [] illegalchars x keytype int>>", "[x]", {}},
        {"<T <category dict minlen 5 membertype int set []>>", "<>", {}},
        {"<T <category union min 5 required <a int> set [real]>>", "3", {}},
        {"<T <category string oneof red>>", "blue", {}},
        {"<T <category int min (5) max [1] minexcl <a 1>>>", "3", {}},
    });
}

TEST_F(CategoryTest, PrefixesStackFromTheOutermostContext) {
    const char* const schema =
        "<T <category dict required <items List>>"
        " List <category array membertype Item>"
        " Item <category union set [int Pair]>"
        " Pair <category intersection set [Short Lower]>"
        " Short <category string maxlen 2>"
        " Lower <category string illegalchars ABC>>";
    Run({
        {schema, "<items [1 ab]>", {}},
        {schema,
         "<items [1 abC 2]>",
         {"items (required, type != List): [1]: Not a valid union type: Trying int: Expected INT was of invalid type",
          "items (required, type != List): [1]: Not a valid union type: Trying Pair: Failed intersection type Short: "
          "String length above maximum value 2",
          "items (required, type != List): [1]: Not a valid union type: Trying Pair: Failed intersection type Lower: "
          "String contains illegal characters in 'ABC'"}},
        // A key type makes every member known, whatever the key's check says.
        {"<T <category array membertype [int Inner]> Inner <category dict keytype Short optional <abc real>>"
         " Short <category string maxlen 2>>",
         "[1 <abc x ab 2>]",
         {"[1]: abc (key, type != Short): String length above maximum value 2",
          "[1]: abc (optional, type != real): Expected REAL was of invalid type"}},
    });
}

}  // namespace
