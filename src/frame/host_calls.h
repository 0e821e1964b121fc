// Typed calls of the host services through the current proc tables.
// Creating calls throw when the interface cannot be had; releasing calls never
// throw and do nothing before binding and after process detach.
#pragma once

#include <cstdint>

#include "frame/host_binding.h"

namespace QEL_T_MT::host {

using Strings = contract::QELStringInterface;
using Errors = contract::QELErrorInterface;
using Memory = contract::QELMemoryInterface;
using Containers = contract::QELContainerInterface;
using SharedBuffers = contract::QELSharedBuffInterface;

// Strings
inline QELStringAtom NewStringAtom(const char* text) { return RequireProc<Strings::NewStringAtom>()(text); }
inline const char* GetCString(QELStringAtom atom) { return RequireProc<Strings::GetCString>()(atom); }
inline void AddRefAtom(QELStringAtom atom) { RequireProc<Strings::AddRef>()(atom); }
void DeleteStringAtom(QELStringAtom atom) noexcept;

// Errors
inline QELErrorHandle NewError(const char* message, const char* component, uint32_t id, uint64_t v1,
                               uint64_t v2) {
    return RequireProc<Errors::NewError>()(message, component, id, v1, v2);
}
inline QELErrorHandle GetCoreError(uint32_t code) { return RequireProc<Errors::GetCoreError>()(code); }
inline QELStringAtom GetErrorMessage(QELErrorHandle e) { return RequireProc<Errors::GetErrorMessage>()(e); }
inline QELStringAtom GetComponent(QELErrorHandle e) { return RequireProc<Errors::GetComponent>()(e); }
inline uint32_t GetID(QELErrorHandle e) { return RequireProc<Errors::GetID>()(e); }
QELErrorHandle ErrorAddRef(QELErrorHandle e) noexcept;
void ErrorRelease(QELErrorHandle e) noexcept;

// Memory
inline void* Alloc(uint64_t size) { return RequireProc<Memory::Alloc>()(size); }
inline void* Realloc(void* block, uint64_t size) { return RequireProc<Memory::Realloc>()(block, size); }
void Free(void* block) noexcept;

// Containers
inline int32_t ContainerAddRef(QELContainerHandle c) { return RequireProc<Containers::AddRef>()(c); }
void ContainerRelease(QELContainerHandle c) noexcept;
void DecrementWithoutDelete(QELContainerHandle c) noexcept;

// Shared buffers
inline void BufferAddRef(QELSharedBuffHandle b) { RequireProc<SharedBuffers::AddRef>()(b); }
inline void* GetBuffer(QELSharedBuffHandle b) { return RequireProc<SharedBuffers::GetBuffer>()(b); }
inline uint64_t GetBufferSize(QELSharedBuffHandle b) { return RequireProc<SharedBuffers::GetSize>()(b); }
void BufferRelease(QELSharedBuffHandle b) noexcept;

}  // namespace QEL_T_MT::host
