// The process runner that the tool's and the documents' tests stand on: what
// goes in must arrive unchanged, what comes out must be complete, and how the
// child ended must be told, on POSIX and on Windows alike.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "child_process.h"

#if !defined(_WIN32)
#include <csignal>
#endif

namespace qeltest {
namespace {

namespace fs = std::filesystem;

Outcome Probe(Args args, std::string input = "", Streams streams = Streams::Separate) {
    Invocation run;
    run.program = PROBE;
    run.args = std::move(args);
    run.input = std::move(input);
    run.streams = streams;
    return RunProcess(run);
}

Outcome EchoArgs(const Args& args) {
    Args all{"args"};
    all.insert(all.end(), args.begin(), args.end());
    return Probe(all);
}

// What the probe's "args" mode prints for these arguments.
std::string Echoed(const Args& args) {
    std::string text;
    for (const std::string& a : args) text += std::to_string(a.size()) + ":" + a + "\n";
    return text;
}

TEST(Process, ArgumentsArriveUnchanged) {
    // Blanks, quotes and backslashes in every position the quoting rules treat apart.
    const Args args = {"plain", "", " ", "two words", "\"", "\\", "a\\b", "a\\\\b", "ends\\", "ends\\\\",
                       "\\\"", "say \"hi\"", "\"quoted\\\"", "a\\\"b\\\\", "tab\there", "line\nfeed", "'single'",
                       "* ? [x]", "$HOME %PATH% `x`", "a=b", "-", "--", "<in >out |pipe &bg ;sep"};
    const Outcome o = EchoArgs(args);
    ASSERT_TRUE(o.Exited()) << o.failure;
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.out, Echoed(args));
    EXPECT_EQ(o.err, "");
}

#if !defined(_WIN32)
// A Windows program's main gets its arguments in the ANSI code page, so only
// POSIX passes any bytes through.
TEST(Process, ArgumentsOfAnyBytes) {
    const Args args = {"caf\xC3\xA9", "\xFF\x01\x7F"};
    EXPECT_EQ(EchoArgs(args).out, Echoed(args));
}
#endif

TEST(Process, InputAndOutputAreByteExact) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    bytes += "\r\n\n\r";
    const Outcome o = Probe({"cat"}, bytes);
    ASSERT_TRUE(o.Exited()) << o.failure;
    EXPECT_EQ(o.out, bytes);
    EXPECT_EQ(Probe({"cat"}).out, "") << "no input is an empty input";
}

TEST(Process, LargeStreamsInBothDirectionsDoNotStall) {
    // Far beyond any pipe's buffer: the child fills both outputs before it
    // reads a byte, so the runner must read them while it writes.
    const size_t size = 3u << 20;
    std::string input(size, 'i');
    const Outcome o = Probe({"big", std::to_string(size)}, input);
    ASSERT_TRUE(o.Exited()) << o.failure;
    EXPECT_EQ(o.out.size(), size + std::to_string(size).size());
    EXPECT_EQ(o.out.substr(size), std::to_string(size));
    EXPECT_EQ(o.err.size(), size);
}

TEST(Process, AChildThatReadsNothingEndsNormally) {
    const Outcome o = Probe({"exit", "0"}, std::string(4u << 20, 'x'));
    ASSERT_TRUE(o.Exited()) << o.failure;
    EXPECT_EQ(o.exitCode, 0);
}

TEST(Process, MergedStreamsKeepTheOrderWritten) {
    Outcome o = Probe({"interleave"}, "", Streams::Merged);
    EXPECT_EQ(o.out, "out 1\nerr 1\nout 2\n");
    EXPECT_EQ(o.err, "");
    o = Probe({"interleave"});
    EXPECT_EQ(o.out, "out 1\nout 2\n");
    EXPECT_EQ(o.err, "err 1\n");
}

TEST(Process, ExitStatusesComeBack) {
    for (const int code : {0, 1, 2, 3, 64, 255}) {
        const Outcome o = Probe({"exit", std::to_string(code)});
        ASSERT_TRUE(o.Exited()) << o.failure;
        EXPECT_EQ(o.exitCode, code);
    }
}

class ProcessInDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("process-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(ProcessInDirectory, WorkingDirectoryEnvironmentAndOutputFile) {
    Invocation run;
    run.program = PROBE;
    run.args = {"cwd"};
    run.directory = dir_.string();
    Outcome o = RunProcess(run);
    ASSERT_TRUE(o.Exited()) << o.failure;
    EXPECT_TRUE(fs::equivalent(o.out, dir_)) << o.out;

    run.args = {"env", "QELTEST_PROBE_VALUE"};
    EXPECT_EQ(RunProcess(run).out, "(unset)");
    run.environment = {{"QELTEST_PROBE_VALUE", "a b=c"}};
    EXPECT_EQ(RunProcess(run).out, "a b=c");

    // A relative output file is the child's, in its directory.
    run.args = {"interleave"};
    run.stdoutPath = "out.txt";
    o = RunProcess(run);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "err 1\n");
    std::ifstream in(dir_ / "out.txt", std::ios::binary);
    std::stringstream file;
    file << in.rdbuf();
    EXPECT_EQ(file.str(), "out 1\nout 2\n");
}

TEST(Process, AProgramThatCannotRunIsAFailureNotAnExit) {
    Invocation run;
    run.program = (fs::temp_directory_path() / "no-such-program-here").string();
    const Outcome o = RunProcess(run);
    EXPECT_FALSE(o.Exited());
    EXPECT_NE(o.failure.find("no-such-program-here"), std::string::npos) << o.failure;
}

#if !defined(_WIN32)
// Windows has no signals: an aborted program there is an exit status.
TEST(Process, ASignalIsToldApart) {
    const Outcome o = Probe({"abort"});
    EXPECT_TRUE(o.failure.empty()) << o.failure;
    EXPECT_FALSE(o.Exited());
    EXPECT_EQ(o.signal, SIGABRT);
}
#endif

TEST(WindowsCommandLine, QuotesOnlyWhatTheRuntimeWouldSplit) {
    struct Case {
        Args args;
        const char* line;
    };
    const Case cases[] = {
        {{}, "p.exe"},
        {{"a", "b"}, "p.exe a b"},
        {{""}, "p.exe \"\""},
        {{"two words"}, "p.exe \"two words\""},
        {{"a\\b"}, "p.exe a\\b"},                   // backslashes alone stay
        {{"a\\\\b c"}, "p.exe \"a\\\\b c\""},       // ... also inside quotes
        {{"say \"hi\""}, "p.exe \"say \\\"hi\\\"\""},
        {{"a\\\"b"}, "p.exe \"a\\\\\\\"b\""},       // backslash, quote: 3 + 1
        {{"ends\\ "}, "p.exe \"ends\\ \""},
        {{"ends in\\"}, "p.exe \"ends in\\\\\""},   // doubled before the closing quote
        {{"tab\t"}, "p.exe \"tab\t\""},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowsCommandLine("p.exe", c.args), c.line);
    EXPECT_EQ(WindowsCommandLine("C:\\Program Files\\p.exe", {"x"}), "\"C:\\Program Files\\p.exe\" x");
}

}  // namespace
}  // namespace qeltest
