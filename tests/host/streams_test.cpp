// The host's streams, driven as a component drives them: factory rows from the
// resolver, methods from the container GetMethod, references by AddRef and
// Release. The fixture proves the books are back to zero after every test.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <stdexcept>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host_fixture.h"

namespace {

using qelhost::ContainerRef;
using qelhost::StreamMethod;

// The seven methods of a stream, as GetMethod gives them.
struct Methods final {
    QELSimpleStreamReadProc read = nullptr;
    QELSimpleStreamWriteProc write = nullptr;
    QELRewindableStreamCreateIndependentlyRewindableStreamProc createRewindable = nullptr;
    QELRewindableStreamRewindProc rewind = nullptr;
    QELPositionableStreamCreateIndependentlyPositionableStreamProc createPositionable = nullptr;
    QELPositionableStreamMarkProc mark = nullptr;
    QELPositionableStreamSeekProc seek = nullptr;
};

using Simple = contract::QELSimpleStream;
using Rewindable = contract::QELRewindableStream;
using Positionable = contract::QELPositionableStream;
using qeltest::RowOf;

// The seven methods of every stream: the rows of its three tables.
std::vector<contract::Row> StreamRows() {
    std::vector<contract::Row> rows(Simple::kRows, Simple::kRows + Simple::kCount);
    rows.insert(rows.end(), Rewindable::kRows, Rewindable::kRows + Rewindable::kCount);
    rows.insert(rows.end(), Positionable::kRows, Positionable::kRows + Positionable::kCount);
    return rows;
}

// What a stream call gave: its error (taken and released) or success.
struct Outcome final {
    bool ok = true;
    std::string message;
    std::string component;
    uint32_t id = 0;
};

// ---------------------------------------------------------------- a library stream
// Stands for a stream the library implements and publishes: every callback
// is logged, and a test may make the next callback return an error.
struct LibraryStreams final {
    std::vector<std::string> calls;
    QELErrorHandle nextError = nullptr;  // returned (once) by the next callback
    bool copyGivesNothing = false;
    int made = 0;
    int destroyed = 0;
};

struct LibraryStream final {
    LibraryStreams* all;
    int id;
};

LibraryStream* L(void* object) { return static_cast<LibraryStream*>(object); }

QELErrorHandle Log(void* object, const std::string& call) {
    LibraryStream* s = L(object);
    s->all->calls.push_back(std::to_string(s->id) + ":" + call);
    QELErrorHandle e = s->all->nextError;
    s->all->nextError = nullptr;
    return e;
}

QELErrorHandle LibRead(void* object, uint64_t* count, void* buffer, uint64_t size) {
    if (QELErrorHandle e = Log(object, "Read " + std::to_string(size))) return e;
    // Fewer than asked, so that the count is seen to pass unchanged.
    *count = size / 2;
    std::memset(buffer, '0' + L(object)->id, static_cast<size_t>(*count));
    return nullptr;
}
QELErrorHandle LibWrite(void* object, const void* data, uint64_t size) {
    return Log(object, "Write " + std::string(static_cast<const char*>(data), static_cast<size_t>(size)));
}
QELErrorHandle LibCopy(void* object, void** out, const char* how) {
    if (QELErrorHandle e = Log(object, how)) return e;
    LibraryStream* s = L(object);
    *out = s->all->copyGivesNothing ? nullptr : new LibraryStream{s->all, ++s->all->made};
    return nullptr;
}
QELErrorHandle LibCreateRewindable(void* object, void** out) { return LibCopy(object, out, "CreateRewindable"); }
QELErrorHandle LibCreatePositionable(void* object, void** out) { return LibCopy(object, out, "CreatePositionable"); }
QELErrorHandle LibRewind(void* object) { return Log(object, "Rewind"); }
QELErrorHandle LibMark(void* object, int64_t* position) {
    if (QELErrorHandle e = Log(object, "Mark")) return e;
    *position = 1000 + L(object)->id;
    return nullptr;
}
QELErrorHandle LibSeek(void* object, int64_t position, int64_t origin) {
    return Log(object, "Seek " + std::to_string(position) + " " + std::to_string(origin));
}
void LibDestroy(void* object) {
    LibraryStream* s = L(object);
    s->all->calls.push_back(std::to_string(s->id) + ":destroy");
    ++s->all->destroyed;
    delete s;
}

// The two kinds whose data the host holds.
enum class Kind { Memory, File };
const Kind kDataKinds[] = {Kind::Memory, Kind::File};

// ---------------------------------------------------------------- the fixture
class StreamsTest : public qeltest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        if (HasFatalFailure()) return;
        qelhost::Host& h = host();
        newMemory_ = h.Get<contract::QELStreamFactoryInterface::NewPositionableMemoryStream>();
        newFile_ = h.Get<contract::QELStreamFactoryInterface::NewPositionableFileStream>();
        newClient_ = h.Get<contract::QELStreamFactoryInterface::NewClientPositionableStream>();
        addRef_ = h.Get<contract::QELContainerInterface::AddRef>();
        release_ = h.Get<contract::QELContainerInterface::Release>();
        getMethod_ = h.Get<contract::QELContainerInterface::GetMethod>();
        newAtom_ = h.Get<contract::QELStringInterface::NewStringAtom>();
        deleteAtom_ =
            h.Get<contract::QELStringInterface::DeleteStringAtom>();
        cString_ = h.Get<contract::QELStringInterface::GetCString>();
        newError_ = h.Get<contract::QELErrorInterface::NewError>();
        errorRelease_ = h.Get<contract::QELErrorInterface::Release>();
        errorMessage_ =
            h.Get<contract::QELErrorInterface::GetErrorMessage>();
        errorComponent_ =
            h.Get<contract::QELErrorInterface::GetComponent>();
        errorId_ = h.Get<contract::QELErrorInterface::GetID>();
        ASSERT_TRUE(newMemory_ && newFile_ && newClient_ && addRef_ && release_ && getMethod_ && newAtom_ &&
                    deleteAtom_ && cString_ && newError_ && errorRelease_ && errorMessage_ && errorComponent_ &&
                    errorId_);
        dir_ = std::filesystem::temp_directory_path() /
               ("qelhost-streams-" + std::to_string(std::random_device{}()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        HostTest::TearDown();
    }

    // ------------------------------------------------ as a component does it
    void* Method(QELContainerHandle stream, const char* method, const char* procType) {
        QELStringAtom m = newAtom_(method);
        QELStringAtom p = newAtom_(procType);
        void* proc = reinterpret_cast<void*>(1);
        const Outcome got = Take(getMethod_(&proc, stream, m, p, 0));
        deleteAtom_(m);
        deleteAtom_(p);
        EXPECT_TRUE(got.ok) << got.message;
        return proc;
    }

    void* Method(QELContainerHandle stream, const contract::Row& row) {
        return Method(stream, row.methodName, row.procTypeName);
    }
    template <auto Row>
    contract::ProcType<Row> TypedMethod(QELContainerHandle stream) {
        return reinterpret_cast<contract::ProcType<Row>>(Method(stream, RowOf<Row>()));
    }

    Methods MethodsOf(QELContainerHandle stream) {
        return {TypedMethod<Simple::Read>(stream),
                TypedMethod<Simple::Write>(stream),
                TypedMethod<Rewindable::CreateIndependentlyRewindableStream>(stream),
                TypedMethod<Rewindable::Rewind>(stream),
                TypedMethod<Positionable::CreateIndependentlyPositionableStream>(stream),
                TypedMethod<Positionable::Mark>(stream),
                TypedMethod<Positionable::Seek>(stream)};
    }

    Outcome Take(QELErrorHandle error) {
        Outcome o;
        if (error == nullptr) return o;
        o.ok = false;
        o.message = cString_(errorMessage_(error));
        o.component = cString_(errorComponent_(error));
        o.id = errorId_(error);
        errorRelease_(error);
        return o;
    }

    // A stream held as a component holds it: one reference, seven methods.
    struct Held final {
        ContainerRef ref;
        Methods m;
        QELContainerHandle h() const { return ref.get(); }
    };

    Held Hold(QELContainerHandle stream) {
        Held held{ContainerRef(stream), {}};
        if (held.ref) held.m = MethodsOf(stream);
        return held;
    }

    Held NewMemory() {
        QELContainerHandle out = nullptr;
        const Outcome got = Take(newMemory_(&out));
        EXPECT_TRUE(got.ok) << got.message;
        return Hold(out);
    }

    Held OpenFile(const std::string& path, const char* mode) {
        QELContainerHandle out = nullptr;
        const Outcome got = Take(newFile_(&out, path.c_str(), mode));
        EXPECT_TRUE(got.ok) << got.message;
        return Hold(out);
    }

    Held NewClient(LibraryStreams& all) {
        auto* object = new LibraryStream{&all, ++all.made};
        QELContainerHandle out = nullptr;
        const Outcome got = Take(newClient_(&out, object, &LibRead, &LibWrite, &LibCreateRewindable, &LibRewind,
                                            &LibCreatePositionable, &LibMark, &LibSeek, &LibDestroy));
        EXPECT_TRUE(got.ok) << got.message;
        return Hold(out);
    }

    // ------------------------------------------------ calls, checked
    std::string Read(const Held& s, uint64_t size) {
        std::string buffer(static_cast<size_t>(size), '\xEE');
        uint64_t count = 99;
        const Outcome got = Take(s.m.read(s.h(), &count, buffer.data(), size));
        EXPECT_TRUE(got.ok) << got.message;
        EXPECT_LE(count, size);
        buffer.resize(static_cast<size_t>(std::min(count, size)));
        return buffer;
    }
    void Write(const Held& s, std::string_view bytes) {
        const Outcome got = Take(s.m.write(s.h(), bytes.data(), bytes.size()));
        EXPECT_TRUE(got.ok) << got.message;
    }
    int64_t Mark(const Held& s) {
        int64_t position = -99;
        const Outcome got = Take(s.m.mark(s.h(), &position));
        EXPECT_TRUE(got.ok) << got.message;
        return position;
    }
    Outcome Seek(const Held& s, int64_t position, int64_t origin) { return Take(s.m.seek(s.h(), position, origin)); }
    Held Copy(const Held& s, bool positionable) {
        QELContainerHandle out = nullptr;
        const Outcome got =
            Take(positionable ? s.m.createPositionable(s.h(), &out) : s.m.createRewindable(s.h(), &out));
        EXPECT_TRUE(got.ok) << got.message;
        return Hold(out);
    }

    // ------------------------------------------------ files
    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
    static void WriteFile(const std::string& path, std::string_view bytes) {
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static std::string ReadWhole(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // A positionable stream of either host kind holding bytes, at position 0.
    Held WithBytes(Kind kind, std::string_view bytes) {
        if (kind == Kind::File) {
            const std::string path = PathOf("data.bin");
            WriteFile(path, bytes);
            return OpenFile(path, "r+b");
        }
        Held s = NewMemory();
        Write(s, bytes);
        EXPECT_TRUE(Seek(s, 0, 0).ok);
        return s;
    }
    static const char* NameOf(Kind kind) { return kind == Kind::File ? "file stream" : "memory stream"; }

    QELNewPositionableMemoryStreamProc newMemory_ = nullptr;
    QELNewPositionableFileStreamProc newFile_ = nullptr;
    QELNewClientPositionableStreamProc newClient_ = nullptr;
    QELAddRefContainerV2Proc addRef_ = nullptr;
    QELReleaseContainerProc release_ = nullptr;
    QELGetMethodV3Proc getMethod_ = nullptr;
    QELNewStringAtomProc newAtom_ = nullptr;
    QELDeleteStringAtomProc deleteAtom_ = nullptr;
    QELGetCStringProc cString_ = nullptr;
    QELNewErrorProc newError_ = nullptr;
    QELErrorReleaseProc errorRelease_ = nullptr;
    QELErrorGetMessageProc errorMessage_ = nullptr;
    QELErrorGetComponentProc errorComponent_ = nullptr;
    QELErrorGetIDProc errorId_ = nullptr;
    std::filesystem::path dir_;
};

// ---------------------------------------------------------------- the factory and the methods
TEST_F(StreamsTest, RowsTheLibraryNeverCallsRefuseWithAHostError) {
    using Factory = contract::QELStreamFactoryInterface;
    for (const contract::Row& row : {RowOf<Factory::NewPositionableBufferStream>(), RowOf<Factory::NewClientSimpleStream>(),
                                     RowOf<Factory::NewClientRewindableStream>()}) {
        SCOPED_TRACE(row.methodName);
        // Their C type is the host's business; this host gives each an out argument.
        auto proc = host().Get<QELNewPositionableMemoryStreamProc>(Factory::kName, row.methodName, row.procTypeName);
        ASSERT_NE(proc, nullptr);
        QELContainerHandle out = reinterpret_cast<QELContainerHandle>(&out);
        const Outcome got = Take(proc(&out));
        EXPECT_FALSE(got.ok);
        EXPECT_EQ(got.component, "HOST");
        EXPECT_NE(got.message.find("not supported"), std::string::npos) << got.message;
        EXPECT_EQ(out, nullptr);
    }
}

TEST_F(StreamsTest, EveryKindAnswersTheSevenMethodsOnlyUnderTheirProcTypes) {
    LibraryStreams library;
    Held memory = NewMemory();
    Held file = OpenFile(PathOf("f.bin"), "w+b");
    Held client = NewClient(library);
    for (const Held* s : {&memory, &file, &client}) {
        std::vector<void*> procs;
        for (const contract::Row& row : StreamRows()) {
            SCOPED_TRACE(row.methodName);
            void* proc = Method(s->h(), row);
            EXPECT_NE(proc, nullptr);
            procs.push_back(proc);
            EXPECT_EQ(Method(s->h(), row.methodName, (std::string(row.procTypeName) + "V2").c_str()), nullptr);
            EXPECT_EQ(Method(s->h(), row.methodName, RowOf<Simple::Write>().procTypeName) != nullptr,
                      std::strcmp(row.methodName, "Write") == 0);
        }
        std::sort(procs.begin(), procs.end());
        EXPECT_EQ(std::unique(procs.begin(), procs.end()), procs.end()) << "two methods share one procedure";
        EXPECT_EQ(Method(s->h(), "Flush", "QELSimpleStreamFlushProc"), nullptr);
    }
}

TEST_F(StreamsTest, EachKindHasItsOwnSignatureSharedWithinTheKind) {
    const int32_t offset = host().Get<contract::QELContainerInterface::GetOffsetToPrimaryInstance>()();
    auto signature = [&](const Held& s) {
        return reinterpret_cast<const QELPrimaryInstanceRecord*>(reinterpret_cast<const char*>(s.h()) + offset)
            ->signature;
    };
    LibraryStreams library;
    Held memory1 = NewMemory(), memory2 = NewMemory();
    Held file1 = OpenFile(PathOf("a.bin"), "wb"), file2 = OpenFile(PathOf("b.bin"), "wb");
    Held client1 = NewClient(library), client2 = NewClient(library);
    EXPECT_EQ(signature(memory1), signature(memory2));
    EXPECT_EQ(signature(file1), signature(file2));
    EXPECT_EQ(signature(client1), signature(client2));
    EXPECT_STRNE(signature(memory1), signature(file1));
    EXPECT_STRNE(signature(memory1), signature(client1));
    EXPECT_STRNE(signature(file1), signature(client1));
}

TEST_F(StreamsTest, AFreshStreamIsFloatingAndGoesWithItsDataOnRelease) {
    QELContainerHandle memory = nullptr, file = nullptr;
    ASSERT_TRUE(Take(newMemory_(&memory)).ok);
    ASSERT_TRUE(Take(newFile_(&file, PathOf("f.bin").c_str(), "wb")).ok);
    EXPECT_EQ(host().books().containers, 2);
    EXPECT_EQ(host().books().streamData, 1);
    EXPECT_EQ(host().books().openFiles, 1);
    release_(memory);  // nobody took a reference: destroyed outright
    release_(file);
    EXPECT_TRUE(host().books().AllZero()) << host().books().ToString();
}

// ---------------------------------------------------------------- memory and file streams alike
TEST_F(StreamsTest, ReadsComeShortOnlyAtTheEnd) {
    for (Kind kind : kDataKinds) {
        SCOPED_TRACE(NameOf(kind));
        Held s = WithBytes(kind, "0123456789");
        EXPECT_EQ(Read(s, 3), "012");
        EXPECT_EQ(Read(s, 3), "345");
        EXPECT_EQ(Read(s, 3), "678");
        EXPECT_EQ(Read(s, 3), "9");
        EXPECT_EQ(Read(s, 3), "");
        EXPECT_EQ(Read(s, 0), "");
        EXPECT_EQ(Mark(s), 10);
    }
}

TEST_F(StreamsTest, WritesOverwriteAndExtendAtThePosition) {
    for (Kind kind : kDataKinds) {
        SCOPED_TRACE(NameOf(kind));
        Held s = WithBytes(kind, "hello world");
        EXPECT_TRUE(Seek(s, 6, 0).ok);
        Write(s, "WORLD!!");
        EXPECT_EQ(Mark(s), 13);
        // Reading, then writing straight on, then reading again.
        EXPECT_TRUE(Seek(s, 0, 0).ok);
        EXPECT_EQ(Read(s, 2), "he");
        Write(s, "LL");
        EXPECT_EQ(Read(s, 3), "o W");
        // Past the end: the gap reads as zeros.
        EXPECT_TRUE(Seek(s, 2, 2).ok);
        Write(s, "x");
        EXPECT_EQ(Mark(s), 16);
        EXPECT_TRUE(s.m.rewind(s.h()) == nullptr);
        EXPECT_EQ(Mark(s), 0);
        EXPECT_EQ(Read(s, 100), std::string("heLLo WORLD!!\0\0x", 16));
    }
}

TEST_F(StreamsTest, SeekCountsFromStartCurrentOrEndAndRefusesToLandBeforeTheStart) {
    struct Row final {
        int64_t offset;
        int64_t origin;
        std::optional<int64_t> lands;  // none: refused, the position stays
    };
    const Row rows[] = {
        {3, 0, 3},   {0, 0, 0},    {15, 0, 15},    {-1, 0, {}},  {3, 1, 7},    {-4, 1, 0},
        {-5, 1, {}}, {0, 2, 10},   {-10, 2, 0},    {-11, 2, {}}, {2, 2, 12},   {0, 3, {}},
        {0, -1, {}}, {std::numeric_limits<int64_t>::max(), 1, {}},
    };
    for (Kind kind : kDataKinds) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(NameOf(kind)) + " seek " + std::to_string(row.offset) + " from " +
                         std::to_string(row.origin));
            Held s = WithBytes(kind, "0123456789");
            ASSERT_TRUE(Seek(s, 4, 0).ok);
            const Outcome got = Seek(s, row.offset, row.origin);
            EXPECT_EQ(got.ok, row.lands.has_value()) << got.message;
            EXPECT_EQ(Mark(s), row.lands.value_or(4));
            if (!got.ok) {
                EXPECT_EQ(got.component, "HOST");
            }
            if (row.lands && *row.lands >= 10) {
                EXPECT_EQ(Read(s, 5), "");
            }
        }
    }
}

TEST_F(StreamsTest, ReadLimitMakesReadsShortBeforeTheEnd) {
    for (Kind kind : kDataKinds) {
        SCOPED_TRACE(NameOf(kind));
        Held s = WithBytes(kind, "0123456789");
        host().LimitStreamReads(4);
        EXPECT_EQ(Read(s, 100), "0123");
        EXPECT_EQ(Read(s, 3), "456");
        EXPECT_EQ(Read(s, 100), "789");
        EXPECT_EQ(Read(s, 100), "");
        host().LimitStreamReads(0);
        ASSERT_TRUE(Seek(s, 0, 0).ok);
        EXPECT_EQ(Read(s, 100), "0123456789");
    }
}

// ---------------------------------------------------------------- memory streams
TEST_F(StreamsTest, MemoryCopiesShareTheBytesEachWithItsOwnPosition) {
    for (bool positionable : {false, true}) {
        SCOPED_TRACE(positionable ? "positionable copy" : "rewindable copy");
        Held a = NewMemory();
        Write(a, "abc");
        Held b = Copy(a, positionable);
        ASSERT_TRUE(b.ref);
        EXPECT_EQ(Mark(b), 0);
        EXPECT_EQ(Read(b, 2), "ab");
        Write(a, "def");
        EXPECT_EQ(Mark(a), 6);
        EXPECT_EQ(Read(b, 10), "cdef");
        Write(b, "XY");
        EXPECT_EQ(host().MemoryStreamContents(a.h()), "abcdefXY");
        EXPECT_EQ(Mark(a), 6);
        Held c = Copy(b, !positionable);
        EXPECT_EQ(Read(c, 100), "abcdefXY");
        EXPECT_EQ(host().books().streamData, 1);

        // The bytes outlive the stream they were written through.
        a.ref.reset();
        ASSERT_TRUE(Seek(b, 0, 0).ok);
        EXPECT_EQ(Read(b, 3), "abc");
        b.ref.reset();
        EXPECT_EQ(host().books().streamData, 1);
        c.ref.reset();
        EXPECT_TRUE(host().books().AllZero()) << host().books().ToString();
    }
}

TEST_F(StreamsTest, MemoryCopiesMayBeUsedFromTwoThreadsAtOnce) {
    Held writer = NewMemory();
    Held reader = Copy(writer, true);
    constexpr int kChunks = 2000;
    constexpr size_t kChunk = 37;  // odd, so that the buffer grows at odd sizes
    auto byteAt = [](size_t i) { return static_cast<char>('a' + i % 26); };
    // Stream methods fetched beforehand: GetMethod's checks are not for threads.
    const Methods w = writer.m, r = reader.m;
    const QELContainerHandle wh = writer.h(), rh = reader.h();
    std::atomic<bool> failed{false};
    std::thread producer([&] {
        std::string chunk(kChunk, ' ');
        for (int n = 0; n < kChunks; ++n) {
            for (size_t i = 0; i < kChunk; ++i) chunk[i] = byteAt(n * kChunk + i);
            if (w.write(wh, chunk.data(), chunk.size()) != nullptr) failed = true;
        }
    });
    std::string seen;
    char buffer[101];
    for (int spins = 0; seen.size() < kChunks * kChunk && spins < 10'000'000 && !failed; ++spins) {
        uint64_t count = 0;
        if (r.read(rh, &count, buffer, sizeof buffer) != nullptr) failed = true;
        seen.append(buffer, static_cast<size_t>(count));
    }
    producer.join();
    ASSERT_FALSE(failed);
    ASSERT_EQ(seen.size(), kChunks * kChunk);
    for (size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], byteAt(i)) << "at " << i;
}

TEST_F(StreamsTest, MemoryStreamsHonourAllocationFaults) {
    // Making one: every allocation it makes may fail, and then nothing is left.
    uint64_t failures = 0;
    for (uint64_t n = 1; n < 10; ++n) {
        host().FailAllocation(n);
        QELContainerHandle out = reinterpret_cast<QELContainerHandle>(&out);
        const Outcome got = Take(newMemory_(&out));
        host().FailAllocation(0);
        if (got.ok) {
            release_(out);
            break;
        }
        ++failures;
        EXPECT_EQ(got.component, "DWE");
        EXPECT_EQ(got.id, 1u);
        EXPECT_EQ(out, nullptr);
        EXPECT_TRUE(host().books().AllZero()) << host().books().ToString();
    }
    EXPECT_GE(failures, 1u);

    // Growing one: the bytes stay as they were.
    Held s = NewMemory();
    Write(s, "keep");
    host().FailAllocation(1);
    const std::string big(1 << 16, 'z');
    const Outcome got = Take(s.m.write(s.h(), big.data(), big.size()));
    host().FailAllocation(0);
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(got.component, "DWE");
    EXPECT_EQ(host().MemoryStreamContents(s.h()), "keep");
    EXPECT_EQ(Mark(s), 4);
    Write(s, big);
    EXPECT_EQ(host().MemoryStreamContents(s.h()).size(), 4 + big.size());

    // Copying one.
    host().FailAllocation(1);
    QELContainerHandle copy = reinterpret_cast<QELContainerHandle>(&copy);
    EXPECT_EQ(Take(s.m.createPositionable(s.h(), &copy)).component, "DWE");
    host().FailAllocation(0);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(host().books().containers, 1);
}

// ---------------------------------------------------------------- file streams
TEST_F(StreamsTest, FileModesReadWriteTruncateAndAppendAsFopen) {
    struct Row final {
        const char* mode;
        std::optional<std::string> readsAtStart;  // none: reading is refused
        bool writes;
        std::string fileAfter;  // after "xyz" is written at the start
    };
    const Row rows[] = {
        {"rb", "abcdef", false, "abcdef"},   {"r+b", "abcdef", true, "xyzdef"}, {"wb", {}, true, "xyz"},
        {"w+b", "", true, "xyz"},            {"ab", {}, true, "abcdefxyz"},    {"a+b", "abcdef", true, "abcdefxyz"},
        {"rb+", "abcdef", true, "xyzdef"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        const std::string path = PathOf("modes.bin");
        WriteFile(path, "abcdef");
        {
            Held s = OpenFile(path, row.mode);
            ASSERT_TRUE(s.ref);
            std::string buffer(16, '\0');
            uint64_t count = 0;
            const Outcome read = Take(s.m.read(s.h(), &count, buffer.data(), buffer.size()));
            EXPECT_EQ(read.ok, row.readsAtStart.has_value()) << read.message;
            if (read.ok) {
                EXPECT_EQ(buffer.substr(0, static_cast<size_t>(count)), *row.readsAtStart);
            }
            ASSERT_TRUE(Seek(s, 0, 0).ok);
            const Outcome wrote = Take(s.m.write(s.h(), "xyz", 3));
            EXPECT_EQ(wrote.ok, row.writes) << wrote.message;
            if (!wrote.ok) {
                EXPECT_EQ(wrote.component, "HOST");
            }
        }
        EXPECT_EQ(ReadWhole(path), row.fileAfter);
    }
}

TEST_F(StreamsTest, FilesThatCannotBeOpenedGiveAHostErrorAndNoStream) {
    const std::string missing = PathOf("missing.bin");
    QELContainerHandle out = reinterpret_cast<QELContainerHandle>(&out);
    Outcome got = Take(newFile_(&out, missing.c_str(), "rb"));
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(got.component, "HOST");
    EXPECT_NE(got.message.find(missing), std::string::npos) << got.message;
    EXPECT_NE(got.message.find(std::strerror(ENOENT)), std::string::npos) << got.message;

    // A directory cannot be written as a file.
    got = Take(newFile_(&out, dir_.string().c_str(), "wb"));
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(out, nullptr);

    // Modes fopen does not know are refused before anything is created.
    const std::string fresh = PathOf("fresh.bin");
    for (const char* mode : {"", "q", "rr", "rbb", "r++", "rx", "rt", "br", "wbq"}) {
        SCOPED_TRACE(std::string("mode \"") + mode + "\"");
        got = Take(newFile_(&out, fresh.c_str(), mode));
        EXPECT_FALSE(got.ok);
        EXPECT_EQ(got.component, "HOST");
        EXPECT_EQ(out, nullptr);
        EXPECT_FALSE(std::filesystem::exists(fresh));
    }
    EXPECT_FALSE(Take(newFile_(&out, nullptr, "rb")).ok);
    EXPECT_FALSE(Take(newFile_(&out, fresh.c_str(), nullptr)).ok);
    EXPECT_EQ(host().books().containers, 0);
}

TEST_F(StreamsTest, FilePositionsAreSixtyFourBit) {
    Held s = OpenFile(PathOf("big.bin"), "w+b");
    constexpr int64_t kFar = 5'000'000'000;  // beyond 32 bits; nothing is written there
    ASSERT_TRUE(Seek(s, kFar, 0).ok);
    EXPECT_EQ(Mark(s), kFar);
    ASSERT_TRUE(Seek(s, -kFar + 1, 1).ok);
    EXPECT_EQ(Mark(s), 1);
    ASSERT_TRUE(Seek(s, 0, 2).ok);
    EXPECT_EQ(Mark(s), 0);
}

TEST_F(StreamsTest, FileCopiesReadTheSameFileReadOnlyWithTheirOwnPosition) {
    for (bool positionable : {false, true}) {
        SCOPED_TRACE(positionable ? "positionable copy" : "rewindable copy");
        const std::string path = PathOf(positionable ? "p.bin" : "r.bin");
        Held a = OpenFile(path, "w+b");
        Write(a, "hello");  // still in a's buffer: the copy must see it all the same
        Held b = Copy(a, positionable);
        ASSERT_TRUE(b.ref);
        EXPECT_EQ(host().books().openFiles, 2);
        EXPECT_EQ(Mark(b), 0);
        EXPECT_EQ(Read(b, 3), "hel");
        EXPECT_EQ(Mark(a), 5);
        const Outcome wrote = Take(b.m.write(b.h(), "no", 2));
        EXPECT_FALSE(wrote.ok);
        // A copy sees what the stream it is made from has written.
        Write(a, " world");
        Held c = Copy(a, !positionable);
        EXPECT_EQ(Read(c, 100), "hello world");
        a.ref.reset();
        EXPECT_EQ(Read(b, 100), "lo world");
    }
}

// ---------------------------------------------------------------- client streams
TEST_F(StreamsTest, ClientStreamsForwardEveryCallWithTheLibraryObject) {
    LibraryStreams library;
    Held s = NewClient(library);
    EXPECT_EQ(Read(s, 10), "11111");  // the library's short count, unchanged
    Write(s, "abc");
    EXPECT_EQ(s.m.rewind(s.h()), nullptr);
    EXPECT_EQ(Mark(s), 1001);
    EXPECT_TRUE(Seek(s, 7, 2).ok);
    EXPECT_TRUE(Seek(s, -3, 1).ok);
    EXPECT_EQ(library.calls,
              (std::vector<std::string>{"1:Read 10", "1:Write abc", "1:Rewind", "1:Mark", "1:Seek 7 2", "1:Seek -3 1"}));
}

TEST_F(StreamsTest, ClientStreamErrorsPassThroughUnchanged) {
    using Call = std::function<QELErrorHandle(const Held&)>;
    uint64_t count = 77;
    int64_t position = 77;
    QELContainerHandle copy = nullptr;
    char buffer[8];
    const std::pair<const char*, Call> calls[] = {
        {"Read", [&](const Held& s) { return s.m.read(s.h(), &count, buffer, sizeof buffer); }},
        {"Write", [&](const Held& s) { return s.m.write(s.h(), "w", 1); }},
        {"CreateRewindable", [&](const Held& s) { return s.m.createRewindable(s.h(), &copy); }},
        {"Rewind", [&](const Held& s) { return s.m.rewind(s.h()); }},
        {"CreatePositionable", [&](const Held& s) { return s.m.createPositionable(s.h(), &copy); }},
        {"Mark", [&](const Held& s) { return s.m.mark(s.h(), &position); }},
        {"Seek", [&](const Held& s) { return s.m.seek(s.h(), 1, 0); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        LibraryStreams library;
        Held s = NewClient(library);
        QELErrorHandle libraryError = newError_("the library says no", "LIB", 42, 0, 0);
        library.nextError = libraryError;
        QELErrorHandle got = call(s);
        EXPECT_EQ(got, libraryError);
        const Outcome o = Take(got);
        EXPECT_EQ(o.message, "the library says no");
        EXPECT_EQ(o.id, 42u);
        EXPECT_EQ(library.made, 1);  // no copy was made
        EXPECT_EQ(copy, nullptr);
        ASSERT_EQ(library.calls.size(), 1u);
        EXPECT_NE(library.calls[0].find(name), std::string::npos);
    }
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(position, 0);
}

TEST_F(StreamsTest, ClientCopiesWrapTheLibrarysNewObjectWithTheSameCallbacks) {
    LibraryStreams library;
    Held a = NewClient(library);
    Held b = Copy(a, false);
    Held c = Copy(a, true);
    ASSERT_TRUE(b.ref && c.ref);
    EXPECT_EQ(Read(b, 4), "22");
    EXPECT_EQ(Mark(c), 1003);
    EXPECT_EQ(library.calls, (std::vector<std::string>{"1:CreateRewindable", "1:CreatePositionable", "2:Read 4",
                                                       "3:Mark"}));
    library.calls.clear();
    b.ref.reset();
    a.ref.reset();  // the original may go first
    EXPECT_EQ(Mark(c), 1003);
    c.ref.reset();
    EXPECT_EQ(library.calls, (std::vector<std::string>{"2:destroy", "1:destroy", "3:Mark", "3:destroy"}));

    // A copy that the library does not give is an error, and nothing is destroyed.
    Held d = NewClient(library);
    library.copyGivesNothing = true;
    QELContainerHandle out = reinterpret_cast<QELContainerHandle>(&out);
    const Outcome got = Take(d.m.createPositionable(d.h(), &out));
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(got.component, "HOST");
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(library.destroyed, 3);
}

TEST_F(StreamsTest, ClientObjectIsDestroyedOnceWhenTheLastReferenceGoes) {
    LibraryStreams library;
    Held s = NewClient(library);
    EXPECT_EQ(addRef_(s.h()), 1);
    EXPECT_EQ(addRef_(s.h()), 1);
    release_(s.h());
    release_(s.h());
    EXPECT_EQ(library.destroyed, 0);
    s.ref.reset();
    EXPECT_EQ(library.destroyed, 1);

    // A stream nobody took a reference to goes at its first Release.
    auto* object = new LibraryStream{&library, ++library.made};
    QELContainerHandle out = nullptr;
    ASSERT_TRUE(Take(newClient_(&out, object, &LibRead, &LibWrite, &LibCreateRewindable, &LibRewind,
                                &LibCreatePositionable, &LibMark, &LibSeek, &LibDestroy))
                    .ok);
    release_(out);
    EXPECT_EQ(library.destroyed, 2);
    EXPECT_EQ(library.calls, (std::vector<std::string>{"1:destroy", "2:destroy"}));
}

TEST_F(StreamsTest, RefusedClientPublicationLeavesTheObjectToTheLibrary) {
    LibraryStreams library;
    uint64_t failures = 0;
    for (uint64_t n = 1; n < 10; ++n) {
        auto* object = new LibraryStream{&library, 1};
        QELContainerHandle out = reinterpret_cast<QELContainerHandle>(&out);
        host().FailAllocation(n);
        const Outcome got = Take(newClient_(&out, object, &LibRead, &LibWrite, &LibCreateRewindable, &LibRewind,
                                            &LibCreatePositionable, &LibMark, &LibSeek, &LibDestroy));
        host().FailAllocation(0);
        if (got.ok) {
            release_(out);
            EXPECT_EQ(library.destroyed, 1);
            break;
        }
        ++failures;
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(library.destroyed, 0);
        delete object;  // as the library does when the host refuses
    }
    EXPECT_GE(failures, 1u);

    // Null callbacks are refused the same way.
    LibraryStream object{&library, 9};
    QELContainerHandle out = nullptr;
    EXPECT_FALSE(Take(newClient_(&out, &object, nullptr, &LibWrite, &LibCreateRewindable, &LibRewind,
                                 &LibCreatePositionable, &LibMark, &LibSeek, &LibDestroy))
                     .ok);
    EXPECT_EQ(library.destroyed, 1);
}

TEST_F(StreamsTest, AClientCopyTheHostCannotPublishIsDestroyedOnce) {
    LibraryStreams library;
    Held s = NewClient(library);
    uint64_t failures = 0;
    for (uint64_t n = 1; n < 10; ++n) {
        const int destroyedBefore = library.destroyed;
        const int madeBefore = library.made;
        QELContainerHandle out = reinterpret_cast<QELContainerHandle>(&out);
        host().FailAllocation(n);
        const Outcome got = Take(s.m.createPositionable(s.h(), &out));
        host().FailAllocation(0);
        EXPECT_EQ(library.made, madeBefore + 1);
        if (got.ok) {
            EXPECT_EQ(library.destroyed, destroyedBefore);
            release_(out);
            EXPECT_EQ(library.destroyed, destroyedBefore + 1);
            break;
        }
        ++failures;
        EXPECT_EQ(got.component, "DWE");
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(library.destroyed, destroyedBefore + 1);
    }
    EXPECT_GE(failures, 1u);
}

// ---------------------------------------------------------------- faults
TEST_F(StreamsTest, ASweepFailsEachStreamCallInTurnThenNone) {
    using Call = std::function<QELErrorHandle(const Held&)>;
    uint64_t count = 0;
    int64_t position = 0;
    char buffer[4];
    const std::pair<const char*, Call> script[] = {
        {"Write", [&](const Held& s) { return s.m.write(s.h(), "abc", 3); }},
        {"Mark", [&](const Held& s) { return s.m.mark(s.h(), &position); }},
        {"Seek", [&](const Held& s) { return s.m.seek(s.h(), 0, 0); }},
        {"Read", [&](const Held& s) { return s.m.read(s.h(), &count, buffer, 3); }},
        {"Rewind", [&](const Held& s) { return s.m.rewind(s.h()); }},
        {"Read", [&](const Held& s) { return s.m.read(s.h(), &count, buffer, 3); }},
    };
    constexpr size_t kCalls = std::size(script);
    for (Kind kind : kDataKinds) {
        for (uint64_t n = 1; n <= kCalls + 1; ++n) {
            SCOPED_TRACE(std::string(NameOf(kind)) + ", fail at call " + std::to_string(n));
            Held s = WithBytes(kind, "");
            const uint64_t callsBefore = host().StreamCalls();
            const uint64_t injectedBefore = host().StreamFaultsInjected();
            host().FailStreamCall(n);
            std::vector<size_t> failed;
            for (size_t i = 0; i < kCalls; ++i) {
                const Outcome got = Take(script[i].second(s));
                if (got.ok) continue;
                failed.push_back(i + 1);
                EXPECT_EQ(got.component, "HOST");
                EXPECT_NE(got.message.find(script[i].first), std::string::npos) << got.message;
            }
            host().FailStreamCall(0);
            EXPECT_EQ(host().StreamCalls() - callsBefore, kCalls);
            if (n <= kCalls) {
                EXPECT_EQ(failed, std::vector<size_t>{n});
                EXPECT_EQ(host().StreamFaultsInjected() - injectedBefore, 1u);
            } else {
                EXPECT_TRUE(failed.empty());
                EXPECT_EQ(host().StreamFaultsInjected(), injectedBefore);
            }
        }
    }
}

TEST_F(StreamsTest, FaultsTargetChosenMethodsOnceOrFromThenOn) {
    for (Kind kind : kDataKinds) {
        SCOPED_TRACE(NameOf(kind));
        Held s = WithBytes(kind, "0123456789");
        // The second Read fails; a failed Read gives nothing and does not move.
        host().FailStreamCall(2, StreamMethod::Read);
        EXPECT_EQ(Read(s, 2), "01");
        EXPECT_EQ(Mark(s), 2);
        char buffer[4];
        uint64_t count = 99;
        EXPECT_FALSE(Take(s.m.read(s.h(), &count, buffer, 2)).ok);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(Mark(s), 2);
        EXPECT_EQ(Read(s, 2), "23");

        // Persistent: Read and Write fail from their second call on, Seek never.
        host().FailStreamCall(2, StreamMethod::Read | StreamMethod::Write, true);
        EXPECT_EQ(Read(s, 1), "4");
        EXPECT_TRUE(Seek(s, 0, 0).ok);
        EXPECT_FALSE(Take(s.m.write(s.h(), "x", 1)).ok);
        EXPECT_FALSE(Take(s.m.read(s.h(), &count, buffer, 1)).ok);
        EXPECT_TRUE(Seek(s, 0, 2).ok);
        EXPECT_FALSE(Take(s.m.read(s.h(), &count, buffer, 1)).ok);
        host().FailStreamCall(0);
        ASSERT_TRUE(Seek(s, 0, 0).ok);
        EXPECT_EQ(Read(s, 3), "012");
    }
}

TEST_F(StreamsTest, FaultsAndReadLimitsLeaveStreamsOfTheLibraryAlone) {
    LibraryStreams library;
    Held s = NewClient(library);
    const uint64_t callsBefore = host().StreamCalls();
    host().FailStreamCall(1, StreamMethod::All, true);
    host().LimitStreamReads(1);
    EXPECT_EQ(Read(s, 8), "1111");
    EXPECT_EQ(Mark(s), 1001);
    host().FailStreamCall(0);
    host().LimitStreamReads(0);
    EXPECT_EQ(host().StreamCalls(), callsBefore);
    EXPECT_EQ(library.calls, (std::vector<std::string>{"1:Read 8", "1:Mark"}));
}

TEST_F(StreamsTest, HiddenStreamMethodsAreMissingOnEveryKindUntilUnhidden) {
    LibraryStreams library;
    Held memory = NewMemory();
    Held file = OpenFile(PathOf("f.bin"), "wb");
    Held client = NewClient(library);
    host().HideStreamMethods(StreamMethod::Rewind | StreamMethod::CreateIndependentlyRewindableStream);
    for (const Held* s : {&memory, &file, &client}) {
        EXPECT_EQ(Method(s->h(), RowOf<Rewindable::CreateIndependentlyRewindableStream>()), nullptr);
        EXPECT_EQ(Method(s->h(), RowOf<Rewindable::Rewind>()), nullptr);
        EXPECT_NE(Method(s->h(), RowOf<Simple::Read>()), nullptr);
        EXPECT_NE(Method(s->h(), RowOf<Positionable::Seek>()), nullptr);
    }
    host().UnhideAll();
    for (const Held* s : {&memory, &file, &client}) EXPECT_NE(Method(s->h(), RowOf<Rewindable::Rewind>()), nullptr);
}

// ---------------------------------------------------------------- the typed API
TEST_F(StreamsTest, TypedMemoryStreamsAreFilledAndReadBackDirectly) {
    ContainerRef ref(host().NewMemoryStream("seed"));
    ASSERT_TRUE(ref);
    Held s = Hold(ref.get());
    EXPECT_EQ(host().MemoryStreamPosition(s.h()), 0u);
    EXPECT_EQ(Read(s, 2), "se");
    EXPECT_EQ(host().MemoryStreamPosition(s.h()), 2u);
    Held copy = Copy(s, true);
    EXPECT_EQ(Read(copy, 1), "s");
    host().SetMemoryStreamContents(s.h(), std::string("new\0bytes", 9));
    EXPECT_EQ(host().MemoryStreamPosition(s.h()), 0u);
    EXPECT_EQ(host().MemoryStreamPosition(copy.h()), 1u);
    EXPECT_EQ(host().MemoryStreamContents(copy.h()), std::string("new\0bytes", 9));
    Write(s, "N");
    EXPECT_EQ(host().MemoryStreamContents(s.h()), std::string("New\0bytes", 9));

    std::string error;
    ContainerRef file(host().NewFileStream(PathOf("t.bin"), "wb", &error));
    ASSERT_TRUE(file) << error;
    EXPECT_THROW(host().MemoryStreamContents(file.get()), std::invalid_argument);
    EXPECT_THROW(host().MemoryStreamPosition(nullptr), std::invalid_argument);

    const std::string missing = PathOf("none/t.bin");
    EXPECT_EQ(host().NewFileStream(missing, "rb", &error), nullptr);
    EXPECT_NE(error.find(missing), std::string::npos) << error;

    host().FailAllocation(1);
    EXPECT_EQ(host().NewMemoryStream("x"), nullptr);
    host().FailAllocation(0);
}

TEST_F(StreamsTest, ContainerRefHoldsOneReferenceAndMovesIt) {
    ContainerRef a(host().NewMemoryStream());
    ASSERT_TRUE(a);
    ContainerRef b(std::move(a));
    EXPECT_FALSE(a);
    ASSERT_TRUE(b);
    ContainerRef c;
    c = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(host().books().containers, 1);
    c = ContainerRef(host().NewMemoryStream());  // the first goes as the second comes
    EXPECT_EQ(host().books().containers, 1);
    EXPECT_EQ(host().books().streamData, 1);
    c.reset();
    EXPECT_TRUE(host().books().AllZero()) << host().books().ToString();
    EXPECT_FALSE(ContainerRef(nullptr));
}

}  // namespace
