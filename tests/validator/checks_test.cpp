// Check procedures: when the walk calls them, what they receive, how their
// verdict and message become lines; and the procedures' own failures.
#include <cstring>
#include <string>
#include <vector>

#include "validator_fixture.h"

namespace {

using qeltest::Accepted;
using qeltest::Rejected;
using qeltest::ValidatorTest;

// What one check procedure saw, and what it answers.
struct Probe {
    int32_t verdict = 1;
    std::string message;        // written on rejection, when it fits
    bool leaveUnterminated = false;  // fill the whole buffer with no NUL
    struct Call {
        QELContainerHandle value;
        std::string type;
        uint64_t bufferSize;
    };
    std::vector<Call> calls;
};

// The host's buffer procedures, as any client would use them.
struct BufferProcs {
    QELSharedBuffGetBufferProc data = nullptr;
    QELSharedBuffGetSizeProc size = nullptr;
    QELGetCStringProc text = nullptr;
};
thread_local BufferProcs tBuffers;

int32_t ProbeCheck(QELContainerHandle value, QELStringAtom type, QELSharedBuffHandle buffer, void* clientData) {
    auto& probe = *static_cast<Probe*>(clientData);
    char* data = static_cast<char*>(tBuffers.data(buffer));
    const uint64_t size = tBuffers.size(buffer);
    probe.calls.push_back({value, tBuffers.text(type), size});
    if (probe.verdict == 0) {
        if (probe.leaveUnterminated)
            std::memset(data, 'u', size);
        else
            std::snprintf(data, size, "%s", probe.message.c_str());
    }
    return probe.verdict;
}

class CheckTest : public ValidatorTest {
protected:
    void SetUp() override {
        ValidatorTest::SetUp();
        if (HasFatalFailure()) return;
        tBuffers.data =
            host().Get<contract::QELSharedBuffInterface::GetBuffer>();
        tBuffers.size =
            host().Get<contract::QELSharedBuffInterface::GetSize>();
        tBuffers.text = host().Get<contract::QELStringInterface::GetCString>();
        ASSERT_TRUE(tBuffers.data && tBuffers.size && tBuffers.text);
    }
};

constexpr const char kSchema[] =
    "<Even <category int> Small <category int max 9> List <category array membertype Even>"
    " Holder <category dict required <n Even>>>";

TEST_F(CheckTest, ACheckRunsOnceForEveryDefinedTypeThatPassedItsDefinition) {
    const Ref validator = NewValidator(kSchema);
    Probe probe;
    Register(validator, "Even", &ProbeCheck, &probe);
    const Ref value = Parse("[2 4 6]");
    EXPECT_TRUE(Accepted(Validate(validator, value, "List")));
    ASSERT_EQ(probe.calls.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        const Ref member = pos().GetAt(value, i);
        EXPECT_EQ(probe.calls[i].value, member.get()) << "the member itself, not a copy";
        EXPECT_EQ(probe.calls[i].type, "Even");
        EXPECT_EQ(probe.calls[i].bufferSize, 1024u);
    }
    // A value that fails the definition never reaches the check.
    probe.calls.clear();
    EXPECT_TRUE(Rejected(Validate(validator, Parse("[2 x]"), "List"), {"[1]: Expected INT was of invalid type"}));
    EXPECT_EQ(probe.calls.size(), 1u);
}

TEST_F(CheckTest, ARejectionBecomesOneLineUnderItsContext) {
    const Ref validator = NewValidator(kSchema);
    Probe probe;
    probe.verdict = 0;
    probe.message = "odd number";
    Register(validator, "Even", &ProbeCheck, &probe);
    EXPECT_TRUE(Rejected(Validate(validator, Parse("3"), "Even"), {"odd number"}));
    EXPECT_TRUE(Rejected(Validate(validator, Parse("[1 3]"), "List"), {"[0]: odd number", "[1]: odd number"}));
    EXPECT_TRUE(Rejected(Validate(validator, Parse("<n 5>"), "Holder"), {"n (required, type != Even): odd number"}));
    // The text stands as written: a % in it is no format.
    probe.message = "100% wrong %s";
    EXPECT_TRUE(Rejected(Validate(validator, Parse("3"), "Even"), {"100% wrong %s"}));
    // An empty message is still a line.
    probe.message.clear();
    EXPECT_TRUE(Rejected(Validate(validator, Parse("3"), "Even"), {""}));
}

TEST_F(CheckTest, ABufferWithoutTerminatorIsReadWithinItsSize) {
    const Ref validator = NewValidator(kSchema);
    Probe probe;
    probe.verdict = 0;
    probe.leaveUnterminated = true;
    Register(validator, "Even", &ProbeCheck, &probe);
    const Outcome o = Validate(validator, Parse("3"), "Even");
    EXPECT_EQ(o.result, 0);
    ASSERT_EQ(o.lines.size(), 1u);
    EXPECT_EQ(o.lines[0], std::string(1023, 'u'));
    EXPECT_TRUE(o.reports.empty());
}

TEST_F(CheckTest, ALaterRegistrationReplacesTheEarlierOne) {
    const Ref validator = NewValidator(kSchema);
    Probe first, second;
    first.verdict = 0;
    first.message = "first";
    Register(validator, "Even", &ProbeCheck, &first);
    Register(validator, "Even", &ProbeCheck, &second);
    EXPECT_TRUE(Accepted(Validate(validator, Parse("2"), "Even")));
    EXPECT_TRUE(first.calls.empty());
    EXPECT_EQ(second.calls.size(), 1u);
    // A null procedure replaces it too, and counts as none.
    Register(validator, "Even", nullptr, &first);
    EXPECT_TRUE(Accepted(Validate(validator, Parse("2"), "Even")));
    EXPECT_EQ(second.calls.size(), 1u);
}

TEST_F(CheckTest, ChecksForBuiltInOrUndefinedNamesAreNeverCalled) {
    const Ref validator = NewValidator(kSchema);
    Probe probe;
    probe.verdict = 0;
    probe.message = "never";
    for (const char* name : {"int", "any", "string", "Nowhere"}) Register(validator, name, &ProbeCheck, &probe);
    EXPECT_TRUE(Accepted(Validate(validator, Parse("2"), "int")));
    EXPECT_TRUE(Accepted(Validate(validator, Parse("x"), "any")));
    EXPECT_TRUE(Rejected(Validate(validator, Parse("2"), "string"), {"Expected STRING was of invalid type"}));
    EXPECT_TRUE(Rejected(Validate(validator, Parse("2"), "Nowhere"), {"Schema not applicable, no definition for Nowhere"}));
    EXPECT_TRUE(probe.calls.empty());
}

TEST_F(CheckTest, ChecksBelongToTheirValidator) {
    const Ref schema = Parse(kSchema);
    const Ref a = NewValidator(schema);
    const Ref b = NewValidator(schema);
    Probe probe;
    probe.verdict = 0;
    probe.message = "only a";
    Register(a, "Small", &ProbeCheck, &probe);
    EXPECT_TRUE(Rejected(Validate(a, Parse("1"), "Small"), {"only a"}));
    EXPECT_TRUE(Accepted(Validate(b, Parse("1"), "Small")));
}

TEST_F(CheckTest, TheSchemaIsSharedNotCopied) {
    const Ref schema = Parse(kSchema);
    const Ref validator = NewValidator(schema);
    EXPECT_TRUE(Rejected(Validate(validator, Parse("1"), "Later"), {"Schema not applicable, no definition for Later"}));
    pos().Put(schema, "Later", Parse("<category string>"));
    EXPECT_TRUE(Rejected(Validate(validator, Parse("1"), "Later"), {"Expected STRING was of invalid type"}));
    EXPECT_TRUE(Accepted(Validate(validator, Parse("one"), "Later")));
}

TEST_F(CheckTest, WithoutAReportProcedureTheLinesReachNoOne) {
    const Ref validator = NewValidator(kSchema);
    const Outcome failed = Validate(validator, Parse("[1 x 3]"), "List", false);
    EXPECT_EQ(failed.result, 0);
    EXPECT_TRUE(failed.lines.empty());
    EXPECT_TRUE(failed.reports.empty());
    EXPECT_TRUE(Accepted(Validate(validator, Parse("[1 2]"), "List", false)));
}

TEST_F(CheckTest, HandlesThatAreNoValidatorsAreRefused) {
    const Ref number = pos().Number(1);
    const Ref validator = NewValidator(kSchema);
    Probe probe;
    const qelhost::pos::Atom name("Even");

    // Each refusal is one report; nothing is registered or validated.
    registerCheck_(number.get(), name.get(), &ProbeCheck, &probe);
    EXPECT_EQ(TakeReports().size(), 1u);
    registerCheck_(nullptr, name.get(), &ProbeCheck, &probe);
    EXPECT_EQ(TakeReports().size(), 1u);
    registerCheck_(validator.get(), nullptr, &ProbeCheck, &probe);
    EXPECT_EQ(TakeReports().size(), 1u);

    for (QELContainerHandle bad : {number.get(), static_cast<QELContainerHandle>(nullptr)}) {
        EXPECT_EQ(validate_(bad, number.get(), name.get(), &qeltest::CollectLine), 0);
        EXPECT_EQ(TakeReports().size(), 1u);
    }
    EXPECT_EQ(validate_(validator.get(), number.get(), nullptr, &qeltest::CollectLine), 0);
    EXPECT_EQ(TakeReports().size(), 1u);
    EXPECT_EQ(validate_(validator.get(), nullptr, name.get(), &qeltest::CollectLine), 0);
    EXPECT_EQ(TakeReports().size(), 1u);
    EXPECT_TRUE(qeltest::gCollectedLines.empty());

    EXPECT_TRUE(Accepted(Validate(validator, Parse("2"), "Even")));
    EXPECT_TRUE(probe.calls.empty());
}

TEST_F(CheckTest, EveryAllocationFailureIsOneReportAndNothingLeaks) {
    const Ref validator = NewValidator(
        "<Doc <category dict required <items List> optional <tag Tag>> List <category array membertype Item>"
        " Item <category union set [Small Word]> Small <category int max 9> Word <category string maxlen 3>"
        " Tag <category intersection set [Word Small]>>");
    const Ref value = Parse("<items [1 abcd 3 [x]] tag 12345 extra 1>");
    // Members in key order, each line under every context it sits in.
    const std::vector<std::string> expected = {
        "Unknown member extra",
        "items (required, type != List): [1]: Not a valid union type: Trying Small: Expected INT was of invalid type",
        "items (required, type != List): [1]: Not a valid union type: Trying Word: String length above maximum value 3",
        "items (required, type != List): [3]: Not a valid union type: Trying Small: Expected INT was of invalid type",
        "items (required, type != List): [3]: Not a valid union type: Trying Word: Expected STRING was of invalid type",
        "tag (optional, type != Tag): Failed intersection type Word: Expected STRING was of invalid type",
        "tag (optional, type != Tag): Failed intersection type Small: Number above maximum value 9.000000",
    };
    const Atom doc("Doc");
    ASSERT_TRUE(Rejected(Validate(validator, value, doc), expected));

    for (uint64_t nth = 1;; ++nth) {
        SCOPED_TRACE("allocation " + std::to_string(nth));
        const uint64_t before = host().AllocationCalls();
        host().FailAllocation(nth);
        const Outcome o = Validate(validator, value, doc);
        const bool struck = host().AllocationCalls() - before >= nth;
        host().FailAllocation(0);
        if (!struck) {
            EXPECT_TRUE(Rejected(o, expected));
            break;
        }
        EXPECT_EQ(o.result, 0);
        EXPECT_TRUE(o.lines.empty()) << "a stopped validation says nothing to the report procedure";
        EXPECT_EQ(o.reports.size(), 1u);
    }
}

TEST_F(CheckTest, MakingAValidatorUnderAllocationFailures) {
    const Ref schema = Parse(kSchema);
    for (uint64_t nth = 1;; ++nth) {
        SCOPED_TRACE("allocation " + std::to_string(nth));
        const uint64_t before = host().AllocationCalls();
        host().FailAllocation(nth);
        const Ref validator = NewValidator(schema);
        const bool struck = host().AllocationCalls() - before >= nth;
        host().FailAllocation(0);
        const std::vector<std::string> reports = TakeReports();
        if (!struck) {
            ASSERT_TRUE(validator);
            EXPECT_TRUE(Accepted(Validate(validator, Parse("[2]"), "List")));
            break;
        }
        EXPECT_FALSE(validator);
        EXPECT_EQ(reports.size(), 1u);
    }
}

}  // namespace
