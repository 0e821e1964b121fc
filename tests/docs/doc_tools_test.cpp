// The parts that run the documents' examples, on their own: a convention
// broken in a document, or a command line read otherwise than a shell reads
// it, must not go unnoticed.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "console.h"
#include "doc_reader.h"
#include "links.h"

namespace {

namespace fs = std::filesystem;

TEST(DocReader, ReadsFilesCommandsAndMarks) {
    const docs::Document d = docs::Read("t.md",
                                        "Text\n"
                                        "```pos file=a.pos\n<a 1>\n```\n"
                                        "```pos\nnot run\n```\n"
                                        "```console\n$ pos check a.pos\n$ pos x\nline one\n\nline three\n"
                                        "$ echo $?\n2\n```\n"
                                        "```typea file=b.typea broken\nx\n```\n"
                                        "````console posix\n$ pos y\n```\n````\n");
    EXPECT_TRUE(d.problems.empty());
    ASSERT_EQ(d.blocks.size(), 4u);
    ASSERT_TRUE(d.blocks[0].file);
    EXPECT_EQ(d.blocks[0].line, 2u);
    EXPECT_EQ(d.blocks[0].file->name, "a.pos");
    EXPECT_EQ(d.blocks[0].file->bytes, "<a 1>\n");
    EXPECT_FALSE(d.blocks[0].file->broken);
    ASSERT_TRUE(d.blocks[1].console);
    EXPECT_FALSE(d.blocks[1].console->posixOnly);
    const auto& commands = d.blocks[1].console->commands;
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].text, "pos check a.pos");
    EXPECT_EQ(commands[0].expected, "");
    EXPECT_EQ(commands[1].line, 10u);
    EXPECT_EQ(commands[1].expected, "line one\n\nline three\n");
    EXPECT_EQ(commands[2].text, "echo $?");
    EXPECT_EQ(commands[2].expected, "2\n");
    ASSERT_TRUE(d.blocks[2].file);
    EXPECT_TRUE(d.blocks[2].file->broken);
    ASSERT_TRUE(d.blocks[3].console);
    EXPECT_TRUE(d.blocks[3].console->posixOnly);
    EXPECT_EQ(d.blocks[3].console->commands[0].expected, "```\n");
}

TEST(DocReader, ReportsBlocksThatBreakTheConventions) {
    const char* const broken[] = {
        "```console\noutput first\n$ pos check a\n```\n",
        "```console\n```\n",
        "```console windows\n$ pos check a\n```\n",
        "```pos file=../a.pos\n<>\n```\n",
        "```pos file=C:a.pos\n<>\n```\n",
        "```pos file=a.pos brokn\n<>\n```\n",
        "```console\n$ pos check a\n",
    };
    for (const char* text : broken) EXPECT_FALSE(docs::Read("t.md", text).problems.empty()) << text;
}

std::vector<std::vector<std::string>> Words(const console::Parsed& p) {
    std::vector<std::vector<std::string>> words;
    for (const console::Stage& s : p.pipeline) words.push_back(s.words);
    return words;
}

TEST(Console, ReadsWordsAsTheShellDoes) {
    using W = std::vector<std::vector<std::string>>;
    struct Case {
        const char* line;
        W words;
    };
    const Case cases[] = {
        {"pos check a.pos", {{"pos", "check", "a.pos"}}},
        {"  pos\tcheck  ", {{"pos", "check"}}},
        {"pos get 'items[0].dims' x", {{"pos", "get", "items[0].dims", "x"}}},
        {"pos set -s label 'bottom (right)' p", {{"pos", "set", "-s", "label", "bottom (right)", "p"}}},
        {"echo 'it'\\''s'", {{"echo", "it's"}}},
        {"echo \"a \\\"b\\\" \\\\ \\n $?\"", {{"echo", "a \"b\" \\ \\n 7"}}},
        {"echo a\\ b ''", {{"echo", "a b", ""}}},
        {"echo $? x$?", {{"echo", "7", "x7"}}},
        {"printf 'a|b' | pos check -", {{"printf", "a|b"}, {"pos", "check", "-"}}},
        {"cat f|cat -A", {{"cat", "f"}, {"cat", "-A"}}},
        {"echo 'a > b' \"<\"", {{"echo", "a > b", "<"}}},
        {"echo a=b --x=[y]", {}},  // an unquoted [ would be a glob
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const console::Parsed p = console::Parse(c.line, 7);
        if (c.words.empty()) {
            EXPECT_NE(p.error, "");
            continue;
        }
        EXPECT_EQ(p.error, "");
        EXPECT_EQ(Words(p), c.words);
    }
}

TEST(Console, ReadsRedirections) {
    console::Parsed p = console::Parse("pos check - < a.pos > out", 0);
    ASSERT_EQ(p.error, "");
    ASSERT_EQ(p.pipeline.size(), 1u);
    EXPECT_EQ(p.pipeline[0].words, (std::vector<std::string>{"pos", "check", "-"}));
    EXPECT_EQ(p.pipeline[0].input, "a.pos");
    EXPECT_EQ(p.pipeline[0].output, "out");
    p = console::Parse("printf x >'a b'", 0);
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.pipeline[0].output, "a b");
}

TEST(Console, RefusesWhatIsNotRunHere) {
    const char* const refused[] = {
        "pos check a; pos check b", "pos check a && echo ok", "pos check a || true", "pos check a &",
        "echo $HOME",               "echo $(pwd)",            "echo `pwd`",          "echo \"$HOME\"",
        "pos get a[0] x",           "cat *.pos",              "echo ?",              "echo {a,b}",
        "cat ~/x",                  "echo # comment",         "pos check a 2> err",  "pos check a >> log",
        "cat << EOF",               "pos check a >&2",        "echo 'open",          "echo \"open",
        "echo a \\",                "ls",                     "sh -c 'pos check'",   "| pos check",
        "pos check |",              "pos check <",            "pos check > > x",     "",
        "(pos check a)",            "echo !!",                "echo \"hi!\"",
    };
    for (const char* line : refused) {
        const console::Parsed p = console::Parse(line, 0);
        EXPECT_NE(p.error, "") << line;
        EXPECT_TRUE(p.pipeline.empty()) << line;
    }
}

TEST(Console, PrintfAsTheShellsPrintf) {
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"a\\nb\\tc\\\\d"}, "a\nb\tc\\d"},
        {{"caf\\351 \\101\\0"}, std::string("caf\351 A\0", 7)},
        {{"<%s>", "x"}, "<x>"},
        {{"%s,", "a", "b", "c"}, "a,b,c,"},  // the format again while arguments are left
        {{"(%05d)", "42"}, "(00042)"},
        {{"[%-4s|%4s]", "ab", "cd"}, "[ab  |  cd]"},
        {{"100%%"}, "100%"},
        {{"no conversion", "extra"}, "no conversion"},
        {{"%d%s"}, "0"},
        {{"\\q"}, "\\q"},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<std::string> out = console::Printf(c.args, error);
        ASSERT_TRUE(out) << c.args[0] << ": " << error;
        EXPECT_EQ(*out, c.out) << c.args[0];
    }
    std::string why;
    EXPECT_EQ(console::Printf({"(%0100d)", "0"}, why).value(), "(" + std::string(100, '0') + ")");
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {}, {"%d", "x"}, {"%f", "1"}, {"%"}, {"%02000d", "1"}}) {
        std::string error;
        EXPECT_FALSE(console::Printf(bad, error)) << (bad.empty() ? "" : bad[0]);
        EXPECT_NE(error, "");
    }
}

TEST(Console, CatShowAll) {
    EXPECT_EQ(console::ShowAll("a\tb \n"), "a^Ib $\n");
    EXPECT_EQ(console::ShowAll(std::string("\x01\x7f\r\xc3\xa9\x80\xff", 7)), "^A^?^MM-CM-)M-^@M-^?");
    EXPECT_EQ(console::ShowAll("no end"), "no end");
}

class ConsoleSession : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("console-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(ConsoleSession, BuiltinsFilesPipesAndStatus) {
    console::Session t(POS_BINARY, dir_, {});
    struct Step {
        const char* line;
        const char* shown;
        int status;
    };
    const Step steps[] = {
        {"printf 'a\\tb\\n' > f", "", 0},
        {"cat f", "a\tb\n", 0},
        {"cat -A f", "a^Ib$\n", 0},
        {"cat < f", "a\tb\n", 0},
        {"echo one  two | cat -A", "one two$\n", 0},
        {"cat missing f", "cat: missing: No such file or directory\na\tb\n", 1},
        {"echo $?", "1\n", 0},
        {"echo $?", "0\n", 0},
        {"printf '<a 1>' | pos check -", "<stdin>: ok\n", 0},
        {"pos check - < f", "<stdin>:1:3: Unexpected characters after object\na\tb\n \t^\n", 2},
        {"echo $?", "2\n", 0},
        {"printf '<a 1>' > g", "", 0},
        {"pos convert --to json g > h", "", 0},
        {"cat h", "{\n  \"a\": 1\n}\n", 0},
    };
    for (const Step& s : steps) {
        const console::Session::Result r = t.Run(s.line);
        ASSERT_EQ(r.error, "") << s.line;
        EXPECT_EQ(r.shown, s.shown) << s.line;
        EXPECT_EQ(r.status, s.status) << s.line;
    }
    EXPECT_NE(t.Run("cat < nowhere").error, "");
}

TEST(Links, OutsideCodeOnly) {
    const std::string text =
        "See [a](a.md) and [b](b.md#part), [c](#here).\n"
        "`[not](code.md)` and ``[nor](this.md)``\n"
        "```console\n[no](fenced.md)\n```\n"
        "    [no](indented.md)\n"
        "[web](https://example.com/x)\n";
    std::vector<std::string> targets;
    for (const docs::Link& l : docs::Links(text)) targets.push_back(l.target);
    EXPECT_EQ(targets, (std::vector<std::string>{"a.md", "b.md#part", "#here", "https://example.com/x"}));
    EXPECT_EQ(docs::Links(text)[3].line, 7u);
}

TEST(Links, AnchorsAsHeadingsMakeThem) {
    struct Case {
        const char* heading;
        const char* slug;
    };
    const Case cases[] = {
        {"Limits, and why", "limits-and-why"},
        {"Reading the schema check's lines", "reading-the-schema-checks-lines"},
        {"`1.2.3` becomes 1.2", "123-becomes-12"},
        {"A lone `-` (or `+`, or `.`) becomes 0", "a-lone---or--or--becomes-0"},
        {"get, keys, len", "get-keys-len"},
        {"int and real", "int-and-real"},
        {"Schema_check **now**", "schema_check-now"},
    };
    for (const Case& c : cases) {
        std::string plain;
        for (const char ch : std::string(c.heading))
            if (ch != '`' && ch != '*') plain += ch;
        EXPECT_EQ(docs::Slug(plain), c.slug) << c.heading;
    }
    const std::set<std::string> anchors = docs::Anchors(
        "# Title\n## Part\ntext\n### Part\n```\n# not a heading\n```\n#nospace\n####### seven\n## `code` ##\n");
    EXPECT_EQ(anchors, (std::set<std::string>{"title", "part", "part-1", "code"}));
}

}  // namespace
