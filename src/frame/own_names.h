// The ten name atoms of the library's own implementations and interfaces.
#pragma once

#include "frame/atom_ref.h"

namespace QEL_T_MT {

// Each kind of library object is made and recognised by a pair of names: its
// implementation name and its interface name.
enum class OwnKind : unsigned {
    POSObject = 0,
    POSDictIterator = 2,
    POSStreamer = 4,
    POSValidator = 6,
    QELUtilsDir = 8,
};

struct OwnNameAtoms final {
    static constexpr unsigned kCount = 10;
    static constexpr const char* kTexts[kCount] = {
        "POSObjectImpl",   "POSObjectInterface",   "POSDictIteratorImpl", "POSDictIteratorInterface",
        "POSStreamerImpl", "POSStreamerInterface", "POSValidatorImpl",    "POSValidatorInterface",
        "QELUtilsDir",     "QELUtilsDirInterface",
    };
    QELStringAtomRef atoms[kCount];
};

// Start-up step: false when the block or an atom cannot be made.
bool CreateOwnNameAtoms() noexcept;
// Shut-down step: releases the atoms, last first, and frees the block.
void ReleaseOwnNameAtoms() noexcept;

// The atoms of a kind; DWEException when the block does not exist.
const QELStringAtomRef& ImplementationName(OwnKind kind);
const QELStringAtomRef& InterfaceName(OwnKind kind);

namespace detail {
extern OwnNameAtoms* gOwnNames;
}  // namespace detail

// The text of a kind's implementation name, or null while the block does not
// exist: what a container's primary-instance record is compared with.
inline const char* ImplementationText(OwnKind kind) noexcept {
    const OwnNameAtoms* names = detail::gOwnNames;
    return names != nullptr ? names->atoms[static_cast<unsigned>(kind)].text() : nullptr;
}

}  // namespace QEL_T_MT
