// Every recursive path of the library, run on a thread with the small stack
// a host may give it: at the nesting bound the work must finish, and one
// level past it the refusal must be clean.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../validator/validator_fixture.h"
#include "chain.h"
#include "small_stack.h"

namespace {

using qelhost::pos::Ref;
using qeltest::kSmallStackBytes;
using qeltest::RunOnStack;
using qeltest::StackRun;

constexpr int kBound = 1000;  // nested arrays and dictionaries the library accepts
constexpr const char kTooDeep[] = "Nesting of arrays and dictionaries is too deep";
constexpr const char kWalkTooDeep[] =
    "Validation nested too deep: a union or intersection that refers to itself, or a value nested more "
    "than 1000 levels";
constexpr const char kOverwrote[] = "FormatIntoPOSString overwrote buffer";

// What a path made of its input, in a form a table can hold.
using Verdict = std::string;
using Call = std::function<Verdict()>;

class HeadroomTest : public qeltest::ValidatorTest {
public:
    // `levels` nested containers, the innermost empty, built without recursion.
    Ref Chain(int levels, bool dicts) const {
        return qeltest::Chain(pos(), levels, dicts ? qeltest::Nest::Dictionaries : qeltest::Nest::Arrays);
    }
    // The same chain as text and as a serialized body.
    static std::string ChainText(int levels, bool dicts) {
        std::string text;
        for (int i = 1; i < levels; ++i) text += dicts ? "<k " : "[";
        return text + (dicts ? "<" : "[") + std::string(levels, dicts ? '>' : ']');
    }
    static std::string ChainBody(int levels, bool dicts) {
        std::string body = kHeader;
        for (int i = 1; i < levels; ++i) body += dicts ? "<\"k\" " : "[";
        return body + (dicts ? "<" : "[") + std::string(levels, dicts ? '>' : ']');
    }

    // The innermost type name is a level of its own.
    static std::string BinaryDataBody(int levels) {
        return kHeader + std::string(levels - 1, '{') + "\"t\" #0 }";
    }

    Verdict Parse(const std::string& text) {
        long offset = -1;
        const Ref value = pos().FromText(text.c_str(), &offset);
        if (value) return Reported(true);
        return "syntax error at " + std::to_string(offset) + (TakeReports().empty() ? "" : ", reported");
    }
    Verdict Serialize(const Ref& value) {
        const Ref stream = Ref::Take(host().NewMemoryStream(""));
        return Reported(serialize_(streamer_.get(), stream.get(), value.get(), nullptr) == 1);
    }
    Verdict Deserialize(const std::string& bytes) {
        const Ref stream = Ref::Take(host().NewMemoryStream(bytes));
        return Reported(static_cast<bool>(Ref::Take(deserialize_(streamer_.get(), stream.get()))));
    }
    Verdict Clone(const Ref& value) { return Reported(static_cast<bool>(pos().Clone(value))); }
    Verdict Equal(const Ref& a, const Ref& b) { return Reported(pos().IsEqual(a, b)); }
    Verdict Validated(const Ref& validator, const Ref& value, const char* type) {
        return Summary(Validate(validator, value, type));
    }
    Verdict SchemaChecked(const std::string& schemaText) {
        const Ref schema = pos().FromText(schemaText.c_str());
        if (!schema) return "schema does not parse";
        return Summary(CheckSchema(schema));
    }
    using ValidatorTest::NewValidator;
    // A validator with a check that accepts everything for each of the
    // schema's types: the walk then goes through the published procedures.
    Ref NewCheckedValidator(const char* schemaText) {
        const Ref schema = pos().FromText(schemaText);
        const Ref validator = NewValidator(schema);
        for (const std::string& name : pos().Keys(schema))
            Register(validator, name.c_str(), &qeltest::AcceptAll, nullptr);
        return validator;
    }

protected:
    void SetUp() override {
        ValidatorTest::SetUp();
        if (HasFatalFailure()) return;
        serialize_ = host().Get<contract::POSStreamerInterface::Serialize>();
        deserialize_ = host().Get<contract::POSStreamerInterface::Deserialize>();
        const auto make = host().Get<contract::POSStreamerInterface::NewPOSStreamer>();
        ASSERT_TRUE(serialize_ && deserialize_ && make);
        streamer_ = Ref::Take(make());
        ASSERT_TRUE(streamer_);
    }
    void TearDown() override {
        streamer_.reset();
        ValidatorTest::TearDown();
    }

private:
    static constexpr const char kHeader[] = "POSStreamerTypeA_Version1.0 ";

    // "ok" with nothing reported, else the one report.
    Verdict Reported(bool ok) {
        const std::vector<std::string> reports = TakeReports();
        if (ok && reports.empty()) return "ok";
        if (!ok && reports.size() == 1) return reports.front();
        return "failed with " + std::to_string(reports.size()) + " reports";
    }
    static Verdict Summary(const ValidatorTest::Outcome& o) {
        if (o.result == 1 && o.lines.empty() && o.reports.empty()) return "ok";
        if (o.result == 0 && o.lines.empty() && o.reports.size() == 1) return o.reports.front();
        if (o.result == 0 && o.reports.empty() && !o.lines.empty())
            return "rejected, " + std::to_string(o.lines.size()) + " lines, the first: " + o.lines.front();
        return "unexpected validation outcome";
    }

    POSStreamerSerializeProc serialize_ = nullptr;
    POSStreamerDeserializeProc deserialize_ = nullptr;
    Ref streamer_;
};

// One recursive path: `prepare` builds its input outside the measured thread
// and hands back the call that runs on it.
struct Path final {
    const char* name;
    std::function<Call(HeadroomTest&, int levels)> prepare;
    Verdict atTheBound;
    Verdict pastTheBound;
};

void PrintTo(const Path& path, std::ostream* out) { *out << path.name; }

class HeadroomPaths : public HeadroomTest, public ::testing::WithParamInterface<Path> {
protected:
    // The call's outcome on a small stack, and how deep the stack went.
    Verdict OnSmallStack(int levels, size_t* peak) {
        const Call call = GetParam().prepare(*this, levels);
        Verdict outcome = "did not finish";
        const StackRun run = RunOnStack(kSmallStackBytes, [&] { outcome = call(); });
        EXPECT_TRUE(run.started) << "no thread with a stack of " << kSmallStackBytes << " bytes";
        EXPECT_TRUE(run.finished);
        if (run.grantedBytes > kSmallStackBytes) granted_ = run.grantedBytes;
        *peak = run.peakBytes;
        return outcome;
    }

    // More stack than asked for, when the platform gave it (Wine does).
    size_t granted_ = 0;
};

TEST_P(HeadroomPaths, FinishAtTheBoundAndRefuseCleanlyPastIt) {
    size_t half = 0;
    size_t full = 0;
    size_t past = 0;
    const Verdict atHalf = OnSmallStack(kBound / 2, &half);
    EXPECT_EQ(OnSmallStack(kBound, &full), GetParam().atTheBound);
    EXPECT_EQ(OnSmallStack(kBound + 1, &past), GetParam().pastTheBound);
    if (granted_ != 0)
        std::printf("[  stack   ] %s ran on %zu bytes of stack, not %zu: the system gives no less\n",
                    GetParam().name, granted_, kSmallStackBytes);
    // The measure behind the promise, for whoever tunes the frames next.
    if (full != 0 && atHalf == GetParam().atTheBound)
        std::printf("[  stack   ] %s: %zu bytes at %d levels, %zu a level; %zu one level past\n", GetParam().name,
                    full, kBound, (full - std::min(full, half)) / (kBound - kBound / 2), past);
    // Headroom, so that a frame that grows shows here before it overflows,
    // and a platform that gives more stack than asked for proves as much.
    EXPECT_LT(std::max(full, past), kSmallStackBytes / 5 * 4);
}

Call Parsing(HeadroomTest& t, int levels, bool dicts) {
    return [&t, text = HeadroomTest::ChainText(levels, dicts)] { return t.Parse(text); };
}
Call Writing(HeadroomTest& t, int levels, bool dicts) {
    return [&t, value = t.Chain(levels, dicts)] { return t.Serialize(value); };
}
Call Reading(HeadroomTest& t, int levels, bool dicts) {
    return [&t, body = HeadroomTest::ChainBody(levels, dicts)] { return t.Deserialize(body); };
}
// Binary data whose type name is binary data again, and so on down.
Call ReadingBinaryData(HeadroomTest& t, int levels, bool) {
    return [&t, body = HeadroomTest::BinaryDataBody(levels)] { return t.Deserialize(body); };
}
Call Cloning(HeadroomTest& t, int levels, bool dicts) {
    return [&t, value = t.Chain(levels, dicts)] { return t.Clone(value); };
}
Call Comparing(HeadroomTest& t, int levels, bool dicts) {
    return [&t, a = t.Chain(levels, dicts), b = t.Chain(levels, dicts)] { return t.Equal(a, b); };
}
// A chain validated against a schema that follows it down.
std::function<Call(HeadroomTest&, int)> Validating(const char* schema, const char* type, bool dicts) {
    return [=](HeadroomTest& t, int levels) -> Call {
        return [&t, validator = t.NewValidator(schema), value = t.Chain(levels, dicts), type] {
            return t.Validated(validator, value, type);
        };
    };
}
std::function<Call(HeadroomTest&, int)> ValidatingWithChecks(const char* schema, const char* type, bool dicts) {
    return [=](HeadroomTest& t, int levels) -> Call {
        return [&t, validator = t.NewCheckedValidator(schema), value = t.Chain(levels, dicts), type] {
            return t.Validated(validator, value, type);
        };
    };
}
// A schema whose one definition holds a value nested as deep as the text may go.
Call SchemaChecking(HeadroomTest& t, int levels) {
    return [&t, text = "<T <category int min " + HeadroomTest::ChainText(levels - 2, false) + ">>"] {
        return t.SchemaChecked(text);
    };
}
template <Call (*make)(HeadroomTest&, int, bool), bool dicts>
Call Over(HeadroomTest& t, int levels) {
    return make(t, levels, dicts);
}

const Path kPaths[] = {
    {"ParseArrays", Over<Parsing, false>, "ok", "syntax error at 1000"},
    {"ParseDictionaries", Over<Parsing, true>, "ok", "syntax error at 3000"},
    {"WriteArrays", Over<Writing, false>, "ok", kTooDeep},
    {"WriteDictionaries", Over<Writing, true>, "ok", kTooDeep},
    {"ReadArrays", Over<Reading, false>, "ok", kTooDeep},
    {"ReadDictionaries", Over<Reading, true>, "ok", kTooDeep},
    {"ReadNestedBinaryData", Over<ReadingBinaryData, false>, "downcast from CPOSObject to CPOSString failed",
     kTooDeep},
    {"ValidateArrays", Validating("<A <category array membertype A>>", "A", false), "ok", kWalkTooDeep},
    // The innermost member is missing: its line, prefixed at every level on
    // the way up, outgrows the longest line there may be.
    {"ValidatePositionalArrays", Validating("<P <category array membertype [P]>>", "P", false), kOverwrote,
     kWalkTooDeep},
    {"ValidateDictionaryValues", Validating("<D <category dict keytype any valuetype D>>", "D", true), "ok",
     kWalkTooDeep},
    {"ValidateDictionaryMembers", Validating("<D <category dict optional <k D>>>", "D", true),
     "ok", kWalkTooDeep},
    // These reach the bound whatever the value.
    {"ValidateSelfReferringUnion", Validating("<U <category union set [U]>>", "U", false), kWalkTooDeep,
     kWalkTooDeep},
    {"ValidateSelfReferringIntersection", Validating("<I <category intersection set [int I]>>", "I", false),
     kWalkTooDeep, kWalkTooDeep},
    {"ValidateArraysWithChecks", ValidatingWithChecks("<A <category array membertype A>>", "A", false), "ok",
     kWalkTooDeep},
    {"ValidateDictionaryMembersWithChecks", ValidatingWithChecks("<D <category dict optional <k D>>>", "D", true),
     "ok", kWalkTooDeep},
    {"ValidateSelfReferringUnionWithChecks", ValidatingWithChecks("<U <category union set [U]>>", "U", false),
     kWalkTooDeep, kWalkTooDeep},
    {"CheckSchema", SchemaChecking,
     "rejected, 17 lines, the first: T (value, type != TypeDefn): Not a valid union type: Trying DictDefn: "
     "category (required, type != kDict): String is not one of the enumerated values",
     "schema does not parse"},
    {"CloneArrays", Over<Cloning, false>, "ok", kTooDeep},
    {"CloneDictionaries", Over<Cloning, true>, "ok", kTooDeep},
    {"CompareArrays", Over<Comparing, false>, "ok", kTooDeep},
    {"CompareDictionaries", Over<Comparing, true>, "ok", kTooDeep},
};

std::string NameOf(const ::testing::TestParamInfo<Path>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Library, HeadroomPaths, ::testing::ValuesIn(kPaths), NameOf);

}  // namespace
