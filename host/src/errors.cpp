// The error service: counted error objects, and the two permanent core errors.
#include <new>

#include "host_state.h"

namespace qelhost {

namespace {

QELErrorHandle NewError(const char* message, const char* component, uint32_t id, uint64_t v1, uint64_t v2) {
    ErrorObject* e = MakeError(message, component, id);
    if (e != nullptr) {
        e->value1 = v1;
        e->value2 = v2;
    }
    return Wrap(e);
}
QELErrorHandle GetCoreError(uint32_t code) { return Wrap(CoreError(code)); }
QELErrorHandle ErrorAddRef(QELErrorHandle error) {
    if (ErrorObject* e = Unwrap(error)) {
        e->refs.fetch_add(1, std::memory_order_relaxed);
        Count(Tally::ErrorRefs, 1);
    }
    return error;
}
void ErrorRelease(QELErrorHandle error) {
    ErrorObject* e = Unwrap(error);
    if (e == nullptr) return;
    Count(Tally::ErrorRefs, -1);
    if (e->refs.fetch_sub(1, std::memory_order_acq_rel) != 1 || e->core) return;
    S().atoms.Release(e->message);
    S().atoms.Release(e->component);
    delete e;
}
QELStringAtom ErrorGetMessage(QELErrorHandle error) {
    return error != nullptr ? Wrap(Unwrap(error)->message) : nullptr;
}
QELStringAtom ErrorGetComponent(QELErrorHandle error) {
    return error != nullptr ? Wrap(Unwrap(error)->component) : nullptr;
}
uint32_t ErrorGetID(QELErrorHandle error) { return error != nullptr ? Unwrap(error)->id : 0; }
uint64_t GetErrorInfo(QELErrorHandle error) { return error != nullptr ? Unwrap(error)->value1 : 0; }

}  // namespace

ErrorObject* MakeError(const char* message, const char* component, uint32_t id) {
    Host::State& s = S();
    Atom* m = s.atoms.Intern(message != nullptr ? message : "");
    Atom* c = s.atoms.Intern(component != nullptr ? component : "");
    auto* e = (m != nullptr && c != nullptr) ? new (std::nothrow) ErrorObject{{1}, m, c, id, 0, 0, false} : nullptr;
    if (e == nullptr) {
        s.atoms.Release(m);
        s.atoms.Release(c);
        return nullptr;
    }
    Count(Tally::ErrorRefs, 1);
    return e;
}

ErrorObject* CoreError(uint32_t code) {
    Host::State& s = S();
    ErrorObject* e = s.coreErrors[code == 1 ? 1 : 0];
    e->refs.fetch_add(1, std::memory_order_relaxed);
    Count(Tally::ErrorRefs, 1);
    return e;
}

void RegisterErrors(Registry& registry) {
    using Errors = qelutils::contract::QELErrorInterface;
    using qelutils::contract::Publish;
    AddRows(registry, qelutils::contract::Publication(
                          Publish<Errors::NewError>(&NewError), Publish<Errors::GetCoreError>(&GetCoreError),
                          Publish<Errors::AddRef>(&ErrorAddRef), Publish<Errors::Release>(&ErrorRelease),
                          Publish<Errors::GetErrorMessage>(&ErrorGetMessage),
                          Publish<Errors::GetComponent>(&ErrorGetComponent), Publish<Errors::GetID>(&ErrorGetID),
                          qelutils::contract::PublishUnspecified<Errors::GetErrorInfo>(&GetErrorInfo)));
}

}  // namespace qelhost
