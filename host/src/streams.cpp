// The host's streams: memory, file and client (library-implemented) streams
// are containers whose seven methods the host answers itself; and the faults
// the host injects into its own (memory and file) streams.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "host_state.h"

namespace qelhost {

namespace {

QELErrorHandle H(ErrorObject* e) noexcept { return reinterpret_cast<QELErrorHandle>(e); }

// IDs of the host's stream errors (component "HOST").
enum : uint32_t {
    kBadArgument = 2,
    kUnsupported = 6,
    kStreamFailure = 7,
    kInjectedFault = 8,
    kBadSeek = 9,
    kOpenFailed = 10,
    kNotAStream = 11,
};

QELErrorHandle OutOfMemory() { return H(CoreError(1)); }

// A host error. When even that cannot be made, out of memory: a failure must
// never come back as null, which reads as success.
QELErrorHandle Fail(const char* message, uint32_t id, uint64_t info = 0) {
    ErrorObject* e = MakeError(message, "HOST", id);
    if (e == nullptr) return OutOfMemory();
    e->value1 = info;
    return H(e);
}
QELErrorHandle Fail(const std::string& message, uint32_t id, uint64_t info = 0) {
    return Fail(message.c_str(), id, info);
}

// Nothing may be thrown across the boundary.
template <class F>
QELErrorHandle Guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    } catch (...) {
        return Fail("host stream: unexpected failure", kStreamFailure);
    }
}

// ---------------------------------------------------------------- kinds
struct StreamKind final {
    const char* implementationName;
    const char* interfaceName;
    bool hostData;  // the host holds the data: faults and read limits apply
};
// Each kind its own implementation name, so that each has its own signature.
const StreamKind kMemoryKind{"QELHostPositionableMemoryStream", "QELHostMemoryStreamInterface", true};
const StreamKind kFileKind{"QELHostPositionableFileStream", "QELHostFileStreamInterface", true};
const StreamKind kClientKind{"QELHostClientPositionableStream", "QELHostClientStreamInterface", false};

// The container keeps the kind as an untyped tag; it is never written through.
void* Tag(const StreamKind& kind) noexcept { return const_cast<StreamKind*>(&kind); }

const StreamKind* KindOf(void* hostKind) noexcept {
    for (const StreamKind* kind : {&kMemoryKind, &kFileKind, &kClientKind})
        if (hostKind == Tag(*kind)) return kind;
    return nullptr;
}

namespace contract = qelutils::contract;
using SimpleTable = contract::QELSimpleStream;
using RewindableTable = contract::QELRewindableStream;
using PositionableTable = contract::QELPositionableStream;

// Every host stream answers the rows of its three tables; a method's fault
// flag (StreamMethod) is the bit of its place among them.
constexpr uint32_t kMethodCount = SimpleTable::kCount + RewindableTable::kCount + PositionableTable::kCount;
constexpr uint32_t Bit(StreamMethod method) noexcept { return static_cast<uint32_t>(method); }
static_assert(Bit(StreamMethod::All) == (1u << kMethodCount) - 1);
static_assert(Bit(StreamMethod::Write) == 1u << SimpleTable::Write);
static_assert(Bit(StreamMethod::Rewind) == 1u << (SimpleTable::kCount + RewindableTable::Rewind));
static_assert(Bit(StreamMethod::Seek) ==
              1u << (SimpleTable::kCount + RewindableTable::kCount + PositionableTable::Seek));

const contract::Registration* Methods();

const char* NameOf(StreamMethod method) noexcept {
    for (uint32_t i = 0; i < kMethodCount; ++i)
        if (Bit(method) == 1u << i) return Methods()[i].methodName;
    return "?";
}

// ---------------------------------------------------------------- streams
// What every host stream does; the C procedures below dispatch to it.
class HostStream {
public:
    virtual ~HostStream() = default;
    virtual QELErrorHandle Read(uint64_t* count, void* buffer, uint64_t size) = 0;
    virtual QELErrorHandle Write(const void* data, uint64_t size) = 0;
    // A new stream over the same data with its own position.
    virtual QELErrorHandle Copy(StreamMethod asRewindableOrPositionable, QELContainerHandle* out) = 0;
    virtual QELErrorHandle Rewind() = 0;
    virtual QELErrorHandle Mark(int64_t* position) = 0;
    virtual QELErrorHandle Seek(int64_t position, int64_t origin) = 0;
};

void DestroyStream(void* object) { delete static_cast<HostStream*>(object); }

// Makes the container of a stream. Ownership passes to the container only
// on success; on failure the caller still holds the stream.
QELErrorHandle Publish(QELContainerHandle* out, std::unique_ptr<HostStream>& stream, const StreamKind& kind) {
    Host::State& s = S();
    Atom* implementationName = s.atoms.Intern(kind.implementationName);
    Atom* interfaceName = s.atoms.Intern(kind.interfaceName);
    QELErrorHandle error =
        NewContainer(out, stream.get(), implementationName, &DestroyStream, interfaceName, Tag(kind));
    // The container keeps references of its own.
    s.atoms.Release(implementationName);
    s.atoms.Release(interfaceName);
    if (error == nullptr) stream.release();
    return error;
}

// How many bytes a Read of the host's own data may give.
uint64_t ReadAllowance(uint64_t size) noexcept {
    const uint64_t limit = S().streamReadLimit.load(std::memory_order_relaxed);
    return limit != 0 && limit < size ? limit : size;
}

// Resolves a seek target; false when it falls before the start or overflows.
bool SeekTarget(int64_t base, int64_t offset, int64_t* target) noexcept {
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) ||
        (offset < 0 && base < std::numeric_limits<int64_t>::min() - offset))
        return false;
    *target = base + offset;
    return *target >= 0;
}

// ---------------------------------------------------------------- memory streams
// The bytes behind a memory stream and its independent copies. Each copy
// may be used from its own thread, so the bytes are locked.
class SharedBytes final {
public:
    SharedBytes() { S().liveStreamData.fetch_add(1, std::memory_order_relaxed); }
    ~SharedBytes() { S().liveStreamData.fetch_sub(1, std::memory_order_relaxed); }
    SharedBytes(const SharedBytes&) = delete;
    SharedBytes& operator=(const SharedBytes&) = delete;

    std::mutex lock;
    std::vector<unsigned char> bytes;
};

class MemoryStream final : public HostStream {
public:
    explicit MemoryStream(std::shared_ptr<SharedBytes> data) : data_(std::move(data)) {}

    QELErrorHandle Read(uint64_t* count, void* buffer, uint64_t size) override {
        std::lock_guard hold(data_->lock);
        const uint64_t end = data_->bytes.size();
        const uint64_t available = position_ < end ? end - position_ : 0;
        const uint64_t n = std::min(available, ReadAllowance(size));
        if (n != 0) std::memcpy(buffer, data_->bytes.data() + position_, n);
        position_ += n;
        *count = n;
        return nullptr;
    }

    QELErrorHandle Write(const void* data, uint64_t size) override {
        if (size == 0) return nullptr;
        if (size > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - position_)
            return Fail("memory stream: write beyond the largest position", kStreamFailure);
        const uint64_t end = position_ + size;
        std::lock_guard hold(data_->lock);
        std::vector<unsigned char>& bytes = data_->bytes;
        if (end > bytes.size()) {
            if (end > bytes.max_size()) return OutOfMemory();
            if (end > bytes.capacity()) {
                if (S().AllocationFails()) return OutOfMemory();
                bytes.reserve(std::max<uint64_t>(end, std::min<uint64_t>(2 * bytes.capacity(), bytes.max_size())));
            }
            bytes.resize(end);  // a gap left by seeking past the end reads as zeros
        }
        std::memcpy(bytes.data() + position_, data, size);
        position_ = end;
        return nullptr;
    }

    QELErrorHandle Copy(StreamMethod, QELContainerHandle* out) override {
        if (S().AllocationFails()) return OutOfMemory();
        std::unique_ptr<HostStream> copy = std::make_unique<MemoryStream>(data_);
        return Publish(out, copy, kMemoryKind);
    }

    QELErrorHandle Rewind() override {
        position_ = 0;
        return nullptr;
    }

    QELErrorHandle Mark(int64_t* position) override {
        *position = static_cast<int64_t>(position_);
        return nullptr;
    }

    QELErrorHandle Seek(int64_t offset, int64_t origin) override {
        int64_t base = 0;
        if (origin == 1) {
            base = static_cast<int64_t>(position_);
        } else if (origin == 2) {
            std::lock_guard hold(data_->lock);
            base = static_cast<int64_t>(data_->bytes.size());
        } else if (origin != 0) {
            return Fail("memory stream: bad seek origin", kBadSeek, static_cast<uint64_t>(origin));
        }
        int64_t target = 0;
        if (!SeekTarget(base, offset, &target)) return Fail("memory stream: seek before the start", kBadSeek);
        position_ = static_cast<uint64_t>(target);
        return nullptr;
    }

    // For the host's own typed access.
    std::string Contents() const {
        std::lock_guard hold(data_->lock);
        return std::string(data_->bytes.begin(), data_->bytes.end());
    }
    void Replace(std::string_view bytes) {
        std::lock_guard hold(data_->lock);
        data_->bytes.assign(bytes.begin(), bytes.end());
        position_ = 0;
    }
    uint64_t Position() const noexcept { return position_; }

private:
    std::shared_ptr<SharedBytes> data_;
    uint64_t position_ = 0;  // never beyond the largest int64_t
};

QELErrorHandle MakeMemoryStream(QELContainerHandle* out) {
    if (S().AllocationFails()) return OutOfMemory();
    std::unique_ptr<HostStream> stream = std::make_unique<MemoryStream>(std::make_shared<SharedBytes>());
    return Publish(out, stream, kMemoryKind);
}

// ---------------------------------------------------------------- file streams
#if defined(_WIN32)
int SeekFile(std::FILE* file, int64_t offset, int whence) { return _fseeki64(file, offset, whence); }
int64_t TellFile(std::FILE* file) { return _ftelli64(file); }
#else
int SeekFile(std::FILE* file, int64_t offset, int whence) { return fseeko(file, offset, whence); }
int64_t TellFile(std::FILE* file) { return ftello(file); }
#endif

struct FileCloser final {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

// The modes fopen takes in every C library: r, w or a, then "+" and "b" at
// most once each (and "x" after w). Anything else is refused before fopen
// sees it, as some runtimes abort on a bad mode.
bool ValidMode(const char* mode) noexcept {
    if (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a') return false;
    bool plus = false, binary = false, exclusive = false;
    for (const char* c = mode + 1; *c != '\0'; ++c) {
        bool* seen = *c == '+' ? &plus : *c == 'b' ? &binary : (*c == 'x' && mode[0] == 'w') ? &exclusive : nullptr;
        if (seen == nullptr || *seen) return false;
        *seen = true;
    }
    return true;
}

std::string SystemError(const std::string& what, int code) { return what + ": " + std::strerror(code); }

class FileStream final : public HostStream {
public:
    FileStream(FilePointer file, std::string path, const char* mode)
        : file_(std::move(file)),
          path_(std::move(path)),
          readable_(mode[0] == 'r' || std::strchr(mode, '+') != nullptr),
          writable_(mode[0] != 'r' || std::strchr(mode, '+') != nullptr) {
        S().openFiles.fetch_add(1, std::memory_order_relaxed);
    }
    ~FileStream() override { S().openFiles.fetch_sub(1, std::memory_order_relaxed); }

    QELErrorHandle Read(uint64_t* count, void* buffer, uint64_t size) override {
        // Refused here: not every C runtime flags a read of a write-only file.
        if (!readable_) return Fail("file stream: \"" + path_ + "\" is not open for reading", kStreamFailure);
        // C streams need a flush or a seek between writing and reading.
        if (last_ == Last::Write && std::fflush(file_.get()) != 0) return IoError("flush");
        last_ = Last::Read;
        const uint64_t asked = std::min<uint64_t>(ReadAllowance(size), std::numeric_limits<size_t>::max());
        errno = 0;
        const size_t n = asked != 0 ? std::fread(buffer, 1, static_cast<size_t>(asked), file_.get()) : 0;
        if (n < asked && std::ferror(file_.get())) return IoError("read");
        // Not sticky: data another stream appends later can still be read.
        if (n < asked) std::clearerr(file_.get());
        *count = n;
        return nullptr;
    }

    QELErrorHandle Write(const void* data, uint64_t size) override {
        if (!writable_) return Fail("file stream: \"" + path_ + "\" is not open for writing", kStreamFailure);
        if (last_ == Last::Read && SeekFile(file_.get(), 0, SEEK_CUR) != 0) return IoError("seek");
        last_ = Last::Write;
        if (size > std::numeric_limits<size_t>::max()) return Fail("file stream: write too large", kStreamFailure);
        errno = 0;
        if (size != 0 && std::fwrite(data, 1, static_cast<size_t>(size), file_.get()) != size) return IoError("write");
        return nullptr;
    }

    QELErrorHandle Copy(StreamMethod, QELContainerHandle* out) override {
        // The copy opens the file anew: what this stream buffered must be there.
        if (std::fflush(file_.get()) != 0) return IoError("flush");
        return Open(out, path_.c_str(), "rb");
    }

    QELErrorHandle Rewind() override { return Seek(0, 0); }

    QELErrorHandle Mark(int64_t* position) override {
        errno = 0;
        const int64_t at = TellFile(file_.get());
        if (at < 0) return IoError("tell");
        *position = at;
        return nullptr;
    }

    QELErrorHandle Seek(int64_t offset, int64_t origin) override {
        if (origin < 0 || origin > 2)
            return Fail("file stream: bad seek origin", kBadSeek, static_cast<uint64_t>(origin));
        if (origin == 0 && offset < 0) return Fail("file stream: seek before the start", kBadSeek);
        errno = 0;
        const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
        if (SeekFile(file_.get(), offset, whence) != 0) return IoError("seek");
        last_ = Last::None;
        return nullptr;
    }

    static QELErrorHandle Open(QELContainerHandle* out, const char* path, const char* mode) {
        if (path == nullptr || mode == nullptr) return Fail("file stream: null path or mode", kBadArgument);
        if (!ValidMode(mode)) return Fail(std::string("file stream: bad open mode \"") + mode + "\"", kBadArgument);
        if (S().AllocationFails()) return OutOfMemory();
        std::string pathCopy(path);
#if !defined(_WIN32)
        // Paths joined by the library's directory utilities separate with
        // backslashes on every platform.
        for (char& c : pathCopy)
            if (c == '\\') c = '/';
#endif
        errno = 0;
        FilePointer file(std::fopen(pathCopy.c_str(), mode));
        if (file == nullptr) {
            const int code = errno;
            return Fail(SystemError(std::string("cannot open \"") + path + "\" (" + mode + ")", code), kOpenFailed,
                        static_cast<uint64_t>(code));
        }
        std::unique_ptr<HostStream> stream = std::make_unique<FileStream>(std::move(file), std::move(pathCopy),
                                                                          mode);
        return Publish(out, stream, kFileKind);
    }

private:
    QELErrorHandle IoError(const char* what) {
        const int code = errno;
        std::clearerr(file_.get());  // the next call starts afresh
        return Fail(SystemError(std::string("file stream: cannot ") + what + " \"" + path_ + "\"", code),
                    kStreamFailure, static_cast<uint64_t>(code));
    }

    enum class Last : uint8_t { None, Read, Write };
    FilePointer file_;
    std::string path_;
    bool readable_;
    bool writable_;
    Last last_ = Last::None;
};

// ---------------------------------------------------------------- client streams
struct ClientCallbacks final {
    QELClientReadProc read;
    QELClientWriteProc write;
    QELClientCreateRewindableProc createRewindable;
    QELClientRewindProc rewind;
    QELClientCreatePositionableProc createPositionable;
    QELClientMarkProc mark;
    QELClientSeekProc seek;
    QELDestroyProc destroy;
};

// A library stream object behind a host container. The library's errors
// pass through untouched; the object is the host's from publication on.
class ClientStream final : public HostStream {
public:
    ClientStream(void* object, const ClientCallbacks& callbacks) : object_(object), callbacks_(callbacks) {}
    ~ClientStream() override {
        if (object_ != nullptr && callbacks_.destroy != nullptr) callbacks_.destroy(object_);
    }
    // A refused publication leaves the object to the library.
    void Disown() noexcept { object_ = nullptr; }

    QELErrorHandle Read(uint64_t* count, void* buffer, uint64_t size) override {
        return callbacks_.read(object_, count, buffer, size);
    }
    QELErrorHandle Write(const void* data, uint64_t size) override { return callbacks_.write(object_, data, size); }

    QELErrorHandle Copy(StreamMethod as, QELContainerHandle* out) override {
        void* copy = nullptr;
        const bool rewindable = as == StreamMethod::CreateIndependentlyRewindableStream;
        if (QELErrorHandle e = rewindable ? callbacks_.createRewindable(object_, &copy)
                                          : callbacks_.createPositionable(object_, &copy))
            return e;
        if (copy == nullptr) return Fail("client stream: the library made no copy", kStreamFailure);
        // The copy is the host's now: if it cannot be published, it is destroyed.
        std::unique_ptr<HostStream> stream;
        try {
            if (S().AllocationFails()) throw std::bad_alloc();
            stream = std::make_unique<ClientStream>(copy, callbacks_);
        } catch (const std::bad_alloc&) {
            if (callbacks_.destroy != nullptr) callbacks_.destroy(copy);
            return OutOfMemory();
        }
        return Publish(out, stream, kClientKind);
    }

    QELErrorHandle Rewind() override { return callbacks_.rewind(object_); }
    QELErrorHandle Mark(int64_t* position) override { return callbacks_.mark(object_, position); }
    QELErrorHandle Seek(int64_t position, int64_t origin) override {
        return callbacks_.seek(object_, position, origin);
    }

private:
    void* object_;
    ClientCallbacks callbacks_;
};

// ---------------------------------------------------------------- dispatch
ContainerHeader* HeaderOf(QELContainerHandle handle) noexcept { return reinterpret_cast<ContainerHeader*>(handle); }

HostStream* StreamOf(QELContainerHandle handle, const StreamKind** kind) noexcept {
    ContainerHeader* header = HeaderOf(handle);
    if (header == nullptr || (*kind = KindOf(header->hostKind)) == nullptr) return nullptr;
    auto* record =
        reinterpret_cast<QELPrimaryInstanceRecord*>(reinterpret_cast<char*>(header) + S().recordOffset);
    return static_cast<HostStream*>(record->implementationObject);
}

// Counts a call of the host's own streams, and fails it when a fault is
// armed for it.
QELErrorHandle Intercept(const StreamKind& kind, StreamMethod method) {
    if (!kind.hostData) return nullptr;
    Host::State& s = S();
    s.streamCalls.fetch_add(1, std::memory_order_relaxed);
    const uint64_t at = s.failStreamCallAt.load(std::memory_order_relaxed);
    if (at == 0 || (s.streamFaultMethods.load(std::memory_order_relaxed) & Bit(method)) == 0) return nullptr;
    const uint64_t n = s.streamFaultCalls.fetch_add(1, std::memory_order_relaxed) + 1;
    if (n != at && !(n > at && s.streamFaultPersistent.load(std::memory_order_relaxed))) return nullptr;
    s.streamFaultsInjected.fetch_add(1, std::memory_order_relaxed);
    return Fail(std::string("injected stream fault in ") + NameOf(method), kInjectedFault, n);
}

template <StreamMethod M, class F>
QELErrorHandle Dispatch(QELContainerHandle handle, F&& call) noexcept {
    return Guarded([&]() -> QELErrorHandle {
        const StreamKind* kind = nullptr;
        HostStream* stream = StreamOf(handle, &kind);
        if (stream == nullptr) return Fail("not a stream of this host", kNotAStream);
        if (QELErrorHandle e = Intercept(*kind, M)) return e;
        return call(*stream);
    });
}

QELErrorHandle StreamRead(QELContainerHandle handle, uint64_t* count, void* buffer, uint64_t size) {
    if (count != nullptr) *count = 0;
    if (count == nullptr || (buffer == nullptr && size != 0)) return Fail("Read: null argument", kBadArgument);
    return Dispatch<StreamMethod::Read>(handle, [&](HostStream& s) { return s.Read(count, buffer, size); });
}

QELErrorHandle StreamWrite(QELContainerHandle handle, const void* data, uint64_t size) {
    if (data == nullptr && size != 0) return Fail("Write: null data", kBadArgument);
    return Dispatch<StreamMethod::Write>(handle, [&](HostStream& s) { return s.Write(data, size); });
}

template <StreamMethod M>
QELErrorHandle StreamCopy(QELContainerHandle handle, QELContainerHandle* out) {
    if (out == nullptr) return Fail("CreateIndependently...Stream: null out argument", kBadArgument);
    *out = nullptr;
    return Dispatch<M>(handle, [&](HostStream& s) { return s.Copy(M, out); });
}

QELErrorHandle StreamRewind(QELContainerHandle handle) {
    return Dispatch<StreamMethod::Rewind>(handle, [](HostStream& s) { return s.Rewind(); });
}

QELErrorHandle StreamMark(QELContainerHandle handle, int64_t* position) {
    if (position == nullptr) return Fail("Mark: null out argument", kBadArgument);
    *position = 0;
    return Dispatch<StreamMethod::Mark>(handle, [&](HostStream& s) { return s.Mark(position); });
}

QELErrorHandle StreamSeek(QELContainerHandle handle, int64_t position, int64_t origin) {
    return Dispatch<StreamMethod::Seek>(handle, [&](HostStream& s) { return s.Seek(position, origin); });
}

const contract::Registration* Methods() {
    using contract::Publication;
    using contract::Publish;
    static const auto methods = [] {
        std::array<contract::Registration, kMethodCount> all{};
        size_t n = 0;
        auto add = [&](const auto& table) {
            for (const contract::Registration& row : table) all[n++] = row;
        };
        add(Publication(Publish<SimpleTable::Read>(&StreamRead), Publish<SimpleTable::Write>(&StreamWrite)));
        add(Publication(Publish<RewindableTable::CreateIndependentlyRewindableStream>(
                            &StreamCopy<StreamMethod::CreateIndependentlyRewindableStream>),
                        Publish<RewindableTable::Rewind>(&StreamRewind)));
        add(Publication(Publish<PositionableTable::CreateIndependentlyPositionableStream>(
                            &StreamCopy<StreamMethod::CreateIndependentlyPositionableStream>),
                        Publish<PositionableTable::Mark>(&StreamMark), Publish<PositionableTable::Seek>(&StreamSeek)));
        return all;
    }();
    return methods.data();
}

MemoryStream& MemoryStreamOf(QELContainerHandle handle) {
    const StreamKind* kind = nullptr;
    HostStream* stream = StreamOf(handle, &kind);
    if (stream == nullptr || kind != &kMemoryKind) throw std::invalid_argument("not a memory stream of this host");
    return *static_cast<MemoryStream*>(stream);
}

// Hands a host error's message to a C++ caller and gives the error back.
std::string TakeMessage(QELErrorHandle error) {
    std::string message = reinterpret_cast<ErrorObject*>(error)->message->text;
    RequireRow<contract::QELErrorInterface::Release>()(error);
    return message;
}

}  // namespace

// ---------------------------------------------------------------- the factory rows
void* HostKindMethod(void* hostKind, const char* methodName, const char* procTypeName) {
    if (KindOf(hostKind) == nullptr) return nullptr;
    for (uint32_t i = 0; i < kMethodCount; ++i) {
        const contract::Registration& row = Methods()[i];
        if (std::strcmp(row.methodName, methodName) != 0) continue;
        if (std::strcmp(row.procTypeName, procTypeName) != 0) return nullptr;
        if ((S().hiddenStreamMethods.load(std::memory_order_relaxed) & (1u << i)) != 0) return nullptr;
        return row.proc;
    }
    return nullptr;
}

QELErrorHandle NewMemoryStreamProc(QELContainerHandle* out) {
    if (out == nullptr) return Fail("NewPositionableMemoryStream: null out argument", kBadArgument);
    *out = nullptr;
    return Guarded([&] { return MakeMemoryStream(out); });
}

QELErrorHandle NewFileStreamProc(QELContainerHandle* out, const char* path, const char* mode) {
    if (out == nullptr) return Fail("NewPositionableFileStream: null out argument", kBadArgument);
    *out = nullptr;
    return Guarded([&] { return FileStream::Open(out, path, mode); });
}

QELErrorHandle NewClientStreamProc(QELContainerHandle* out, void* object, QELClientReadProc read,
                                   QELClientWriteProc write, QELClientCreateRewindableProc createRewindable,
                                   QELClientRewindProc rewind, QELClientCreatePositionableProc createPositionable,
                                   QELClientMarkProc mark, QELClientSeekProc seek, QELDestroyProc destroy) {
    if (out == nullptr) return Fail("NewClientPositionableStream: null out argument", kBadArgument);
    *out = nullptr;
    if (read == nullptr || write == nullptr || createRewindable == nullptr || rewind == nullptr ||
        createPositionable == nullptr || mark == nullptr || seek == nullptr)
        return Fail("NewClientPositionableStream: null callback", kBadArgument);
    const ClientCallbacks callbacks{read, write, createRewindable, rewind, createPositionable, mark, seek, destroy};
    return Guarded([&]() -> QELErrorHandle {
        if (S().AllocationFails()) return OutOfMemory();
        auto client = std::make_unique<ClientStream>(object, callbacks);
        ClientStream& made = *client;
        std::unique_ptr<HostStream> stream = std::move(client);
        QELErrorHandle error = Publish(out, stream, kClientKind);
        // Refused: the library deletes its object itself.
        if (error != nullptr) made.Disown();
        return error;
    });
}

QELErrorHandle UnsupportedStreamProc(QELContainerHandle* out) {
    if (out != nullptr) *out = nullptr;
    return Fail("this kind of stream is not supported by this host", kUnsupported);
}

// ---------------------------------------------------------------- the typed API
QELContainerHandle Host::NewMemoryStream(std::string_view bytes) {
    QELContainerHandle stream = nullptr;
    if (QELErrorHandle error = NewMemoryStreamProc(&stream)) {
        TakeMessage(error);
        return nullptr;
    }
    try {
        MemoryStreamOf(stream).Replace(bytes);
    } catch (...) {
        RequireRow<contract::QELContainerInterface::Release>()(stream);
        throw;
    }
    return stream;
}

QELContainerHandle Host::NewFileStream(const std::string& path, const char* mode, std::string* error) {
    QELContainerHandle stream = nullptr;
    if (QELErrorHandle e = NewFileStreamProc(&stream, path.c_str(), mode)) {
        std::string message = TakeMessage(e);
        if (error != nullptr) *error = std::move(message);
        return nullptr;
    }
    return stream;
}

std::string Host::MemoryStreamContents(QELContainerHandle stream) const { return MemoryStreamOf(stream).Contents(); }

void Host::SetMemoryStreamContents(QELContainerHandle stream, std::string_view bytes) {
    MemoryStreamOf(stream).Replace(bytes);
}

uint64_t Host::MemoryStreamPosition(QELContainerHandle stream) const { return MemoryStreamOf(stream).Position(); }

void Host::FailStreamCall(uint64_t nth, StreamMethod methods, bool persistent) {
    state_->failStreamCallAt.store(0);
    state_->streamFaultCalls.store(0);
    state_->streamFaultMethods.store(Bit(methods));
    state_->streamFaultPersistent.store(persistent);
    state_->failStreamCallAt.store(nth);
}

uint64_t Host::StreamCalls() const noexcept { return state_->streamCalls.load(); }
uint64_t Host::StreamFaultsInjected() const noexcept { return state_->streamFaultsInjected.load(); }
void Host::LimitStreamReads(uint64_t maxBytes) { state_->streamReadLimit.store(maxBytes); }

void Host::HideStreamMethods(StreamMethod methods) { state_->hiddenStreamMethods.fetch_or(Bit(methods)); }

// ---------------------------------------------------------------- ContainerRef
// Through the container rows, as any holder of a reference would.
ContainerRef::ContainerRef(QELContainerHandle handle) {
    if (handle != nullptr &&
        RequireRow<contract::QELContainerInterface::AddRef>()(handle) != 0)
        handle_ = handle;
}

ContainerRef::~ContainerRef() { reset(); }

ContainerRef& ContainerRef::operator=(ContainerRef&& other) noexcept {
    if (this != &other) {
        reset();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

void ContainerRef::reset() noexcept {
    if (handle_ == nullptr) return;
    QELContainerHandle handle = handle_;
    handle_ = nullptr;
    // Hidden: the books show the leak.
    if (const auto release = FindRow<contract::QELContainerInterface::Release>()) release(handle);
}

}  // namespace qelhost
