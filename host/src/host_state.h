// The reference host's state and the C procedures it hands out.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "atoms.h"
#include "kinds.h"
#include "qelhost/host.h"
#include "tally.h"

namespace qelhost {

// ---------------------------------------------------------------- errors
struct ErrorObject final {
    std::atomic<uint32_t> refs;
    Atom* message;
    Atom* component;
    uint32_t id;
    uint64_t value1;
    uint64_t value2;
    bool core;
};

// ---------------------------------------------------------------- containers
// The container's own fields; its primary-instance record follows at the
// policy's offset. Everything containers of a kind share is in the kind; the
// container keeps its number, under a mark of life in the top byte.
struct ContainerHeader final {
    std::atomic<int32_t> refs;
    uint32_t kindWord;

    static constexpr uint32_t kNumberMask = 0x00FFFFFF;
    static constexpr uint32_t kLive = 0xC5000000;
    static constexpr uint32_t kDead = 0xDE000000;
    static_assert(KindTable::kMaxKinds - 1 <= kNumberMask);

    bool Live() const noexcept { return (kindWord & ~kNumberMask) == kLive; }
    uint32_t KindNumber() const noexcept { return kindWord & kNumberMask; }
};
static_assert(sizeof(ContainerHeader) == 8, "the reference configuration's record offset");

// ---------------------------------------------------------------- registry
struct Row final {
    std::string procTypeName;
    void* proc;
};

// Moves on every change of any host's rows, and when a host comes or goes,
// so that a resolved procedure can be kept until the answer may differ.
uint64_t RegistryGeneration() noexcept;
void BumpRegistryGeneration() noexcept;

class Registry final {
public:
    void* Find(std::string_view interfaceName, std::string_view methodName, std::string_view procTypeName) const;
    // 1 accepted (also the very same row again), 0 refused.
    bool Add(std::string_view interfaceName, std::string_view methodName, std::string_view procTypeName,
             void* proc);
    void RemoveInterface(std::string_view interfaceName);
    bool HasInterface(std::string_view interfaceName) const;
    void Hide(std::string_view interfaceName, std::string_view methodName);
    void UnhideAll();

private:
    static std::string Key(std::string_view interfaceName, std::string_view methodName);
    mutable std::shared_mutex lock_;
    std::unordered_map<std::string, Row> rows_;
    std::set<std::string> hidden_;
};

struct SharedBuffer;

// ---------------------------------------------------------------- handles
// The library sees the host's objects only through opaque handles.
inline Atom* Unwrap(QELStringAtom handle) noexcept { return reinterpret_cast<Atom*>(handle); }
inline QELStringAtom Wrap(Atom* atom) noexcept { return reinterpret_cast<QELStringAtom>(atom); }
inline ErrorObject* Unwrap(QELErrorHandle handle) noexcept { return reinterpret_cast<ErrorObject*>(handle); }
inline QELErrorHandle Wrap(ErrorObject* error) noexcept { return reinterpret_cast<QELErrorHandle>(error); }
inline ContainerHeader* Unwrap(QELContainerHandle handle) noexcept {
    return reinterpret_cast<ContainerHeader*>(handle);
}
inline QELContainerHandle Wrap(ContainerHeader* container) noexcept {
    return reinterpret_cast<QELContainerHandle>(container);
}
inline SharedBuffer* Unwrap(QELSharedBuffHandle handle) noexcept { return reinterpret_cast<SharedBuffer*>(handle); }
inline QELSharedBuffHandle Wrap(SharedBuffer* buffer) noexcept { return reinterpret_cast<QELSharedBuffHandle>(buffer); }

// ---------------------------------------------------------------- policy
// What the two configurations lay out differently, chosen once when the host
// is made: the services apply it and never ask which configuration they serve.
struct HostPolicy final {
    // Where memory blocks and container records come from: the size-class
    // arena (no header; a span's blocks are handed out again in address order
    // once all have come back) or the C heap with a header before every block.
    enum class Blocks : uint8_t { Arena, Heap };
    Blocks blocks;
    int32_t recordOffset;              // of the primary-instance record in a container
    size_t blockHeaderBytes;           // before every memory block from the heap
    std::optional<uint8_t> freshFill;  // fresh memory blocks and containers are filled with it
    std::optional<uint8_t> freedFill;  // and freed memory blocks with this
    uint8_t bufferFill;                // the bytes of a new shared buffer that owns its memory
    SignatureFormat signature;         // the text that names a container kind
    struct CoreErrorText final {
        const char* message;
        const char* component;
        uint32_t id;
    } coreErrors[2];  // the generic error (code 0) and out of memory (code 1)

    static HostPolicy For(HostConfig::Variant variant) noexcept;
};

// ---------------------------------------------------------------- the host
struct Host::State final {
    explicit State(HostConfig c);

    HostConfig config;
    const HostPolicy policy;
    AtomTable atoms;
    KindTable kinds;
    Registry registry;
    alignas(8) uint32_t unregisterCounter = 0;

    // Books and call counts are the process's tallies less what they were
    // when this host was made.
    const std::array<int64_t, kTallies> tallyBase;
    int64_t Tallied(Tally tally) const noexcept;

    // Faults: one flag says whether any of these is armed, so that an
    // unarmed call pays one relaxed load; armed, calls are numbered in
    // order across threads.
    enum : uint32_t { kAllocationFault = 1, kLookupFault = 2 };
    std::atomic<uint32_t> armed{0};
    std::atomic<uint64_t> armedAllocations{0};  // calls since arming
    std::atomic<uint64_t> failAllocationAt{0};
    std::atomic<bool> failPersistent{false};
    std::atomic<uint64_t> armedLookups{0};
    std::atomic<uint64_t> failContainerLookupAt{0};
    std::atomic<uint64_t> registrations{0};
    std::atomic<uint64_t> refuseRegistrationAt{0};

    // The faults of the host's own (memory and file) streams.
    std::atomic<uint64_t> streamFaultCalls{0};  // calls of the targeted methods since arming
    std::atomic<uint64_t> failStreamCallAt{0};  // 0 = disarmed
    std::atomic<uint32_t> streamFaultMethods{0};
    std::atomic<bool> streamFaultPersistent{false};
    std::atomic<uint64_t> streamFaultsInjected{0};
    std::atomic<uint64_t> streamReadLimit{0};  // 0 = no limit
    std::atomic<uint32_t> hiddenStreamMethods{0};

    mutable std::mutex logLock;
    std::vector<std::string> reports;
    std::vector<RegistryEvent> registryLog;

    ErrorObject* coreErrors[2] = {nullptr, nullptr};

    // The library.
    void* library = nullptr;
    bool attached = false;
    QELUtilsGetVersionProc getVersion = nullptr;
    QELUtilsInitializeProc initialize = nullptr;
    QELUtilsTerminateProc terminate = nullptr;

    // True when this allocation-like call is to fail.
    bool AllocationFails() noexcept {
        if (armed.load(std::memory_order_relaxed) & kAllocationFault) [[unlikely]]
            return ArmedAllocationFails();
        Count(Tally::AllocationCalls, 1);
        return false;
    }
    // True when this container lookup is to fail.
    bool ContainerLookupFails() noexcept {
        if (armed.load(std::memory_order_relaxed) & kLookupFault) [[unlikely]]
            return ArmedLookupFails();
        Count(Tally::ContainerLookups, 1);
        return false;
    }
    bool ArmedAllocationFails() noexcept;
    bool ArmedLookupFails() noexcept;
    void Log(RegistryEvent event);
};

// The current host's state; the C procedures reach it through this.
namespace detail {
extern Host::State* gState;
}
inline Host::State& S() noexcept { return *detail::gState; }

// Registers the host's own interfaces (core, strings, errors, memory,
// containers, shared buffers, stream factory, cache); each service adds its
// own rows.
void RegisterHostInterfaces(Host::State& s);
void RegisterCore(Registry& registry);
void RegisterStrings(Registry& registry);
void RegisterErrors(Registry& registry);
void RegisterMemory(Registry& registry);
void RegisterContainers(Registry& registry);
void RegisterSharedBuffers(Registry& registry);
void RegisterStreamFactory(Registry& registry);

// The answer of rows the library binds but never calls: nothing to do.
void* Unsupported();

// A row of the contract as the broker holds it now, as its row's type; null
// when it is hidden.
template <auto Row>
qelutils::contract::ProcType<Row> FindRow() {
    using Table = qelutils::contract::TableOf<Row>;
    return reinterpret_cast<qelutils::contract::ProcType<Row>>(
        S().registry.Find(Table::kName, Table::kRows[Row].methodName, Table::kRows[Row].procTypeName));
}

// The same for a row the host itself must be able to call.
template <auto Row>
qelutils::contract::ProcType<Row> RequireRow() {
    using Table = qelutils::contract::TableOf<Row>;
    if (const auto proc = FindRow<Row>()) return proc;
    throw std::logic_error(std::string(Table::kName) + "." + Table::kRows[Row].methodName + " is hidden");
}

// Adds a table's rows to the broker directly, as the host's own.
template <class Table>
void AddRows(Registry& registry, const qelutils::contract::Publication<Table>& table) {
    for (const qelutils::contract::Registration& row : table)
        registry.Add(Table::kName, row.methodName, row.procTypeName, row.proc);
}

// Host services used across the host's own sources.
ErrorObject* MakeError(const char* message, const char* component, uint32_t id);
ErrorObject* CoreError(uint32_t code);  // with a new booked reference
void* HostMalloc(uint64_t size);
void HostMfree(void* block);
// Container records, from where the policy takes blocks.
void* NewRecordBlock(size_t size) noexcept;
void FreeRecordBlock(void* block, size_t size) noexcept;

// Where a container's primary-instance record lies.
QELPrimaryInstanceRecord* RecordOf(ContainerHeader* container) noexcept;
// What a live container's kind is.
inline const Kind& KindOfContainer(const ContainerHeader* container) noexcept {
    return S().kinds.At(container->KindNumber());
}

// Containers of count 0 (floating); hostKind non-null for containers whose
// methods the host supplies itself (streams), answered by HostKindMethod.
QELErrorHandle NewContainer(QELContainerHandle* out, void* object, Atom* implementationName,
                            QELDestroyProc destroy, Atom* interfaceName, void* hostKind);
void* HostKindMethod(void* hostKind, const char* methodName, const char* procTypeName);

// The stream factory rows.
QELErrorHandle NewMemoryStreamProc(QELContainerHandle* out);
QELErrorHandle NewFileStreamProc(QELContainerHandle* out, const char* path, const char* mode);
QELErrorHandle NewClientStreamProc(QELContainerHandle* out, void* object, QELClientReadProc read,
                                   QELClientWriteProc write, QELClientCreateRewindableProc createRewindable,
                                   QELClientRewindProc rewind, QELClientCreatePositionableProc createPositionable,
                                   QELClientMarkProc mark, QELClientSeekProc seek, QELDestroyProc destroy);

// Library loading (per platform).
void* OpenLibrary(const std::string& path, std::string* error);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);
std::string ExecutableDirectory();

}  // namespace qelhost
