// Host streams, used by the library through their three method tables, and
// library streams published to the host through its stream factory.
#pragma once

#include <cstdint>

#include "frame/client_base.h"
#include "frame/container_ref.h"
#include "qelutils/qel_types.h"

namespace QEL_T_MT {

// One reference to a host stream with its simple, rewindable and
// positionable tables; a stream that lacks one is CQELError "invalid container".
class HostStreamRef final {
public:
    explicit HostStreamRef(QELContainerHandle stream);

    // The count actually read; fewer than asked is the caller's business.
    uint64_t Read(void* buffer, uint64_t size) const;
    void Write(const void* data, uint64_t size) const;
    int64_t Mark() const;
    void Seek(int64_t position, int64_t origin) const;

    QELContainerHandle handle() const noexcept { return stream_.handle(); }

    // Hands the stream to a caller that receives no reference.
    QELContainerHandle ReleaseForReturn() noexcept {
        simple_ = rewindable_ = positionable_ = nullptr;
        return stream_.ReleaseForReturn();
    }

private:
    QELContainerRef stream_;
    void** simple_ = nullptr;
    void** rewindable_ = nullptr;
    void** positionable_ = nullptr;
};

// Library streams; failures are thrown, and the callbacks turn them into
// error handles for the host.
class QELClientSimpleStream : public CQELVirtualClientBase {
public:
    virtual uint64_t Read(void* buffer, uint64_t size) = 0;
    virtual void Write(const void* data, uint64_t size) = 0;
};

class QELClientRewindableStream : public QELClientSimpleStream {
public:
    // A new stream object over the same data with its own position.
    virtual QELClientRewindableStream* CreateIndependentlyRewindableStream() = 0;
    virtual void Rewind() = 0;
};

class QELClientPositionableStream : public QELClientRewindableStream {
public:
    virtual QELClientPositionableStream* CreateIndependentlyPositionableStream() = 0;
    virtual void Seek(int64_t position, int64_t origin) = 0;
    virtual int64_t Mark() = 0;

    QELClientRewindableStream* CreateIndependentlyRewindableStream() override {
        return CreateIndependentlyPositionableStream();
    }
    void Rewind() override { Seek(0, 0); }
};

// Publishes a library stream as a host stream. The host owns the object from
// then on; when the stream factory cannot be had the object is deleted and
// null returned; a refusal deletes it and throws.
QELContainerHandle NewHostStreamFromClient(QELClientPositionableStream* stream);

}  // namespace QEL_T_MT
