#include "frame/host_services.h"

#include <new>

#include "frame/errors.h"
#include "frame/host_calls.h"

namespace QEL_T_MT {

void* FindInstanceByName(QELContainerHandle container, OwnKind kind) {
    const QELStringAtomRef& name = ImplementationName(kind);
    void* object = nullptr;
    CheckHostResult(RequireProc<host::Containers::NGetInstance>()(&object, container, name.atom()));
    return object;
}

QELContainerHandle NewOwnContainer(void* object, OwnKind kind, QELDestroyProc destroy) {
    QELContainerHandle out = nullptr;
    CheckHostResult(RequireProc<host::Containers::NewFullContainer>()(
        &out, object, ImplementationName(kind).atom(), destroy, InterfaceName(kind).atom(), nullptr, nullptr,
        nullptr));
    return out;
}

QELSharedBuffHandle NewSharedBuffer(uint64_t size, void* data, QELRawPointerReleaseProc release,
                                    void* further) {
    QELSharedBuffHandle buffer = RequireProc<host::SharedBuffers::NewBuffer>()(size, data, release, further);
    if (buffer == nullptr) {
        if (release != nullptr && data != nullptr) release(data);
        throw std::bad_alloc();
    }
    return buffer;
}

void* HostAlloc(uint64_t size) {
    void* block = host::Alloc(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* HostRealloc(void* block, uint64_t size) {
    void* grown = host::Realloc(block, size);
    if (grown == nullptr) throw std::bad_alloc();
    return grown;
}

}  // namespace QEL_T_MT
