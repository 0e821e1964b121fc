// End-to-end: the built pos binary, its output and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Result final {
    int code;
    std::string out;
    std::string err;
};

class PosTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("pos-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string File(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static std::string Quote(const std::string& s) {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    }

    // Runs pos with arguments, feeding stdin.
    Result Run(const std::string& args, const std::string& input = "") {
        const std::string in = File("stdin", input);
        const std::string out = (dir_ / "stdout").string();
        const std::string err = (dir_ / "stderr").string();
        const std::string command = std::string(POS_BINARY) + " " + args + " <" + Quote(in) + " >" + Quote(out) +
                                    " 2>" + Quote(err);
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
    }

    static std::string Example(const char* name) { return std::string(EXAMPLES_DIR) + "/" + name; }

    fs::path dir_;
};

TEST_F(PosTool, CheckAcceptsGoodTextAndPointsAtBadText) {
    const std::string good = File("good.pos", "<a [1 2] b (x y)>\n");
    EXPECT_EQ(Run("check " + Quote(good)).code, 0);

    const std::string bad = File("bad.pos", "<a 1\n  b [1 2 #]>\n");
    const Result r = Run("check " + Quote(bad));
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, bad + ":2:10: Unexpected character\n  b [1 2 #]>\n         ^\n");
}

TEST_F(PosTool, CheckReportsEveryKindOfMalformedInput) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* expect;  // part of standard error
    };
    const Case cases[] = {
        {"empty", "", ":1:1: Empty text string"},
        {"spaces", " \n\t\n", ":3:1: Empty text string"},
        {"garbage", std::string("\x7f\x45\x4c\x46\x02\x01\x00\x00", 8), "binary data"},
        {"unclosed", "<a [1 2", ":1:8: Empty text string"},
        {"stray", "[1] ]", ":1:5: Unexpected characters after object"},
        {"key", "<1 2>", ":1:3: Expected dictionary key string"},
        {"long", "(" + std::string(200, 'x') + ")", ":1:203: Exceeded max string length"},
        {"unterminated", "(abc", ":1:5: Unterminated string"},
        {"deep", std::string(100000, '['), ":1:1001: Nesting of arrays and dictionaries is too deep"},
        {"truncated", "POSStreamerTypeA_Version1.0 [\n\t#1 ", "cannot read serialized data: unexpected EOF"},
        {"badheader", "POSStreamerTypeA_Version9.9 #1 ", "unrecognized version"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = Run("check " + Quote(File(c.name, c.bytes)));
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(c.expect), std::string::npos) << r.err;
    }
}

TEST_F(PosTool, FilesThatCannotBeRead) {
    Result r = Run("check " + Quote((dir_ / "missing.pos").string()));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("missing.pos: cannot open: "), std::string::npos);
    fs::create_directories(dir_ / "adir");
    r = Run("check " + Quote((dir_ / "adir").string()));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
}

TEST_F(PosTool, StandardInputAndOutput) {
    Result r = Run("check -", "[1 2 3]");
    EXPECT_EQ(r.code, 0);
    r = Run("check -", "[1 2");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("<stdin>:1:5: Empty text string", 0), 0u) << r.err;
    r = Run("fmt -", "<b 2 a [x (y z)]>");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "<\n\ta [\n\t\tx\n\t\t(y z)\n\t]\n\tb 2\n>\n");
}

TEST_F(PosTool, GetPrintsTheAddressedValue) {
    const std::string doc = File("doc.pos", "<a <b [10 20 <k 7>]>>");
    Result r = Run("get a.b[2].k " + Quote(doc));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "7\n");
    r = Run("get a.b[2] " + Quote(doc));
    EXPECT_EQ(r.out, "<\n\tk 7\n>\n");
    r = Run("get a.b[3] " + Quote(doc));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no value at a.b[3]"), std::string::npos);
    r = Run("get a " + Quote(File("arr.pos", "[1]")));
    EXPECT_EQ(r.code, 1);
}

TEST_F(PosTool, FmtInPlace) {
    const std::string doc = File("doc.pos", "< z 1   a (two words) >");
    EXPECT_EQ(Run("fmt -w " + Quote(doc)).code, 0);
    EXPECT_EQ(Slurp(doc), "<\n\ta (two words)\n\tz 1\n>\n");
    EXPECT_EQ(Run("fmt -w -").code, 2);
}

TEST_F(PosTool, ConvertRoundTripsEveryExample) {
    for (const char* example : {"catalog.pos", "broken-catalog.pos", "catalog.schema"}) {
        SCOPED_TRACE(example);
        const std::string typea = (dir_ / "out.typea").string();
        const std::string text = (dir_ / "out.pos").string();
        ASSERT_EQ(Run("convert --to typea -o " + Quote(typea) + " " + Quote(Example(example))).code, 0);
        EXPECT_EQ(Slurp(typea).rfind("POSStreamerTypeA_Version1.0 ", 0), 0u);
        ASSERT_EQ(Run("convert --to text -o " + Quote(text) + " " + Quote(typea)).code, 0);
        EXPECT_EQ(Run("check " + Quote(text)).code, 0);
        // Equal objects print the same canonical text.
        EXPECT_EQ(Run("fmt " + Quote(text)).out, Run("fmt " + Quote(Example(example))).out);
    }
}

TEST_F(PosTool, ConvertRefusesWhatTheNotationCannotSay) {
    // Binary data read from TypeA has no text form.
    const std::string bin = File("bin.typea", "POSStreamerTypeA_Version1.0 <\"blob\" {\"raw\" #2  0102}>");
    Result r = Run("convert --to text " + Quote(bin));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("binary data has no text notation at blob"), std::string::npos) << r.err;
    const std::string big = File("big.typea", "POSStreamerTypeA_Version1.0 [#1e300 ]");
    r = Run("convert --to text " + Quote(big));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("at [0]"), std::string::npos) << r.err;
    const std::string longText =
        File("long.typea", "POSStreamerTypeA_Version1.0 <\"k\" \"" + std::string(150, 'q') + "\">");
    r = Run("convert --to text " + Quote(longText));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("at k"), std::string::npos) << r.err;
}

TEST_F(PosTool, ValidateExplainsEachFileAndExitsWithTheWorstOutcome) {
    const std::string schema = File("s.schema", "<Point <category dict required <x real y real>>>");
    const std::string good = File("good.pos", "<x 1 y 2>");
    const std::string bad = File("bad.pos", "<x 1 y two>");
    const std::string broken = File("broken.pos", "<x 1");
    const std::string args = "validate --schema " + Quote(schema) + " --type Point ";

    Result r = Run(args + Quote(good));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, good + ": valid\n");
    r = Run(args + Quote(good) + " " + Quote(bad));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, good + ": valid\n" + bad + ": invalid\n  y (required, type != real): Expected REAL was of invalid type\n");
    r = Run(args + Quote(bad) + " " + Quote(broken));
    EXPECT_EQ(r.code, 2);

    // A schema that cannot be walked is an error, not an explanation.
    const std::string malformed = File("m.schema", "<Point <min 1>>");
    r = Run("validate --schema " + Quote(malformed) + " --type Point " + Quote(good));
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Malformed schema definition for Point, no category"), std::string::npos) << r.err;
}

TEST_F(PosTool, SchemaCheckNamesTheUndefinedType) {
    EXPECT_EQ(Run("schema-check " + Quote(Example("catalog.schema"))).code, 0);
    const std::string schema = File("s.schema", "<List <category array membertype Item>>");
    const Result r = Run("schema-check " + Quote(schema));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.rfind(schema + ": invalid\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("membertype (required, type != TypeName): Cannot locate definition of type Item\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(Run("schema-check " + Quote(File("n.schema", "[1 2]"))).code, 2);
}

TEST_F(PosTool, UsageHelpAndVersion) {
    for (const char* command : {"check", "validate", "schema-check", "convert", "get", "fmt"}) {
        SCOPED_TRACE(command);
        const Result r = Run(std::string(command) + " --help");
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out.rfind(std::string("usage: pos ") + command, 0), 0u);
    }
    EXPECT_EQ(Run("--help").code, 0);
    const Result v = Run("--version");
    EXPECT_EQ(v.code, 0);
    EXPECT_NE(v.out.find("65793"), std::string::npos);
    for (const char* bad : {"", "frobnicate", "convert --to xml x", "get onlyone", "check --bogus x"}) {
        SCOPED_TRACE(bad);
        const Result r = Run(bad);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("usage: pos"), std::string::npos);
    }
}

}  // namespace
