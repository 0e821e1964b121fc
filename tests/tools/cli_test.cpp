// Arguments, help, usage errors, version, colour.
#include "pos_tool.h"

namespace postest {
namespace {

using Cli = PosTool;

const char* const kCommands[] = {"check", "fmt", "convert", "get", "keys", "len", "set", "del", "validate", "schema-check"};

TEST_F(Cli, EveryCommandHasHelp) {
    for (const char* command : kCommands) {
        SCOPED_TRACE(command);
        for (const Args& how : {Args{command, "--help"}, Args{"help", command}}) {
            const Result r = Run(how);
            EXPECT_EQ(r.code, 0);
            EXPECT_EQ(r.out.rfind(std::string("usage: pos ") + command, 0), 0u) << r.out;
            EXPECT_TRUE(Has(r.out, "Example: pos " + std::string(command))) << r.out;
        }
        EXPECT_TRUE(Has(Run({"help"}).out, std::string("  ") + command + " ")) << command;
    }
    EXPECT_EQ(Run({"--help"}).code, 0);
}

TEST_F(Cli, UsageErrorsShowTheCommandsUsage) {
    struct Case {
        Args args;
        const char* expect;
    };
    const Case cases[] = {
        {{}, "pos: no command\nusage: pos [-q]"},
        {{"frobnicate"}, "pos: unknown command frobnicate\n"},
        {{"help", "frobnicate"}, "help takes one command name"},
        {{"convert", "--to", "xml", "x"}, "pos: convert: --to: xml not in {text,typea,json}\nusage: pos convert --to"},
        {{"get", "onlyone"}, "usage: pos get [-r]"},
        {{"check", "--bogus", "x"}, "pos: check: The following argument was not expected: --bogus\nusage: pos check"},
        {{"validate", "--schema", "s", "x"}, "pos: validate: --type is required\nusage: pos validate"},
        {{"--color=purple", "check", "x"}, "--color takes auto, always or never"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        const Result r = Run(c.args);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(Has(r.err, c.expect)) << r.err;
        EXPECT_FALSE(Has(r.err, "Commands:")) << "the global usage is for pos help";
    }
}

TEST_F(Cli, OptionsTakeEqualsAndDoubleDashEndsThem) {
    const std::string doc = File("-odd.pos", "<a 1>");
    EXPECT_EQ(Run({"convert", "--to=json", "--", doc}).out, "{\n  \"a\": 1\n}\n");
    EXPECT_EQ(Run({"convert", "--output=o.json", "--to", "json", "--", doc}).code, 0);
    EXPECT_EQ(Slurp("o.json"), "{\n  \"a\": 1\n}\n");
    // Global options go before or after the command.
    EXPECT_EQ(Run({"-q", "check", "--", doc}).out, "");
    EXPECT_EQ(Run({"check", "-q", "--", doc}).out, "");
}

TEST_F(Cli, VersionComesFromTheBuild) {
    const Result v = Run({"--version"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out, std::string("pos ") + POS_VERSION + " (QELUtils interface version 65793)\n");
}

TEST_F(Cli, ColourOnlyWhenAskedOrOnATerminal) {
    const std::string bad = File("bad.pos", "[1 #]");
    EXPECT_TRUE(Has(Run({"--color=always", "check", bad}).err, "\033[1;31mUnexpected character\033[0m"));
    EXPECT_FALSE(Has(Run({"check", bad}).err, "\033["));  // not a terminal
    EXPECT_FALSE(Has(Run({"check", "--color", "never", bad}).err, "\033["));
}

TEST_F(Cli, CompletionIsMadeFromTheHelp) {
    const Result r = Run({"--bash-completion"});
    EXPECT_EQ(r.code, 0);
    for (const char* command : kCommands) EXPECT_TRUE(Has(r.out, std::string(" ") + command)) << command;
    EXPECT_TRUE(Has(r.out, "--no-schema-check"));
    EXPECT_TRUE(Has(r.out, "complete -o filenames -F _pos pos"));
}

#if !defined(_WIN32)
// The build makes the script and the man page natively only, for bash and man.
TEST_F(Cli, TheBuiltCompletionParsesAndTheManPageIsOne) {
    qeltest::Invocation bash;
    bash.program = "/bin/bash";
    bash.args = {"-n", POS_COMPLETION};
    const qeltest::Outcome o = qeltest::RunProcess(bash);
    EXPECT_TRUE(o.Exited() && o.exitCode == 0) << o.failure << o.err;
    if (!std::string(POS_MAN).empty()) {
        EXPECT_TRUE(Has(Slurp(POS_MAN), ".TH POS \"1\"")) << Slurp(POS_MAN).substr(0, 200);
    }
}
#endif

}  // namespace
}  // namespace postest
