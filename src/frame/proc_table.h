// Rows of the tables through which the library imports host procedures and
// publishes its own, the two operations over them, and typed access to a
// table's slots. The rows themselves are the contract's lists
// (qelutils/contract.h): nothing here names a method.
#pragma once

#include <atomic>
#include <cstdint>

#include "qelutils/contract.h"

namespace QEL_T_MT {

namespace contract = qelutils::contract;

using ProcImport = contract::Row;
using ProcRegistration = contract::Registration;
using contract::Publication;
using contract::Publish;

// The C type of slot S, and the table it belongs to.
template <auto S>
using ProcTypeOf = contract::ProcType<S>;
template <auto S>
using TableOf = contract::TableOf<S>;

// Fills slots[0..count) from the resolver, last row first. Returns false when a
// method is missing while binding is in progress (or nothing is bound); once
// binding is complete a missing method throws CQELError (empty message, "QEL").
bool ImportProcTable(const ProcImport* rows, uint32_t count, const char* interfaceName,
                     std::atomic<void*>* slots);

// Publishes the first count rows; stops at the first refused row.
bool RegisterProcTable(const ProcRegistration* rows, uint32_t count, const char* interfaceName);

template <class Table>
bool RegisterProcTable(const Publication<Table>& publication) {
    return RegisterProcTable(publication.rows(), publication.count(), publication.name());
}

// Procedures cross the boundary as untyped addresses; these are the only
// places that turn one back, and only into the type of its row.
template <auto S>
inline ProcTypeOf<S> Proc(const std::atomic<void*>* slots) noexcept {
    return reinterpret_cast<ProcTypeOf<S>>(slots[S].load(std::memory_order_relaxed));
}
template <auto S>
inline ProcTypeOf<S> Proc(void* const* procs) noexcept {
    return reinterpret_cast<ProcTypeOf<S>>(procs[S]);
}
template <auto S>
inline void SetProc(std::atomic<void*>* slots, ProcTypeOf<S> proc) noexcept {
    slots[S].store(reinterpret_cast<void*>(proc), std::memory_order_relaxed);
}

}  // namespace QEL_T_MT
