// The property-object classes: the implementation objects held by the
// library's property-object containers.
#pragma once

#include <cstdint>
#include <utility>

#include "frame/atom_ref.h"
#include "frame/client_base.h"
#include "frame/container_ref.h"
#include "frame/host_services.h"
#include "frame/shared_buffer_ref.h"
#include "objects/destruction.h"
#include "objects/dict_tree.h"
#include "objects/pos_client.h"

namespace NPOSObjectImpl {

using QEL_T_MT::CPOSObject;
using QEL_T_MT::QELContainerRef;
using QEL_T_MT::QELStringAtomRef;

// The classes below, one value each; every dispatch on the class of an
// object goes through this instead of a run-time type comparison.
enum class ObjectKind : uint8_t { Number, String, UnicodeString, BinData, RawPointer, Array, Dict };

class BaseObject : public QEL_T_MT::CQELClientBase {
public:
    virtual ~BaseObject() = default;
    virtual ObjectKind Kind() const noexcept = 0;

    bool IsCollection() const noexcept { return Kind() >= ObjectKind::Array; }

protected:
    BaseObject() = default;
    BaseObject(const BaseObject&) = delete;
    BaseObject& operator=(const BaseObject&) = delete;
};

// The object as the class T, or null.
template <class T>
T* As(BaseObject* object) noexcept {
    return object != nullptr && object->Kind() == T::kKind ? static_cast<T*>(object) : nullptr;
}
template <class T>
const T* As(const BaseObject* object) noexcept {
    return As<T>(const_cast<BaseObject*>(object));
}

// The implementation of a property-object handle (by its implementation
// name), or null for a null handle.
inline BaseObject* Implementation(QELContainerHandle handle) {
    return static_cast<BaseObject*>(QEL_T_MT::FindOwnInstance(handle, QEL_T_MT::OwnKind::POSObject));
}

// The implementation when the container's primary instance is one of ours;
// null for another component's object. No host call.
inline BaseObject* OwnObject(QELContainerHandle handle) noexcept {
    return static_cast<BaseObject*>(QEL_T_MT::OwnPrimaryInstance(handle, QEL_T_MT::OwnKind::POSObject));
}

// The implementation of the expected class, else POSException with message.
template <class T>
T& Resolve(QELContainerHandle handle, const char* message);

// A copy of the object: the object itself for a scalar (scalars are shared),
// a deep copy for a collection, in which members of other components are
// copied through their own Clone procedures. The copy has no container yet.
BaseObject* CloneObject(BaseObject& object);

// Whether the object equals the other value; members of other components are
// asked through their own IsEqual procedures.
bool IsEqualObject(BaseObject& object, QELContainerHandle other);

// A value about to be stored in a collection: one reference of its own, and
// its POSObjectInterface bound, so that a handle without one fails before
// anything is stored. The library's own objects have that interface by
// construction; only another component's object is looked up (the lookup is
// cached per kind).
QELContainerRef BindMember(QELContainerHandle value);

class Number final : public BaseObject {
public:
    static constexpr ObjectKind kKind = ObjectKind::Number;
    explicit Number(double value) noexcept : value(value) {}
    ObjectKind Kind() const noexcept override { return kKind; }
    const double value;
};

class String final : public BaseObject {
public:
    static constexpr ObjectKind kKind = ObjectKind::String;
    explicit String(const char* text) : text(text) {}
    explicit String(QELStringAtomRef atom) noexcept : text(std::move(atom)) {}
    ObjectKind Kind() const noexcept override { return kKind; }
    const QELStringAtomRef text;
};

class UnicodeString final : public BaseObject {
public:
    static constexpr ObjectKind kKind = ObjectKind::UnicodeString;
    explicit UnicodeString(const uint16_t* units);
    ~UnicodeString() override;
    ObjectKind Kind() const noexcept override { return kKind; }
    uint16_t* units;
    uint64_t count;  // units including the terminating zero
};

class BinData final : public BaseObject {
public:
    static constexpr ObjectKind kKind = ObjectKind::BinData;
    BinData(const char* typeName, const void* bytes, uint32_t size);
    BinData(QELStringAtomRef typeName, const void* bytes, uint32_t size);
    ObjectKind Kind() const noexcept override { return kKind; }
    const QELStringAtomRef typeName;
    const QEL_T_MT::QELSharedBuffRef buffer;  // released before the type name
    const uint8_t* const data;
    const uint64_t size;
};

class RawPointer final : public BaseObject {
public:
    static constexpr ObjectKind kKind = ObjectKind::RawPointer;
    RawPointer(void* pointer, QELRawPointerReleaseProc release) noexcept : pointer(pointer), release(release) {}
    ~RawPointer() override;
    ObjectKind Kind() const noexcept override { return kKind; }
    void* const pointer;
    const QELRawPointerReleaseProc release;
    DestructionLink destruction;
};

// Members are bare container references: a member's method table is not
// kept beside it, since only another component's member ever needs one.
class Array final : public BaseObject {
public:
    static constexpr ObjectKind kKind = ObjectKind::Array;
    Array() noexcept = default;
    ~Array() override;
    ObjectKind Kind() const noexcept override { return kKind; }

    // The member's handle (no reference), or null past the count.
    QELContainerHandle GetAt(uint32_t index) const noexcept {
        return index < count ? members[index].handle() : nullptr;
    }
    void SetAt(uint32_t index, QELContainerRef value);
    void Append(QELContainerRef value);
    void Remove(uint32_t index);
    void Reserve(uint64_t slots);

    QELContainerRef* members = nullptr;
    uint32_t capacity = 0;
    uint32_t count = 0;
    DestructionLink destruction;
};

using QEL_T_MT::Lookup;

class Dict final : public BaseObject {
public:
    static constexpr ObjectKind kKind = ObjectKind::Dict;
    Dict() noexcept = default;
    ObjectKind Kind() const noexcept override { return kKind; }

    // The value's handle (no reference); an absent key gives null when
    // quiet, else POSException "Dict::Get lookup failed".
    QELContainerHandle Get(const char* key, Lookup lookup) const;
    void Put(QELStringAtomRef key, QELContainerRef value) { tree.Put(std::move(key), std::move(value)); }
    // The same with a key the caller lends: the entry takes a reference of
    // its own only when the key is new.
    void PutBorrowed(QELStringAtom key, QELContainerRef value);
    void Remove(const char* key) noexcept { tree.Remove(key); }

    DictTree tree;
    DestructionLink destruction;
};

class DictIterator : public QEL_T_MT::CQELClientBase {
public:
    explicit DictIterator(const DictTree* tree) noexcept : tree(tree), current(Leftmost(tree->root)) {}
    virtual ~DictIterator() = default;
    void Begin() noexcept { current = Leftmost(tree->root); }
    void Next() noexcept {
        if (current != nullptr) current = Successor(current);
    }
    bool IsDone() const noexcept { return current == nullptr; }

    const DictTree* tree;
    DictNode* current;
};

// A walk in key order inside the library (as a local object).
class ConstDictIterator final : public DictIterator {
public:
    using DictIterator::DictIterator;
};

// Wraps a new implementation object in a new container (floating); the
// object is destroyed when the container cannot be made.
QELContainerHandle NewObjectContainer(Owned<BaseObject> object);

template <class T, class... Args>
Owned<T> MakeObject(Args&&... args) {
    return Owned<T>(new T(std::forward<Args>(args)...));
}

// A value just read (by the text parser or the TypeA reader) and not yet
// placed. A string is kept as its atom until it is placed: a dictionary key
// needs no more, and only a string that is a value becomes a string object.
struct NewValue final {
    Owned<BaseObject> object;
    QELStringAtomRef text;

    bool empty() const noexcept { return !object && !text; }
};

// The value in a container of its own (floating, as the host makes it).
QELContainerHandle ContainerOf(NewValue value);

}  // namespace NPOSObjectImpl
