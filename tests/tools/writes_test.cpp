// Files the tool writes: never left half written, whatever fails.
#include "pos_tool.h"

#if !defined(_WIN32)
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#endif

namespace postest {
namespace {

// A valid document of about 40 KB whose canonical form is no smaller.
std::string BigDocument() {
    std::string text = "<";
    for (int i = 0; i < 600; ++i) text += " k" + std::to_string(i) + " (" + std::string(60, 'x') + ")";
    return text + ">";
}

using Writes = PosTool;

// The temporary files beside doc that a write may have left.
size_t LeftBeside(const fs::path& dir, const std::string& doc) {
    size_t left = 0;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind("." + doc, 0) == 0) ++left;
    return left;
}

TEST_F(Writes, TypeAIsRewrittenAsTextOnlyWhenAsked) {
    const std::string typea = "POSStreamerTypeA_Version1.0 <\n\t\"a\" #1 \n>";
    const std::string doc = File("doc.typea", typea);
    Result r = Run({"fmt", "-w", doc});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "add --to text")) << r.err;
    EXPECT_EQ(Slurp(doc), typea);
    EXPECT_EQ(Run({"fmt", "-w", "--to", "typea", doc}).code, 0);
    EXPECT_EQ(Slurp(doc), typea + "\n");
    EXPECT_EQ(Run({"fmt", "-w", "--to", "text", doc}).code, 0);
    EXPECT_EQ(Slurp(doc), "<\n\ta 1\n>\n");
    // Without -w it only shows the text.
    r = Run({"fmt", "-"}, typea);
    EXPECT_EQ(r.out, "<\n\ta 1\n>\n");
}

TEST_F(Writes, EveryWriteReplacesTheFileAndLeavesNoTemporary) {
    struct Case {
        const char* name;
        Args args;
        const char* after;
    };
    const Case cases[] = {
        {"fmt -w", {"fmt", "-w", "doc.pos"}, "<\n\ta 1\n\tb 2\n>\n"},
        {"set -w", {"set", "-w", "c", "3", "doc.pos"}, "<\n\ta 1\n\tb 2\n\tc 3\n>\n"},
        {"del -w", {"del", "-w", "b", "doc.pos"}, "<\n\ta 1\n>\n"},
        {"convert -o onto itself", {"convert", "--to", "json", "-o", "doc.pos", "doc.pos"}, "{\n  \"a\": 1,\n  \"b\": 2\n}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        File("doc.pos", "<b 2 a 1>");
        const Result r = Run(c.args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(Slurp("doc.pos"), c.after);
        EXPECT_EQ(LeftBeside(dir_, "doc.pos"), 0u);
    }
}

TEST_F(Writes, AFileThatCannotBeWrittenBesideIsAnError) {
    File("doc.pos", "<a 1>");
    const Result r = Run({"convert", "--to", "json", "-o", "nowhere/out.json", "doc.pos"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "nowhere/out.json")) << r.err;
    EXPECT_TRUE(Has(r.err, "cannot create a temporary file beside it")) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
}

#if !defined(_WIN32)
// A shell sets the limit that makes writes fail: the runner runs no code
// between fork and exec. File-size limits and SIGXFSZ are POSIX's.
Result RunLimited(qeltest::Invocation run) {
    run.args.insert(run.args.begin(), {"-c", "trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\"", run.program});
    run.program = "/bin/sh";
    const qeltest::Outcome o = qeltest::RunProcess(run);
    EXPECT_TRUE(o.Exited()) << o.failure;
    return {o.exitCode, o.out, o.err};
}

// ulimit -f makes every write past 4 KB fail (EFBIG), as a full disk would.
TEST_F(Writes, AFailedWriteLeavesTheFileByteForByteAndNoTemporary) {
    struct Case {
        const char* name;
        Args args;  // the file is appended
    };
    const Case cases[] = {
        {"fmt -w", {"fmt", "-w"}},
        {"set -w", {"set", "-w", "k1", "(y)"}},
        {"del -w", {"del", "-w", "k1"}},
        {"convert -o onto itself", {"convert", "--to", "text", "-o", "doc.pos"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string original = BigDocument();
        const std::string doc = File("doc.pos", original);
        ASSERT_EQ(chmod((dir_ / doc).c_str(), 0640), 0);
        Args args = c.args;
        args.push_back(doc);
        const Result r = RunLimited(Pos(args));
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(Has(r.err, "cannot write doc.pos: File too large (doc.pos is unchanged)")) << r.err;
        EXPECT_EQ(Slurp(doc), original);
        EXPECT_EQ(LeftBeside(dir_, doc), 0u);
    }
}

// Mounting a small file system needs root and Linux.
TEST_F(Writes, AFullDiskLeavesTheFileByteForByte) {
    const fs::path mount = dir_ / "small";
    fs::create_directories(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    const std::string original = BigDocument();
    std::ofstream(mount / "doc.pos", std::ios::binary) << original;
    const Result r = Run({"fmt", "-w", "small/doc.pos"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "No space left on device")) << r.err;
    EXPECT_EQ(Slurp("small/doc.pos"), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(mount), fs::directory_iterator()), 1);
    ::umount(mount.c_str());
}

// Permission bits and symbolic links as the tool keeps them are POSIX's.
TEST_F(Writes, ASuccessfulRewriteKeepsPermissionsAndLinks) {
    const std::string doc = File("doc.pos", "< z 1   a (two words) >");
    ASSERT_EQ(chmod((dir_ / doc).c_str(), 0604), 0);
    fs::create_symlink(dir_ / doc, dir_ / "link.pos");
    ASSERT_EQ(Run({"fmt", "-w", "link.pos"}).code, 0);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.pos"));
    EXPECT_EQ(Slurp(doc), "<\n\ta (two words)\n\tz 1\n>\n");
    struct stat st;
    ASSERT_EQ(stat((dir_ / doc).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
}

// /dev/full, the device on which every write fails, is POSIX's.
TEST_F(Writes, StandardOutputThatCannotBeWrittenIsAnError) {
    for (const Args& args : {Args{"fmt", "-"}, Args{"convert", "--to", "typea", "-"}, Args{"get", ".", "-"},
                             Args{"check", "-"}, Args{"keys", ".", "-"}}) {
        SCOPED_TRACE(args[0]);
        qeltest::Invocation run = Pos(args, "<a 1>");
        run.stdoutPath = "/dev/full";
        const Result r = Launch(run);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "pos: cannot write to standard output: No space left on device\n");
    }
}
#endif

}  // namespace
}  // namespace postest
