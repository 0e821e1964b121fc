// The broker's core procedures: registration of rows, error reports, and the
// withdrawal of interfaces with its counter.
#include "host_state.h"

namespace qelhost {

namespace {

int32_t RegisterProcAddress(const char* interfaceName, const char* methodName, const char* procTypeName,
                            void* proc) {
    Host::State& s = S();
    if (interfaceName == nullptr || methodName == nullptr || procTypeName == nullptr) return 0;
    const uint64_t n = s.registrations.fetch_add(1, std::memory_order_relaxed) + 1;
    bool accepted = n != s.refuseRegistrationAt.load(std::memory_order_relaxed) &&
                    s.registry.Add(interfaceName, methodName, procTypeName, proc);
    s.Log({accepted ? RegistryEvent::Kind::Registered : RegistryEvent::Kind::Refused, interfaceName, methodName,
           procTypeName});
    return accepted ? 1 : 0;
}

void ReportError(const char* message) {
    Host::State& s = S();
    std::lock_guard hold(s.logLock);
    s.reports.emplace_back(message != nullptr ? message : "(null)");
}

void UnregisterInterface(const char* interfaceName) {
    Host::State& s = S();
    if (interfaceName == nullptr) return;
    s.registry.RemoveInterface(interfaceName);
    std::atomic_ref<uint32_t>(s.unregisterCounter).fetch_add(1, std::memory_order_release);
    s.Log({RegistryEvent::Kind::Withdrawn, interfaceName, "", ""});
}

const volatile uint32_t* GetUnregisterCountAddr() { return &S().unregisterCounter; }
int32_t IsMultiThreaded() { return 1; }

}  // namespace

void RegisterCore(Registry& registry) {
    using Core = qelutils::contract::QEL;
    using qelutils::contract::Publish;
    AddRows(registry, qelutils::contract::Publication(
                          Publish<Core::QELRegisterProcAddress>(&RegisterProcAddress),
                          Publish<Core::QELReportError>(&ReportError),
                          Publish<Core::QELUnregisterInterface>(&UnregisterInterface),
                          Publish<Core::QELGetUnregisterCountAddr>(&GetUnregisterCountAddr),
                          Publish<Core::QELIsMultiThreaded>(&IsMultiThreaded)));
}

}  // namespace qelhost
