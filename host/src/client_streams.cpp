// Client streams: a library's stream object behind a host container, called
// back through the procedures it handed over.
#include <new>

#include "host_streams.h"

namespace qelhost {

namespace {

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

}  // namespace

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

}  // namespace qelhost
