// A validator shares its schema with the caller, who may change it between
// validations; a check procedure may change the schema, or the value under
// test, in the middle of one. Every validation reads the schema as it is at
// the moment it reads it, and nothing read before a change outlives it.
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "validator_fixture.h"

namespace {

using qeltest::Accepted;
using qeltest::Rejected;
using qeltest::ValidatorTest;

class ChangesTest : public ValidatorTest {};

TEST_F(ChangesTest, EveryValidationReadsTheSchemaAsItIsThen) {
    const Ref schema = Parse("<T <category dict required <n N> optional <o any>> N <category int max 9>>");
    const Ref validator = NewValidator(schema);
    const Ref value = Parse("<n 5>");
    const auto definitionOf = [&](const char* type) { return pos().Get(schema, type); };
    struct Step {
        const char* change;
        std::function<void()> make;
        std::vector<std::string> lines;  // none: accepted
    };
    const std::vector<Step> steps = {
        {"as written", [] {}, {}},
        {"a bound put into a definition", [&] { pos().Put(definitionOf("N"), "max", pos().Number(3)); },
         {"n (required, type != N): Number above maximum value 3.000000"}},
        {"the bound taken out again", [&] { pos().Remove(definitionOf("N"), "max"); }, {}},
        {"a definition replaced", [&] { pos().Put(schema, "N", Parse("<category string>")); },
         {"n (required, type != N): Expected STRING was of invalid type"}},
        {"a member listed as required",
         [&] { pos().Put(pos().Get(definitionOf("T"), "required"), "m", pos().String("int")); },
         {"Missing required member m"}},
        {"the listing replaced", [&] { pos().Put(definitionOf("T"), "required", Parse("<n real>")); }, {}},
        {"a category changed", [&] { pos().Put(definitionOf("T"), "category", pos().String("array")); },
         {"Array object expected"}},
        {"the type taken out", [&] { pos().Remove(schema, "T"); }, {"Schema not applicable, no definition for T"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.change);
        step.make();
        const Outcome o = Validate(validator, value, "T");
        if (step.lines.empty())
            EXPECT_TRUE(Accepted(o));
        else
            EXPECT_TRUE(Rejected(o, step.lines));
    }
}

// What a check procedure does to the schema or the value, on its first call.
struct Meddler {
    std::function<void()> change;
    int calls = 0;
};
int32_t Meddle(QELContainerHandle, QELStringAtom, QELSharedBuffHandle, void* clientData) {
    auto& meddler = *static_cast<Meddler*>(clientData);
    if (meddler.calls++ == 0) meddler.change();
    return 1;
}

TEST_F(ChangesTest, AChangeMadeByACheckIsSeenByTheRestOfTheWalk) {
    const Ref schema = Parse("<L <category array membertype E> E <category int max 100> F <category int>>");
    const Ref validator = NewValidator(schema);
    Meddler meddler;
    meddler.change = [&] { pos().Put(pos().Get(schema, "E"), "max", pos().Number(1)); };
    Register(validator, "E", &Meddle, &meddler);
    EXPECT_TRUE(Rejected(Validate(validator, Parse("[0 5 7]"), "L"),
                         {"[1]: Number above maximum value 1.000000", "[2]: Number above maximum value 1.000000"}));
    EXPECT_EQ(meddler.calls, 1);

    // A check for a name the walk meets only later: the change it makes
    // counts from then on.
    const Ref other = NewValidator(schema);
    Meddler late;
    late.change = [&] { pos().Put(schema, "E", Parse("<category string>")); };
    Register(other, "F", &Meddle, &late);
    pos().Remove(pos().Get(schema, "E"), "max");
    const Ref pair = Parse("<category array membertype [E F E]>");
    pos().Put(schema, "P", pair);
    EXPECT_TRUE(Rejected(Validate(other, Parse("[1 2 3]"), "P"), {"[2]: Expected STRING was of invalid type"}));
    EXPECT_EQ(late.calls, 1);
}

TEST_F(ChangesTest, AnArrayShortenedByACheckFailsTheWalkCleanly) {
    const Ref schema = Parse("<L <category array membertype E> E <category int>>");
    const Ref validator = NewValidator(schema);
    const Ref value = Parse("[1 2 3]");
    Meddler meddler;
    meddler.change = [&] { pos().RemoveAt(value, 2); };
    Register(validator, "E", &Meddle, &meddler);
    const Outcome o = Validate(validator, value, "L");
    EXPECT_EQ(o.result, 0);
    EXPECT_TRUE(o.lines.empty());
    EXPECT_EQ(o.reports, std::vector<std::string>{"CPOSArray::GetAt subscript failed"});
}

// Validating changes nothing in the validator: threads may share one.
TEST_F(ChangesTest, ThreadsShareAValidator) {
    const Ref validator =
        NewValidator("<T <category dict required <a A b B>> A <category int max 5> B <category string minlen 2>>");
    const Ref good = Parse("<a 1 b xy>");
    const Ref bad = Parse("<a 6 b x>");
    const Atom type("T");
    std::atomic<int> wrong{0};
    const auto run = [&](const Ref& value, int32_t expected) {
        for (int i = 0; i < 300; ++i)
            if (validate_(validator.get(), value.get(), type.get(), nullptr) != expected) ++wrong;
    };
    std::thread first(run, std::cref(good), 1);
    std::thread second(run, std::cref(bad), 0);
    first.join();
    second.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_TRUE(TakeReports().empty());
}

}  // namespace
