// Directory objects and the file operations relative to them.
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "files_fixture.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

using qeltest::FilesTest;

TEST_F(FilesTest, PathsJoinWithABackslash) {
    struct Case {
        const char* dir;
        const char* name;
        const char* joined;
    };
    const Case cases[] = {
        {"D:\\data", "a.txt", "D:\\data\\a.txt"},
        {"D:\\data\\", "a.txt", "D:\\data\\a.txt"},
        {"/tmp/x", "../y/z", "/tmp/x\\../y/z"},
        {"rel", "", "rel\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir);
        const Ref dir = Dir(c.dir);
        QELStringAtom out = nullptr;
        ASSERT_EQ(pathSpec_(&out, dir.get(), Atom(c.name).get()), nullptr);
        EXPECT_EQ(TakeAtom(out), c.joined);
    }
}

TEST_F(FilesTest, TheTemporaryAndCurrentDirectories) {
    QELContainerHandle out = nullptr;
    ASSERT_EQ(getTempDir_(&out), nullptr);
    const Ref temp = Ref::Take(out);
    QELStringAtom path = nullptr;
    ASSERT_EQ(pathSpec_(&path, temp.get(), Atom("f").get()), nullptr);
    const char last = tempText_.back();
    EXPECT_EQ(TakeAtom(path), tempText_ + (last == '\\' ? "" : "\\") + "f")
        << "the temporary directory keeps its trailing separator";
    ASSERT_EQ(getCurrent_(&out), nullptr);
    EXPECT_TRUE(Ref::Take(out));
}

TEST_F(FilesTest, FileExistsForFilesDirectoriesAndWildcards) {
    std::ofstream(private_ / "file.txt") << "x";
    std::filesystem::create_directories(private_ / "sub");
    struct Case {
        const char* name;
        uint8_t exists;
    };
    const Case cases[] = {{"file.txt", 1}, {"sub", 1}, {"missing", 0}, {"file.*", 0}, {"file.tx?", 0}, {"*", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t out = 7;
        ASSERT_EQ(fileExists_(&out, dir_.get(), Atom(c.name).get()), nullptr);
        EXPECT_EQ(out, c.exists);
    }
    std::filesystem::remove(private_ / "file.txt");
    std::filesystem::remove(private_ / "sub");
}

TEST_F(FilesTest, DeleteAndItsFailures) {
    std::ofstream(private_ / "gone.txt") << "x";
    EXPECT_EQ(delete_(dir_.get(), Atom("gone.txt").get()), nullptr);
    EXPECT_FALSE(std::filesystem::exists(private_ / "gone.txt"));

    const Error missing = Take(delete_(dir_.get(), Atom("gone.txt").get()));
    EXPECT_EQ(missing.message, "QELUtilsDirImpl::Delete: Invalid filename");
    EXPECT_EQ(missing.component, "QELUtilsDir");
    EXPECT_EQ(missing.id, 2u);

    std::filesystem::create_directories(private_ / "adir");
    const Error directory = Take(delete_(dir_.get(), Atom("adir").get()));
    EXPECT_EQ(directory.message, "QELUtilsDirImpl::Delete: Permission denied") << "files only";
    EXPECT_EQ(directory.id, 13u);
    EXPECT_TRUE(std::filesystem::exists(private_ / "adir"));
    std::filesystem::remove(private_ / "adir");
}

TEST_F(FilesTest, RenameNeverReplacesItsTarget) {
    std::ofstream(private_ / "a") << "first";
    std::ofstream(private_ / "b") << "second";
    const Error clash = Take(rename_(dir_.get(), Atom("a").get(), Atom("b").get()));
    EXPECT_EQ(clash.message, "QELUtilsDirImpl::Rename: Unknown error");
    EXPECT_EQ(clash.id, 17u);
    std::string kept;
    std::ifstream(private_ / "b") >> kept;
    EXPECT_EQ(kept, "second");

    EXPECT_EQ(rename_(dir_.get(), Atom("a").get(), Atom("c").get()), nullptr);
    EXPECT_FALSE(std::filesystem::exists(private_ / "a"));
    EXPECT_TRUE(std::filesystem::exists(private_ / "c"));
    const Error missing = Take(rename_(dir_.get(), Atom("a").get(), Atom("d").get()));
    EXPECT_EQ(missing.message, "QELUtilsDirImpl::Rename: Invalid filename");
    EXPECT_EQ(missing.id, 2u);
    std::filesystem::remove(private_ / "b");
    std::filesystem::remove(private_ / "c");
}

TEST_F(FilesTest, UniqueNamesCountUpInHex) {
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        QELStringAtom out = nullptr;
        ASSERT_EQ(unique_(&out, dir_.get(), Atom("tmp").get(), Atom("dat").get()), nullptr);
        names.push_back(TakeAtom(out));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"tmp00000000.dat", "tmp00000001.dat", "tmp00000002.dat"}));
    EXPECT_EQ(std::filesystem::file_size(private_ / "tmp00000000.dat"), 0u);
#if !defined(_WIN32)
    struct stat info;
    ASSERT_EQ(::stat((private_ / "tmp00000000.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "readable and writable by the owner only";
#endif

    QELStringAtom out = nullptr;
    ASSERT_EQ(unique_(&out, dir_.get(), Atom("").get(), Atom("").get()), nullptr);
    EXPECT_EQ(TakeAtom(out), "00000000.");
    for (const char* name : {"tmp00000000.dat", "tmp00000001.dat", "tmp00000002.dat", "00000000."})
        std::filesystem::remove(private_ / name);
}

TEST_F(FilesTest, AMissingDirectoryFailsAtOnce) {
    const Ref missing = Dir((private_ / "no" / "such").string());
    QELStringAtom out = nullptr;
    const Error e = Take(unique_(&out, missing.get(), Atom("tmp").get(), Atom("dat").get()));
    EXPECT_EQ(e.message, "QELUtilsDirImpl::createNewFile: Invalid filename");
    EXPECT_EQ(e.id, 2u);
    EXPECT_EQ(out, nullptr) << "out arguments are written only on success";
}

TEST_F(FilesTest, ConcurrentCallsNeverShareAName) {
    std::mutex lock;
    std::set<std::string> names;
    size_t total = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                QELStringAtom out = nullptr;
                if (unique_(&out, dir_.get(), Atom("race").get(), Atom("x").get()) != nullptr) continue;
                const std::string name = TakeAtom(out);
                std::lock_guard hold(lock);
                names.insert(name);
                ++total;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(total, 100u);
    EXPECT_EQ(names.size(), total);
    for (const std::string& name : names) std::filesystem::remove(private_ / name);
}

TEST_F(FilesTest, HandlesOfAnotherKindAreRefused) {
    const Ref number = Ref::Take(host().Get<contract::POSNumberInterface::NewPOSNumber>()(1));
    uint8_t out = 9;
    const Error e = Take(fileExists_(&out, number.get(), Atom("x").get()));
    EXPECT_FALSE(e.message.empty());
    EXPECT_EQ(out, 9) << "left as it was";
}

}  // namespace
