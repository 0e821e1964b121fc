#include "objects/pos_model.h"

#include <cstring>
#include <new>
#include <utility>

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/method_tables.h"
#include "objects/prefetch.h"

namespace NPOSObjectImpl {

using QEL_T_MT::POSException;

template <class T>
T& Resolve(QELContainerHandle handle, const char* message) {
    T* object = As<T>(Implementation(handle));
    if (object == nullptr) throw POSException(message);
    return *object;
}

template Number& Resolve<Number>(QELContainerHandle, const char*);
template String& Resolve<String>(QELContainerHandle, const char*);
template UnicodeString& Resolve<UnicodeString>(QELContainerHandle, const char*);
template BinData& Resolve<BinData>(QELContainerHandle, const char*);
template RawPointer& Resolve<RawPointer>(QELContainerHandle, const char*);
template Array& Resolve<Array>(QELContainerHandle, const char*);
template Dict& Resolve<Dict>(QELContainerHandle, const char*);

QELContainerRef BindMember(QELContainerHandle value) {
    QELContainerRef member(value);
    if (OwnObject(value) == nullptr) QEL_T_MT::BindObjectMethods(value);
    return member;
}

// ------------------------------------------------------------------ scalars

UnicodeString::UnicodeString(const uint16_t* source) {
    uint64_t n = 0;
    while (source[n] != 0) ++n;
    count = n + 1;
    units = static_cast<uint16_t*>(QEL_T_MT::HostAlloc(count * sizeof(uint16_t)));
    std::memcpy(units, source, count * sizeof(uint16_t));
}

UnicodeString::~UnicodeString() { QEL_T_MT::host::Free(units); }

BinData::BinData(const char* name, const void* bytes, uint32_t byteCount)
    : BinData(QELStringAtomRef(name), bytes, byteCount) {}

BinData::BinData(QELStringAtomRef name, const void* bytes, uint32_t byteCount)
    : typeName(std::move(name)),
      buffer(QEL_T_MT::QELSharedBuffRef::New(byteCount)),
      data(reinterpret_cast<const uint8_t*>(buffer.Data())),
      size(byteCount) {
    if (size != 0) std::memcpy(const_cast<uint8_t*>(data), bytes, size);
}

RawPointer::~RawPointer() {
    if (release != nullptr) release(pointer);
}

// ------------------------------------------------------------------ array

Array::~Array() {
    // Members are asked for a few ahead of their release (see prefetch.h).
    constexpr uint32_t kAhead = 8;
    for (uint32_t i = 0; i < capacity && i < kAhead; ++i) PrefetchContainer(members[i].handle());
    for (uint32_t i = 0; i < capacity; ++i) {
        if (i + kAhead < capacity) PrefetchContainer(members[i + kAhead].handle());
        members[i].~QELContainerRef();
    }
    QEL_T_MT::host::Free(members);
}

void Array::Reserve(uint64_t slots) {
    if (slots <= capacity) return;
    uint64_t grown = capacity == 0 ? 4 : uint64_t{capacity} * 2;
    while (grown < slots) grown *= 2;
    if (grown > UINT32_MAX) grown = UINT32_MAX;
    if (grown < slots) throw std::bad_alloc();
    // A member is one handle: the block may move as a whole, the references
    // going with it; a refusal leaves the array as it was.
    auto* block = static_cast<QELContainerRef*>(
        members == nullptr ? QEL_T_MT::HostAlloc(grown * sizeof(QELContainerRef))
                           : QEL_T_MT::HostRealloc(members, grown * sizeof(QELContainerRef)));
    for (uint64_t i = capacity; i < grown; ++i) new (&block[i]) QELContainerRef();
    members = block;
    capacity = static_cast<uint32_t>(grown);
}

void Array::SetAt(uint32_t index, QELContainerRef value) {
    Reserve(uint64_t{index} + 1);
    // The old member goes with the parameter, once the slot holds the new.
    members[index].swap(value);
    if (index >= count) count = index + 1;
}

void Array::Append(QELContainerRef value) {
    if (count == UINT32_MAX) throw std::bad_alloc();
    Reserve(uint64_t{count} + 1);
    members[count].swap(value);
    ++count;
}

void Array::Remove(uint32_t index) {
    if (index >= count) return;
    QELContainerRef removed(std::move(members[index]));
    for (uint32_t i = index; i + 1 < count; ++i) members[i] = std::move(members[i + 1]);
    members[count - 1].Reset();
    --count;
}

// ------------------------------------------------------------------ dictionary

QELContainerHandle Dict::Get(const char* key, Lookup lookup) const {
    if (const DictNode* node = tree.Find(key)) return node->value.handle();
    if (lookup == Lookup::Strict) throw POSException("Dict::Get lookup failed");
    return nullptr;
}

void Dict::PutBorrowed(QELStringAtom key, QELContainerRef value) {
    const char* text = QEL_T_MT::host::GetCString(key);
    if (DictNode* node = tree.Find(text)) {
        node->value.swap(value);
        return;
    }
    tree.PutNew(QELStringAtomRef::Borrow(key, text), std::move(value));
}

// ------------------------------------------------------------------ containers

QELContainerHandle NewObjectContainer(Owned<BaseObject> object) {
    const QELContainerHandle handle =
        QEL_T_MT::NewOwnContainer(object.get(), QEL_T_MT::OwnKind::POSObject, &DestroyObject);
    object.release();  // the container holds it now
    return handle;
}

QELContainerHandle ContainerOf(NewValue value) {
    if (value.object) return NewObjectContainer(std::move(value.object));
    return NewObjectContainer(MakeObject<String>(std::move(value.text)));
}

}  // namespace NPOSObjectImpl
