#include "objects/pos_model.h"

#include <cstring>
#include <new>
#include <utility>

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "objects/nesting.h"

namespace NPOSObjectImpl {

using QEL_T_MT::POSException;

BaseObject* Implementation(QELContainerHandle handle) {
    return static_cast<BaseObject*>(QEL_T_MT::FindOwnInstance(handle, QEL_T_MT::OwnKind::POSObject));
}

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

namespace {

template <class T>
T* SameClass(const CPOSObject& other) {
    return As<T>(Implementation(other.handle()));
}

}  // namespace

// ------------------------------------------------------------------ scalars

bool Number::IsEqual(const CPOSObject& other) {
    const Number* n = SameClass<Number>(other);
    return n != nullptr && n->value == value;  // NaN equals nothing
}

bool String::IsEqual(const CPOSObject& other) {
    const String* s = SameClass<String>(other);
    return s != nullptr && s->text.text() == text.text();  // interned: same text, same pointer
}

UnicodeString::UnicodeString(const uint16_t* source) {
    uint64_t n = 0;
    while (source[n] != 0) ++n;
    count = n + 1;
    units = static_cast<uint16_t*>(QEL_T_MT::HostAlloc(count * sizeof(uint16_t)));
    std::memcpy(units, source, count * sizeof(uint16_t));
}

UnicodeString::~UnicodeString() { QEL_T_MT::host::Free(units); }

bool UnicodeString::IsEqual(const CPOSObject& other) {
    const UnicodeString* u = SameClass<UnicodeString>(other);
    return u != nullptr && u->count == count && std::memcmp(u->units, units, count * sizeof(uint16_t)) == 0;
}

BinData::BinData(const char* name, const void* bytes, uint32_t byteCount)
    : typeName(name),
      buffer(QEL_T_MT::QELSharedBuffRef::New(byteCount)),
      data(reinterpret_cast<const uint8_t*>(buffer.Data())),
      size(byteCount) {
    if (size != 0) std::memcpy(const_cast<uint8_t*>(data), bytes, size);
}

bool BinData::IsEqual(const CPOSObject& other) {
    const BinData* b = SameClass<BinData>(other);
    return b != nullptr && b->typeName.text() == typeName.text() && b->size == size &&
           (size == 0 || std::memcmp(b->data, data, size) == 0);
}

RawPointer::~RawPointer() {
    if (release != nullptr) release(pointer);
}

bool RawPointer::IsEqual(const CPOSObject& other) { return SameClass<RawPointer>(other) != nullptr; }

// ------------------------------------------------------------------ array

Array::~Array() {
    for (uint32_t i = 0; i < capacity; ++i) members[i].~CPOSObject();
    QEL_T_MT::host::Free(members);
}

void Array::Reserve(uint64_t slots) {
    if (slots <= capacity) return;
    uint64_t grown = capacity == 0 ? 4 : uint64_t{capacity} * 2;
    while (grown < slots) grown *= 2;
    if (grown > UINT32_MAX) grown = UINT32_MAX;
    if (grown < slots) throw std::bad_alloc();
    auto* block = static_cast<CPOSObject*>(QEL_T_MT::HostAlloc(grown * sizeof(CPOSObject)));
    // Members move into the new block: the references go with them.
    for (uint32_t i = 0; i < capacity; ++i) {
        new (&block[i]) CPOSObject(std::move(members[i]));
        members[i].~CPOSObject();
    }
    for (uint64_t i = capacity; i < grown; ++i) new (&block[i]) CPOSObject();
    QEL_T_MT::host::Free(members);
    members = block;
    capacity = static_cast<uint32_t>(grown);
}

CPOSObject Array::GetAt(uint32_t index) const { return index < count ? members[index] : CPOSObject(); }

void Array::SetAt(uint32_t index, const CPOSObject& value) {
    Reserve(uint64_t{index} + 1);
    members[index] = value;
    if (index >= count) count = index + 1;
}

void Array::Append(const CPOSObject& value) {
    if (count == UINT32_MAX) throw std::bad_alloc();
    Reserve(uint64_t{count} + 1);
    members[count] = value;
    ++count;
}

void Array::Remove(uint32_t index) {
    if (index >= count) return;
    CPOSObject removed(std::move(members[index]));
    for (uint32_t i = index; i + 1 < count; ++i) members[i] = std::move(members[i + 1]);
    members[count - 1].Reset();
    --count;
}

BaseObject* Array::Clone() {
    const NestingGuard nesting;
    Owned<Array> copy = MakeObject<Array>();
    copy->Reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        // An empty slot stays empty in the copy.
        if (members[i].empty())
            copy->count = i + 1;
        else
            copy->Append(members[i].Clone());
    }
    return copy.release();
}

bool Array::IsEqual(const CPOSObject& other) {
    const NestingGuard nesting;
    const Array* a = SameClass<Array>(other);
    if (a == nullptr || a->count != count) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (members[i].empty() || a->members[i].empty()) {
            if (members[i].empty() != a->members[i].empty()) return false;
            continue;
        }
        if (!members[i].IsEqual(a->members[i])) return false;
    }
    return true;
}

// ------------------------------------------------------------------ dictionary

CPOSObject Dict::Get(const char* key, Lookup lookup) const {
    if (const DictNode* node = tree->Find(key)) return node->value;
    if (lookup == Lookup::Strict) throw POSException("Dict::Get lookup failed");
    return CPOSObject();
}

BaseObject* Dict::Clone() {
    const NestingGuard nesting;
    Owned<Dict> copy = MakeObject<Dict>();
    for (DictNode* node = Leftmost(tree->root); node != nullptr; node = Successor(node))
        copy->Put(node->key, Get(node->key.text(), Lookup::Strict).Clone());
    return copy.release();
}

bool Dict::IsEqual(const CPOSObject& other) {
    const NestingGuard nesting;
    const Dict* d = SameClass<Dict>(other);
    if (d == nullptr) return false;
    for (DictNode* node = Leftmost(tree->root); node != nullptr; node = Successor(node)) {
        const CPOSObject theirs = d->Get(node->key.text(), Lookup::Quiet);
        if (theirs.empty() || !node->value.IsEqual(theirs)) return false;
    }
    for (DictNode* node = Leftmost(d->tree->root); node != nullptr; node = Successor(node))
        if (tree->Find(node->key.text()) == nullptr) return false;
    return true;
}

// ------------------------------------------------------------------ containers

QELContainerHandle NewObjectContainer(Owned<BaseObject> object) {
    const QELContainerHandle handle =
        QEL_T_MT::NewOwnContainer(object.get(), QEL_T_MT::OwnKind::POSObject, &DestroyObject);
    object.release();  // the container holds it now
    return handle;
}

}  // namespace NPOSObjectImpl
