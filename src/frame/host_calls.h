// Typed calls of the host services through the current proc tables.
// Creating calls throw when the interface cannot be had; releasing calls never
// throw and do nothing before binding and after process detach.
#pragma once

#include <cstdint>

#include "frame/host_binding.h"

namespace QEL_T_MT::host {

// Strings
inline QELStringAtom NewStringAtom(const char* text) {
    return Slot<QELNewStringAtomProc>(RequireTable(HostInterface::String), slot::NewStringAtom)(text);
}
inline const char* GetCString(QELStringAtom atom) {
    return Slot<QELGetCStringProc>(RequireTable(HostInterface::String), slot::GetCString)(atom);
}
inline void AddRefAtom(QELStringAtom atom) {
    Slot<QELAddRefStringAtomProc>(RequireTable(HostInterface::String), slot::AddRefAtom)(atom);
}
void DeleteStringAtom(QELStringAtom atom) noexcept;

// Errors
inline QELErrorHandle NewError(const char* message, const char* component, uint32_t id, uint64_t v1,
                               uint64_t v2) {
    return Slot<QELNewErrorProc>(RequireTable(HostInterface::Error), slot::NewError)(message, component,
                                                                                       id, v1, v2);
}
inline QELErrorHandle GetCoreError(uint32_t code) {
    return Slot<QELGetCoreErrorProc>(RequireTable(HostInterface::Error), slot::GetCoreError)(code);
}
inline QELStringAtom GetErrorMessage(QELErrorHandle e) {
    return Slot<QELErrorGetMessageProc>(RequireTable(HostInterface::Error), slot::GetErrorMessage)(e);
}
inline QELStringAtom GetComponent(QELErrorHandle e) {
    return Slot<QELErrorGetComponentProc>(RequireTable(HostInterface::Error), slot::GetComponent)(e);
}
inline uint32_t GetID(QELErrorHandle e) {
    return Slot<QELErrorGetIDProc>(RequireTable(HostInterface::Error), slot::GetID)(e);
}
QELErrorHandle ErrorAddRef(QELErrorHandle e) noexcept;
void ErrorRelease(QELErrorHandle e) noexcept;

// Memory
inline void* Alloc(uint64_t size) {
    return Slot<QELMemAllocProc>(RequireTable(HostInterface::Memory), slot::Alloc)(size);
}
inline void* Realloc(void* block, uint64_t size) {
    return Slot<QELMemReallocProc>(RequireTable(HostInterface::Memory), slot::Realloc)(block, size);
}
void Free(void* block) noexcept;

// Containers
inline std::atomic<void*>* Containers() { return RequireTable(HostInterface::Container); }
inline int32_t ContainerAddRef(QELContainerHandle c) {
    return Slot<QELAddRefContainerV2Proc>(Containers(), slot::ContainerAddRef)(c);
}
void ContainerRelease(QELContainerHandle c) noexcept;
void DecrementWithoutDelete(QELContainerHandle c) noexcept;

// Shared buffers
inline void BufferAddRef(QELSharedBuffHandle b) {
    Slot<QELSharedBuffAddRefProc>(RequireTable(HostInterface::SharedBuff), slot::BufferAddRef)(b);
}
inline void* GetBuffer(QELSharedBuffHandle b) {
    return Slot<QELSharedBuffGetBufferProc>(RequireTable(HostInterface::SharedBuff), slot::GetBuffer)(b);
}
inline uint64_t GetBufferSize(QELSharedBuffHandle b) {
    return Slot<QELSharedBuffGetSizeProc>(RequireTable(HostInterface::SharedBuff), slot::GetSize)(b);
}
void BufferRelease(QELSharedBuffHandle b) noexcept;

}  // namespace QEL_T_MT::host
