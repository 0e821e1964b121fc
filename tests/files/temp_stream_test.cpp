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
        factory_ = host().Get<_QELUtilsNewTempFileStreamProc_NewTempFileStream>(
            "QELUtilsTempFileStreamFactory", "NewTempFileStream", "_QELUtilsNewTempFileStreamProc_NewTempFileStream");
        ASSERT_NE(factory_, nullptr);
        getMethod_ = host().Get<QELGetMethodV3Proc>("QELContainerInterface", "GetMethod", "QELGetMethodV3Proc");
    }

    template <class Proc>
    Proc Method(const Ref& stream, const char* method, const char* type) {
        void* proc = nullptr;
        EXPECT_EQ(getMethod_(&proc, stream.get(), Atom(method).get(), Atom(type).get(), 0), nullptr);
        return reinterpret_cast<Proc>(proc);
    }
    bool Write(const Ref& s, const std::string& bytes) {
        const QELErrorHandle e = Method<QELSimpleStreamWriteProc>(s, "Write", "QELSimpleStreamWriteProc")(
            s.get(), bytes.data(), bytes.size());
        const bool ok = e == nullptr;
        Take(e);
        return ok;
    }
    std::string ReadAll(const Ref& s) {
        auto read = Method<QELSimpleStreamReadProc>(s, "Read", "QELSimpleStreamReadProc");
        std::string out;
        char buffer[64];
        uint64_t n = 0;
        while (read(s.get(), &n, buffer, sizeof buffer) == nullptr && n > 0) out.append(buffer, n);
        return out;
    }
    void Rewind(const Ref& s) {
        EXPECT_EQ(Method<QELRewindableStreamRewindProc>(s, "Rewind", "QELRewindableStreamRewindProc")(s.get()),
                  nullptr);
    }
    Ref Copy(const Ref& s) {
        QELContainerHandle out = nullptr;
        EXPECT_EQ(Method<QELPositionableStreamCreateIndependentlyPositionableStreamProc>(
                      s, "CreateIndependentlyPositionableStream",
                      "QELPositionableStreamCreateIndependentlyPositionableStreamProc")(s.get(), &out),
                  nullptr);
        return Ref::Take(out);
    }

    _QELUtilsNewTempFileStreamProc_NewTempFileStream factory_ = nullptr;
    QELGetMethodV3Proc getMethod_ = nullptr;
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
    auto newStreamer = host().Get<POSStreamerNewPOSStreamerProc>("POSStreamerInterface", "NewPOSStreamer",
                                                                 "POSStreamerNewPOSStreamerProc");
    auto serialize =
        host().Get<POSStreamerSerializeProc>("POSStreamerInterface", "Serialize", "POSStreamerSerializeProc");
    auto deserialize =
        host().Get<POSStreamerDeserializeProc>("POSStreamerInterface", "Deserialize", "POSStreamerDeserializeProc");
    auto fromText = host().Get<POSObjectCreateFromTextProc>("POSObjectStatics", "CreateFromText",
                                                            "POSObjectCreateFromTextProc");
    auto isEqual = host().Get<POSObjectIsEqualProc>("POSObjectInterface", "IsEqual", "POSObjectIsEqualProc");
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
