#include "frame/own_names.h"

#include <new>

#include "frame/errors.h"
#include "frame/host_calls.h"

namespace QEL_T_MT {

OwnNameAtoms* detail::gOwnNames = nullptr;

namespace {
using detail::gOwnNames;

const QELStringAtomRef& Atom(unsigned index) {
    if (gOwnNames == nullptr) throw DWEException("QELUtils is not initialized");
    return gOwnNames->atoms[index];
}
}  // namespace

bool CreateOwnNameAtoms() noexcept {
    if (gOwnNames != nullptr) return true;
    try {
        void* block = host::Alloc(sizeof(OwnNameAtoms));
        if (block == nullptr) throw std::bad_alloc();
        auto* names = new (block) OwnNameAtoms;
        // The block is published first so that a failure part-way is undone
        // by the release at shut-down like any other state.
        gOwnNames = names;
        for (unsigned i = 0; i < OwnNameAtoms::kCount; ++i)
            names->atoms[i] = QELStringAtomRef(OwnNameAtoms::kTexts[i]);
        return true;
    } catch (...) {
        return false;
    }
}

void ReleaseOwnNameAtoms() noexcept {
    OwnNameAtoms* names = gOwnNames;
    if (names == nullptr) return;
    for (unsigned i = OwnNameAtoms::kCount; i-- > 0;) names->atoms[i] = QELStringAtomRef();
    names->~OwnNameAtoms();
    host::Free(names);
    gOwnNames = nullptr;
}

const QELStringAtomRef& ImplementationName(OwnKind kind) { return Atom(static_cast<unsigned>(kind)); }
const QELStringAtomRef& InterfaceName(OwnKind kind) { return Atom(static_cast<unsigned>(kind) + 1); }

}  // namespace QEL_T_MT
