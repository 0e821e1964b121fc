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

#include "qelutils/contract.h"
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
    int64_t streamData = 0;  // byte stores shared by memory streams and their copies
    int64_t openFiles = 0;   // files held by file streams

    bool AllZero() const {
        return containers == 0 && atomRefs == 0 && errorRefs == 0 && buffers == 0 && memoryBlocks == 0 &&
               streamData == 0 && openFiles == 0;
    }
    std::string ToString() const;
};

// Bytes the host holds for what is alive now, by the size its allocator
// gave each piece (for the memory figures of benchmarks; the C heap does not
// see the reference configuration's arena).
struct HostMemory final {
    int64_t containerBytes = 0;  // container records
    int64_t blockBytes = 0;      // memory blocks handed out by the memory interface
    int64_t atoms = 0;           // atoms alive, the host's own included
    int64_t atomBytes = 0;       // their records (header and padded text)
    int64_t atomTableBytes = 0;  // the slots that find them, outgrown ones included
    // The part of the above that the C heap's own figures miss: containers
    // and blocks from the reference configuration's arena.
    int64_t arenaBytes = 0;

    int64_t Total() const { return containerBytes + blockBytes + atomBytes + atomTableBytes; }
};

// The seven methods of a host stream, as flags: which methods a fault
// targets, or which a stream hides.
enum class StreamMethod : uint32_t {
    Read = 1u << 0,
    Write = 1u << 1,
    CreateIndependentlyRewindableStream = 1u << 2,
    Rewind = 1u << 3,
    CreateIndependentlyPositionableStream = 1u << 4,
    Mark = 1u << 5,
    Seek = 1u << 6,
    All = (1u << 7) - 1,
};
constexpr StreamMethod operator|(StreamMethod a, StreamMethod b) noexcept {
    return static_cast<StreamMethod>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}

// One counted reference to a container, given back (Release) when it goes.
// Host-made containers start floating (count 0), so a test or tool that
// keeps one holds it in this.
class ContainerRef final {
public:
    ContainerRef() noexcept = default;
    // Takes a reference (AddRef); a null or refused handle leaves this empty.
    explicit ContainerRef(QELContainerHandle handle);
    ~ContainerRef();
    ContainerRef(ContainerRef&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    ContainerRef& operator=(ContainerRef&& other) noexcept;
    ContainerRef(const ContainerRef&) = delete;
    ContainerRef& operator=(const ContainerRef&) = delete;

    QELContainerHandle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void reset() noexcept;

private:
    QELContainerHandle handle_ = nullptr;
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
    // Loads the library from a path, by default DefaultLibraryPath(). False
    // with a message on failure.
    bool Load(const std::string& path, std::string* error = nullptr);
    bool Load(std::string* error = nullptr);
    void Unload();
    bool Loaded() const noexcept;
    // Drives a library linked into the program instead of a loaded one.
    void Attach(QELUtilsGetVersionProc getVersion, QELUtilsInitializeProc initialize,
                QELUtilsTerminateProc terminate);
    // $QELUTILS_LIBRARY when set; otherwise the first that exists of the
    // library beside the running program and the installed library relative
    // to an installed program (bin/../lib/qelutils/); otherwise the first.
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
    // The procedure of a row of the contract, as its row's type; null when
    // it is not published.
    template <auto Row>
    qelutils::contract::ProcType<Row> Get() const {
        using Table = qelutils::contract::TableOf<Row>;
        return Get<qelutils::contract::ProcType<Row>>(Table::kName, Table::kRows[Row].methodName,
                                                      Table::kRows[Row].procTypeName);
    }
    // Registers a row as a component would (through QELRegisterProcAddress).
    bool Register(const char* interfaceName, const char* methodName, const char* procTypeName, void* proc);
    void Withdraw(const char* interfaceName);
    bool HasInterface(std::string_view interfaceName) const;
    uint64_t ResolveCalls() const noexcept;

    // --- Books, reports, log --------------------------------------------
    Books books() const;
    HostMemory Memory() const;
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
    // The nth container lookup from now (GetMethod or NGetInstance; 1 = the
    // next) fails with a host error. 0 disarms.
    void FailContainerLookup(uint64_t nth);
    uint64_t ContainerLookups() const noexcept;  // lookups so far
    // The nth registration from now (1 = the next) is refused. 0 disarms.
    void RefuseRegistration(uint64_t nth);
    // The resolver (and GetMethod) no longer finds this method.
    void HideMethod(std::string_view interfaceName, std::string_view methodName);
    void UnhideAll();
    // Moves the unregister counter as a withdrawal elsewhere would.
    void BumpUnregisterCounter();
    uint32_t UnregisterCount() const noexcept;

    // --- Streams -----------------------------------------------------------
    // Streams made as the stream factory makes them: floating (count 0).
    // A memory stream holding bytes, positioned at 0; null when an
    // allocation fault strikes.
    QELContainerHandle NewMemoryStream(std::string_view bytes = {});
    // A file stream opened with a mode as fopen takes it; null, with the
    // host error's message in error, when the file cannot be opened.
    QELContainerHandle NewFileStream(const std::string& path, const char* mode, std::string* error = nullptr);
    // The bytes of a memory stream (shared with its independent copies),
    // whatever its position. Both throw std::invalid_argument for a handle
    // that is not a memory stream of this host.
    std::string MemoryStreamContents(QELContainerHandle stream) const;
    // Replaces them and puts this stream at 0 (its copies keep their places).
    void SetMemoryStreamContents(QELContainerHandle stream, std::string_view bytes);
    uint64_t MemoryStreamPosition(QELContainerHandle stream) const;

    // --- Stream faults -------------------------------------------------------
    // These act on the host's own streams (memory and file), not on streams
    // that forward to the library. Every call of a stream method there is a
    // stream call.
    // The nth call from now (1 = the next) of one of methods fails with a host
    // error; with persistent, every later one fails too. 0 disarms. A sweep
    // arms 1, 2, 3, ... until StreamFaultsInjected() stays put.
    void FailStreamCall(uint64_t nth, StreamMethod methods = StreamMethod::All, bool persistent = false);
    uint64_t StreamCalls() const noexcept;           // stream calls so far
    uint64_t StreamFaultsInjected() const noexcept;  // stream calls failed on purpose so far
    // Read gives at most maxBytes per call, even before the end. 0 lifts it.
    void LimitStreamReads(uint64_t maxBytes);
    // GetMethod no longer finds these methods on any stream the host makes,
    // client streams included (the library must cope with a stream of fewer
    // tables). UnhideAll restores them.
    void HideStreamMethods(StreamMethod methods);

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace qelhost
