// The library's own objects in host containers: making them, and finding them
// again in containers handed back.
#pragma once

#include <cstdint>

#include "frame/host_binding.h"
#include "frame/own_names.h"
#include "qelutils/qel_types.h"

namespace QEL_T_MT {

// The record the host lays out at the offset it gave at binding.
inline const QELPrimaryInstanceRecord* PrimaryRecord(QELContainerHandle container) noexcept {
    return reinterpret_cast<const QELPrimaryInstanceRecord*>(reinterpret_cast<const char*>(container) +
                                                             g_binding.offsetToPrimaryInstance);
}

// The implementation object of the container when its primary instance is
// the library's own of that kind: one comparison and one load, no host call.
// Null otherwise (another implementation, or no container).
inline void* OwnPrimaryInstance(QELContainerHandle container, OwnKind kind) noexcept {
    const char* name = ImplementationText(kind);
    if (container == nullptr || name == nullptr) return nullptr;
    const QELPrimaryInstanceRecord* record = PrimaryRecord(container);
    return record->implementationName == name ? record->implementationObject : nullptr;
}

// The implementation object of the container for the kind's implementation
// name, asked of the host (NGetInstance).
void* FindInstanceByName(QELContainerHandle container, OwnKind kind);
// The same, with one comparison and one load when the primary instance is
// ours: the common case stays inline, the host is asked only otherwise.
inline void* FindOwnInstance(QELContainerHandle container, OwnKind kind) {
    if (void* own = OwnPrimaryInstance(container, kind)) return own;
    return FindInstanceByName(container, kind);
}

// A new container (floating, as the host makes it) holding the object.
QELContainerHandle NewOwnContainer(void* object, OwnKind kind, QELDestroyProc destroy);

// A host shared buffer; std::bad_alloc when the host gives none.
QELSharedBuffHandle NewSharedBuffer(uint64_t size, void* data, QELRawPointerReleaseProc release,
                                    void* further);

// Host heap blocks; a null result is std::bad_alloc.
void* HostAlloc(uint64_t size);
void* HostRealloc(void* block, uint64_t size);

}  // namespace QEL_T_MT
