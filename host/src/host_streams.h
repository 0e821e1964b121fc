// What every host stream shares: the kinds, the stream object behind each
// container, its publication, and the host's stream errors.
#pragma once

#include <memory>
#include <string>

#include "host_state.h"

namespace qelhost {

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

inline QELErrorHandle OutOfMemory() { return Wrap(CoreError(1)); }

// A host error. When even that cannot be made, out of memory: a failure must
// never come back as null, which reads as success.
QELErrorHandle Fail(const char* message, uint32_t id, uint64_t info = 0);
inline QELErrorHandle Fail(const std::string& message, uint32_t id, uint64_t info = 0) {
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

struct StreamKind final {
    const char* implementationName;
    const char* interfaceName;
    bool hostData;  // the host holds the data: faults and read limits apply
};
extern const StreamKind kMemoryKind;
extern const StreamKind kFileKind;
extern const StreamKind kClientKind;
// The kind of a host-made container's tag; null for any other tag.
const StreamKind* KindOf(void* hostKind) noexcept;

// What every host stream does; the seven methods dispatch to it.
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

// Makes the container of a stream. Ownership passes to the container only
// on success; on failure the caller still holds the stream.
QELErrorHandle Publish(QELContainerHandle* out, std::unique_ptr<HostStream>& stream, const StreamKind& kind);

// The stream behind a container of this host and its kind; null for any
// other container.
HostStream* StreamOf(QELContainerHandle handle, const StreamKind** kind) noexcept;

// How many bytes a Read of the host's own data may give.
uint64_t ReadAllowance(uint64_t size) noexcept;

// Resolves a seek target; false when it falls before the start or overflows.
bool SeekTarget(int64_t base, int64_t offset, int64_t* target) noexcept;

// Hands a host error's message to a C++ caller and gives the error back.
std::string TakeMessage(QELErrorHandle error);

}  // namespace qelhost
