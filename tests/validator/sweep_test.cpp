// The validator procedures under host allocation faults: a failed call is
// reported once and says nothing to the report procedure; a failed
// registration registers nothing.
#include <algorithm>
#include <memory>
#include <string>

#include "fault_sweep.h"
#include "validator_fixture.h"

namespace {

using qelhost::pos::Atom;
using qelhost::pos::Ref;
using qeltest::Failure;
using qeltest::Outcome;
using qeltest::SweepCase;
using qeltest::SweepRow;
using qeltest::Trial;

class ValidatorSweep : public qeltest::ValidatorTest, public ::testing::WithParamInterface<SweepCase<ValidatorSweep>> {
public:
    using ValidatorTest::host;
    using ValidatorTest::NewValidator;
    using ValidatorTest::newValidator_;
    using ValidatorTest::Parse;
    using ValidatorTest::Register;
    using ValidatorTest::registerCheck_;
    using ValidatorTest::Validate;
    using ValidatorTest::validate_;
    using ValidatorTest::validateSchema_;
};

// Accepts even numbers, and counts its calls in its client data.
thread_local POSNumberGetProc tGetNumber = nullptr;
int32_t EvenCheck(QELContainerHandle value, QELStringAtom, QELSharedBuffHandle, void* clientData) {
    ++*static_cast<int*>(clientData);
    return static_cast<int64_t>(tGetNumber(value)) % 2 == 0 ? 1 : 0;
}

constexpr const char kSweptSchema[] = "<Even <category int> List <category array membertype Even>>";

// The value satisfies its type: a validation that fails was stopped, and
// a stopped validation says nothing to the report procedure.
template <class Call>
Outcome Validated(Call&& call) {
    qeltest::gCollectedLines.clear();
    const int32_t result = call();
    EXPECT_TRUE(qeltest::gCollectedLines.empty()) << qeltest::gCollectedLines.front();
    qeltest::gCollectedLines.clear();
    return Outcome::Value(result == 1);
}

const SweepRow<ValidatorSweep> kRows[] = {
    {"RegisterCallbackProc", Failure::Reported,
     [](ValidatorSweep& t) {
         const Ref validator = t.NewValidator(kSweptSchema);
         const auto name = std::make_shared<Atom>("Even");
         const auto calls = std::make_shared<int>(0);
         return Trial{[&t, validator, name, calls] {
                          t.registerCheck_(validator.get(), name->get(), &EvenCheck, calls.get());
                          return Outcome::Value(t.host().Reports().empty());
                      },
                      [&t, validator, calls] {
                          EXPECT_EQ(t.Validate(validator, t.Parse("[2 4 3]"), "List").result, 0);
                          EXPECT_EQ(*calls, 3) << "registered: called once per member";
                      },
                      [&t, validator, calls] {
                          EXPECT_EQ(t.Validate(validator, t.Parse("[2 4 3]"), "List").result, 1);
                          EXPECT_EQ(*calls, 0) << "a failed registration registers nothing";
                      }};
     }},
    {"ValidateWithACheck", Failure::Reported,
     [](ValidatorSweep& t) {
         const Ref validator = t.NewValidator(kSweptSchema);
         const auto calls = std::make_shared<int>(0);
         t.Register(validator, "Even", &EvenCheck, calls.get());
         const Ref value = t.Parse("[2 4 6 8]");
         const auto name = std::make_shared<Atom>("List");
         // The check's client data lives as long as the validator uses it.
         return Trial{[&t, validator, value, name, calls] {
                          return Validated([&] {
                              return t.validate_(validator.get(), value.get(), name->get(), &qeltest::CollectLine);
                          });
                      },
                      [calls] { EXPECT_GT(*calls, 0) << "the check was called"; }};
     }},
    {"Validate", Failure::Reported,
     [](ValidatorSweep& t) {
         const Ref validator = t.NewValidator(kSweptSchema);
         const Ref value = t.Parse("[2 4 6 8]");
         const auto name = std::make_shared<Atom>("List");
         return Trial{[&t, validator, value, name] {
             return Validated(
                 [&] { return t.validate_(validator.get(), value.get(), name->get(), &qeltest::CollectLine); });
         }};
     }},
    {"NewPOSStructValidator", Failure::Reported,
     [](ValidatorSweep& t) {
         const Ref schema = t.Parse(kSweptSchema);
         const auto out = std::make_shared<Ref>();
         return Trial{[&t, schema, out] {
                          *out = Ref::Take(t.newValidator_(schema.get()));
                          return Outcome::Value(bool(*out));
                      },
                      [&t, out] { EXPECT_EQ(t.Validate(*out, t.Parse("[2 3]"), "List").result, 1); }};
     }},
    {"ValidateSchema", Failure::Reported,
     [](ValidatorSweep& t) {
         const Ref schema = t.Parse(kSweptSchema);
         // A failure inside one of the meta-schema's check procedures is
         // caught there and explained in its line; any other stops the check
         // with one report and no line.
         return Trial{[&t, schema] {
             qeltest::gCollectedLines.clear();
             const int32_t result = t.validateSchema_(schema.get(), &qeltest::CollectLine);
             std::vector<std::string> lines;
             lines.swap(qeltest::gCollectedLines);
             if (result == 1) return Outcome::Value(lines.empty());
             const bool caught = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
                 return line.find("Caught exception: ") != std::string::npos;
             });
             EXPECT_TRUE(caught || lines.empty()) << lines.front();
             return Outcome{true, 0, caught};
         }};
     }},
};

TEST_P(ValidatorSweep, FailsCleanly) {
    tGetNumber = host().Get<contract::POSNumberInterface::Get>();
    qeltest::RunSweepCase(*this, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Procedures, ValidatorSweep,
                         ::testing::ValuesIn(qeltest::SweepCases(kRows, {qeltest::Fault::Allocation,
                                                                         qeltest::Fault::ContainerLookup})),
                         qeltest::SweepCaseName<ValidatorSweep>);

}  // namespace
