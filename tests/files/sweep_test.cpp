// Directory procedures, temporary-file streams and their callbacks under
// host allocation and stream faults: each failed call returns exactly one
// error and reports nothing; the serializer on a temporary-file stream
// reports once; nothing is kept, and no file but the documented one stays.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "fault_sweep.h"
#include "files_fixture.h"

namespace {

using qelhost::pos::Atom;
using qelhost::pos::Ref;
using qeltest::Failure;
using qeltest::Outcome;
using qeltest::SweepCase;
using qeltest::SweepRow;
using qeltest::Trial;
namespace fs = std::filesystem;

// The methods of a stream that the library publishes through the host. All
// such streams are of one kind, so they are looked up once.
struct StreamProcs final {
    QELSimpleStreamReadProc read = nullptr;
    QELSimpleStreamWriteProc write = nullptr;
    QELRewindableStreamCreateIndependentlyRewindableStreamProc rewindableCopy = nullptr;
    QELRewindableStreamRewindProc rewind = nullptr;
    QELPositionableStreamCreateIndependentlyPositionableStreamProc positionableCopy = nullptr;
    QELPositionableStreamMarkProc mark = nullptr;
    QELPositionableStreamSeekProc seek = nullptr;
};

class FilesSweep : public qeltest::FilesTest, public ::testing::WithParamInterface<SweepCase<FilesSweep>> {
public:
    using FilesTest::delete_;
    using FilesTest::fileExists_;
    using FilesTest::getCurrent_;
    using FilesTest::getTempDir_;
    using FilesTest::host;
    using FilesTest::newDir_;
    using FilesTest::pathSpec_;
    using FilesTest::rename_;
    using FilesTest::unique_;

    void SetUp() override {
        FilesTest::SetUp();
        if (HasFatalFailure()) return;
        factory_ = host().Get<contract::QELUtilsTempFileStreamFactory::NewTempFileStream>();
        ASSERT_NE(factory_, nullptr);
        const Ref stream = NewStream();
        ASSERT_TRUE(stream);
        const auto getMethod = host().Get<contract::QELContainerInterface::GetMethod>();
        Find<contract::QELSimpleStream::Read>(getMethod, stream, procs_.read);
        Find<contract::QELSimpleStream::Write>(getMethod, stream, procs_.write);
        Find<contract::QELRewindableStream::CreateIndependentlyRewindableStream>(getMethod, stream,
                                                                                procs_.rewindableCopy);
        Find<contract::QELRewindableStream::Rewind>(getMethod, stream, procs_.rewind);
        Find<contract::QELPositionableStream::CreateIndependentlyPositionableStream>(getMethod, stream,
                                                                                    procs_.positionableCopy);
        Find<contract::QELPositionableStream::Mark>(getMethod, stream, procs_.mark);
        Find<contract::QELPositionableStream::Seek>(getMethod, stream, procs_.seek);
    }

    // A stream's procedure of a row of the stream method tables.
    template <auto Row>
    static void Find(contract::ProcType<contract::QELContainerInterface::GetMethod> getMethod, const Ref& stream,
                     contract::ProcType<Row>& proc) {
        const contract::Row& row = contract::TableOf<Row>::kRows[Row];
        void* found = nullptr;
        ASSERT_EQ(getMethod(&found, stream.get(), Atom(row.methodName).get(), Atom(row.procTypeName).get(), 0),
                  nullptr);
        ASSERT_NE(found, nullptr) << row.methodName;
        proc = reinterpret_cast<contract::ProcType<Row>>(found);
    }

    const StreamProcs& procs() const { return procs_; }
    const Ref& dir() const { return dir_; }
    fs::path Here(const char* name) const { return private_ / name; }
    std::string TempText() const { return tempText_; }

    // Function objects copy what they capture: atoms are shared.
    static std::shared_ptr<Atom> MakeAtom(const std::string& text) { return std::make_shared<Atom>(text); }

    void Touch(const char* name, const std::string& bytes = {}) {
        std::ofstream(Here(name), std::ios::binary | std::ios::trunc) << bytes;
    }
    // Whatever a failed call left in the private directory.
    void Clear() {
        for (const auto& entry : fs::directory_iterator(private_)) fs::remove_all(entry.path());
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(private_)) names.push_back(entry.path().filename().string());
        return names;
    }

    std::string AtomText(QELStringAtom atom) { return TakeAtom(atom); }

    Ref NewStream() {
        QELContainerHandle out = nullptr;
        EXPECT_EQ(factory_(&out, "tmp", "dat", "w+b"), nullptr);
        return Ref::Take(out);
    }

    // A temporary-file stream holding bytes, standing at 0.
    Ref StreamWith(const std::string& bytes) {
        Ref stream = NewStream();
        EXPECT_EQ(procs_.write(stream.get(), bytes.data(), bytes.size()), nullptr);
        EXPECT_EQ(procs_.seek(stream.get(), 0, 0), nullptr);
        return stream;
    }
    std::string ReadAll(QELContainerHandle stream) {
        std::string out;
        char buffer[64];
        uint64_t n = 0;
        while (procs_.read(stream, &n, buffer, sizeof buffer) == nullptr && n > 0) out.append(buffer, n);
        return out;
    }

    _QELUtilsNewTempFileStreamProc_NewTempFileStream factory_ = nullptr;

private:
    StreamProcs procs_;
};

// A directory procedure that hands out a directory handle.
Trial NewDirectory(FilesSweep& t, std::function<QELErrorHandle(QELContainerHandle*)> call) {
    const auto out = std::make_shared<Ref>();
    return {[&t, call, out] {
                QELContainerHandle handle = nullptr;
                const Outcome o = Outcome::Error(call(&handle));
                if (!o.failed)
                    *out = Ref::Take(handle);
                else
                    EXPECT_EQ(handle, nullptr) << "an out argument written by a failed call";
                return o;
            },
            [&t, out] {
                QELStringAtom path = nullptr;
                EXPECT_EQ(t.pathSpec_(&path, out->get(), Atom("x").get()), nullptr);
                EXPECT_FALSE(t.AtomText(path).empty());
            }};
}

// A stream callback, called through the host on a fresh temporary-file
// stream that holds "0123456789" and stands at 0.
Trial OnStream(FilesSweep& t, std::function<QELErrorHandle(QELContainerHandle)> call,
               std::function<void(QELContainerHandle)> verify) {
    const Ref stream = t.StreamWith("0123456789");
    return {[stream, call] { return Outcome::Error(call(stream.get())); }, [stream, verify] { verify(stream.get()); }};
}

// A copy made by one of the two copying callbacks reads the whole file.
Trial Copying(FilesSweep& t, std::function<QELErrorHandle(QELContainerHandle, QELContainerHandle*)> copy) {
    const Ref stream = t.StreamWith("0123456789");
    const auto out = std::make_shared<Ref>();
    return {[stream, copy, out] {
                QELContainerHandle handle = nullptr;
                const Outcome o = Outcome::Error(copy(stream.get(), &handle));
                if (!o.failed) *out = Ref::Take(handle);
                return o;
            },
            [&t, stream, out] {
                EXPECT_EQ(t.ReadAll(out->get()), "0123456789");
                EXPECT_EQ(t.ReadAll(stream.get()), "0123456789") << "the first stream reads on";
            },
            [&t, stream] {
                EXPECT_EQ(t.ReadAll(stream.get()), "0123456789") << "a failed copy spoils nothing";
                EXPECT_EQ(t.procs().seek(stream.get(), 0, 0), nullptr);
            }};
}

const SweepRow<FilesSweep> kRows[] = {
    // Directory procedures
    {"GetTempDir", Failure::Returned,
     [](FilesSweep& t) { return NewDirectory(t, [&t](QELContainerHandle* out) { return t.getTempDir_(out); }); }},
    {"GetCurrent", Failure::Returned,
     [](FilesSweep& t) { return NewDirectory(t, [&t](QELContainerHandle* out) { return t.getCurrent_(out); }); }},
    {"NewQELUtilsDir", Failure::Returned,
     [](FilesSweep& t) {
         const auto path = FilesSweep::MakeAtom(t.TempText());
         return NewDirectory(t, [&t, path](QELContainerHandle* out) { return t.newDir_(out, path->get()); });
     }},
    {"FileExists", Failure::Returned,
     [](FilesSweep& t) {
         t.Touch("present");
         const auto name = FilesSweep::MakeAtom("present");
         const auto flag = std::make_shared<uint8_t>(7);
         return Trial{
             [&t, name, flag] { return Outcome::Error(t.fileExists_(flag.get(), t.dir().get(), name->get())); },
             [&t, flag] {
                 EXPECT_EQ(*flag, 1);
                 t.Clear();
             },
             [flag] { EXPECT_EQ(*flag, 7) << "an out argument written by a failed call"; }};
     }},
    {"Delete", Failure::Returned,
     [](FilesSweep& t) {
         t.Touch("victim");
         const auto name = FilesSweep::MakeAtom("victim");
         return Trial{[&t, name] { return Outcome::Error(t.delete_(t.dir().get(), name->get())); },
                      [&t] { EXPECT_TRUE(t.Names().empty()); },
                      [&t] { EXPECT_EQ(t.Names(), std::vector<std::string>{"victim"}); }};
     }},
    {"Rename", Failure::Returned,
     [](FilesSweep& t) {
         t.Touch("old", "contents");
         const auto from = FilesSweep::MakeAtom("old");
         const auto to = FilesSweep::MakeAtom("new");
         return Trial{[&t, from, to] { return Outcome::Error(t.rename_(t.dir().get(), from->get(), to->get())); },
                      [&t] {
                          EXPECT_EQ(t.Names(), std::vector<std::string>{"new"});
                          t.Clear();
                      },
                      [&t] { EXPECT_EQ(t.Names(), std::vector<std::string>{"old"}); }};
     }},
    {"GetFilePathSpec", Failure::Returned,
     [](FilesSweep& t) {
         const auto name = FilesSweep::MakeAtom("a.txt");
         const auto out = std::make_shared<QELStringAtom>(nullptr);
         return Trial{[&t, name, out] { return Outcome::Error(t.pathSpec_(out.get(), t.dir().get(), name->get())); },
                      [&t, out] {
                          const std::string path = t.AtomText(*out);
                          EXPECT_EQ(path.substr(path.size() - 6), "\\a.txt");
                      },
                      [out] { EXPECT_EQ(*out, nullptr); }};
     }},
    // A name claimed before a later step fails stays behind as an empty
    // file: the caller cannot know it, but it holds nothing.
    {"CreateUniqueFilename", Failure::Returned,
     [](FilesSweep& t) {
         const auto prefix = FilesSweep::MakeAtom("tmp");
         const auto extension = FilesSweep::MakeAtom("dat");
         const auto out = std::make_shared<QELStringAtom>(nullptr);
         return Trial{[&t, prefix, extension, out] {
                          return Outcome::Error(t.unique_(out.get(), t.dir().get(), prefix->get(), extension->get()));
                      },
                      [&t, out] {
                          EXPECT_EQ(t.AtomText(*out), "tmp00000000.dat");
                          EXPECT_EQ(t.Names(), std::vector<std::string>{"tmp00000000.dat"});
                          t.Clear();
                      },
                      [&t, out] {
                          EXPECT_EQ(*out, nullptr);
                          t.Clear();
                      }};
     }},

    // The stream factory: on a failure after the name was claimed, the empty
    // file stays, as documented.
    {"NewTempFileStream", Failure::Returned,
     [](FilesSweep& t) {
         const auto out = std::make_shared<Ref>();
         return Trial{[&t, out] {
                          QELContainerHandle handle = nullptr;
                          const Outcome o = Outcome::Error(t.factory_(&handle, "tmp", "dat", "w+b"));
                          if (!o.failed)
                              *out = Ref::Take(handle);
                          else
                              EXPECT_EQ(handle, nullptr);
                          return o;
                      },
                      [&t, out] {
                          EXPECT_EQ(t.Names(), std::vector<std::string>{"tmp00000000.dat"});
                          EXPECT_EQ(t.procs().write(out->get(), "abc", 3), nullptr);
                          EXPECT_EQ(t.procs().rewind(out->get()), nullptr);
                          EXPECT_EQ(t.ReadAll(out->get()), "abc");
                          out->reset();
                          EXPECT_TRUE(t.Names().empty()) << "deleted with its stream";
                      },
                      [&t] {
                          const std::vector<std::string> left = t.Names();
                          EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"tmp00000000.dat"});
                          t.Clear();
                      }};
     }},

    // The seven stream callbacks, as the host calls them.
    {"StreamRead", Failure::Returned,
     [](FilesSweep& t) {
         const auto read = std::make_shared<std::string>();
         return OnStream(
             t,
             [&t, read](QELContainerHandle s) {
                 char buffer[16];
                 uint64_t n = 99;
                 const QELErrorHandle e = t.procs().read(s, &n, buffer, 4);
                 if (e == nullptr) read->assign(buffer, n);
                 return e;
             },
             [read](QELContainerHandle) { EXPECT_EQ(*read, "0123"); });
     }},
    {"StreamWrite", Failure::Returned,
     [](FilesSweep& t) {
         return OnStream(
             t, [&t](QELContainerHandle s) { return t.procs().write(s, "abc", 3); },
             [&t](QELContainerHandle s) {
                 EXPECT_EQ(t.procs().seek(s, 0, 0), nullptr);
                 EXPECT_EQ(t.ReadAll(s), "abc3456789");
             });
     }},
    {"StreamRewind", Failure::Returned,
     [](FilesSweep& t) {
         const Ref stream = t.StreamWith("0123456789");
         t.ReadAll(stream.get());
         return Trial{[&t, stream] { return Outcome::Error(t.procs().rewind(stream.get())); },
                      [&t, stream] { EXPECT_EQ(t.ReadAll(stream.get()), "0123456789"); }};
     }},
    {"StreamSeek", Failure::Returned,
     [](FilesSweep& t) {
         return OnStream(
             t, [&t](QELContainerHandle s) { return t.procs().seek(s, 7, 0); },
             [&t](QELContainerHandle s) { EXPECT_EQ(t.ReadAll(s), "789"); });
     }},
    {"StreamMark", Failure::Returned,
     [](FilesSweep& t) {
         const auto position = std::make_shared<int64_t>(-1);
         const Ref stream = t.StreamWith("0123456789");
         EXPECT_EQ(t.procs().seek(stream.get(), 4, 0), nullptr);
         return Trial{[&t, stream, position] { return Outcome::Error(t.procs().mark(stream.get(), position.get())); },
                      [position] { EXPECT_EQ(*position, 4); },
                      [position] { EXPECT_EQ(*position, 0) << "a failed Mark leaves 0"; }};
     }},
    {"StreamCreateIndependentlyPositionableStream", Failure::Returned,
     [](FilesSweep& t) {
         return Copying(
             t, [&t](QELContainerHandle s, QELContainerHandle* out) { return t.procs().positionableCopy(s, out); });
     }},
    {"StreamCreateIndependentlyRewindableStream", Failure::Returned,
     [](FilesSweep& t) {
         return Copying(
             t, [&t](QELContainerHandle s, QELContainerHandle* out) { return t.procs().rewindableCopy(s, out); });
     }},
    // Destruction has no way to fail: whatever fails in it is ignored, the
    // file at worst stays, and nothing is kept.
    {"StreamDestroy", Failure::Silent,
     [](FilesSweep& t) {
         const auto stream = std::make_shared<Ref>(t.StreamWith("0123456789"));
         return Trial{[stream] {
                          stream->reset();
                          return Outcome::Done();
                      },
                      [&t] {
                          const std::vector<std::string> left = t.Names();
                          EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"tmp00000000.dat"});
                          t.Clear();
                      }};
     }},

    // The serializer on a temporary-file stream: a failure in the file
    // stream beneath comes back through the callbacks and is reported once.
    {"SerializeThroughATemporaryFile", Failure::Reported,
     [](FilesSweep& t) {
         auto make = t.host().Get<contract::POSStreamerInterface::NewPOSStreamer>();
         auto serialize =
             t.host().Get<contract::POSStreamerInterface::Serialize>();
         auto deserialize = t.host().Get<contract::POSStreamerInterface::Deserialize>();
         qelhost::pos::Client pos(t.host());
         std::string text = "<list [";
         for (int i = 0; i < 80; ++i) text += "(item " + std::to_string(i) + ") ";
         text += "] n 1.5>";
         const Ref doc = pos.FromText(text.c_str());
         const Ref streamer = Ref::Take(make());
         const Ref stream = t.NewStream();
         return Trial{[=] { return Outcome::Value(serialize(streamer.get(), stream.get(), doc.get(), nullptr) == 1); },
                      [&t, deserialize, doc, streamer, stream] {
                          EXPECT_EQ(t.procs().rewind(stream.get()), nullptr);
                          const Ref back = Ref::Take(deserialize(streamer.get(), stream.get()));
                          ASSERT_TRUE(back);
                          EXPECT_TRUE(qelhost::pos::Client(t.host()).IsEqual(back, doc));
                      },
                      {},
                      false};  // part written: not made again on the same stream
     }},
};

TEST_P(FilesSweep, FailsCleanly) {
    qeltest::RunSweepCase(*this, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Procedures, FilesSweep, ::testing::ValuesIn(qeltest::SweepCases(kRows)),
                         qeltest::SweepCaseName<FilesSweep>);

}  // namespace
