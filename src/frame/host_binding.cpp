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

void SetSlot(HostInterface which, uint32_t index, void* proc) noexcept {
    TableOf(which).slots[index].store(proc, std::memory_order_relaxed);
}

// Static construction: the marker, and the no-op procedures that let the
// process-wide error object and container references be destroyed unbound.
struct StaticConstruction final {
    StaticConstruction() noexcept {
        SetSlot(HostInterface::Error, slot::ErrorAddRef, ProcAddress(&NoopErrorAddRef));
        SetSlot(HostInterface::Error, slot::ErrorRelease, ProcAddress(&NoopErrorRelease));
        SetSlot(HostInterface::Container, slot::ContainerRelease, ProcAddress(&NoopContainerRelease));
        g_binding.staticConstructionMarker = kStaticConstructionMarker;
    }
};
QEL_PROCESS_WIDE StaticConstruction gStaticConstruction;

}  // namespace

std::atomic<void*>* CurrentProcTable(HostProcTable& t) {
    const volatile uint32_t* counter = g_binding.unregisterCounter;
    if (counter == nullptr || g_binding.detached) return nullptr;
    const uint32_t now = *counter;
    if (t.filled.load(std::memory_order_acquire) && t.generation.load(std::memory_order_acquire) == now)
        return t.slots;
    if (!ImportProcTable(t.rows, t.count, t.interfaceName, t.slots)) {
        if (&t == &TableOf(HostInterface::StreamFactory)) t.slots[0].store(nullptr);
        return nullptr;
    }
    t.generation.store(now, std::memory_order_release);
    t.filled.store(true, std::memory_order_release);
    return t.slots;
}

namespace {

template <class Proc>
Proc Resolve(QELResolverProc r, const char* name) {
    return ProcCast<Proc>(r("QEL", name, name));
}

}  // namespace

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
        if (g_binding.registerProcAddress(interfaceName, rows[i].methodName, rows[i].procTypeName,
                                          rows[i].proc) == 0)
            return false;
    }
    return true;
}

std::atomic<void*>* CurrentTable(HostInterface which) { return CurrentProcTable(TableOf(which)); }

std::atomic<void*>* RequireTable(HostInterface which) {
    std::atomic<void*>* t = CurrentProcTable(TableOf(which));
    if (t == nullptr) ThrowQELError("Missing Interface", "QEL", 0);
    return t;
}

std::atomic<void*>* ReleaseTable(HostInterface which) noexcept {
    HostProcTable& t = TableOf(which);
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
    b.registerProcAddress = Resolve<QELRegisterProcAddressProc>(resolver, "QELRegisterProcAddress");
    b.reportError = Resolve<QELReportErrorProc>(resolver, "QELReportError");
    b.unregisterInterface = Resolve<QELUnregisterInterfaceProc>(resolver, "QELUnregisterInterface");
    b.getUnregisterCountAddr =
        Resolve<QELGetUnregisterCountAddrProc>(resolver, "QELGetUnregisterCountAddr");
    b.isMultiThreaded = Resolve<QELIsMultiThreadedProc>(resolver, "QELIsMultiThreaded");
    if (b.registerProcAddress == nullptr || b.reportError == nullptr || b.unregisterInterface == nullptr ||
        b.getUnregisterCountAddr == nullptr || b.isMultiThreaded == nullptr)
        return false;

    b.unregisterCounter = b.getUnregisterCountAddr();
    b.bindingComplete = false;
    if (b.unregisterCounter == nullptr) return false;

    if (b.staticConstructionMarker != kStaticConstructionMarker) return false;
    std::atomic<void*>* containers = CurrentTable(HostInterface::Container);
    if (containers == nullptr) return false;
    b.offsetToPrimaryInstance =
        Slot<QELGetOffsetToPrimaryInstProc>(containers, slot::GetOffsetToPrimaryInstance)();

    std::atomic<void*>* errors = CurrentTable(HostInterface::Error);
    if (errors == nullptr) return false;
    QELErrorHandle generic = Slot<QELGetCoreErrorProc>(errors, slot::GetCoreError)(0);
    if (generic == nullptr) return false;
    GenericError().Adopt(generic);

    if (CurrentTable(HostInterface::String) == nullptr) return false;
    RequireTable(HostInterface::Memory);

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
    if (g_binding.resolver != nullptr && g_binding.reportError != nullptr) g_binding.reportError(message);
}

void WithdrawInterface(const char* interfaceName) noexcept {
    if (g_binding.unregisterInterface != nullptr) g_binding.unregisterInterface(interfaceName);
}

void ReplaceReleaseProcsByNoops() noexcept {
    SetSlot(HostInterface::Container, slot::ContainerRelease, ProcAddress(&NoopContainerRelease));
    SetSlot(HostInterface::String, slot::DeleteStringAtom, ProcAddress(&NoopDeleteAtom));
    SetSlot(HostInterface::Error, slot::ErrorAddRef, ProcAddress(&NoopErrorAddRef));
    SetSlot(HostInterface::Error, slot::ErrorRelease, ProcAddress(&NoopErrorRelease));
    SetSlot(HostInterface::SharedBuff, slot::BufferRelease, ProcAddress(&NoopBufferRelease));
    SetSlot(HostInterface::Memory, slot::Free, ProcAddress(&NoopFree));
    // From now on the tables stand as they are: the host may be gone.
    g_binding.detached = true;
}

}  // namespace QEL_T_MT
