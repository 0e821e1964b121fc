// The serializer's procedures under host allocation and stream faults, on
// memory and file streams: one report per failed call, nothing kept.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "fault_sweep.h"
#include "streamer_fixture.h"

namespace {

using qelhost::pos::Ref;
using qeltest::Failure;
using qeltest::Outcome;
using qeltest::SweepCase;
using qeltest::SweepRow;
using qeltest::Trial;

constexpr const char kVersion[] = "POSStreamerTypeA_Version1.0";
// A failed call leaves its stream part written or part read: it is not
// made again on the same stream.
constexpr bool kConsumed = false;

class SerializerSweep : public qeltest::StreamerTest, public ::testing::WithParamInterface<SweepCase<SerializerSweep>> {
public:
    using StreamerTest::host;
    using StreamerTest::MemoryStream;
    using StreamerTest::pos;

    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("qelutils-sweep-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
        StreamerTest::SetUp();
        if (HasFatalFailure()) return;
        document_ = Document();
        bytes_ = Write(document_).bytes;
        ASSERT_GT(bytes_.size(), 1024u) << "the body spans several output buffers";
    }
    void TearDown() override {
        document_.reset();
        StreamerTest::TearDown();
        std::filesystem::remove_all(dir_);
    }

    // Every kind of value, more than two output buffers long.
    Ref Document() {
        std::string text = "<numbers [";
        for (int i = 0; i < 50; ++i) text += std::to_string(i * 1.5) + " (word " + std::to_string(i) + ") ";
        text += "] words [(one two) three (four\\) five)] unicode `00410042` nested <a <b <c []>>>>";
        const Ref doc = Parse(text.c_str());
        pos().Put(doc, "bytes", pos().BinData("blob", std::string("\x00\x01\xff binary", 10)));
        return doc;
    }

    const Ref& document() const { return document_; }
    const std::string& bytes() const { return bytes_; }
    QELContainerHandle streamer() const { return streamer_.get(); }
    POSStreamerSerializeProc serialize() const { return serialize_; }
    POSStreamerDeserializeProc deserialize() const { return deserialize_; }
    std::string Path() const { return (dir_ / "value.typea").string(); }
    std::string Contents(const Ref& stream) { return host().MemoryStreamContents(stream.get()); }

    Ref FileStream(const char* mode) {
        std::string error;
        Ref stream = Ref::Take(host().NewFileStream(Path(), mode, &error));
        EXPECT_TRUE(stream) << error;
        return stream;
    }
    void WriteFile(const std::string& bytes) { std::ofstream(Path(), std::ios::binary | std::ios::trunc) << bytes; }
    std::string ReadFile() {
        std::ifstream in(Path(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Deserialize from a stream: on success the value read is the document.
    Trial Reading(Ref stream) {
        const auto out = std::make_shared<Ref>();
        return {[this, stream, out] {
                    *out = Ref::Take(deserialize_(streamer_.get(), stream.get()));
                    return Outcome::Value(bool(*out));
                },
                [this, out] { EXPECT_TRUE(pos().IsEqual(*out, document_)); },
                {},
                kConsumed};
    }

private:
    std::filesystem::path dir_;
    Ref document_;
    std::string bytes_;
};

const SweepRow<SerializerSweep> kRows[] = {
    {"NewPOSStreamer", Failure::Reported,
     [](SerializerSweep& t) {
         auto make = t.host().Get<contract::POSStreamerInterface::NewPOSStreamer>();
         const auto out = std::make_shared<Ref>();
         return Trial{[make, out] {
                          *out = Ref::Take(make());
                          return Outcome::Value(bool(*out));
                      },
                      [&t, out] {
                          const Ref stream = t.MemoryStream();
                          EXPECT_EQ(t.serialize()(out->get(), stream.get(), t.pos().Number(1).get(), nullptr), 1);
                      }};
     }},
    // The version named by the caller is looked up in the table of formats.
    {"SerializeNamedVersionToMemory", Failure::Reported,
     [](SerializerSweep& t) {
         const Ref stream = t.MemoryStream();
         return Trial{
             [&t, stream] {
                 return Outcome::Value(t.serialize()(t.streamer(), stream.get(), t.document().get(), kVersion) == 1);
             },
             [&t, stream] { EXPECT_EQ(t.Contents(stream), t.bytes()); },
             {},
             kConsumed};
     }},
    {"SerializeToFile", Failure::Reported,
     [](SerializerSweep& t) {
         const auto stream = std::make_shared<Ref>(t.FileStream("wb"));
         return Trial{
             [&t, stream] {
                 return Outcome::Value(t.serialize()(t.streamer(), stream->get(), t.document().get(), nullptr) == 1);
             },
             [&t, stream] {
                 stream->reset();  // closes the file
                 EXPECT_EQ(t.ReadFile(), t.bytes());
             },
             {},
             kConsumed};
     }},
    // The header names the format to read with.
    {"DeserializeFromMemory", Failure::Reported,
     [](SerializerSweep& t) { return t.Reading(t.MemoryStream(t.bytes())); }},
    {"DeserializeFromFile", Failure::Reported,
     [](SerializerSweep& t) {
         t.WriteFile(t.bytes());
         return t.Reading(t.FileStream("rb"));
     }},
    {"DeserializeTwoInARow", Failure::Reported,
     [](SerializerSweep& t) {
         const Ref stream = t.MemoryStream(t.bytes() + t.bytes());
         const auto first = std::make_shared<Ref>();
         const auto second = std::make_shared<Ref>();
         return Trial{[&t, stream, first, second] {
                          *first = Ref::Take(t.deserialize()(t.streamer(), stream.get()));
                          if (!*first) return Outcome::Value(false);
                          *second = Ref::Take(t.deserialize()(t.streamer(), stream.get()));
                          return Outcome::Value(bool(*second));
                      },
                      [&t, first, second] {
                          EXPECT_TRUE(t.pos().IsEqual(*first, t.document()));
                          EXPECT_TRUE(t.pos().IsEqual(*second, t.document()));
                      },
                      {},
                      kConsumed};
     }},
};

TEST_P(SerializerSweep, FailsCleanly) {
    const uint64_t struck = qeltest::RunSweepCase(*this, GetParam());
    if (GetParam().fault == qeltest::Fault::Allocation) {
        EXPECT_GT(struck, 0u) << "every row allocates";
    }
}

INSTANTIATE_TEST_SUITE_P(Procedures, SerializerSweep, ::testing::ValuesIn(qeltest::SweepCases(kRows)),
                         qeltest::SweepCaseName<SerializerSweep>);

}  // namespace
