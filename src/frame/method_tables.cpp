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

// Re-keys the table on a fresh atom of the signature, then imports.
void** Import(QELVTabGeneric& table, QELContainerHandle container, MethodImporter importer) {
    QELStringAtomRef atom(SignatureOf(container));
    if (table.signatureAtom != nullptr) host::DeleteStringAtom(table.signatureAtom);
    table.signatureText = atom.text();
    table.signatureAtom = atom.Detach();
    table.valid = importer(container, true, table.procs());
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
        t->generation = now;
        return Import(*t, container, importer);
    }
    auto* table = new (list.methodCount * sizeof(void*)) QELVTabGeneric(&list);
    for (uint64_t i = 0; i < list.methodCount; ++i) table->procs()[i] = nullptr;
    table->generation = now;
    return Import(*table, container, importer);
}

void** RequireMethodTable(QELVTabListGeneric& list, QELContainerHandle container, MethodImporter importer) {
    void** procs = LookupMethodTable(list, container, importer);
    if (procs == nullptr) ThrowQELError("invalid container", "", 0);
    return procs;
}

bool ImportInstanceMethods(const ProcImport* rows, uint32_t count, QELContainerHandle container,
                           bool required, void** procs) {
    auto getMethod = Slot<QELGetMethodV3Proc>(host::Containers(), slot::GetMethod);
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
