// The container service: counted containers whose primary-instance record
// lies where the policy puts it, and the rows of their methods.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "host_state.h"

namespace qelhost {

namespace {

size_t RecordBytes() noexcept {
    return static_cast<size_t>(S().policy.recordOffset) + sizeof(QELPrimaryInstanceRecord);
}

void DestroyContainer(ContainerHeader* c) {
    QELPrimaryInstanceRecord* record = RecordOf(c);
    const Kind& kind = KindOfContainer(c);
    c->kindWord = ContainerHeader::kDead | c->KindNumber();
    if (kind.destroy != nullptr) kind.destroy(record->implementationObject);
    Count(Tally::Containers, -1);
    FreeRecordBlock(c, RecordBytes());
}

QELErrorHandle NewFullContainer(QELContainerHandle* out, void* object, QELStringAtom implementationName,
                                QELDestroyProc destroy, QELStringAtom interfaceName, void*, void*, void*) {
    if (out == nullptr) return Wrap(MakeError("null out argument", "HOST", 2));
    return NewContainer(out, object, Unwrap(implementationName), destroy, Unwrap(interfaceName), nullptr);
}

int32_t ContainerAddRef(QELContainerHandle container) {
    ContainerHeader* c = Unwrap(container);
    if (c == nullptr || !c->Live()) return 0;
    c->refs.fetch_add(1, std::memory_order_relaxed);
    return 1;
}

void ContainerRelease(QELContainerHandle container) {
    ContainerHeader* c = Unwrap(container);
    if (c == nullptr) return;
    if (!c->Live()) std::abort();  // released after its death
    int32_t refs = c->refs.load(std::memory_order_acquire);
    // A floating container (count 0) is destroyed outright.
    if (refs == 0 || c->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) DestroyContainer(c);
}

void DecrementWithoutDelete(QELContainerHandle container) {
    ContainerHeader* c = Unwrap(container);
    if (c == nullptr) return;
    int32_t refs = c->refs.load(std::memory_order_relaxed);
    while (refs > 0 && !c->refs.compare_exchange_weak(refs, refs - 1, std::memory_order_acq_rel)) {
    }
}

QELErrorHandle GetMethod(void** out, QELContainerHandle container, QELStringAtom methodName,
                         QELStringAtom procTypeName, int32_t allowMissing) {
    if (out == nullptr) return Wrap(MakeError("null out argument", "HOST", 2));
    *out = nullptr;
    ContainerHeader* c = Unwrap(container);
    if (c == nullptr || methodName == nullptr || procTypeName == nullptr)
        return Wrap(MakeError("GetMethod: null argument", "HOST", 2));
    if (S().ContainerLookupFails()) return Wrap(MakeError("injected container lookup fault", "HOST", 6));
    const char* method = Unwrap(methodName)->text();
    const char* procType = Unwrap(procTypeName)->text();
    const Kind& kind = KindOfContainer(c);
    void* proc = kind.hostKind != nullptr ? HostKindMethod(kind.hostKind, method, procType)
                                          : S().registry.Find(kind.interfaceName->view(), method, procType);
    // A missing method is no failure of the call: the out slot stays null
    // and the caller decides, whatever allowMissing says.
    (void)allowMissing;
    *out = proc;
    return nullptr;
}

QELErrorHandle NGetInstance(void** out, QELContainerHandle container, QELStringAtom implementationName) {
    if (out == nullptr) return Wrap(MakeError("null out argument", "HOST", 2));
    *out = nullptr;
    ContainerHeader* c = Unwrap(container);
    if (c == nullptr || !c->Live()) return Wrap(MakeError("not a container", "HOST", 4));
    if (S().ContainerLookupFails()) return Wrap(MakeError("injected container lookup fault", "HOST", 6));
    if (Unwrap(implementationName) != KindOfContainer(c).implementationName) {
        const std::string text = std::string("no instance named ") +
                                 (implementationName != nullptr ? Unwrap(implementationName)->text() : "(null)");
        return Wrap(MakeError(text.c_str(), "HOST", 5));
    }
    *out = RecordOf(c)->implementationObject;
    return nullptr;
}

int32_t GetOffsetToPrimaryInstance() { return S().policy.recordOffset; }

}  // namespace

QELPrimaryInstanceRecord* RecordOf(ContainerHeader* c) noexcept {
    return reinterpret_cast<QELPrimaryInstanceRecord*>(reinterpret_cast<char*>(c) + S().policy.recordOffset);
}

QELErrorHandle NewContainer(QELContainerHandle* out, void* object, Atom* implementationName,
                            QELDestroyProc destroy, Atom* interfaceName, void* hostKind) {
    *out = nullptr;
    if (implementationName == nullptr || interfaceName == nullptr) return Wrap(MakeError("null name", "HOST", 2));
    Host::State& s = S();
    if (s.AllocationFails()) return Wrap(CoreError(1));
    const Kind* kind = nullptr;
    try {
        kind = s.kinds.Find(implementationName, interfaceName, destroy, hostKind);
    } catch (const std::bad_alloc&) {
        return Wrap(CoreError(1));
    }
    void* block = NewRecordBlock(RecordBytes());
    if (block == nullptr) return Wrap(CoreError(1));
    auto* c = new (block) ContainerHeader{{0}, ContainerHeader::kLive | kind->number};
    *RecordOf(c) = QELPrimaryInstanceRecord{implementationName->text(), kind->signature->text(), object};
    Count(Tally::Containers, 1);
    *out = Wrap(c);
    return nullptr;
}

void RegisterContainers(Registry& registry) {
    using Containers = qelutils::contract::QELContainerInterface;
    using qelutils::contract::Publish;
    using qelutils::contract::PublishUnspecified;
    AddRows(registry,
            qelutils::contract::Publication(
                Publish<Containers::NewFullContainer>(&NewFullContainer),
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
}

// ---------------------------------------------------------------- ContainerRef
// Through the container rows, as any holder of a reference would.
ContainerRef::ContainerRef(QELContainerHandle handle) {
    if (handle != nullptr && RequireRow<qelutils::contract::QELContainerInterface::AddRef>()(handle) != 0)
        handle_ = handle;
}

ContainerRef::~ContainerRef() { reset(); }

ContainerRef& ContainerRef::operator=(ContainerRef&& other) noexcept {
    if (this != &other) {
        reset();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

void ContainerRef::reset() noexcept {
    if (handle_ == nullptr) return;
    QELContainerHandle handle = handle_;
    handle_ = nullptr;
    // Hidden: the books show the leak.
    if (const auto release = FindRow<qelutils::contract::QELContainerInterface::Release>()) release(handle);
}

}  // namespace qelhost
