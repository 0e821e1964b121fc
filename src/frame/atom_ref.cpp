#include "frame/atom_ref.h"

#include <new>

#include "frame/host_calls.h"

namespace QEL_T_MT {

QELStringAtomRef::QELStringAtomRef(const char* text) : atom_(host::NewStringAtom(text)) {
    if (atom_ == nullptr) throw std::bad_alloc();
    try {
        text_ = host::GetCString(atom_);
    } catch (...) {
        host::DeleteStringAtom(atom_);
        throw;
    }
}

QELStringAtomRef::QELStringAtomRef(QELStringAtom atom, bool adopt) {
    if (atom == nullptr) return;
    if (!adopt) host::AddRefAtom(atom);
    atom_ = atom;
    text_ = host::GetCString(atom);
}

QELStringAtomRef QELStringAtomRef::Borrow(QELStringAtom atom, const char* text) {
    QELStringAtomRef ref;
    if (atom == nullptr) return ref;
    host::AddRefAtom(atom);
    ref.atom_ = atom;
    ref.text_ = text;
    return ref;
}

QELStringAtomRef::QELStringAtomRef(const QELStringAtomRef& other) : atom_(other.atom_), text_(other.text_) {
    if (atom_ != nullptr) host::AddRefAtom(atom_);
}

QELStringAtomRef::QELStringAtomRef(QELStringAtomRef&& other) noexcept
    : atom_(other.atom_), text_(other.text_) {
    other.atom_ = nullptr;
    other.text_ = nullptr;
}

QELStringAtomRef& QELStringAtomRef::operator=(QELStringAtomRef other) noexcept {
    swap(other);
    return *this;
}

QELStringAtomRef::~QELStringAtomRef() {
    if (atom_ != nullptr) host::DeleteStringAtom(atom_);
}

void QELStringAtomRef::swap(QELStringAtomRef& other) noexcept {
    QELStringAtom a = atom_;
    const char* t = text_;
    atom_ = other.atom_;
    text_ = other.text_;
    other.atom_ = a;
    other.text_ = t;
}

QELStringAtom QELStringAtomRef::Detach() noexcept {
    QELStringAtom a = atom_;
    atom_ = nullptr;
    text_ = nullptr;
    return a;
}

}  // namespace QEL_T_MT
