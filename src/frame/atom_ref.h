// One owned reference to a host string atom, with the atom's text.
#pragma once

#include "qelutils/qel_types.h"

namespace QEL_T_MT {

class QELStringAtomRef final {
public:
    QELStringAtomRef() noexcept = default;
    // NewStringAtom; a null atom is std::bad_alloc.
    explicit QELStringAtomRef(const char* text);
    // adopt: take over the caller's reference; otherwise take one of our own.
    QELStringAtomRef(QELStringAtom atom, bool adopt);
    // A reference of our own to an atom whose text the caller has read
    // already (AddRef only).
    static QELStringAtomRef Borrow(QELStringAtom atom, const char* text);
    QELStringAtomRef(const QELStringAtomRef& other);
    QELStringAtomRef(QELStringAtomRef&& other) noexcept;
    QELStringAtomRef& operator=(QELStringAtomRef other) noexcept;
    ~QELStringAtomRef();

    QELStringAtom atom() const noexcept { return atom_; }
    const char* text() const noexcept { return text_; }
    explicit operator bool() const noexcept { return atom_ != nullptr; }

    void swap(QELStringAtomRef& other) noexcept;
    // Gives the reference to the caller and leaves this value empty.
    QELStringAtom Detach() noexcept;

private:
    QELStringAtom atom_ = nullptr;
    const char* text_ = nullptr;
};

}  // namespace QEL_T_MT
