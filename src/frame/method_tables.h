// Method tables of host containers whose kind the library learns only at run
// time: imported once per kind (keyed by the signature text pointer), kept in
// a locked list, re-imported in place when the host's unregister counter moves.
#pragma once

#include <cstdint>

#include "frame/client_base.h"
#include "frame/intrusive_list.h"
#include "frame/lazy_terminate.h"
#include "frame/proc_table.h"
#include "platform/critical_section.h"
#include "qelutils/qel_types.h"

namespace QEL_T_MT {

// Fills procs for one container; required: every method must be found.
using MethodImporter = bool (*)(QELContainerHandle container, bool required, void** procs);

class QELVTabGeneric final : public double_linked_list_element<QELVTabGeneric, CQELClientBasePMT> {
public:
    QELStringAtom signatureAtom = nullptr;
    const char* signatureText = nullptr;
    uint32_t generation = 0;
    bool valid = false;

    explicit QELVTabGeneric(list_type* list) noexcept : double_linked_list_element(list) {}
    ~QELVTabGeneric() override;

    void** procs() noexcept { return reinterpret_cast<void**>(this + 1); }
};

class QELVTabListGeneric : public no_construct_double_linked_list<QELVTabGeneric, CQELClientBasePMT> {
public:
    explicit QELVTabListGeneric(uint64_t methods) noexcept : methodCount(methods) {}
    ~QELVTabListGeneric() = default;
    QELVTabListGeneric(const QELVTabListGeneric&) = delete;
    QELVTabListGeneric& operator=(const QELVTabListGeneric&) = delete;

    // Deletes every table (at termination).
    void DeleteAll() noexcept;

    qel::platform::CriticalSection lock;
    uint64_t methodCount;
};

// A process-wide list of tables that takes part in lazy termination.
class DelVTabListGeneric : public LazyTerminate, public QELVTabListGeneric {
public:
    explicit DelVTabListGeneric(uint64_t methods) noexcept : QELVTabListGeneric(methods) {}
    void Terminate() override { DeleteAll(); }
    // Tables are abandoned: the host may be gone.
    void ProcessDetach() override { Abandon(); }
};

// A table list bound to one kind of method table and its importer.
template <class Traits>
class TDelVTabList final : public DelVTabListGeneric {
public:
    TDelVTabList() noexcept : DelVTabListGeneric(Traits::kMethodCount) {}
    static constexpr MethodImporter importer = &Traits::Import;
};

// A lazy-termination element owning one method-table list: terminating it
// deletes the tables; process detach abandons them only when asked to.
class VTabListTerminate : public LazyTerminate {
public:
    VTabListTerminate(uint64_t methods, bool abandonAtDetach) noexcept
        : list(methods), abandonAtDetach_(abandonAtDetach) {}
    void Terminate() override { list.DeleteAll(); }
    void ProcessDetach() override {
        if (abandonAtDetach_) list.Abandon();
    }

    QELVTabListGeneric list;

private:
    bool abandonAtDetach_;
};

// The procs of the container's kind, or null when the kind lacks a required
// method. Throws CQELError "couldn't get signature" for a null container or
// one without signature.
void** LookupMethodTable(QELVTabListGeneric& list, QELContainerHandle container, MethodImporter importer);

// Fills procs through the container's GetMethod; true when every required
// method was found.
bool ImportInstanceMethods(const ProcImport* rows, uint32_t count, QELContainerHandle container,
                           bool required, void** procs);

// The importer of one table of the contract.
template <class Table>
bool ImportTable(QELContainerHandle container, bool required, void** procs) {
    return ImportInstanceMethods(Table::kRows, Table::kCount, container, required, procs);
}

// LookupMethodTable that throws CQELError "invalid container" instead of
// returning null.
void** RequireMethodTable(QELVTabListGeneric& list, QELContainerHandle container, MethodImporter importer);

}  // namespace QEL_T_MT
