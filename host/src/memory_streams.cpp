// Memory streams: bytes shared by a stream and its independent copies, each
// with its own position; and the host's typed access to them.
#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "host_streams.h"

namespace qelhost {

namespace {

// The bytes behind a memory stream and its independent copies. Each copy
// may be used from its own thread, so the bytes are locked.
class SharedBytes final {
public:
    SharedBytes() { Count(Tally::StreamData, 1); }
    ~SharedBytes() { Count(Tally::StreamData, -1); }
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

MemoryStream& MemoryStreamOf(QELContainerHandle handle) {
    const StreamKind* kind = nullptr;
    HostStream* stream = StreamOf(handle, &kind);
    if (stream == nullptr || kind != &kMemoryKind) throw std::invalid_argument("not a memory stream of this host");
    return *static_cast<MemoryStream*>(stream);
}

}  // namespace

QELErrorHandle NewMemoryStreamProc(QELContainerHandle* out) {
    if (out == nullptr) return Fail("NewPositionableMemoryStream: null out argument", kBadArgument);
    *out = nullptr;
    return Guarded([&] { return MakeMemoryStream(out); });
}

QELContainerHandle Host::NewMemoryStream(std::string_view bytes) {
    QELContainerHandle stream = nullptr;
    if (QELErrorHandle error = NewMemoryStreamProc(&stream)) {
        TakeMessage(error);
        return nullptr;
    }
    try {
        MemoryStreamOf(stream).Replace(bytes);
    } catch (...) {
        RequireRow<qelutils::contract::QELContainerInterface::Release>()(stream);
        throw;
    }
    return stream;
}

std::string Host::MemoryStreamContents(QELContainerHandle stream) const { return MemoryStreamOf(stream).Contents(); }

void Host::SetMemoryStreamContents(QELContainerHandle stream, std::string_view bytes) {
    MemoryStreamOf(stream).Replace(bytes);
}

uint64_t Host::MemoryStreamPosition(QELContainerHandle stream) const { return MemoryStreamOf(stream).Position(); }

}  // namespace qelhost
