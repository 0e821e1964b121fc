// validate and schema-check: verdicts, explanations and their exit codes.
#include "pos_tool.h"

namespace postest {
namespace {

using Schemas = PosTool;

TEST_F(Schemas, ValidateExplainsEachFileAndExitsWithTheWorstOutcome) {
    const std::string schema = File("s.schema", "<Point <category dict required <x real y real>>>");
    const std::string good = File("good.pos", "<x 1 y 2>");
    const std::string bad = File("bad.pos", "<x 1 y two>");
    const std::string broken = File("broken.pos", "<x 1");
    const auto validate = [&](Args files) {
        Args args{"validate", "--schema", schema, "--type", "Point"};
        args.insert(args.end(), files.begin(), files.end());
        return Run(args);
    };

    Result r = validate({good});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, good + ": valid\n");
    r = validate({good, bad});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, good + ": valid\n" + bad + ": invalid\n  y (required, type != real): Expected REAL was of invalid type\n");
    r = validate({bad, broken});
    EXPECT_EQ(r.code, 2);
    // JSON documents validate as well.
    EXPECT_EQ(validate({File("p.json", "{\"x\": 1, \"y\": 2.5}")}).code, 0);
}

TEST_F(Schemas, ASchemaThatCannotServeIsAnErrorNotAVerdict) {
    const std::string good = File("good.pos", "<x 1 y 2>");
    struct Case {
        const char* name;
        std::string schema;
        const char* type;
        const char* expect;
    };
    const Case cases[] = {
        {"no category", "<Point <min 1>>", "Point", "not a valid schema: Point (value, type != TypeDefn): Not a valid union type: Trying DictDefn: Missing required member category"},
        {"undefined type", "<Point <category dict required <x Real>>>", "Point",
         "Cannot locate definition of type Real"},
        {"unknown type", "<Point <category dict required <x real>>>", "Pointe",
         "unknown type Pointe: " },
        {"not a dictionary", "[1 2]", "Point", "a schema is a dictionary of type definitions, not an array"},
        {"unreadable", "<Point", "Point", ":1:7: Empty text string"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string schema = File("s.schema", c.schema);
        const Result r = Run({"validate", "--schema", schema, "--type", c.type, good});
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Has(r.err, c.expect)) << r.err;
    }
    EXPECT_EQ(Run({"validate", "--schema", "none", "--type", "x", good}).code, 2);
    // Categories the walk knows but the schema language does not: usable on request.
    const std::string raw = File("raw.schema", "<P <category rawptr>>");
    EXPECT_EQ(Run({"validate", "--schema", raw, "--type", "P", good}).code, 2);
    const Result r = Run({"validate", "--no-schema-check", "--schema", raw, "--type", "P", good});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, good + ": invalid\n  Expected RAWPTR was of invalid type\n");
    // A schema the walk cannot use stops with the library's report.
    const std::string objref = File("objref.schema", "<P <category objref>>");
    const Result e = Run({"validate", "--schema", objref, "--type", "P", good});
    EXPECT_EQ(e.code, 2);
    EXPECT_TRUE(Has(e.err, "Unknown category in schema")) << e.err;
}

TEST_F(Schemas, SchemaCheckShowsTheDecisiveLinesFirst) {
    EXPECT_EQ(Run({"schema-check", Example("catalog.schema")}).out, Example("catalog.schema") + ": valid\n");
    // Four mistakes: an undefined member type, an unknown keyword, no category, a bad bound.
    const std::string schema = File("s.schema",
                                    "<List <category array membertype Item>"
                                    " Name <category string maxlength 3>"
                                    " Thing <min 1>"
                                    " Count <category int min 1.5>>");
    Result r = Run({"schema-check", schema});
    EXPECT_EQ(r.code, 1);
    const std::string expected =
        schema + ": invalid\n"
        "  Count (value, type != TypeDefn): Not a valid union type: Trying IntDefn: min (optional, type != int): INT was not a whole number\n"
        "  List (value, type != TypeDefn): Not a valid union type: Trying ArrayDefn: Not a valid union type: Trying HomoArrayDefn: membertype (required, type != TypeName): Cannot locate definition of type Item\n"
        "  List (value, type != TypeDefn): Not a valid union type: Trying ArrayDefn: Not a valid union type: Trying HeteroArrayDefn: membertype (required, type != TypeList): Array object expected\n"
        "  Name (value, type != TypeDefn): Not a valid union type: Trying StringDefn: Unknown member maxlength\n"
        "  Thing (value, type != TypeDefn): Not a valid union type: Trying DictDefn: Missing required member category\n";
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
    EXPECT_TRUE(Has(r.out, "more lines about alternatives that do not apply; -v shows them)\n")) << r.out;
    // -v: every line of the library, word for word.
    const Result all = Run({"-v", "schema-check", schema});
    EXPECT_GT(std::count(all.out.begin(), all.out.end(), '\n'), 30);
    EXPECT_TRUE(Has(all.out, "Trying DictDefn: category (required, type != kDict): String is not one of the enumerated values\n"));
    EXPECT_EQ(Run({"schema-check", File("n.schema", "[1 2]")}).code, 2);
}

TEST_F(Schemas, JsonReportsForCi) {
    const std::string schema = File("s.schema", "<Point <category dict required <x real y real>>>");
    const std::string good = File("good.pos", "<x 1 y 2>");
    const std::string bad = File("bad.pos", "<x 1>");
    const Result r =
        Run({"validate", "--format", "json", "--schema", schema, "--type", "Point", good, bad, "missing.pos"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "{\"file\":\"" + good + "\",\"result\":\"valid\",\"lines\":[]}\n" + "{\"file\":\"" + bad +
                         "\",\"result\":\"invalid\",\"lines\":[\"Missing required member y\"]}\n" +
                         "{\"file\":\"missing.pos\",\"result\":\"error\",\"error\":\"cannot be read\",\"lines\":[]}\n");
    const Result s = Run({"schema-check", "--format=json", File("t.schema", "<A <category array membertype B>>")});
    EXPECT_EQ(s.code, 1);
    EXPECT_TRUE(Has(s.out, "\"result\":\"invalid\"")) << s.out;
    EXPECT_TRUE(Has(s.out, "\"decisive\":[\"A (value, type != TypeDefn)")) << s.out;
}

}  // namespace
}  // namespace postest
