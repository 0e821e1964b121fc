// Files the tool writes: never left half written, whatever fails.
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "pos_tool.h"

namespace postest {
namespace {

// A valid document of about 40 KB whose canonical form is no smaller.
std::string BigDocument() {
    std::string text = "<";
    for (int i = 0; i < 600; ++i) text += " k" + std::to_string(i) + " (" + std::string(60, 'x') + ")";
    return text + ">";
}

using Writes = PosTool;

TEST_F(Writes, AFailedWriteLeavesTheFileByteForByteAndNoTemporary) {
    // ulimit -f makes every write past 4 KB fail (EFBIG), as a full disk would.
    struct Case {
        const char* name;
        std::string args;  // FILE is appended
    };
    const Case cases[] = {
        {"fmt -w", "fmt -w"},
        {"set -w", "set -w k1 '(y)'"},
        {"del -w", "del -w k1"},
        {"convert -o onto itself", "convert --to text -o FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string original = BigDocument();
        const std::string doc = File("doc.pos", original);
        ASSERT_EQ(chmod(doc.c_str(), 0640), 0);
        std::string args = c.args;
        if (const size_t at = args.find("FILE"); at != std::string::npos) args.replace(at, 4, Quote(doc));
        const Result r = Run(args + " " + Quote(doc), "", "trap '' XFSZ; ulimit -f 8;");
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(Has(r.err, "cannot write " + doc + ": File too large (" + doc + " is unchanged)")) << r.err;
        EXPECT_EQ(Slurp(doc), original);
        for (const auto& e : fs::directory_iterator(dir_))
            EXPECT_NE(e.path().filename().string().rfind(".doc.pos", 0), 0u) << "left " << e.path();
    }
}

TEST_F(Writes, AFullDiskLeavesTheFileByteForByte) {
    const fs::path mount = dir_ / "small";
    fs::create_directories(mount);
    if (::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    const std::string original = BigDocument();
    const std::string doc = (mount / "doc.pos").string();
    std::ofstream(doc, std::ios::binary) << original;
    const Result r = Run("fmt -w " + Quote(doc));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "No space left on device")) << r.err;
    EXPECT_EQ(Slurp(doc), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(mount), fs::directory_iterator()), 1);
    ::umount(mount.c_str());
}

TEST_F(Writes, ASuccessfulRewriteKeepsPermissionsAndLinks) {
    const std::string doc = File("doc.pos", "< z 1   a (two words) >");
    ASSERT_EQ(chmod(doc.c_str(), 0604), 0);
    const std::string link = (dir_ / "link.pos").string();
    fs::create_symlink(doc, link);
    ASSERT_EQ(Run("fmt -w " + Quote(link)).code, 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(doc), "<\n\ta (two words)\n\tz 1\n>\n");
    struct stat st;
    ASSERT_EQ(stat(doc.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
}

TEST_F(Writes, StandardOutputThatCannotBeWrittenIsAnError) {
    for (const char* args : {"fmt -", "convert --to typea -", "get . -", "check -", "keys . -"}) {
        SCOPED_TRACE(args);
        const Result r = Run(args, "<a 1>", "", "/dev/full");
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err, "pos: cannot write to standard output: No space left on device\n");
    }
}

TEST_F(Writes, TypeAIsRewrittenAsTextOnlyWhenAsked) {
    const std::string typea = "POSStreamerTypeA_Version1.0 <\n\t\"a\" #1 \n>";
    const std::string doc = File("doc.typea", typea);
    Result r = Run("fmt -w " + Quote(doc));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "add --to text")) << r.err;
    EXPECT_EQ(Slurp(doc), typea);
    EXPECT_EQ(Run("fmt -w --to typea " + Quote(doc)).code, 0);
    EXPECT_EQ(Slurp(doc), typea + "\n");
    EXPECT_EQ(Run("fmt -w --to text " + Quote(doc)).code, 0);
    EXPECT_EQ(Slurp(doc), "<\n\ta 1\n>\n");
    // Without -w it only shows the text.
    r = Run("fmt -", typea);
    EXPECT_EQ(r.out, "<\n\ta 1\n>\n");
}

}  // namespace
}  // namespace postest
