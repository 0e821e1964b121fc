// The library's one connection to its host: the resolver, the five core
// procedures, and the process-wide tables of host-interface procedures that
// are refilled whenever the host's unregister counter moves.
#pragma once

#include <atomic>
#include <cstdint>
#include <tuple>
#include <type_traits>

#include "frame/proc_table.h"
#include "qelutils/qel_types.h"

namespace QEL_T_MT {

struct HostBinding final {
    QELResolverProc resolver;
    // The core procedures, in the order of their table.
    void* core[contract::QEL::kCount];
    const volatile uint32_t* unregisterCounter;
    bool bindingComplete;
    int32_t offsetToPrimaryInstance;
    uint32_t staticConstructionMarker;
    bool detached;
};

// Zero at load; static construction sets the marker.
extern HostBinding g_binding;
inline constexpr uint32_t kStaticConstructionMarker = 13;

template <auto S>
inline ProcTypeOf<S> CoreProc() noexcept {
    static_assert(std::is_same_v<TableOf<S>, contract::QEL>, "a core procedure");
    return reinterpret_cast<ProcTypeOf<S>>(g_binding.core[S]);
}

// A proc table imported through the resolver, as the library keeps it.
struct HostProcTable final {
    const char* interfaceName;
    const ProcImport* rows;
    uint32_t count;
    std::atomic<void*>* slots;
    std::atomic<uint32_t> generation;
    std::atomic<bool> filled;
};

// The one process-wide table of an interface: the host's interfaces, and
// the library's own imported back for its own use. Zero at load, before
// any dynamic initialisation runs.
template <class Interface>
struct ImportedTable final {
    static inline std::atomic<void*> slots[Interface::kCount];
    static constinit inline HostProcTable table{Interface::kName, Interface::kRows, Interface::kCount, slots,
                                                {0}, {false}};
};

template <class Interface>
inline HostProcTable& TableFor() noexcept {
    return ImportedTable<Interface>::table;
}

// Binding and unbinding (called by the lifecycle only).
bool Bind(QELResolverProc resolver);
void Unbind() noexcept;

// Fills a stale table (also the first time); null when it cannot be filled
// (binding in progress, nothing bound).
std::atomic<void*>* RefreshProcTable(HostProcTable& table);

// A table, filled and current, or null when it cannot be filled. The
// current case is one read of the host's counter and two loads.
inline std::atomic<void*>* CurrentProcTable(HostProcTable& table) {
    const volatile uint32_t* counter = g_binding.unregisterCounter;
    if (counter != nullptr && !g_binding.detached && table.filled.load(std::memory_order_acquire) &&
        table.generation.load(std::memory_order_acquire) == *counter)
        return table.slots;
    return RefreshProcTable(table);
}
template <class Interface>
inline std::atomic<void*>* CurrentTable() {
    return CurrentProcTable(TableFor<Interface>());
}

// The same, throwing CQELError "Missing Interface" instead of returning null.
[[noreturn]] void ThrowMissingInterface();
inline std::atomic<void*>* RequireProcTable(HostProcTable& table) {
    std::atomic<void*>* slots = CurrentProcTable(table);
    if (slots == nullptr) ThrowMissingInterface();
    return slots;
}
template <class Interface>
inline std::atomic<void*>* RequireTable() {
    return RequireProcTable(TableFor<Interface>());
}

// The procedure of row S from its table made current; "Missing Interface"
// when the table cannot be had.
template <auto S>
inline ProcTypeOf<S> RequireProc() {
    return Proc<S>(RequireTable<TableOf<S>>());
}

// For release paths (destructors): the current table when it can be had,
// otherwise the slots as they stand; never throws, never calls the host after
// process detach.
std::atomic<void*>* ReleaseProcTable(HostProcTable& table) noexcept;
template <auto S>
inline ProcTypeOf<S> ReleaseProc() noexcept {
    return Proc<S>(ReleaseProcTable(TableFor<TableOf<S>>()));
}

// Current value of the host's unregister counter (0 when never bound).
uint32_t UnregisterCount() noexcept;

// QELReportError when it is bound; otherwise nothing.
void ReportToHost(const char* message) noexcept;

// QELUnregisterInterface when it is bound; otherwise nothing.
void WithdrawInterface(const char* interfaceName) noexcept;

// A module's tables: published in order, stopping at the first refusal;
// withdrawn by name in the same order, published or not.
template <class... Tables>
bool RegisterProcTables(const std::tuple<Publication<Tables>...>& tables) {
    return std::apply([](const auto&... table) { return (RegisterProcTable(table) && ...); }, tables);
}
template <class... Tables>
void WithdrawInterfaces(const std::tuple<Publication<Tables>...>&) noexcept {
    (WithdrawInterface(Tables::kName), ...);
}

// Process detach: make every release procedure a no-op.
void ReplaceReleaseProcsByNoops() noexcept;

}  // namespace QEL_T_MT
