// check, fmt and convert: reading every format, the warnings of the lint
// pass, the JSON mapping both ways, hostile input.
#include "pos_tool.h"

namespace postest {
namespace {

using Documents = PosTool;

TEST_F(Documents, CheckSaysOkAndPointsAtBadText) {
    const std::string good = File("good.pos", "<a [1 2] b (x y)>\n");
    Result r = Run({"check", good});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, good + ": ok\n");
    EXPECT_EQ(Run({"-q", "check", good}).out, "");

    const std::string bad = File("bad.pos", "<a 1\n  b [1 2 #]>\n");
    r = Run({"check", bad});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, bad + ":2:10: Unexpected character\n  b [1 2 #]>\n         ^\n");
}

TEST_F(Documents, CheckReportsEveryKindOfMalformedInput) {
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
        {"deep", std::string(1000000, '['), ":1:1001: Nesting of arrays and dictionaries is too deep"},
        {"huge token", std::string(5000000, '7'), ":1:5000001: Exceeded max number length"},
        {"truncated", "POSStreamerTypeA_Version1.0 [\n\t#1 ", "cannot read serialized data: unexpected EOF"},
        {"badheader", "POSStreamerTypeA_Version9.9 #1 ", "unrecognized version"},
        {"json comma", "[1, 2]", ":1:3: Unexpected character (the file reads as JSON: add --from json)"},
        {"json syntax", "{\"a\": }", ":1:7: syntax error while parsing value"},
        {"deep.json", std::string(1000000, '['), "nesting deeper than 1000 levels"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = Run({"check", File(c.name, c.bytes)});
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(Has(r.err, c.expect)) << r.err.substr(0, 400);
    }
}

TEST_F(Documents, FilesThatCannotBeRead) {
    Result r = Run({"check", "missing.pos"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "pos: missing.pos: cannot open: No such file or directory\n");
    fs::create_directories(dir_ / "adir");
    r = Run({"check", "adir"});
    EXPECT_EQ(r.code, 2);
    // POSIX opens a directory and fails to read it; Windows fails to open it.
    EXPECT_TRUE(Has(r.err, "pos: adir: cannot read: ") || Has(r.err, "pos: adir: cannot open: ")) << r.err;
}

TEST_F(Documents, StrictWarnsWhereTheNotationReadsOtherwise) {
    struct Case {
        std::string text;
        const char* warning;  // the whole first warning line after FILE:
    };
    const Case cases[] = {
        {"<a 1 b 2 a 3>", "1:10: warning: key 'a' is repeated: the last value is kept"},
        {"<(a) 1 a 2>", "1:8: warning: key 'a' is repeated: the last value is kept"},
        {"[1.2.3]", "1:2: warning: number '1.2.3' stops early: it reads as 1.2"},
        {"[1 - 2]", "1:4: warning: number '-' has no digits: it reads as 0"},
        {"[1e5]", "1:2: warning: '1e5' is the number 1 and the word 'e5': numbers take no exponent; write the digits out"},
        {"[12345678901234567890]",
         "1:2: warning: integer 12345678901234567890 is not exact as a double: it reads as 12345678901234567168"},
        {"<log-level debug>",
         "1:2: warning: 'log-level' is read as separate values 'log', '-', 'level'; write (log-level) for one string"},
        {"[2024-01-05]", "1:2: warning: '2024-01-05' is read as separate values '2024', '-01', '-05'; write (2024-01-05) for one string"},
        {"\xEF\xBB\xBF<a 1>", "1:1: warning: byte-order mark skipped: the notation does not know it"},
        {"[`00410`]", "1:2: warning: Unicode string of 5 digits: each code unit takes four"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string doc = File("doc.pos", c.text);
        Result r = Run({"check", "--strict", doc});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), doc + ":" + c.warning);
        EXPECT_TRUE(Has(r.out, doc + ": 1 warning")) << r.out;
        // Without --strict the same text is fine.
        r = Run({"check", doc});
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.err, "");
    }
    // What is meant as written draws no warning.
    const std::string clean = File("clean.pos", "<a [1 -2 .5 +3 9007199254740992] (b-c) x_1 u `0041`>");
    const Result r = Run({"check", "--strict", clean});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(Documents, FmtAndConvertWarnButSucceed) {
    const Result r = Run({"fmt", "-"}, "<a 1 a 2>");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "<\n\ta 2\n>\n");
    EXPECT_TRUE(Has(r.err, "<stdin>:1:6: warning: key 'a' is repeated")) << r.err;
    EXPECT_EQ(Run({"-q", "fmt", "-"}, "<a 1 a 2>").err, "");
    // A byte-order mark is skipped and fmt writes none.
    EXPECT_EQ(Run({"fmt", "-"}, "\xEF\xBB\xBF[1]").out, "[\n\t1\n]\n");
}

TEST_F(Documents, ConvertRoundTripsEveryExampleThroughEveryFormat) {
    for (const char* example : {"catalog.pos", "broken-catalog.pos", "catalog.schema"}) {
        for (const char* via : {"typea", "json"}) {
            SCOPED_TRACE(std::string(example) + " via " + via);
            const std::string mid = std::string("out.") + via;
            ASSERT_EQ(Run({"convert", "--to", via, "-o", mid, Example(example)}).code, 0);
            ASSERT_EQ(Run({"convert", "--to", "text", "-o", "out.pos", mid}).code, 0);
            // Equal objects print the same canonical text.
            EXPECT_EQ(Run({"fmt", "out.pos"}).out, Run({"fmt", Example(example)}).out);
        }
    }
}

TEST_F(Documents, JsonMapsBothWays) {
    Result r = Run({"convert", "--to", "json", "-"}, "<b [1 2.5 -0.125 (x y)] a <> c `00e94E2d` d 100000>");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              "{\n  \"a\": {},\n  \"b\": [\n    1,\n    2.5,\n    -0.125,\n    \"x y\"\n  ],\n"
              "  \"c\": {\n    \"$utf16\": \"\xC3\xA9\xE4\xB8\xAD\"\n  },\n  \"d\": 100000\n}\n");
    r = Run({"convert", "--to", "text", "--from", "json", "-"}, "{\"k\": [1, \"two words\", {\"$utf16\": \"A\"}], \"e\": 1e3}");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "<\n\te 1000\n\tk [\n\t\t1\n\t\t(two words)\n\t\t`0041`\n\t]\n>\n");
    // Tagged forms carry what JSON lacks, and come back.
    const std::string bin = File("bin.typea", "POSStreamerTypeA_Version1.0 <\"blob\" {\"raw\" #3  01AB7F} \"s\" \"caf\\351\">");
    r = Run({"convert", "--to", "json", bin});
    EXPECT_EQ(r.out, "{\n  \"blob\": {\n    \"$bindata\": {\n      \"type\": \"raw\",\n      \"base64\": \"Aat/\"\n    }\n  },\n"
                     "  \"s\": {\n    \"$bytes\": \"Y2Fm6Q==\"\n  }\n}\n");
    const std::string json = File("bin.json", r.out);
    r = Run({"convert", "--to", "typea", json});
    EXPECT_EQ(r.out, "POSStreamerTypeA_Version1.0 <\n\t\"blob\" {\"raw\" #3  \n\t\t01AB7F\n\t}\n\t\"s\" \"caf\\351\"\n>\n");
    // A lone key beginning with $ is escaped with another $, so it reads back as a key.
    r = Run({"convert", "--to", "json", "-"}, "<($x) 1>");
    EXPECT_EQ(r.out, "{\n  \"$$x\": 1\n}\n");
    EXPECT_EQ(Run({"convert", "--to", "text", "--from", "json", "-"}, r.out).out, "<\n\t($x) 1\n>\n");
    // Lone surrogates travel as code units.
    r = Run({"convert", "--to", "json", "-"}, "[`D800`]");
    EXPECT_EQ(r.out, "[\n  {\n    \"$utf16\": [\n      55296\n    ]\n  }\n]\n");
    EXPECT_EQ(Run({"convert", "--to", "text", "--from", "json", "-"}, r.out).out, "[\n\t`D800`\n]\n");
}

TEST_F(Documents, JsonWithoutCounterpartIsRefusedOrMappedAsAsked) {
    struct Case {
        const char* json;
        Args options;
        int code;
        const char* expect;  // stdout, or part of stderr when the code is not 0
    };
    const Case cases[] = {
        {"{\"a\": [1, true]}", {}, 2, "<stdin>: a[1]: true has no counterpart"},
        {"{\"a\": null}", {}, 2, "<stdin>: a: null has no counterpart"},
        {"{\"a\": [true, false]}", {"--bool", "number"}, 0, "<\n\ta [\n\t\t1\n\t\t0\n\t]\n>\n"},
        {"{\"a\": true}", {"--bool=string"}, 0, "<\n\ta true\n>\n"},
        {"{\"a\": null, \"b\": [null, 1]}", {"--null", "drop"}, 0, "<\n\tb [\n\t\t1\n\t]\n>\n"},
        {"{\"a\": \"x\\u0000y\"}", {}, 2, "a: a string cannot hold the character U+0000"},
        {"{\"a\": {\"$what\": 1}}", {}, 2, "a: unknown tag $what"},
        {"{\"a\": 1e400}", {}, 2, "<stdin>:1:11: number overflow parsing '1e400'"},
        {"{\"a\": NaN}", {}, 2, "syntax error"},
        {"{\"a\": 1", {}, 2, "<stdin>:1:8: syntax error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        Args args{"convert", "--to", "text", "--from", "json"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("-");
        const Result r = Run(args, c.json);
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.code == 0)
            EXPECT_EQ(r.out, c.expect);
        else
            EXPECT_TRUE(Has(r.err, c.expect)) << r.err;
    }
}

TEST_F(Documents, JsonWarnsAboutDuplicateKeysAndInexactNumbers) {
    const Result r = Run({"convert", "--to", "text", "--from", "json", "-"},
                         "{\"a\": 1, \"a\": 2, \"n\": [12345678901234567891, 0.1, 0.30000000000000000001]}");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err,
              "pos: warning: <stdin>: a: key \"a\" is repeated: the last value is kept\n"
              "pos: warning: <stdin>: n[0]: integer 12345678901234567891 is not exact as a double: it reads as "
              "12345678901234567168\n"
              "pos: warning: <stdin>: n[2]: number 0.30000000000000000001 is not exact as a double: it reads as 0.3\n");
    EXPECT_EQ(Run({"check", "--strict", "--from", "json", "-"}, "{\"a\": 1, \"a\": 2}").code, 1);
}

TEST_F(Documents, WhatAFormatCannotSayIsRefusedWithItsPlace) {
    const std::string bin = File("bin.typea", "POSStreamerTypeA_Version1.0 <\"blob\" {\"raw\" #2  0102}>");
    Result r = Run({"convert", "--to", "text", bin});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "binary data has no text notation at blob")) << r.err;
    const std::string big = File("big.typea", "POSStreamerTypeA_Version1.0 [#1e300 ]");
    r = Run({"convert", "--to", "text", big});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "at [0]")) << r.err;
    EXPECT_EQ(Run({"convert", "--to", "json", big}).out, "[\n  1e+300\n]\n");
    const std::string key = File("key.typea", "POSStreamerTypeA_Version1.0 <\"caf\\351\" #1 >");
    r = Run({"convert", "--to", "json", key});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "a key that is not UTF-8 has no JSON form")) << r.err;
}

TEST_F(Documents, HostileInputEndsWithItsExitCode) {
    std::string garbage;
    std::mt19937 random(7);
    for (int i = 0; i < 100000; ++i) garbage += static_cast<char>(random());
    struct Case {
        const char* name;
        std::string bytes;
        Args args;
        int code;
    };
    const Case cases[] = {
        {"garbage", garbage, {"check"}, 2},
        {"garbage as json", garbage, {"check", "--from", "json"}, 2},
        {"garbage as typea", "POSStreamerTypeA_Version1.0 " + garbage, {"check"}, 2},
        {"deep typea", "POSStreamerTypeA_Version1.0 " + std::string(1000000, '['), {"check"}, 2},
        {"deep dictionaries", std::string(1000000, '<'), {"check", "--strict"}, 2},
        {"deep json objects", [] { std::string s; for (int i = 0; i < 200000; ++i) s += "{\"a\":"; return s; }(), {"check", "--from", "json"}, 2},
        {"nan words", "[nan NaN inf -inf infinity]", {"convert", "--to", "json"}, 0},
        {"json nan-like strings", "[\"NaN\", \"-Infinity\"]", {"convert", "--to", "text", "--from", "json"}, 0},
        {"json duplicate keys", "{\"a\":1,\"a\":2,\"a\":3}", {"check", "--strict", "--from", "json"}, 1},
        {"huge json string", "[\"" + std::string(3000000, 'x') + "\"]", {"convert", "--from", "json", "--to", "typea"}, 0},
        {"huge json string as text", "[\"" + std::string(3000000, 'x') + "\"]", {"convert", "--from", "json", "--to", "text"}, 2},
        {"huge json number", "[" + std::string(100000, '9') + "]", {"convert", "--from", "json", "--to", "text"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Args args = c.args;
        args.push_back("-");
        const Result r = Run(args, c.bytes);
        EXPECT_EQ(r.code, c.code) << r.err.substr(0, 300);
        EXPECT_FALSE(Has(r.err, "internal")) << r.err.substr(0, 300);
    }
}

}  // namespace
}  // namespace postest
