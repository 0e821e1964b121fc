// The library's one connection to its host: the resolver, the five core
// procedures, and the process-wide tables of host-interface procedures that
// are refilled whenever the host's unregister counter moves.
#pragma once

#include <atomic>
#include <cstdint>

#include "frame/proc_table.h"
#include "qelutils/qel_types.h"

namespace QEL_T_MT {

struct HostBinding final {
    QELResolverProc resolver;
    QELRegisterProcAddressProc registerProcAddress;
    QELReportErrorProc reportError;
    QELUnregisterInterfaceProc unregisterInterface;
    QELGetUnregisterCountAddrProc getUnregisterCountAddr;
    QELIsMultiThreadedProc isMultiThreaded;
    const volatile uint32_t* unregisterCounter;
    bool bindingComplete;
    int32_t offsetToPrimaryInstance;
    uint32_t staticConstructionMarker;
    bool detached;
};

// Zero at load; static construction sets the marker.
extern HostBinding g_binding;
inline constexpr uint32_t kStaticConstructionMarker = 13;

enum class HostInterface : uint8_t {
    String,
    Error,
    Memory,
    Container,
    SharedBuff,
    StreamFactory,
    Cache,
};

// Slot indexes, in the order of each interface's import table.
namespace slot {
enum String : uint32_t { NewStringAtom, DeleteStringAtom, GetCString, AddRefAtom, StringCount };
enum Error : uint32_t {
    NewError, GetCoreError, ErrorAddRef, ErrorRelease, GetErrorMessage, GetComponent, GetID,
    GetErrorInfo, ErrorCount
};
enum Memory : uint32_t { Alloc, Realloc, Free, GetBlockSize, MemoryCount };
enum Container : uint32_t {
    NewFullContainer, NewContainer, CloneContainer, ContainerAddRef, ContainerRelease,
    DecrementWithoutDelete, DeleteUnownedContainer, RegisterInterface, RegisterInstance,
    GetMethod, GetParentMethod, GetInstance, NGetInstance, GetSignature, DebugGetRefCountAddr,
    GetOffsetToPrimaryInstance, ContainerCount
};
enum SharedBuff : uint32_t {
    NewBuffer, DeleteUnowned, BufferAddRef, BufferRelease, GetBuffer, GetSize, SharedBuffCount
};
enum StreamFactory : uint32_t {
    NewPositionableMemoryStream, NewPositionableBufferStream, NewPositionableFileStream,
    NewClientSimpleStream, NewClientRewindableStream, NewClientPositionableStream,
    StreamFactoryCount
};
inline constexpr uint32_t CacheCount = 23;
}  // namespace slot

// A host interface's proc table as the library keeps it.
struct HostProcTable final {
    const char* interfaceName;
    const ProcImport* rows;
    uint32_t count;
    std::atomic<void*>* slots;
    std::atomic<uint32_t> generation;
    std::atomic<bool> filled;
};

// Binding and unbinding (called by the lifecycle only).
bool Bind(QELResolverProc resolver);
void Unbind() noexcept;

// The table of an interface, filled and current, or null when it cannot be
// filled (binding in progress, nothing bound).
std::atomic<void*>* CurrentTable(HostInterface which);
// The same, throwing CQELError "Missing Interface" instead of returning null.
std::atomic<void*>* RequireTable(HostInterface which);
// For release paths (destructors): the current table when it can be had,
// otherwise the slots as they stand; never throws, never calls the host after
// process detach.
std::atomic<void*>* ReleaseTable(HostInterface which) noexcept;

// Any proc table imported through the resolver (the host's interfaces, and
// the library's own tables imported back for its own use), made current.
std::atomic<void*>* CurrentProcTable(HostProcTable& table);

// The raw table; for tests and process detach.
HostProcTable& TableOf(HostInterface which) noexcept;

template <class Proc>
inline Proc Slot(std::atomic<void*>* table, uint32_t index) noexcept {
    return ProcCast<Proc>(table[index].load(std::memory_order_relaxed));
}

// Current value of the host's unregister counter (0 when never bound).
uint32_t UnregisterCount() noexcept;

// QELReportError when it is bound; otherwise nothing.
void ReportToHost(const char* message) noexcept;

// QELUnregisterInterface when it is bound; otherwise nothing.
void WithdrawInterface(const char* interfaceName) noexcept;

// Process detach: make every release procedure a no-op.
void ReplaceReleaseProcsByNoops() noexcept;

}  // namespace QEL_T_MT
