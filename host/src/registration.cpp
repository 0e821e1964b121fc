// The host's own interfaces, each service adding its rows; and the cache,
// whose rows are bound but never called.
#include <span>

#include "host_state.h"

namespace qelhost {

void* Unsupported() { return nullptr; }

void RegisterHostInterfaces(Host::State& s) {
    RegisterCore(s.registry);
    RegisterStrings(s.registry);
    RegisterErrors(s.registry);
    RegisterMemory(s.registry);
    RegisterContainers(s.registry);
    RegisterSharedBuffers(s.registry);
    RegisterStreamFactory(s.registry);
    using Cache = qelutils::contract::QELCacheInterface;
    for (const qelutils::contract::Row& row : std::span(Cache::kRows, Cache::kCount))
        s.registry.Add(Cache::kName, row.methodName, row.procTypeName, reinterpret_cast<void*>(&Unsupported));
}

}  // namespace qelhost
