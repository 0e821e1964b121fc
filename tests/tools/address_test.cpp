// get, keys, len, set and del: addresses as scripts use them.
#include "pos_tool.h"

namespace postest {
namespace {

using Addresses = PosTool;

const char kDoc[] = "<a <b [10 20 <k 7>]> name (Two words) u `00e94E2d` (x.y) <([z]) 1> n 0.1 e <>>";

TEST_F(Addresses, GetFindsValuesAndSaysWhyNot) {
    const std::string doc = File("doc.pos", kDoc);
    struct Case {
        const char* address;
        Args options;
        int code;
        const char* expect;  // stdout when 0, else standard error
    };
    const Case cases[] = {
        {"a.b[2].k", {}, 0, "7\n"},
        {".a.b[2].k", {}, 0, "7\n"},
        {"a.b[-1].k", {}, 0, "7\n"},
        {"a.b[2]", {}, 0, "<\n\tk 7\n>\n"},
        {"a.b[0]", {"--to", "json"}, 0, "10\n"},
        {"name", {}, 0, "(Two words)\n"},
        {"name", {"-r"}, 0, "Two words\n"},
        {"u", {"-r"}, 0, "\xC3\xA9\xE4\xB8\xAD\n"},
        {"n", {"-r"}, 0, "0.1\n"},
        {"[\"x.y\"][\"[z]\"]", {"-r"}, 0, "1\n"},
        {"x\\.y.\\[z]", {"-r"}, 0, "1\n"},
        {".", {"--to=json"}, 0, nullptr},
        {"a.b[3]", {}, 1, "no value at a.b[3]: the array has 3 members"},
        {"a.b[-4]", {}, 1, "no value at a.b[-4]: the array has 3 members"},
        {"a.b.k", {}, 1, "no value at a.b.k: a.b is an array, not a dictionary"},
        {"a.c", {}, 1, "no value at a.c: no such key"},
        {"n[0]", {}, 1, "no value at n[0]: n is a number, not an array"},
        {"a.b[x]", {}, 2, "bad address a.b[x]: a subscript needs digits at byte 4"},
        {"a..b", {}, 2, "empty key"},
        {"", {}, 2, "empty address"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        Args args{"get"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {"--", c.address, doc});
        const Result r = Run(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.expect == nullptr) continue;
        if (c.code == 0)
            EXPECT_EQ(r.out, c.expect);
        else
            EXPECT_TRUE(Has(r.err, c.expect)) << r.err;
    }
}

TEST_F(Addresses, TopLevelArraysAndEveryFormat) {
    const std::string arr = File("arr.pos", "[<id 1> <id 2>]");
    EXPECT_EQ(Run({"get", "-r", "[1].id", arr}).out, "2\n");
    EXPECT_EQ(Run({"len", ".", arr}).out, "2\n");
    const std::string json = File("doc.json", "{\"list\": [\"a\", \"b\"]}");
    EXPECT_EQ(Run({"get", "-r", "list[1]", json}).out, "b\n");
    const std::string typea = File("doc.typea", "POSStreamerTypeA_Version1.0 <\"k\" {\"raw\" #2  4142}>");
    EXPECT_EQ(Run({"get", "-r", "k", typea}).out, "AB");
    EXPECT_EQ(Run({"len", "k", typea}).out, "2\n");
}

TEST_F(Addresses, KeysAndLen) {
    const std::string doc = File("doc.pos", kDoc);
    EXPECT_EQ(Run({"keys", ".", doc}).out, "a\ne\nn\nname\nu\nx.y\n");
    EXPECT_EQ(Run({"keys", "a", doc}).out, "b\n");
    EXPECT_EQ(Run({"keys", "e", doc}).out, "");
    Result r = Run({"keys", "a.b", doc});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Has(r.err, "a.b is an array, not a dictionary")) << r.err;
    for (const auto& [address, length] : {std::pair{"a.b", "3\n"}, {".", "6\n"}, {"name", "9\n"}, {"u", "2\n"}}) {
        SCOPED_TRACE(address);
        EXPECT_EQ(Run({"len", address, doc}).out, length);
    }
    r = Run({"len", "n", doc});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Has(r.err, "n is a number, which has no length")) << r.err;
}

TEST_F(Addresses, SetAndDelWriteTheWholeDocument) {
    struct Case {
        Args args;
        int code;
        const char* expect;  // the document after, or part of standard error
    };
    const Case cases[] = {
        {{"set", "a.c", "5"}, 0, "<\n\ta <\n\t\tb [\n\t\t\t1\n\t\t\t2\n\t\t]\n\t\tc 5\n\t>\n>\n"},
        {{"set", "a.b[0]", "(x y)"}, 0, "<\n\ta <\n\t\tb [\n\t\t\t(x y)\n\t\t\t2\n\t\t]\n\t>\n>\n"},
        {{"set", "a.b[2]", "<k v>"}, 0, "<\n\ta <\n\t\tb [\n\t\t\t1\n\t\t\t2\n\t\t\t<\n\t\t\t\tk v\n\t\t\t>\n\t\t]\n\t>\n>\n"},
        {{"set", "-s", "a", "two words"}, 0, "<\n\ta (two words)\n>\n"},
        {{"set", ".", "[1]"}, 0, "[\n\t1\n]\n"},
        {{"del", "a.b[-1]"}, 0, "<\n\ta <\n\t\tb [\n\t\t\t1\n\t\t]\n\t>\n>\n"},
        {{"del", "a"}, 0, "<>\n"},
        {{"set", "a.b[3]", "1"}, 1, "cannot set a.b[3]: the array has 2 members (a subscript of 2 appends)"},
        {{"set", "x.y", "1"}, 1, "cannot set x: no such key"},
        {{"set", "a", "1.2.3.4."}, 0, "<\n\ta 1.2\n>\n"},
        {{"set", "a", "<b"}, 2, "VALUE:1:3: Empty text string"},
        {{"del", "a.x"}, 1, "no value at a.x: no such key"},
        {{"del", "."}, 2, "del cannot remove the whole document"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const std::string doc = File("doc.pos", "<a <b [1 2]>>");
        Args args = c.args;
        args.push_back(doc);
        const Result r = Run(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.code == 0)
            EXPECT_EQ(r.out, c.expect);
        else
            EXPECT_TRUE(Has(r.err, c.expect)) << r.err;
        // Without -w the file is never touched.
        EXPECT_EQ(Slurp(doc), "<a <b [1 2]>>");
    }
}

TEST_F(Addresses, SetInPlaceKeepsTheFormat) {
    const std::string json = File("doc.json", "{\"a\": 1}");
    EXPECT_EQ(Run({"set", "-w", "b", "(x)", json}).code, 0);
    EXPECT_EQ(Slurp(json), "{\n  \"a\": 1,\n  \"b\": \"x\"\n}\n");
    const std::string typea = File("doc.typea", "POSStreamerTypeA_Version1.0 <\"a\" #1 >");
    EXPECT_EQ(Run({"del", "-w", "a", typea}).code, 0);
    EXPECT_EQ(Slurp(typea), "POSStreamerTypeA_Version1.0 <\n>\n");
    EXPECT_EQ(Run({"set", "-w", "a", "1", "-"}, "<>").code, 2);
}

}  // namespace
}  // namespace postest
