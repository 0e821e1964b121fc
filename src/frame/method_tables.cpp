#include "frame/method_tables.h"

#include <new>

#include "frame/atom_ref.h"
#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"

namespace QEL_T_MT {

namespace {

const char* SignatureOf(QELContainerHandle container) {
    const char* signature = container != nullptr ? PrimaryRecord(container)->signature : nullptr;
    if (signature == nullptr) ThrowQELError("couldn't get signature", "", 0);
    return signature;
}

// Re-keys the table on a fresh atom of the signature, then imports. The
// generation is set only once the import has run, so that an import that
// threw part-way (the host out of memory) is tried again at the next lookup.
void** Import(QELVTabGeneric& table, QELContainerHandle container, MethodImporter importer, uint32_t now) {
    QELStringAtomRef atom(SignatureOf(container));
    if (table.signatureAtom != nullptr) host::DeleteStringAtom(table.signatureAtom);
    table.signatureText = atom.text();
    table.signatureAtom = atom.Detach();
    table.valid = false;
    table.valid = importer(container, true, table.procs());
    table.generation = now;
    return table.valid ? table.procs() : nullptr;
}

}  // namespace

QELVTabGeneric::~QELVTabGeneric() {
    if (signatureAtom != nullptr) host::DeleteStringAtom(signatureAtom);
}

void QELVTabListGeneric::DeleteAll() noexcept {
    while (QELVTabGeneric* table = first()) delete table;
}

void** LookupMethodTable(QELVTabListGeneric& list, QELContainerHandle container, MethodImporter importer) {
    const char* signature = SignatureOf(container);
    qel::platform::CriticalSectionLock hold(list.lock);
    const uint32_t now = UnregisterCount();
    for (QELVTabGeneric* t = list.first(); t != nullptr; t = t->next()) {
        if (t->signatureText != signature) continue;
        if (t->generation == now) return t->valid ? t->procs() : nullptr;
        return Import(*t, container, importer, now);
    }
    auto* table = new (list.methodCount * sizeof(void*)) QELVTabGeneric(&list);
    for (uint64_t i = 0; i < list.methodCount; ++i) table->procs()[i] = nullptr;
    table->generation = now - 1;  // not imported yet
    try {
        return Import(*table, container, importer, now);
    } catch (...) {
        // Not even keyed: no later lookup could find it again.
        if (table->signatureText == nullptr) delete table;
        throw;
    }
}

void** RequireMethodTable(QELVTabListGeneric& list, QELContainerHandle container, MethodImporter importer) {
    void** procs = LookupMethodTable(list, container, importer);
    if (procs == nullptr) ThrowQELError("invalid container", "", 0);
    return procs;
}

bool ImportInstanceMethods(const ProcImport* rows, uint32_t count, QELContainerHandle container,
                           bool required, void** procs) {
    const auto getMethod = RequireProc<host::Containers::GetMethod>();
    for (uint32_t i = 0; i < count; ++i) {
        const QELStringAtomRef procType(rows[i].procTypeName);
        const QELStringAtomRef method(rows[i].methodName);
        void* proc = nullptr;
        CheckHostResult(getMethod(&proc, container, method.atom(), procType.atom(), required ? 0 : 1));
        procs[i] = proc;
        if (required && proc == nullptr) return false;
    }
    return true;
}

}  // namespace QEL_T_MT
