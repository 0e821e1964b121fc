// The reference host: an interface broker that loads QELUtils exactly as a
// real host would, keeps books of every object it hands out, captures error
// reports, logs registrations and injects faults.
//
// Procedures cross the boundary without context, so one Host is the current
// host of the process at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "qelutils/qelutils.h"

namespace qelhost {

// How this host lays out what the library may not rely on. Two variants keep
// the library honest: it must work with either.
struct HostConfig final {
    enum class Variant : uint8_t { Reference, Alternate };
    Variant variant = Variant::Reference;

    // QELHOST_VARIANT=alternate selects the second configuration.
    static HostConfig FromEnvironment();
    static HostConfig Reference() { return HostConfig{}; }
    static HostConfig Alternate() { return HostConfig{Variant::Alternate}; }
};

// Live objects and references handed out by the host.
struct Books final {
    int64_t containers = 0;
    int64_t atomRefs = 0;
    int64_t errorRefs = 0;
    int64_t buffers = 0;
    int64_t memoryBlocks = 0;

    bool AllZero() const {
        return containers == 0 && atomRefs == 0 && errorRefs == 0 && buffers == 0 && memoryBlocks == 0;
    }
    std::string ToString() const;
};

struct RegistryEvent final {
    enum class Kind : uint8_t { Registered, Refused, Withdrawn };
    Kind kind;
    std::string interfaceName;
    std::string methodName;
    std::string procTypeName;
};

class Host final {
public:
    explicit Host(HostConfig config = HostConfig::FromEnvironment());
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    static Host& Current();
    const HostConfig& config() const noexcept;

    // --- The library -----------------------------------------------------
    // Loads the library from a path (by default the one built beside the
    // running program, or $QELUTILS_LIBRARY). False with a message on failure.
    bool Load(const std::string& path, std::string* error = nullptr);
    bool Load(std::string* error = nullptr);
    void Unload();
    bool Loaded() const noexcept;
    // Drives a library linked into the program instead of a loaded one.
    void Attach(QELUtilsGetVersionProc getVersion, QELUtilsInitializeProc initialize,
                QELUtilsTerminateProc terminate);
    static std::string DefaultLibraryPath();

    uint32_t LibraryVersion() const;
    int32_t InitializeLibrary();                          // with this host's resolver
    int32_t InitializeLibrary(QELResolverProc resolver);  // with any resolver, null included
    void TerminateLibrary();

    // --- The broker --------------------------------------------------------
    QELResolverProc resolver() const noexcept;
    void* Resolve(const char* interfaceName, const char* methodName, const char* procTypeName) const;
    template <class Proc>
    Proc Get(const char* interfaceName, const char* methodName, const char* procTypeName) const {
        return reinterpret_cast<Proc>(Resolve(interfaceName, methodName, procTypeName));
    }
    // Registers a row as a component would (through QELRegisterProcAddress).
    bool Register(const char* interfaceName, const char* methodName, const char* procTypeName, void* proc);
    void Withdraw(const char* interfaceName);
    bool HasInterface(std::string_view interfaceName) const;
    uint64_t ResolveCalls() const noexcept;

    // --- Books, reports, log --------------------------------------------
    Books books() const;
    std::vector<std::string> Reports() const;
    void ClearReports();
    std::vector<RegistryEvent> RegistryLog() const;
    void ClearRegistryLog();

    // --- Faults ------------------------------------------------------------
    // The nth allocation-like call from now (Alloc, Realloc, NewStringAtom,
    // NewBuffer, NewFullContainer; 1 = the next) fails; with persistent, every
    // later one fails too. 0 disarms.
    void FailAllocation(uint64_t nth, bool persistent = false);
    uint64_t AllocationCalls() const noexcept;  // allocation-like calls so far
    // The nth registration from now (1 = the next) is refused. 0 disarms.
    void RefuseRegistration(uint64_t nth);
    // The resolver (and GetMethod) no longer finds this method.
    void HideMethod(std::string_view interfaceName, std::string_view methodName);
    void UnhideAll();
    // Moves the unregister counter as a withdrawal elsewhere would.
    void BumpUnregisterCounter();
    uint32_t UnregisterCount() const noexcept;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace qelhost
