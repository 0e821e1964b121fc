#include "qelhost/host.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "host_state.h"

namespace qelhost {

namespace detail {
Host::State* gState = nullptr;
}  // namespace detail

namespace {
using detail::gState;
Host* gCurrent = nullptr;

void* HostResolve(const char* interfaceName, const char* methodName, const char* procTypeName) {
    if (gState == nullptr || interfaceName == nullptr || methodName == nullptr || procTypeName == nullptr)
        return nullptr;
    Count(Tally::ResolveCalls, 1);
    return gState->registry.Find(interfaceName, methodName, procTypeName);
}
}  // namespace

HostConfig HostConfig::FromEnvironment() {
    const char* variant = std::getenv("QELHOST_VARIANT");
    if (variant != nullptr && std::strcmp(variant, "alternate") == 0) return Alternate();
    return Reference();
}

std::string Books::ToString() const {
    return "containers=" + std::to_string(containers) + " atomRefs=" + std::to_string(atomRefs) +
           " errorRefs=" + std::to_string(errorRefs) + " buffers=" + std::to_string(buffers) +
           " memoryBlocks=" + std::to_string(memoryBlocks) + " streamData=" + std::to_string(streamData) +
           " openFiles=" + std::to_string(openFiles);
}

HostPolicy HostPolicy::For(HostConfig::Variant variant) noexcept {
    if (variant == HostConfig::Variant::Alternate)
        // Containers and blocks padded more, memory filled with patterns so
        // that reliance on zeroed or stale memory shows, kinds named and
        // errors worded otherwise.
        return HostPolicy{HostPolicy::Blocks::Heap, 136, 48, 0xA5, 0x5A, 0xA5, {"kind:", true, "|", "|v7"},
                          {{"E_FAIL: unspecified failure", "HostCore", 99},
                           {"not enough memory to complete the request", "DWE", 1}}};
    // The record right after the container's own 8 bytes: 32 bytes a container.
    return HostPolicy{HostPolicy::Blocks::Arena, 8, 0, std::nullopt, std::nullopt, 0, {"", false, "@", ""},
                      {{"generic error", "QEL", 0}, {"out of memory", "DWE", 1}}};
}

Host::State::State(HostConfig c)
    : config(c), policy(HostPolicy::For(c.variant)), kinds(atoms, policy.signature), tallyBase(SumTallies()) {}

int64_t Host::State::Tallied(Tally tally) const noexcept {
    const size_t i = static_cast<size_t>(tally);
    return SumTallies()[i] - tallyBase[i];
}

bool Host::State::ArmedAllocationFails() noexcept {
    Count(Tally::AllocationCalls, 1);
    const uint64_t n = armedAllocations.fetch_add(1, std::memory_order_relaxed) + 1;
    const uint64_t at = failAllocationAt.load(std::memory_order_relaxed);
    return n == at || (n > at && failPersistent.load(std::memory_order_relaxed));
}

bool Host::State::ArmedLookupFails() noexcept {
    Count(Tally::ContainerLookups, 1);
    return armedLookups.fetch_add(1, std::memory_order_relaxed) + 1 == failContainerLookupAt.load(std::memory_order_relaxed);
}

void Host::State::Log(RegistryEvent event) {
    std::lock_guard hold(logLock);
    registryLog.push_back(std::move(event));
}

Host::Host(HostConfig config) : state_(std::make_unique<State>(config)) {
    if (gCurrent != nullptr) throw std::logic_error("only one qelhost::Host may exist at a time");
    gCurrent = this;
    gState = state_.get();
    BumpRegistryGeneration();
    // Core errors: permanent, their base references not booked.
    for (size_t i = 0; i < std::size(state_->coreErrors); ++i) {
        const HostPolicy::CoreErrorText& text = state_->policy.coreErrors[i];
        state_->coreErrors[i] = new ErrorObject{{1}, state_->atoms.Pin(text.message), state_->atoms.Pin(text.component),
                                                text.id, 0, 0, true};
    }
    RegisterHostInterfaces(*state_);
}

Host::~Host() {
    if (Loaded()) {
        TerminateLibrary();
        Unload();
    }
    delete state_->coreErrors[0];
    delete state_->coreErrors[1];
    gCurrent = nullptr;
    gState = nullptr;
    BumpRegistryGeneration();
}

Host& Host::Current() {
    if (gCurrent == nullptr) throw std::logic_error("no qelhost::Host exists");
    return *gCurrent;
}

const HostConfig& Host::config() const noexcept { return state_->config; }

namespace {
// Where the library is looked for when no path is given, in order: beside
// the program (the build tree, or a program shipped with the library), then
// the installed library's directory relative to the installed program's.
std::vector<std::filesystem::path> LibraryCandidates() {
    const std::filesystem::path programDirectory(ExecutableDirectory());
    std::vector<std::filesystem::path> candidates{
        programDirectory / QELHOST_LIBRARY_NAME,
        (programDirectory / QELHOST_INSTALLED_LIBRARY_DIR / QELHOST_LIBRARY_NAME).lexically_normal(),
    };
    for (std::filesystem::path& candidate : candidates) candidate.make_preferred();
    if (candidates[1] == candidates[0]) candidates.pop_back();  // installed beside the programs
    return candidates;
}

const char* LibraryFromEnvironment() {
    const char* path = std::getenv("QELUTILS_LIBRARY");
    return path != nullptr && *path != '\0' ? path : nullptr;
}
}  // namespace

std::string Host::DefaultLibraryPath() {
    if (const char* path = LibraryFromEnvironment()) return path;
    const std::vector<std::filesystem::path> candidates = LibraryCandidates();
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code ignored;
        if (std::filesystem::is_regular_file(candidate, ignored)) return candidate.string();
    }
    return candidates.front().string();
}

bool Host::Load(std::string* error) {
    const std::string path = DefaultLibraryPath();
    if (Load(path, error)) return true;
    if (error != nullptr && LibraryFromEnvironment() == nullptr) {
        std::error_code ignored;
        if (!std::filesystem::exists(path, ignored)) {
            std::string places;
            for (const std::filesystem::path& candidate : LibraryCandidates())
                places += (places.empty() ? "" : " nor at ") + candidate.string();
            *error = "the QELUtils library is not at " + places + " (set QELUTILS_LIBRARY to its path)";
        }
    }
    return false;
}

bool Host::Load(const std::string& path, std::string* error) {
    if (Loaded()) return true;
    void* library = OpenLibrary(path, error);
    if (library == nullptr) return false;
    auto getVersion = reinterpret_cast<QELUtilsGetVersionProc>(LibrarySymbol(library, "QELUtilsGetVersion"));
    auto initialize = reinterpret_cast<QELUtilsInitializeProc>(LibrarySymbol(library, "QELUtilsInitialize"));
    auto terminate = reinterpret_cast<QELUtilsTerminateProc>(LibrarySymbol(library, "QELUtilsTerminate"));
    if (getVersion == nullptr || initialize == nullptr || terminate == nullptr) {
        if (error != nullptr) *error = path + ": the QELUtils exports are missing";
        CloseLibrary(library);
        return false;
    }
    state_->library = library;
    state_->getVersion = getVersion;
    state_->initialize = initialize;
    state_->terminate = terminate;
    return true;
}

void Host::Attach(QELUtilsGetVersionProc getVersion, QELUtilsInitializeProc initialize,
                  QELUtilsTerminateProc terminate) {
    static char linked;  // stands for the library handle of a linked library
    state_->library = &linked;
    state_->attached = true;
    state_->getVersion = getVersion;
    state_->initialize = initialize;
    state_->terminate = terminate;
}

void Host::Unload() {
    if (!Loaded()) return;
    if (!state_->attached) CloseLibrary(state_->library);
    state_->attached = false;
    state_->library = nullptr;
    state_->getVersion = nullptr;
    state_->initialize = nullptr;
    state_->terminate = nullptr;
}

bool Host::Loaded() const noexcept { return state_->library != nullptr; }

namespace {
void RequireLoaded(const Host& host) {
    if (!host.Loaded()) throw std::logic_error("the QELUtils library is not loaded");
}
}  // namespace

uint32_t Host::LibraryVersion() const {
    RequireLoaded(*this);
    return state_->getVersion();
}

int32_t Host::InitializeLibrary() { return InitializeLibrary(&HostResolve); }

int32_t Host::InitializeLibrary(QELResolverProc resolver) {
    RequireLoaded(*this);
    return state_->initialize(resolver);
}

void Host::TerminateLibrary() {
    RequireLoaded(*this);
    state_->terminate();
}

QELResolverProc Host::resolver() const noexcept { return &HostResolve; }

void* Host::Resolve(const char* interfaceName, const char* methodName, const char* procTypeName) const {
    return HostResolve(interfaceName, methodName, procTypeName);
}

bool Host::Register(const char* interfaceName, const char* methodName, const char* procTypeName, void* proc) {
    const auto reg = Get<qelutils::contract::QEL::QELRegisterProcAddress>();
    return reg(interfaceName, methodName, procTypeName, proc) != 0;
}

void Host::Withdraw(const char* interfaceName) {
    Get<qelutils::contract::QEL::QELUnregisterInterface>()(interfaceName);
}

bool Host::HasInterface(std::string_view interfaceName) const { return state_->registry.HasInterface(interfaceName); }

uint64_t Host::ResolveCalls() const noexcept { return static_cast<uint64_t>(state_->Tallied(Tally::ResolveCalls)); }

Books Host::books() const {
    const std::array<int64_t, kTallies> sum = SumTallies();
    const auto at = [&](Tally tally) {
        const size_t i = static_cast<size_t>(tally);
        return sum[i] - state_->tallyBase[i];
    };
    Books b;
    b.containers = at(Tally::Containers);
    b.atomRefs = at(Tally::AtomRefs);
    b.errorRefs = at(Tally::ErrorRefs);
    b.buffers = at(Tally::Buffers);
    b.memoryBlocks = at(Tally::MemoryBlocks);
    b.streamData = at(Tally::StreamData);
    b.openFiles = at(Tally::OpenFiles);
    return b;
}

HostMemory Host::Memory() const {
    const AtomMemory atoms = state_->atoms.Memory();
    HostMemory m;
    m.containerBytes = state_->Tallied(Tally::ContainerBytes);
    m.blockBytes = state_->Tallied(Tally::BlockBytes);
    m.atoms = atoms.atoms;
    m.atomBytes = atoms.recordBytes;
    m.atomTableBytes = atoms.slotBytes;
    if (state_->policy.blocks == HostPolicy::Blocks::Arena) m.arenaBytes = m.containerBytes + m.blockBytes;
    return m;
}

std::vector<std::string> Host::Reports() const {
    std::lock_guard hold(state_->logLock);
    return state_->reports;
}

void Host::ClearReports() {
    std::lock_guard hold(state_->logLock);
    state_->reports.clear();
}

std::vector<RegistryEvent> Host::RegistryLog() const {
    std::lock_guard hold(state_->logLock);
    return state_->registryLog;
}

void Host::ClearRegistryLog() {
    std::lock_guard hold(state_->logLock);
    state_->registryLog.clear();
}

void Host::FailAllocation(uint64_t nth, bool persistent) {
    State& s = *state_;
    s.armed.fetch_and(~uint32_t{State::kAllocationFault});
    if (nth == 0) return;
    s.failPersistent.store(persistent);
    s.armedAllocations.store(0);
    s.failAllocationAt.store(nth);
    s.armed.fetch_or(State::kAllocationFault);
}

uint64_t Host::AllocationCalls() const noexcept {
    return static_cast<uint64_t>(state_->Tallied(Tally::AllocationCalls));
}

void Host::FailContainerLookup(uint64_t nth) {
    State& s = *state_;
    s.armed.fetch_and(~uint32_t{State::kLookupFault});
    if (nth == 0) return;
    s.armedLookups.store(0);
    s.failContainerLookupAt.store(nth);
    s.armed.fetch_or(State::kLookupFault);
}

uint64_t Host::ContainerLookups() const noexcept {
    return static_cast<uint64_t>(state_->Tallied(Tally::ContainerLookups));
}

void Host::RefuseRegistration(uint64_t nth) {
    state_->refuseRegistrationAt.store(nth == 0 ? 0 : state_->registrations.load() + nth);
}

void Host::HideMethod(std::string_view interfaceName, std::string_view methodName) {
    state_->registry.Hide(interfaceName, methodName);
}

void Host::UnhideAll() {
    state_->registry.UnhideAll();
    state_->hiddenStreamMethods.store(0);
}

void Host::BumpUnregisterCounter() {
    std::atomic_ref<uint32_t>(state_->unregisterCounter).fetch_add(1, std::memory_order_release);
}

uint32_t Host::UnregisterCount() const noexcept {
    return std::atomic_ref<uint32_t>(state_->unregisterCounter).load(std::memory_order_acquire);
}

}  // namespace qelhost
