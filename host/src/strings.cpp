// The string service: interned atoms, as QELStringInterface hands them out.
#include "host_state.h"

namespace qelhost {

namespace {

QELStringAtom NewStringAtom(const char* text) {
    if (text == nullptr || S().AllocationFails()) return nullptr;
    return Wrap(S().atoms.Intern(text));
}
void DeleteStringAtom(QELStringAtom atom) { S().atoms.Release(Unwrap(atom)); }
const char* GetCString(QELStringAtom atom) { return atom != nullptr ? Unwrap(atom)->text() : nullptr; }
void AddRefStringAtom(QELStringAtom atom) { S().atoms.AddRef(Unwrap(atom)); }

}  // namespace

void RegisterStrings(Registry& registry) {
    using Strings = qelutils::contract::QELStringInterface;
    using qelutils::contract::Publish;
    AddRows(registry, qelutils::contract::Publication(Publish<Strings::NewStringAtom>(&NewStringAtom),
                                                      Publish<Strings::DeleteStringAtom>(&DeleteStringAtom),
                                                      Publish<Strings::GetCString>(&GetCString),
                                                      Publish<Strings::AddRef>(&AddRefStringAtom)));
}

}  // namespace qelhost
