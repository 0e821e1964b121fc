// Per-kind method tables of host streams and data stores.
#pragma once

#include "frame/method_tables.h"

namespace QEL_T_MT {

using SimpleStream = contract::QELSimpleStream;
using RewindableStream = contract::QELRewindableStream;
using PositionableStream = contract::QELPositionableStream;

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
template <class Table>
struct DataStoreTraits final {
    static constexpr uint64_t kMethodCount = Table::kCount;
    static bool Import(QELContainerHandle container, bool required, void** procs) {
        return ImportTable<Table>(container, required, procs);
    }
};
using QELDataStoreTraits = DataStoreTraits<contract::QELDataStore>;
using QELSizedDataStoreTraits = DataStoreTraits<contract::QELSizedDataStore>;
using QELDataBlockStreamTraits = DataStoreTraits<contract::QELDataBlockStream>;

}  // namespace QEL_T_MT
