// Validator tests: the four validator procedures resolved through the host,
// and one call = its result, the explanation lines and the host's reports.
#pragma once

#include <string>
#include <vector>

#include "../objects/pos_fixture.h"

namespace qeltest {

// Report procedures carry no user data: the lines go to this list (the
// tests validate on one thread).
inline std::vector<std::string> gCollectedLines;
inline void CollectLine(const char* line) { gCollectedLines.emplace_back(line != nullptr ? line : "(null)"); }

// A check procedure that accepts everything: registered, it changes no
// verdict, but the validator can no longer assume that nothing else runs
// during a walk.
inline int32_t AcceptAll(QELContainerHandle, QELStringAtom, QELSharedBuffHandle, void*) { return 1; }

class ValidatorTest : public POSTest {
public:
    struct Outcome {
        int32_t result = -1;
        std::vector<std::string> lines;    // given to the report procedure, in order
        std::vector<std::string> reports;  // given to the host
        bool operator==(const Outcome&) const = default;
    };

protected:
    using Ref = qelhost::pos::Ref;
    using Atom = qelhost::pos::Atom;

    void SetUp() override {
        POSTest::SetUp();
        if (HasFatalFailure()) return;
        newValidator_ = host().Get<contract::POSStructValidatorInterface::NewPOSStructValidator>();
        registerCheck_ = host().Get<contract::POSStructValidatorInterface::RegisterCallbackProc>();
        validateSchema_ = host().Get<contract::POSStructValidatorInterface::ValidateSchema>();
        validate_ =
            host().Get<contract::POSValidatorInterface::Validate>();
        ASSERT_TRUE(newValidator_ && registerCheck_ && validateSchema_ && validate_);
        gCollectedLines.clear();
    }

    Ref NewValidator(const Ref& schema) { return Ref::Take(newValidator_(schema.get())); }
    Ref NewValidator(const char* schemaText) { return NewValidator(Parse(schemaText)); }

    void Register(const Ref& validator, const char* type, QELCheckProc check, void* clientData) {
        const Atom name(type);
        registerCheck_(validator.get(), name.get(), check, clientData);
    }

    Outcome Validate(const Ref& validator, const Ref& value, const char* type, bool withReport = true) {
        const Atom name(type);
        return Validate(validator, value, name, withReport);
    }
    // Makes nothing before the call (for allocation-failure sweeps).
    Outcome Validate(const Ref& validator, const Ref& value, const Atom& type, bool withReport = true) {
        gCollectedLines.clear();
        Outcome o;
        o.result = validate_(validator.get(), value.get(), type.get(), withReport ? &CollectLine : nullptr);
        o.lines.swap(gCollectedLines);
        o.reports = TakeReports();
        return o;
    }
    // A validator made for the one call. The call is made twice: as it
    // stands, and on a second validator with a check procedure that accepts
    // everything for every name the schema defines, which leaves the verdict
    // alone but makes the library walk through its published procedures
    // only. Both must give the same outcome.
    Outcome Check(const Ref& schema, const char* type, const Ref& value) {
        const Ref validator = NewValidator(schema);
        EXPECT_TRUE(validator);
        const Outcome direct = Validate(validator, value, type);
        const Ref guarded = NewValidator(schema);
        EXPECT_TRUE(guarded);
        if (pos().IsDict(schema))
            for (const std::string& name : pos().Keys(schema)) Register(guarded, name.c_str(), &AcceptAll, nullptr);
        EXPECT_TRUE(TakeReports().empty());
        const Outcome reference = Validate(guarded, value, type);
        EXPECT_TRUE(direct == reference) << "as it stands:" << Describe(direct) << "\nwith checks:"
                                         << Describe(reference);
        return direct;
    }
    Outcome Check(const char* schemaText, const char* type, const Ref& value) {
        return Check(Parse(schemaText), type, value);
    }
    Outcome Check(const char* schemaText, const char* type, const char* valueText) {
        return Check(Parse(schemaText), type, Parse(valueText));
    }

    static std::string Describe(const Outcome& o) {
        std::string text = " result " + std::to_string(o.result);
        for (const std::string& line : o.lines) text += "\n  line: " + line;
        for (const std::string& report : o.reports) text += "\n  report: " + report;
        return text;
    }

    Outcome CheckSchema(const Ref& schema, bool withReport = true) {
        gCollectedLines.clear();
        Outcome o;
        o.result = validateSchema_(schema.get(), withReport ? &CollectLine : nullptr);
        o.lines.swap(gCollectedLines);
        o.reports = TakeReports();
        return o;
    }
    Outcome CheckSchema(const char* schemaText) { return CheckSchema(Parse(schemaText)); }

    POSStructValidatorNewStructValidatorProc newValidator_ = nullptr;
    POSStructValidatorRegisterCallbackProc registerCheck_ = nullptr;
    POSStructValidatorValidateSchemaProc validateSchema_ = nullptr;
    POSValidatorValidateProc validate_ = nullptr;
};

// Acceptance: result 1, nothing said to anyone.
inline ::testing::AssertionResult Accepted(const ValidatorTest::Outcome& o) {
    if (o.result == 1 && o.lines.empty() && o.reports.empty()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "result " << o.result;
    for (const std::string& line : o.lines) failure << "\n  line: " << line;
    for (const std::string& report : o.reports) failure << "\n  report: " << report;
    return failure;
}

// Rejection: result 0, exactly these lines, no host report.
inline ::testing::AssertionResult Rejected(const ValidatorTest::Outcome& o, const std::vector<std::string>& lines) {
    if (o.result == 0 && o.lines == lines && o.reports.empty()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "result " << o.result;
    for (const std::string& line : o.lines) failure << "\n  line: " << line;
    for (const std::string& r : o.reports) failure << "\n  report: " << r;
    return failure;
}

// A validation that stopped: result 0, no line, exactly this host report.
inline ::testing::AssertionResult Stopped(const ValidatorTest::Outcome& o, const std::string& report) {
    if (o.result == 0 && o.lines.empty() && o.reports == std::vector<std::string>{report})
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "result " << o.result;
    for (const std::string& line : o.lines) failure << "\n  line: " << line;
    for (const std::string& r : o.reports) failure << "\n  report: " << r;
    return failure;
}

}  // namespace qeltest
