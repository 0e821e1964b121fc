// Library streams published to the host, and host streams used through
// HostStreamRef.
#include <cstring>
#include <stdexcept>
#include <string>

#include "frame/errors.h"
#include "frame/host_streams.h"
#include "linked_library.h"
#include "qelhost/pos.h"

namespace {

using namespace QEL_T_MT;
using qelhost::pos::Ref;
using qeltest::LinkedLibraryTest;

// A library stream over a string, counting its deletions; it can be told to
// throw from Mark and Read.
class StringStream final : public QELClientPositionableStream {
public:
    static inline int deleted = 0;
    static inline int seeks = 0;

    explicit StringStream(std::string* data) : data_(data) {}
    ~StringStream() override { ++deleted; }

    uint64_t Read(void* buffer, uint64_t size) override {
        if (failing) throw DWEException("read failed");
        const uint64_t n = std::min<uint64_t>(size, data_->size() - position_);
        std::memcpy(buffer, data_->data() + position_, n);
        position_ += n;
        return n;
    }
    void Write(const void* data, uint64_t size) override {
        data_->replace(position_, size, static_cast<const char*>(data), size);
        position_ += size;
    }
    QELClientPositionableStream* CreateIndependentlyPositionableStream() override { return new StringStream(data_); }
    void Seek(int64_t position, int64_t) override {
        ++seeks;
        position_ = static_cast<uint64_t>(position);
    }
    int64_t Mark() override {
        if (failing) throw std::bad_alloc();
        return static_cast<int64_t>(position_);
    }

    bool failing = false;

private:
    std::string* data_;
    uint64_t position_ = 0;
};

class HostStreamsTest : public LinkedLibraryTest {};

TEST_F(HostStreamsTest, ALibraryStreamServesTheHostThroughTheCallbacks) {
    std::string data = "hello";
    StringStream::deleted = 0;
    {
        const Ref stream = Ref::Take(NewHostStreamFromClient(new StringStream(&data)));
        ASSERT_TRUE(stream);
        const HostStreamRef ref(stream.get());
        char buffer[8] = {};
        EXPECT_EQ(ref.Read(buffer, 8), 5u) << "a short count is passed on unchanged";
        EXPECT_STREQ(buffer, "hello");
        ref.Seek(0, 0);
        ref.Write("J", 1);
        EXPECT_EQ(data, "Jello");
        EXPECT_EQ(ref.Mark(), 1);

        // The default Rewind is Seek(0, 0).
        StringStream::seeks = 0;
        auto rewind = qeltest::MethodOf<contract::QELRewindableStream::Rewind>(stream.get());
        EXPECT_EQ(rewind(stream.get()), nullptr);
        EXPECT_EQ(StringStream::seeks, 1);
        EXPECT_EQ(ref.Mark(), 0);
    }
    EXPECT_EQ(StringStream::deleted, 1) << "the host's destroy deletes the object once";
}

TEST_F(HostStreamsTest, CallbacksTurnFailuresIntoErrorsAndClearTheirOutputs) {
    std::string data = "abc";
    auto* object = new StringStream(&data);
    const Ref stream = Ref::Take(NewHostStreamFromClient(object));
    ASSERT_TRUE(stream);
    object->failing = true;
    auto mark = qeltest::MethodOf<contract::QELPositionableStream::Mark>(stream.get());
    auto read = qeltest::MethodOf<contract::QELSimpleStream::Read>(stream.get());
    auto release = host().Get<contract::QELErrorInterface::Release>();
    auto component =
        host().Get<contract::QELErrorInterface::GetComponent>();
    auto id = host().Get<contract::QELErrorInterface::GetID>();
    auto text = host().Get<contract::QELStringInterface::GetCString>();

    int64_t position = 99;
    QELErrorHandle e = mark(stream.get(), &position);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(position, 0);
    EXPECT_STREQ(text(component(e)), "DWE");
    EXPECT_EQ(id(e), 1u) << "out of memory leaves as core error 1";
    release(e);

    uint64_t count = 99;
    char buffer[4];
    e = read(stream.get(), &count, buffer, 4);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(count, 0u);
    release(e);
}

TEST_F(HostStreamsTest, ARefusedPublicationDeletesTheObjectOnceAndThrows) {
    std::string data;
    StringStream::deleted = 0;
    auto* object = new StringStream(&data);
    host().FailAllocation(1);
    EXPECT_THROW(NewHostStreamFromClient(object), std::bad_alloc);
    EXPECT_EQ(StringStream::deleted, 1);
}

TEST_F(HostStreamsTest, AStreamFactoryThatCannotBeHadGivesNull) {
    std::string data;
    StringStream::deleted = 0;
    auto* object = new StringStream(&data);
    Terminate();
    host().BumpUnregisterCounter();
    EXPECT_EQ(NewHostStreamFromClient(object), nullptr);
    EXPECT_EQ(StringStream::deleted, 1);
}

TEST_F(HostStreamsTest, AStreamOfTooFewTablesIsGivenBack) {
    host().HideStreamMethods(qelhost::StreamMethod::CreateIndependentlyRewindableStream);
    const Ref stream = Ref::Take(host().NewMemoryStream("x"));
    const int64_t containers = host().books().containers;
    try {
        const HostStreamRef ref(stream.get());
        ADD_FAILURE() << "expected invalid container";
    } catch (const CQELError& e) {
        EXPECT_STREQ(e.what(), "invalid container");
    }
    EXPECT_EQ(host().books().containers, containers);
    host().UnhideAll();
}

}  // namespace
