// The schema check: schemas validated against the stored meta-schema, with
// every type name they use required to be built in or their own.
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "meta_schema_copy.h"
#include "validator_fixture.h"

namespace {

using qeltest::Accepted;
using qeltest::Stopped;
using qeltest::ValidatorTest;

constexpr const char kCannotLocate[] = "Cannot locate definition of type ";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// True when some line ends with the text.
::testing::AssertionResult SomeLineEndsWith(const ValidatorTest::Outcome& o, const std::string& tail) {
    if (o.result == 0 && o.reports.empty() &&
        std::any_of(o.lines.begin(), o.lines.end(), [&](const std::string& l) { return EndsWith(l, tail); }))
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "result " << o.result << ", no line ends with " << tail;
    for (const std::string& line : o.lines) failure << "\n  line: " << line;
    for (const std::string& r : o.reports) failure << "\n  report: " << r;
    return failure;
}

// Schemas in the language the meta-schema describes, one category or
// keyword at least each.
constexpr const char* kGoodSchemas[] = {
    "<>",
    "<Age <category int min 0 max 150 minexcl -1 maxexcl 151>>",
    "<Ratio <category real min 0.5 maxexcl 1000000000.25>>",
    "<Word <category string minlen 1 maxlen 2.5 illegalchars xyz oneof [a bb]>>",
    "<Wide <category unicodestring minlen 0 maxlen 10>>",
    "<Blob <category bindata maxlen 100 oneof [png jpeg]>>",
    "<Ref <category objref>>",
    "<List <category array membertype Word minlen 1> Word <category string>>",
    "<Pair <category array membertype [int string]>>",
    "<Rec <category dict required <a int b Rec> optional <c any> keytype string valuetype any>>",
    "<Either <category union set [int string Both]> Both <category intersection set [int real]>>",
    "<Empty <category union set []>>",
};

// A schema that fails, and the end of one of its lines.
struct Refusal {
    const char* schema;
    const char* lineEnd;
};
constexpr Refusal kRefusals[] = {
    {"<A <category array membertype Gone>>", "Cannot locate definition of type Gone"},
    {"<A <category array membertype [int Gone]>>", "Cannot locate definition of type Gone"},
    {"<A <category dict required <x Gone>>>", "Cannot locate definition of type Gone"},
    {"<A <category dict optional <x Gone>>>", "Cannot locate definition of type Gone"},
    {"<A <category dict keytype Gone>>", "Cannot locate definition of type Gone"},
    {"<A <category dict valuetype Gone>>", "Cannot locate definition of type Gone"},
    {"<A <category union set [int Gone]>>", "Cannot locate definition of type Gone"},
    {"<A <category intersection set [Gone]>>", "Cannot locate definition of type Gone"},
    // Names are exact: case counts, and the built-ins are only the eleven.
    {"<A <category array membertype Int>>", "Cannot locate definition of type Int"},
    {"<A <category array membertype bool2>>", "Cannot locate definition of type bool2"},
    // Rules of the definitions themselves.
    {"<A <category int min 1.5>>", "min (optional, type != int): INT was not a whole number"},
    {"<A <category int step 2>>", "Unknown member step"},
    {"<A <category rawptr>>", "Trying ObjRefDefn: category (required, type != kObjRef): String is not one of the "
                              "enumerated values"},
    {"<A <category array membertype [int] minlen 1>>", "Trying HeteroArrayDefn: Unknown member minlen"},
    {"<A <category string oneof [a 1]>>", "oneof (optional, type != StringList): [1]: Expected STRING was of "
                                          "invalid type"},
    {"<A 5>", "A (value, type != TypeDefn): Not a valid union type: Trying DictDefn: Dict object expected"},
};

TEST_F(ValidatorTest, TheMetaSchemaAndSchemasInItsLanguagePass) {
    EXPECT_TRUE(Accepted(CheckSchema(qeltest::kMetaSchema)));
    for (const char* schema : kGoodSchemas) {
        SCOPED_TRACE(schema);
        EXPECT_TRUE(Accepted(CheckSchema(schema)));
    }
}

TEST_F(ValidatorTest, TheCheckRefusesUndefinedNamesAndMalformedDefinitions) {
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.schema);
        EXPECT_TRUE(SomeLineEndsWith(CheckSchema(r.schema), r.lineEnd));
    }
}

TEST_F(ValidatorTest, AnUndefinedMemberTypeIsExplainedThroughEveryAlternative) {
    const Outcome o = CheckSchema("<A <category array membertype Missing>>");
    const std::string expected =
        "A (value, type != TypeDefn): Not a valid union type: Trying ArrayDefn: Not a valid union type: Trying "
        "HomoArrayDefn: membertype (required, type != TypeName): Cannot locate definition of type Missing";
    EXPECT_NE(std::find(o.lines.begin(), o.lines.end(), expected), o.lines.end());
    // The alternatives before ArrayDefn and after it explain themselves too.
    ASSERT_GE(o.lines.size(), 3u);
    EXPECT_EQ(o.lines.front().rfind("A (value, type != TypeDefn): Not a valid union type: Trying DictDefn: ", 0), 0u);
    EXPECT_EQ(o.lines.back().rfind("A (value, type != TypeDefn): Not a valid union type: Trying IntersectionDefn: ", 0),
              0u);
}

TEST_F(ValidatorTest, TheMessageBufferBoundsTheUndefinedName) {
    // 33 + 990 = 1023 fits the buffer, but not once a prefix stands before it.
    // Names that long are beyond the notation's strings: built member by member.
    const auto schemaNaming = [&](size_t length) {
        const Ref definition = Parse("<category array>");
        pos().Put(definition, "membertype", pos().String(std::string(length, 'n').c_str()));
        const Ref schema = pos().Dict();
        pos().Put(schema, "A", definition);
        return schema;
    };
    EXPECT_TRUE(Stopped(CheckSchema(schemaNaming(990)), "FormatIntoPOSString overwrote buffer"));
    for (size_t length : {991u, 992u, 5000u}) {
        SCOPED_TRACE(length);
        const Outcome o = CheckSchema(schemaNaming(length));
        EXPECT_TRUE(SomeLineEndsWith(o, "membertype (required, type != TypeName): Caught exception: Error buffer too small"));
        for (const std::string& line : o.lines) EXPECT_EQ(line.find(kCannotLocate), std::string::npos);
    }
}

TEST_F(ValidatorTest, ASchemaThatIsNoDictionaryIsAnErrorNotALine) {
    for (const char* schema : {"[1 2]", "5", "text"}) {
        SCOPED_TRACE(schema);
        const Outcome o = CheckSchema(schema);
        EXPECT_EQ(o.result, 0);
        EXPECT_TRUE(o.lines.empty());
        EXPECT_EQ(o.reports.size(), 1u);
    }
    EXPECT_EQ(validateSchema_(nullptr, &qeltest::CollectLine), 0);
    EXPECT_EQ(TakeReports().size(), 1u);
}

TEST_F(ValidatorTest, WithoutAReportProcedureTheCheckOnlyAnswers) {
    const Outcome refused = CheckSchema(Parse("<A <category array membertype Gone>>"), false);
    EXPECT_EQ(refused.result, 0);
    EXPECT_TRUE(refused.lines.empty());
    EXPECT_TRUE(refused.reports.empty());
    EXPECT_TRUE(Accepted(CheckSchema(Parse("<A <category int>>"), false)));
}

TEST_F(ValidatorTest, AnObjrefTypePassesTheCheckButCannotBeWalked) {
    const char* schema = "<A <category objref>>";
    EXPECT_TRUE(Accepted(CheckSchema(schema)));
    EXPECT_TRUE(Stopped(Check(schema, "A", pos().RawPointer(nullptr, nullptr)), "Unknown category in schema"));
}

// The test's own TypeName check, as the schema language describes it.
struct KnownNames {
    std::set<std::string> names;
    POSStringGetProc text = nullptr;
    QELSharedBuffGetBufferProc data = nullptr;
    QELSharedBuffGetSizeProc size = nullptr;
};
int32_t KnownName(QELContainerHandle value, QELStringAtom, QELSharedBuffHandle buffer, void* clientData) {
    const auto& known = *static_cast<const KnownNames*>(clientData);
    const std::string name = known.text(value);
    if (known.names.count(name) != 0) return 1;
    std::snprintf(static_cast<char*>(known.data(buffer)), known.size(buffer), "%s%s", kCannotLocate, name.c_str());
    return 0;
}

TEST_F(ValidatorTest, TheStoredMetaSchemaMeansTheDocumentedOne) {
    // The documented text has 29 entries.
    EXPECT_EQ(pos().Keys(Parse(qeltest::kMetaSchema)).size(), 29u);

    // Validating schemas with the documented meta-schema, and a TypeName
    // check of the test's own, decides as the library's schema check does,
    // so that both texts are the same dictionary for every schema tried.
    const Ref documented = NewValidator(qeltest::kMetaSchema);
    KnownNames known;
    known.text = host().Get<contract::POSStringInterface::Get>();
    known.data =
        host().Get<contract::QELSharedBuffInterface::GetBuffer>();
    known.size = host().Get<contract::QELSharedBuffInterface::GetSize>();
    ASSERT_TRUE(known.text && known.data && known.size);
    Register(documented, "TypeName", &KnownName, &known);

    std::vector<const char*> schemas(std::begin(kGoodSchemas), std::end(kGoodSchemas));
    for (const Refusal& r : kRefusals) schemas.push_back(r.schema);
    schemas.push_back(qeltest::kMetaSchema);
    for (const char* text : schemas) {
        SCOPED_TRACE(text);
        const Ref schema = Parse(text);
        known.names = {"any", "bool", "int", "real", "string", "unicodestring", "bindata", "rawptr",
                       "qelobjref", "zubaseobjref", "qelerrorobjref"};
        for (const std::string& key : pos().Keys(schema)) known.names.insert(key);
        const Outcome library = CheckSchema(schema);
        const Outcome ours = Validate(documented, schema, "StructSchema");
        EXPECT_EQ(library.result, ours.result);
        EXPECT_EQ(library.lines, ours.lines);
        EXPECT_TRUE(library.reports.empty() && ours.reports.empty());
    }
}

TEST_F(ValidatorTest, EveryAllocationFailureInTheCheckEndsItCleanly) {
    const Ref schema = Parse("<A <category array membertype Missing> B <category int min 0>>");
    const Outcome expected = CheckSchema(schema);
    ASSERT_EQ(expected.result, 0);
    ASSERT_FALSE(expected.lines.empty());

    for (uint64_t nth = 1;; ++nth) {
        SCOPED_TRACE("allocation " + std::to_string(nth));
        const uint64_t before = host().AllocationCalls();
        host().FailAllocation(nth);
        const Outcome o = CheckSchema(schema);
        const bool struck = host().AllocationCalls() - before >= nth;
        host().FailAllocation(0);
        if (!struck) {
            EXPECT_EQ(o.lines, expected.lines);
            break;
        }
        EXPECT_EQ(o.result, 0);
        if (o.reports.empty()) {
            // Struck inside the check procedure, which says so in its line.
            EXPECT_TRUE(std::any_of(o.lines.begin(), o.lines.end(), [](const std::string& l) {
                return l.find("Caught exception: ") != std::string::npos;
            }));
        } else {
            EXPECT_EQ(o.reports.size(), 1u);
            EXPECT_TRUE(o.lines.empty());
        }
    }
}

}  // namespace
