// The text notation: what each text builds, and where and why a bad one stops.
#include <clocale>
#include <string>

#include "../frame/linked_library.h"
#include "objects/text_parser.h"
#include "pos_fixture.h"

namespace {

using qelhost::pos::Ref;
using ParserTest = qeltest::WithPOS<qeltest::LinkedLibraryTest>;

struct Outcome final {
    Ref value;
    std::string message;  // empty on success
    long offset = -1;
};

class Parsing : public ParserTest {
protected:
    Outcome Run(const std::string& text) {
        const char* position = nullptr;
        const char* message = nullptr;
        Outcome out;
        out.value = Ref::Take(NPOSObjectImpl::ParseText(text.c_str(), &position, &message));
        if (message != nullptr) out.message = message;
        if (position != nullptr) out.offset = position - text.c_str();
        return out;
    }
};

TEST_F(Parsing, TextsAndWhatTheyBuild) {
    struct Case {
        const char* text;
        const char* built;  // written back in notation
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"_a1", "_a1"},
        {"  \t\r\n word \n", "word"},
        {"[1-2]", "[1 -2]"},
        {"[1 2]", "[1 2]"},
        {"[12]", "[12]"},
        {"<a 1 a 2>", "<a 2>"},
        {"<>", "<>"},
        {"[]", "[]"},
        {"(a\\)b)", "(a\\)b)"},
        {"(a\\\\b)", "(a\\\\b)"},
        {"()", "()"},
        {"(a(b)", "(a(b)"},
        {"(x\\y)", "xy"},
        {"`00410042`", "`00410042`"},
        {"`4E2D`", "`4E2d`"},
        {"`4e2d`", "`4E2d`"},
        {"``", "``"},
        {"1e5", nullptr},
        {"[1e5]", "[1 e5]"},
        {"1.2.3", "1.2"},
        {"-", "0"},
        {"+", "0"},
        {".", "0"},
        {"+3.5", "3.5"},
        {"-.25", "-0.25"},
        {"007", "7"},
        {"< category string oneof [int] >", "<category string oneof [int]>"},
        {"<kInt\t\t< category kInt >>", "<kInt <category kInt>>"},
        {"[int>", nullptr},
        {"<(key with spaces) (v)>", "<(key with spaces) v>"},
        {"<b [<c 1>] a ()>", "<a () b [<c 1>]>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Outcome out = Run(c.text);
        if (c.built == nullptr) {
            EXPECT_FALSE(out.value);
            continue;
        }
        ASSERT_TRUE(out.value) << out.message << " at " << out.offset;
        EXPECT_EQ(Text(out.value), c.built);
    }
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(Parsing, EveryErrorWithItsPosition) {
    struct Case {
        std::string text;
        const char* message;
        long offset;
    };
    const std::string s100(100, 'x');
    const Case cases[] = {
        {"", "Empty text string", 0},
        {" \t\r\n", "Empty text string", 4},
        {"<a 1", "Empty text string", 4},
        {"[1 2", "Empty text string", 4},
        {"<a", "Empty text string", 2},
        {"1a", "Unexpected characters after object", 1},
        {"x y", "Unexpected characters after object", 2},
        {"[1] ]", "Unexpected characters after object", 4},
        {"<a>", "Unexpected >", 3},
        {">", "Unexpected >", 1},
        {"[1>", "Unexpected >", 3},
        {"]", "Unexpected ]", 1},
        {"<a 1]", "Unexpected ]", 5},
        {"<1 2>", "Expected dictionary key string", 2},
        {"<[x] 2>", "Expected dictionary key string", 4},
        {"<<a 1> 2>", "Expected dictionary key string", 6},
        {"<`0041` 1>", "Expected dictionary key string", 7},
        {"#", "Unexpected character", 0},
        {"[1 \x80]", "Unexpected character", 3},
        {"<a {>", "Unexpected character", 3},
        {"(" + s100 + "y)", "Exceeded max string length", 103},
        {s100 + "y", "Exceeded max string length", 101},
        {"(" + std::string(99, 'x') + "\\))", "Exceeded max string length", 103},
        {std::string(101, '1'), "Exceeded max number length", 101},
        {"`" + std::string(402, '0') + "`", "Exceeded max string length", 404},
        {"(abc", "Unterminated string", 4},
        {"(ab\\", "Unterminated string", 4},
        {"`0041", "Unterminated string", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        const Outcome out = Run(c.text);
        EXPECT_FALSE(out.value);
        EXPECT_EQ(out.message, c.message);
        EXPECT_EQ(out.offset, c.offset);
    }
    EXPECT_TRUE(TakeReports().empty()) << "syntax errors are not reported";
}

TEST_F(Parsing, TokenLimitsAtTheirBoundaries) {
    const std::string s100(100, 'x');
    EXPECT_EQ(pos().GetString(Run("(" + s100 + ")").value), s100);
    EXPECT_EQ(pos().GetString(Run(s100).value), s100);
    const std::string escaped = "(" + std::string(98, 'x') + "\\))";  // 100 raw bytes
    EXPECT_EQ(pos().GetString(Run(escaped).value), std::string(98, 'x') + ")");
    EXPECT_EQ(pos().GetNumber(Run(std::string(100, '1')).value), 1.1111111111111111e99);
    const Ref units = Run("`" + std::string(400, '0').replace(0, 4, "0041") + "1`").value;
    ASSERT_TRUE(units) << "401 digits are accepted";
    EXPECT_EQ(pos().GetUnicodeString(units).size(), 1u) << "a zero unit ends the string";
}

TEST_F(Parsing, ThePublishedProcedureGivesOnlyThePosition) {
    const std::string text = "<a 1 b>";
    const char* position = reinterpret_cast<const char*>(1);
    EXPECT_EQ(pos().Proc<contract::POSObjectStatics::CreateFromText>()(text.c_str(), &position), nullptr);
    EXPECT_EQ(position, text.c_str() + 7);
    const Ref ok = Ref::Take(pos().Proc<contract::POSObjectStatics::CreateFromText>()("<a 1>", &position));
    EXPECT_TRUE(ok);
    EXPECT_EQ(position, nullptr) << "cleared before parsing";
    EXPECT_EQ(pos().Proc<contract::POSObjectStatics::CreateFromText>()("]", nullptr), nullptr);
    EXPECT_TRUE(TakeReports().empty());
    EXPECT_EQ(pos().Proc<contract::POSObjectStatics::CreateFromText>()(nullptr, nullptr), nullptr);
    EXPECT_EQ(TakeReports().size(), 1u);
}

TEST_F(Parsing, NothingOfAFailedParseSurvives) {
    const int64_t containers = host().books().containers;
    EXPECT_FALSE(Run("<a [1 2 <b (x)> 3] c [4 5 #]>").value);
    EXPECT_EQ(host().books().containers, containers);
}

TEST_F(Parsing, NumbersIgnoreTheLocale) {
    // A host may have switched the C library to a decimal comma.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C"})
        if (std::setlocale(LC_NUMERIC, name) != nullptr) break;
    EXPECT_EQ(pos().GetNumber(Run("2.5").value), 2.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
