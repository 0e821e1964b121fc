// Per-kind method tables of host streams and data stores.
#pragma once

#include "frame/method_tables.h"

namespace QEL_T_MT {

namespace stream_slot {
enum Simple : uint32_t { Read, Write, SimpleCount };
enum Rewindable : uint32_t { CreateIndependentlyRewindableStream, Rewind, RewindableCount };
enum Positionable : uint32_t { CreateIndependentlyPositionableStream, Mark, Seek, PositionableCount };
}  // namespace stream_slot

// The three stream tables of a container; each lookup throws CQELError
// "invalid container" when the kind lacks one of the table's methods.
void** SimpleStreamMethods(QELContainerHandle stream);
void** RewindableStreamMethods(QELContainerHandle stream);
void** PositionableStreamMethods(QELContainerHandle stream);

// The lists themselves, for inspection.
QELVTabListGeneric& SimpleStreamList() noexcept;
QELVTabListGeneric& RewindableStreamList() noexcept;
QELVTabListGeneric& PositionableStreamList() noexcept;

// Data-store tables: no operation of this library looks one up, but their
// lists exist for the lifetime of the process.
struct QELDataStoreTraits final {
    static constexpr uint64_t kMethodCount = 1;
    static bool Import(QELContainerHandle container, bool required, void** procs);
};
struct QELSizedDataStoreTraits final {
    static constexpr uint64_t kMethodCount = 1;
    static bool Import(QELContainerHandle container, bool required, void** procs);
};
struct QELDataBlockStreamTraits final {
    static constexpr uint64_t kMethodCount = 2;
    static bool Import(QELContainerHandle container, bool required, void** procs);
};

}  // namespace QEL_T_MT
