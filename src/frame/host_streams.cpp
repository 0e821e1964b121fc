#include "frame/host_streams.h"

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/host_binding.h"
#include "frame/stream_tables.h"

namespace QEL_T_MT {

HostStreamRef::HostStreamRef(QELContainerHandle stream) : stream_(stream) {
    simple_ = SimpleStreamMethods(stream);
    rewindable_ = RewindableStreamMethods(stream);
    positionable_ = PositionableStreamMethods(stream);
}

uint64_t HostStreamRef::Read(void* buffer, uint64_t size) const {
    uint64_t count = 0;
    CheckHostResult(Proc<SimpleStream::Read>(simple_)(handle(), &count, buffer, size));
    return count;
}

void HostStreamRef::Write(const void* data, uint64_t size) const {
    CheckHostResult(Proc<SimpleStream::Write>(simple_)(handle(), data, size));
}

int64_t HostStreamRef::Mark() const {
    int64_t position = 0;
    CheckHostResult(Proc<PositionableStream::Mark>(positionable_)(handle(), &position));
    return position;
}

void HostStreamRef::Seek(int64_t position, int64_t origin) const {
    CheckHostResult(Proc<PositionableStream::Seek>(positionable_)(handle(), position, origin));
}

namespace {

QELClientPositionableStream* Object(void* object) { return static_cast<QELClientPositionableStream*>(object); }

QELErrorHandle ReadCallback(void* object, uint64_t* outCount, void* buffer, uint64_t size) {
    return ErrorReturning([&] {
        *outCount = 0;
        *outCount = Object(object)->Read(buffer, size);
    });
}

QELErrorHandle WriteCallback(void* object, const void* data, uint64_t size) {
    return ErrorReturning([&] { Object(object)->Write(data, size); });
}

QELErrorHandle CreateRewindableCallback(void* object, void** out) {
    return ErrorReturning([&] { *out = Object(object)->CreateIndependentlyRewindableStream(); });
}

QELErrorHandle RewindCallback(void* object) {
    return ErrorReturning([&] { Object(object)->Rewind(); });
}

QELErrorHandle CreatePositionableCallback(void* object, void** out) {
    return ErrorReturning([&] { *out = Object(object)->CreateIndependentlyPositionableStream(); });
}

QELErrorHandle MarkCallback(void* object, int64_t* outPosition) {
    return ErrorReturning([&] {
        *outPosition = 0;
        *outPosition = Object(object)->Mark();
    });
}

QELErrorHandle SeekCallback(void* object, int64_t position, int64_t origin) {
    return ErrorReturning([&] { Object(object)->Seek(position, origin); });
}

void DestroyCallback(void* object) { delete Object(object); }

}  // namespace

QELContainerHandle NewHostStreamFromClient(QELClientPositionableStream* stream) {
    std::atomic<void*>* factory = nullptr;
    try {
        factory = CurrentTable<contract::QELStreamFactoryInterface>();
    } catch (...) {
        delete stream;
        throw;
    }
    if (factory == nullptr) {
        delete stream;
        return nullptr;
    }
    QELContainerHandle out = nullptr;
    QELErrorHandle error = Proc<contract::QELStreamFactoryInterface::NewClientPositionableStream>(factory)(
        &out, stream, &ReadCallback, &WriteCallback, &CreateRewindableCallback, &RewindCallback,
        &CreatePositionableCallback, &MarkCallback, &SeekCallback, &DestroyCallback);
    if (error != nullptr) {
        delete stream;
        ThrowErrorHandle(error);
    }
    return out;
}

}  // namespace QEL_T_MT
