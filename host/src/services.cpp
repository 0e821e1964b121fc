// The host services as C procedures: strings, errors, memory, containers,
// shared buffers; and the registration of every host interface.
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <string>

#include "host_state.h"

namespace qelhost {

namespace {

bool Alternate() noexcept { return S().config.variant == HostConfig::Variant::Alternate; }

Atom* A(QELStringAtom atom) noexcept { return reinterpret_cast<Atom*>(atom); }
QELStringAtom H(Atom* atom) noexcept { return reinterpret_cast<QELStringAtom>(atom); }
ErrorObject* E(QELErrorHandle e) noexcept { return reinterpret_cast<ErrorObject*>(e); }
QELErrorHandle H(ErrorObject* e) noexcept { return reinterpret_cast<QELErrorHandle>(e); }

// ---------------------------------------------------------------- strings
QELStringAtom NewStringAtom(const char* text) {
    if (text == nullptr || S().AllocationFails()) return nullptr;
    return H(S().atoms.Intern(text));
}
void DeleteStringAtom(QELStringAtom atom) { S().atoms.Release(A(atom)); }
const char* GetCString(QELStringAtom atom) { return atom != nullptr ? A(atom)->text : nullptr; }
void AddRefStringAtom(QELStringAtom atom) { S().atoms.AddRef(A(atom)); }

// ---------------------------------------------------------------- errors
QELErrorHandle NewError(const char* message, const char* component, uint32_t id, uint64_t v1, uint64_t v2) {
    ErrorObject* e = MakeError(message, component, id);
    if (e != nullptr) {
        e->value1 = v1;
        e->value2 = v2;
    }
    return H(e);
}
QELErrorHandle GetCoreError(uint32_t code) { return H(CoreError(code)); }
QELErrorHandle ErrorAddRef(QELErrorHandle error) {
    if (ErrorObject* e = E(error)) {
        e->refs.fetch_add(1, std::memory_order_relaxed);
        S().errorRefs.fetch_add(1, std::memory_order_relaxed);
    }
    return error;
}
void ErrorRelease(QELErrorHandle error) {
    ErrorObject* e = E(error);
    if (e == nullptr) return;
    S().errorRefs.fetch_sub(1, std::memory_order_relaxed);
    if (e->refs.fetch_sub(1, std::memory_order_acq_rel) != 1 || e->core) return;
    S().atoms.Release(e->message);
    S().atoms.Release(e->component);
    delete e;
}
QELStringAtom ErrorGetMessage(QELErrorHandle error) { return error != nullptr ? H(E(error)->message) : nullptr; }
QELStringAtom ErrorGetComponent(QELErrorHandle error) {
    return error != nullptr ? H(E(error)->component) : nullptr;
}
uint32_t ErrorGetID(QELErrorHandle error) { return error != nullptr ? E(error)->id : 0; }
uint64_t GetErrorInfo(QELErrorHandle error) { return error != nullptr ? E(error)->value1 : 0; }

// ---------------------------------------------------------------- memory
// Blocks carry a header with their size. The alternate host pads more and
// fills fresh and freed memory with patterns, so that reliance on zeroed or
// stale memory shows.
struct BlockHeader final {
    uint64_t size;
    uint64_t magic;
};
constexpr uint64_t kLiveBlock = 0x51E1B10C;
constexpr uint64_t kDeadBlock = 0xDEADB10C;

size_t HeaderSize() noexcept { return Alternate() ? 48 : sizeof(BlockHeader); }
BlockHeader* HeaderOf(void* block) noexcept {
    return reinterpret_cast<BlockHeader*>(static_cast<char*>(block) - HeaderSize());
}

void* MemAlloc(uint64_t size) {
    if (S().AllocationFails()) return nullptr;
    return HostMalloc(size);
}

void MemFree(void* block) { HostMfree(block); }

void* MemRealloc(void* block, uint64_t size) {
    if (S().AllocationFails()) return nullptr;
    if (block == nullptr) return HostMalloc(size);
    BlockHeader* header = HeaderOf(block);
    if (header->magic != kLiveBlock) std::abort();  // not a block of this host
    // Always moves, so that a caller holding the old address is caught.
    void* grown = HostMalloc(size);
    if (grown == nullptr) return nullptr;
    std::memcpy(grown, block, header->size < size ? header->size : size);
    HostMfree(block);
    return grown;
}

uint64_t MemGetBlockSize(void* block) { return block != nullptr ? HeaderOf(block)->size : 0; }

// ---------------------------------------------------------------- containers
constexpr uint32_t kLiveContainer = 0xC0A7A1E5;
constexpr uint32_t kDeadContainer = 0xDEADC0A7;

ContainerHeader* C(QELContainerHandle c) noexcept { return reinterpret_cast<ContainerHeader*>(c); }
QELPrimaryInstanceRecord* RecordOf(ContainerHeader* c) noexcept {
    return reinterpret_cast<QELPrimaryInstanceRecord*>(reinterpret_cast<char*>(c) + S().recordOffset);
}

// Written into a buffer that each thread keeps: every value is a container,
// and a new string for each cost a heap allocation, a free and the copies.
std::string_view SignatureText(const Atom* implementationName, const Atom* interfaceName) {
    thread_local std::string text;
    const std::string_view implementationText(implementationName->text, implementationName->length);
    const std::string_view interfaceText(interfaceName->text, interfaceName->length);
    text.clear();
    if (Alternate())
        text.append("kind:").append(interfaceText).append("|").append(implementationText).append("|v7");
    else
        text.append(implementationText).append("@").append(interfaceText);
    return text;
}

void DestroyContainer(ContainerHeader* c) {
    QELPrimaryInstanceRecord* record = RecordOf(c);
    c->magic = kDeadContainer;
    if (c->destroy != nullptr) c->destroy(record->implementationObject);
    S().atoms.Release(c->interfaceName);
    S().atoms.Release(c->implementationName);
    S().atoms.Release(c->signature);
    S().liveContainers.fetch_sub(1, std::memory_order_relaxed);
    std::free(c);
}

}  // namespace

QELErrorHandle NewContainer(QELContainerHandle* out, void* object, Atom* implementationName,
                            QELDestroyProc destroy, Atom* interfaceName, void* hostKind) {
    *out = nullptr;
    if (implementationName == nullptr || interfaceName == nullptr) return H(MakeError("null name", "HOST", 2));
    if (S().AllocationFails()) return H(CoreError(1));
    const size_t size = static_cast<size_t>(S().recordOffset) + sizeof(QELPrimaryInstanceRecord);
    void* block = std::malloc(size);
    if (block == nullptr) return H(CoreError(1));
    if (Alternate()) std::memset(block, 0xA5, size);
    Atom* signature = S().atoms.Intern(SignatureText(implementationName, interfaceName));
    if (signature == nullptr) {
        std::free(block);
        return H(CoreError(1));
    }
    auto* c = new (block) ContainerHeader{{0}, kLiveContainer, destroy, interfaceName, implementationName,
                                          signature, hostKind};
    S().atoms.AddRef(interfaceName);
    S().atoms.AddRef(implementationName);
    *RecordOf(c) = QELPrimaryInstanceRecord{implementationName->text, signature->text, object};
    S().liveContainers.fetch_add(1, std::memory_order_relaxed);
    *out = reinterpret_cast<QELContainerHandle>(c);
    return nullptr;
}

namespace {

QELErrorHandle NewFullContainer(QELContainerHandle* out, void* object, QELStringAtom implementationName,
                                QELDestroyProc destroy, QELStringAtom interfaceName, void*, void*, void*) {
    if (out == nullptr) return H(MakeError("null out argument", "HOST", 2));
    return NewContainer(out, object, A(implementationName), destroy, A(interfaceName), nullptr);
}

int32_t ContainerAddRef(QELContainerHandle container) {
    ContainerHeader* c = C(container);
    if (c == nullptr || c->magic != kLiveContainer) return 0;
    c->refs.fetch_add(1, std::memory_order_relaxed);
    return 1;
}

void ContainerRelease(QELContainerHandle container) {
    ContainerHeader* c = C(container);
    if (c == nullptr) return;
    if (c->magic != kLiveContainer) std::abort();  // released after its death
    int32_t refs = c->refs.load(std::memory_order_acquire);
    // A floating container (count 0) is destroyed outright.
    if (refs == 0 || c->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) DestroyContainer(c);
}

void DecrementWithoutDelete(QELContainerHandle container) {
    ContainerHeader* c = C(container);
    if (c == nullptr) return;
    int32_t refs = c->refs.load(std::memory_order_relaxed);
    while (refs > 0 && !c->refs.compare_exchange_weak(refs, refs - 1, std::memory_order_acq_rel)) {
    }
}

}  // namespace

namespace {

QELErrorHandle GetMethod(void** out, QELContainerHandle container, QELStringAtom methodName,
                         QELStringAtom procTypeName, int32_t allowMissing) {
    if (out == nullptr) return H(MakeError("null out argument", "HOST", 2));
    *out = nullptr;
    ContainerHeader* c = C(container);
    if (c == nullptr || methodName == nullptr || procTypeName == nullptr)
        return H(MakeError("GetMethod: null argument", "HOST", 2));
    const char* method = A(methodName)->text;
    const char* procType = A(procTypeName)->text;
    void* proc = c->hostKind != nullptr ? HostKindMethod(c->hostKind, method, procType)
                                        : S().registry.Find(c->interfaceName->text, method, procType);
    // A missing method is no failure of the call: the out slot stays null
    // and the caller decides, whatever allowMissing says.
    (void)allowMissing;
    *out = proc;
    return nullptr;
}

QELErrorHandle NGetInstance(void** out, QELContainerHandle container, QELStringAtom implementationName) {
    if (out == nullptr) return H(MakeError("null out argument", "HOST", 2));
    *out = nullptr;
    ContainerHeader* c = C(container);
    if (c == nullptr || c->magic != kLiveContainer) return H(MakeError("not a container", "HOST", 4));
    if (A(implementationName) != c->implementationName) {
        const std::string text = std::string("no instance named ") +
                                 (implementationName != nullptr ? A(implementationName)->text : "(null)");
        return H(MakeError(text.c_str(), "HOST", 5));
    }
    *out = RecordOf(c)->implementationObject;
    return nullptr;
}

int32_t GetOffsetToPrimaryInstance() { return S().recordOffset; }

// ---------------------------------------------------------------- shared buffers
struct SharedBuffer final {
    std::atomic<uint32_t> refs;
    uint64_t size;
    void* data;
    QELRawPointerReleaseProc release;
    bool owned;
};

SharedBuffer* B(QELSharedBuffHandle b) noexcept { return reinterpret_cast<SharedBuffer*>(b); }

QELSharedBuffHandle NewBuffer(uint64_t size, void* data, QELRawPointerReleaseProc release, void*) {
    if (S().AllocationFails()) return nullptr;
    auto* b = new (std::nothrow) SharedBuffer{{1}, size, data, release, data == nullptr};
    if (b == nullptr) return nullptr;
    if (b->owned) {
        b->data = std::malloc(size != 0 ? size : 1);
        if (b->data == nullptr) {
            delete b;
            return nullptr;
        }
        std::memset(b->data, Alternate() ? 0xA5 : 0, size);
    }
    S().liveBuffers.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<QELSharedBuffHandle>(b);
}

void BufferAddRef(QELSharedBuffHandle buffer) {
    if (buffer != nullptr) B(buffer)->refs.fetch_add(1, std::memory_order_relaxed);
}

void BufferRelease(QELSharedBuffHandle buffer) {
    SharedBuffer* b = B(buffer);
    if (b == nullptr || b->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (b->owned)
        std::free(b->data);
    else if (b->release != nullptr)
        b->release(b->data);
    S().liveBuffers.fetch_sub(1, std::memory_order_relaxed);
    delete b;
}

void* BufferGet(QELSharedBuffHandle buffer) { return buffer != nullptr ? B(buffer)->data : nullptr; }
uint64_t BufferGetSize(QELSharedBuffHandle buffer) { return buffer != nullptr ? B(buffer)->size : 0; }
void BufferDeleteUnowned(QELSharedBuffHandle buffer) { BufferRelease(buffer); }

// ---------------------------------------------------------------- core
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

// Rows the library binds but never calls: the host answers them, but has
// nothing to do.
void* Unsupported() { return nullptr; }

}  // namespace

void* HostMalloc(uint64_t size) {
    const size_t header = HeaderSize();
    if (size > SIZE_MAX - header) return nullptr;
    void* raw = std::malloc(header + (size != 0 ? size : 1));
    if (raw == nullptr) return nullptr;
    auto* h = static_cast<BlockHeader*>(raw);
    h->size = size;
    h->magic = kLiveBlock;
    void* block = static_cast<char*>(raw) + header;
    if (Alternate()) std::memset(block, 0xA5, size);
    S().liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void HostMfree(void* block) {
    if (block == nullptr) return;
    BlockHeader* h = HeaderOf(block);
    if (h->magic != kLiveBlock) std::abort();  // double free or a foreign block
    h->magic = kDeadBlock;
    if (Alternate()) std::memset(block, 0x5A, h->size);
    S().liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(h);
}

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
    s.errorRefs.fetch_add(1, std::memory_order_relaxed);
    return e;
}

ErrorObject* CoreError(uint32_t code) {
    Host::State& s = S();
    ErrorObject* e = s.coreErrors[code == 1 ? 1 : 0];
    e->refs.fetch_add(1, std::memory_order_relaxed);
    s.errorRefs.fetch_add(1, std::memory_order_relaxed);
    return e;
}

void RegisterHostInterfaces(Host::State& s) {
    namespace contract = qelutils::contract;
    using contract::Publication;
    using contract::Publish;
    using contract::PublishUnspecified;
    using Core = contract::QEL;
    using Strings = contract::QELStringInterface;
    using Errors = contract::QELErrorInterface;
    using Memory = contract::QELMemoryInterface;
    using Containers = contract::QELContainerInterface;
    using Buffers = contract::QELSharedBuffInterface;
    using Factory = contract::QELStreamFactoryInterface;
    using Cache = contract::QELCacheInterface;
    AddRows(s.registry, Publication(Publish<Core::QELRegisterProcAddress>(&RegisterProcAddress),
                                    Publish<Core::QELReportError>(&ReportError),
                                    Publish<Core::QELUnregisterInterface>(&UnregisterInterface),
                                    Publish<Core::QELGetUnregisterCountAddr>(&GetUnregisterCountAddr),
                                    Publish<Core::QELIsMultiThreaded>(&IsMultiThreaded)));
    AddRows(s.registry, Publication(Publish<Strings::NewStringAtom>(&NewStringAtom),
                                    Publish<Strings::DeleteStringAtom>(&DeleteStringAtom),
                                    Publish<Strings::GetCString>(&GetCString),
                                    Publish<Strings::AddRef>(&AddRefStringAtom)));
    AddRows(s.registry, Publication(Publish<Errors::NewError>(&NewError), Publish<Errors::GetCoreError>(&GetCoreError),
                                    Publish<Errors::AddRef>(&ErrorAddRef), Publish<Errors::Release>(&ErrorRelease),
                                    Publish<Errors::GetErrorMessage>(&ErrorGetMessage),
                                    Publish<Errors::GetComponent>(&ErrorGetComponent),
                                    Publish<Errors::GetID>(&ErrorGetID),
                                    PublishUnspecified<Errors::GetErrorInfo>(&GetErrorInfo)));
    AddRows(s.registry, Publication(Publish<Memory::Alloc>(&MemAlloc), Publish<Memory::Realloc>(&MemRealloc),
                                    Publish<Memory::Free>(&MemFree),
                                    PublishUnspecified<Memory::GetBlockSize>(&MemGetBlockSize)));
    AddRows(s.registry,
            Publication(Publish<Containers::NewFullContainer>(&NewFullContainer),
                        PublishUnspecified<Containers::NewContainer>(&Unsupported),
                        PublishUnspecified<Containers::CloneContainer>(&Unsupported),
                        Publish<Containers::AddRef>(&ContainerAddRef), Publish<Containers::Release>(&ContainerRelease),
                        Publish<Containers::DecrementWithoutDelete>(&DecrementWithoutDelete),
                        PublishUnspecified<Containers::DeleteUnownedContainer>(&Unsupported),
                        PublishUnspecified<Containers::RegisterInterface>(&Unsupported),
                        PublishUnspecified<Containers::RegisterInstance>(&Unsupported),
                        Publish<Containers::GetMethod>(&GetMethod),
                        PublishUnspecified<Containers::GetParentMethod>(&Unsupported),
                        PublishUnspecified<Containers::GetInstance>(&Unsupported),
                        Publish<Containers::NGetInstance>(&NGetInstance),
                        PublishUnspecified<Containers::GetSignature>(&Unsupported),
                        PublishUnspecified<Containers::DebugGetRefCountAddr>(&Unsupported),
                        Publish<Containers::GetOffsetToPrimaryInstance>(&GetOffsetToPrimaryInstance)));
    AddRows(s.registry, Publication(Publish<Buffers::NewBuffer>(&NewBuffer),
                                    PublishUnspecified<Buffers::DeleteUnowned>(&BufferDeleteUnowned),
                                    Publish<Buffers::AddRef>(&BufferAddRef), Publish<Buffers::Release>(&BufferRelease),
                                    Publish<Buffers::GetBuffer>(&BufferGet), Publish<Buffers::GetSize>(&BufferGetSize)));
    AddRows(s.registry,
            Publication(Publish<Factory::NewPositionableMemoryStream>(&NewMemoryStreamProc),
                        PublishUnspecified<Factory::NewPositionableBufferStream>(&UnsupportedStreamProc),
                        Publish<Factory::NewPositionableFileStream>(&NewFileStreamProc),
                        PublishUnspecified<Factory::NewClientSimpleStream>(&UnsupportedStreamProc),
                        PublishUnspecified<Factory::NewClientRewindableStream>(&UnsupportedStreamProc),
                        Publish<Factory::NewClientPositionableStream>(&NewClientStreamProc)));
    // Every cache row answers, with nothing to do.
    for (const contract::Row& row : std::span(Cache::kRows, Cache::kCount))
        s.registry.Add(Cache::kName, row.methodName, row.procTypeName, reinterpret_cast<void*>(&Unsupported));
}

}  // namespace qelhost
