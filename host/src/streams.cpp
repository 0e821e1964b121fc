// What every host stream shares, and the rows of the stream factory.
#include <limits>

#include "host_streams.h"

namespace qelhost {

namespace {

// Each kind its own implementation name, so that each has its own signature.
// The container keeps the kind as an untyped tag; it is never written through.
void* Tag(const StreamKind& kind) noexcept { return const_cast<StreamKind*>(&kind); }

void DestroyStream(void* object) { delete static_cast<HostStream*>(object); }

QELErrorHandle UnsupportedStreamProc(QELContainerHandle* out) {
    if (out != nullptr) *out = nullptr;
    return Fail("this kind of stream is not supported by this host", kUnsupported);
}

}  // namespace

const StreamKind kMemoryKind{"QELHostPositionableMemoryStream", "QELHostMemoryStreamInterface", true};
const StreamKind kFileKind{"QELHostPositionableFileStream", "QELHostFileStreamInterface", true};
const StreamKind kClientKind{"QELHostClientPositionableStream", "QELHostClientStreamInterface", false};

const StreamKind* KindOf(void* hostKind) noexcept {
    for (const StreamKind* kind : {&kMemoryKind, &kFileKind, &kClientKind})
        if (hostKind == Tag(*kind)) return kind;
    return nullptr;
}

QELErrorHandle Fail(const char* message, uint32_t id, uint64_t info) {
    ErrorObject* e = MakeError(message, "HOST", id);
    if (e == nullptr) return OutOfMemory();
    e->value1 = info;
    return Wrap(e);
}

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

HostStream* StreamOf(QELContainerHandle handle, const StreamKind** kind) noexcept {
    ContainerHeader* header = Unwrap(handle);
    if (header == nullptr || (*kind = KindOf(KindOfContainer(header).hostKind)) == nullptr) return nullptr;
    return static_cast<HostStream*>(RecordOf(header)->implementationObject);
}

uint64_t ReadAllowance(uint64_t size) noexcept {
    const uint64_t limit = S().streamReadLimit.load(std::memory_order_relaxed);
    return limit != 0 && limit < size ? limit : size;
}

bool SeekTarget(int64_t base, int64_t offset, int64_t* target) noexcept {
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) ||
        (offset < 0 && base < std::numeric_limits<int64_t>::min() - offset))
        return false;
    *target = base + offset;
    return *target >= 0;
}

std::string TakeMessage(QELErrorHandle error) {
    std::string message = Unwrap(error)->message->text();
    RequireRow<qelutils::contract::QELErrorInterface::Release>()(error);
    return message;
}

void RegisterStreamFactory(Registry& registry) {
    using Factory = qelutils::contract::QELStreamFactoryInterface;
    using qelutils::contract::Publish;
    using qelutils::contract::PublishUnspecified;
    AddRows(registry, qelutils::contract::Publication(
                          Publish<Factory::NewPositionableMemoryStream>(&NewMemoryStreamProc),
                          PublishUnspecified<Factory::NewPositionableBufferStream>(&UnsupportedStreamProc),
                          Publish<Factory::NewPositionableFileStream>(&NewFileStreamProc),
                          PublishUnspecified<Factory::NewClientSimpleStream>(&UnsupportedStreamProc),
                          PublishUnspecified<Factory::NewClientRewindableStream>(&UnsupportedStreamProc),
                          Publish<Factory::NewClientPositionableStream>(&NewClientStreamProc)));
}

}  // namespace qelhost
