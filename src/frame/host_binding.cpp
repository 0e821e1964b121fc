#include "frame/host_binding.h"

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/lazy_terminate.h"
#include "frame/process_wide.h"

namespace QEL_T_MT {

HostBinding g_binding;

namespace {

// Stand-ins for host procedures before binding and after process detach.
void NoopContainerRelease(QELContainerHandle) {}
void NoopDeleteAtom(QELStringAtom) {}
QELErrorHandle NoopErrorAddRef(QELErrorHandle e) { return e; }
void NoopErrorRelease(QELErrorHandle) {}
void NoopBufferRelease(QELSharedBuffHandle) {}
void NoopFree(void*) {}

template <auto S>
void SetNoop(ProcTypeOf<S> proc) noexcept {
    SetProc<S>(TableFor<TableOf<S>>().slots, proc);
}

// Static construction: the marker, and the no-op procedures that let the
// process-wide error object and container references be destroyed unbound.
struct StaticConstruction final {
    StaticConstruction() noexcept {
        SetNoop<contract::QELErrorInterface::AddRef>(&NoopErrorAddRef);
        SetNoop<contract::QELErrorInterface::Release>(&NoopErrorRelease);
        SetNoop<contract::QELContainerInterface::Release>(&NoopContainerRelease);
        g_binding.staticConstructionMarker = kStaticConstructionMarker;
    }
};
QEL_PROCESS_WIDE StaticConstruction gStaticConstruction;

}  // namespace

std::atomic<void*>* RefreshProcTable(HostProcTable& t) {
    const volatile uint32_t* counter = g_binding.unregisterCounter;
    if (counter == nullptr || g_binding.detached) return nullptr;
    const uint32_t now = *counter;
    if (t.filled.load(std::memory_order_acquire) && t.generation.load(std::memory_order_acquire) == now)
        return t.slots;
    if (!ImportProcTable(t.rows, t.count, t.interfaceName, t.slots)) {
        if (&t == &TableFor<contract::QELStreamFactoryInterface>()) t.slots[0].store(nullptr);
        return nullptr;
    }
    t.generation.store(now, std::memory_order_release);
    t.filled.store(true, std::memory_order_release);
    return t.slots;
}

bool ImportProcTable(const ProcImport* rows, uint32_t count, const char* interfaceName,
                     std::atomic<void*>* slots) {
    QELResolverProc resolver = g_binding.resolver;
    if (resolver == nullptr) return false;
    for (uint32_t i = count; i-- > 0;) {
        void* proc = resolver(interfaceName, rows[i].methodName, rows[i].procTypeName);
        slots[i].store(proc, std::memory_order_relaxed);
        if (proc == nullptr) {
            if (!g_binding.bindingComplete) return false;
            ThrowQELError("", "QEL", 0);
        }
    }
    return true;
}

bool RegisterProcTable(const ProcRegistration* rows, uint32_t count, const char* interfaceName) {
    for (uint32_t i = 0; i < count; ++i) {
        if (CoreProc<contract::QEL::QELRegisterProcAddress>()(interfaceName, rows[i].methodName,
                                                               rows[i].procTypeName, rows[i].proc) == 0)
            return false;
    }
    return true;
}

void ThrowMissingInterface() { ThrowQELError("Missing Interface", "QEL", 0); }

std::atomic<void*>* ReleaseProcTable(HostProcTable& t) noexcept {
    try {
        if (std::atomic<void*>* current = CurrentProcTable(t)) return current;
    } catch (...) {
        // A withdrawn interface: fall back on the addresses last bound.
    }
    return t.slots;
}

uint32_t UnregisterCount() noexcept {
    const volatile uint32_t* counter = g_binding.unregisterCounter;
    return counter != nullptr ? *counter : 0;
}

bool Bind(QELResolverProc resolver) {
    HostBinding& b = g_binding;
    if (b.resolver != nullptr) return true;
    if (resolver == nullptr) return false;
    b.resolver = resolver;

    // All five are resolved before any is tested.
    using contract::QEL;
    for (uint32_t i = 0; i < QEL::kCount; ++i)
        b.core[i] = resolver(QEL::kName, QEL::kRows[i].methodName, QEL::kRows[i].procTypeName);
    for (void* proc : b.core)
        if (proc == nullptr) return false;

    b.unregisterCounter = CoreProc<QEL::QELGetUnregisterCountAddr>()();
    b.bindingComplete = false;
    if (b.unregisterCounter == nullptr) return false;

    if (b.staticConstructionMarker != kStaticConstructionMarker) return false;
    std::atomic<void*>* containers = CurrentTable<contract::QELContainerInterface>();
    if (containers == nullptr) return false;
    b.offsetToPrimaryInstance = Proc<contract::QELContainerInterface::GetOffsetToPrimaryInstance>(containers)();

    std::atomic<void*>* errors = CurrentTable<contract::QELErrorInterface>();
    if (errors == nullptr) return false;
    QELErrorHandle generic = Proc<contract::QELErrorInterface::GetCoreError>(errors)(0);
    if (generic == nullptr) return false;
    GenericError().Adopt(generic);

    if (CurrentTable<contract::QELStringInterface>() == nullptr) return false;
    RequireTable<contract::QELMemoryInterface>();

    b.bindingComplete = true;
    return LazyTerminate::InitializeAll();
}

void Unbind() noexcept {
    if (g_binding.resolver == nullptr) return;
    LazyTerminate::TerminateAll();
    GenericError().Adopt(nullptr);
    g_binding.resolver = nullptr;
}

void ReportToHost(const char* message) noexcept {
    const auto report = CoreProc<contract::QEL::QELReportError>();
    if (g_binding.resolver != nullptr && report != nullptr) report(message);
}

void WithdrawInterface(const char* interfaceName) noexcept {
    if (const auto withdraw = CoreProc<contract::QEL::QELUnregisterInterface>()) withdraw(interfaceName);
}

void ReplaceReleaseProcsByNoops() noexcept {
    SetNoop<contract::QELContainerInterface::Release>(&NoopContainerRelease);
    SetNoop<contract::QELStringInterface::DeleteStringAtom>(&NoopDeleteAtom);
    SetNoop<contract::QELErrorInterface::AddRef>(&NoopErrorAddRef);
    SetNoop<contract::QELErrorInterface::Release>(&NoopErrorRelease);
    SetNoop<contract::QELSharedBuffInterface::Release>(&NoopBufferRelease);
    SetNoop<contract::QELMemoryInterface::Free>(&NoopFree);
    // From now on the tables stand as they are: the host may be gone.
    g_binding.detached = true;
}

}  // namespace QEL_T_MT
