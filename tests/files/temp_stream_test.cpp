// Temporary-file streams: made in the temporary directory, deleted with the
// stream that made them; copies read the same file and delete nothing.
#include <filesystem>
#include <string>

#include "files_fixture.h"

namespace {

using qeltest::FilesTest;

class TempStreamTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        if (HasFatalFailure()) return;
        factory_ = host().Get<contract::QELUtilsTempFileStreamFactory::NewTempFileStream>();
        ASSERT_NE(factory_, nullptr);
    }
    bool Write(const Ref& s, const std::string& bytes) {
        const QELErrorHandle e =
            qeltest::MethodOf<contract::QELSimpleStream::Write>(s.get())(s.get(), bytes.data(), bytes.size());
        const bool ok = e == nullptr;
        Take(e);
        return ok;
    }
    std::string ReadAll(const Ref& s) {
        const auto read = qeltest::MethodOf<contract::QELSimpleStream::Read>(s.get());
        std::string out;
        char buffer[64];
        uint64_t n = 0;
        while (read(s.get(), &n, buffer, sizeof buffer) == nullptr && n > 0) out.append(buffer, n);
        return out;
    }
    void Rewind(const Ref& s) {
        EXPECT_EQ(qeltest::MethodOf<contract::QELRewindableStream::Rewind>(s.get())(s.get()), nullptr);
    }
    Ref Copy(const Ref& s) {
        QELContainerHandle out = nullptr;
        EXPECT_EQ(qeltest::MethodOf<contract::QELPositionableStream::CreateIndependentlyPositionableStream>(s.get())(
                      s.get(), &out),
                  nullptr);
        return Ref::Take(out);
    }

    _QELUtilsNewTempFileStreamProc_NewTempFileStream factory_ = nullptr;
};

TEST_F(TempStreamTest, WrittenRewoundReadAndDeletedWithTheStream) {
    QELContainerHandle out = nullptr;
    ASSERT_EQ(factory_(&out, "tmp", "dat", "w+b"), nullptr);
    {
        const Ref stream = Ref::Take(out);
        EXPECT_TRUE(std::filesystem::exists(private_ / "tmp00000000.dat"));
        ASSERT_TRUE(Write(stream, "hello, file"));
        Rewind(stream);
        EXPECT_EQ(ReadAll(stream), "hello, file");
    }
    EXPECT_FALSE(std::filesystem::exists(private_ / "tmp00000000.dat")) << "deleted with the stream";
}

TEST_F(TempStreamTest, CopiesReadTheFileAndNeverDeleteIt) {
    QELContainerHandle out = nullptr;
    ASSERT_EQ(factory_(&out, "tmp", "dat", "w+b"), nullptr);
    Ref first = Ref::Take(out);
    ASSERT_TRUE(Write(first, "0123456789"));
    Ref copy = Copy(first);
    ASSERT_TRUE(copy);
    EXPECT_EQ(ReadAll(copy), "0123456789") << "a copy reads the whole file from its start";
    EXPECT_EQ(ReadAll(first), "0123456789") << "the first stream reads on through a read-only file";
    EXPECT_FALSE(Write(first, "x")) << "and can no longer write";
    Ref second = Copy(copy);
    EXPECT_EQ(ReadAll(second), "0123456789");

    second.reset();
    copy.reset();
    EXPECT_TRUE(std::filesystem::exists(private_ / "tmp00000000.dat"));
    first.reset();
    EXPECT_FALSE(std::filesystem::exists(private_ / "tmp00000000.dat"));
}

TEST_F(TempStreamTest, ARefusedModeFailsAndLeavesTheEmptyFile) {
    QELContainerHandle out = nullptr;
    const Error e = Take(factory_(&out, "tmp", "dat", "bogus"));
    EXPECT_FALSE(e.message.empty());
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(std::filesystem::exists(private_ / "tmp00000000.dat"));
    std::filesystem::remove(private_ / "tmp00000000.dat");
}

TEST_F(TempStreamTest, SerializedObjectsThroughATemporaryFile) {
    QELContainerHandle out = nullptr;
    ASSERT_EQ(factory_(&out, "obj", "typea", "w+b"), nullptr);
    const Ref stream = Ref::Take(out);
    auto newStreamer = host().Get<contract::POSStreamerInterface::NewPOSStreamer>();
    auto serialize =
        host().Get<contract::POSStreamerInterface::Serialize>();
    auto deserialize =
        host().Get<contract::POSStreamerInterface::Deserialize>();
    auto fromText = host().Get<contract::POSObjectStatics::CreateFromText>();
    auto isEqual = host().Get<contract::POSObjectInterface::IsEqual>();
    const Ref streamer = Ref::Take(newStreamer());
    const Ref doc = Ref::Take(fromText("<a [1 2 (x y)] b `0041`>", nullptr));
    ASSERT_EQ(serialize(streamer.get(), stream.get(), doc.get(), nullptr), 1);
    Rewind(stream);
    const Ref back = Ref::Take(deserialize(streamer.get(), stream.get()));
    ASSERT_TRUE(back);
    EXPECT_EQ(isEqual(back.get(), doc.get()), 1);
    EXPECT_TRUE(host().Reports().empty());
}

}  // namespace
