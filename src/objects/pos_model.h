// The property-object classes: the implementation objects held by the
// library's property-object containers.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "frame/atom_ref.h"
#include "frame/client_base.h"
#include "frame/shared_buffer_ref.h"
#include "objects/destruction.h"
#include "objects/dict_tree.h"
#include "objects/pos_client.h"

namespace NPOSObjectImpl {

using QEL_T_MT::CPOSObject;
using QEL_T_MT::QELStringAtomRef;

class BaseObject : public QEL_T_MT::CQELClientBase {
public:
    virtual ~BaseObject() = default;
    // Scalars return themselves; collections a deep copy.
    virtual BaseObject* Clone() = 0;
    virtual bool IsEqual(const CPOSObject& other) = 0;

protected:
    BaseObject() = default;
    BaseObject(const BaseObject&) = delete;
    BaseObject& operator=(const BaseObject&) = delete;
};

// The object as the class T, or null. Every model class is final, so the
// exact type decides: cheaper than a cast that searches the hierarchy, on
// every call that resolves a handle.
template <class T>
T* As(BaseObject* object) noexcept {
    static_assert(std::is_final_v<T>);
    return object != nullptr && typeid(*object) == typeid(T) ? static_cast<T*>(object) : nullptr;
}
template <class T>
const T* As(const BaseObject* object) noexcept {
    return As<T>(const_cast<BaseObject*>(object));
}

// The implementation of a property-object handle (by its implementation
// name), or null for a null handle.
BaseObject* Implementation(QELContainerHandle handle);

// The implementation of the expected class, else POSException with message.
template <class T>
T& Resolve(QELContainerHandle handle, const char* message);

class Number final : public BaseObject {
public:
    explicit Number(double value) noexcept : value(value) {}
    BaseObject* Clone() override { return this; }
    bool IsEqual(const CPOSObject& other) override;
    const double value;
};

class String final : public BaseObject {
public:
    explicit String(const char* text) : text(text) {}
    explicit String(QELStringAtomRef atom) noexcept : text(std::move(atom)) {}
    BaseObject* Clone() override { return this; }
    bool IsEqual(const CPOSObject& other) override;
    const QELStringAtomRef text;
};

class UnicodeString final : public BaseObject {
public:
    explicit UnicodeString(const uint16_t* units);
    ~UnicodeString() override;
    BaseObject* Clone() override { return this; }
    bool IsEqual(const CPOSObject& other) override;
    uint16_t* units;
    uint64_t count;  // units including the terminating zero
};

class BinData final : public BaseObject {
public:
    BinData(const char* typeName, const void* bytes, uint32_t size);
    BaseObject* Clone() override { return this; }
    bool IsEqual(const CPOSObject& other) override;
    const QELStringAtomRef typeName;
    const QEL_T_MT::QELSharedBuffRef buffer;  // released before the type name
    const uint8_t* const data;
    const uint64_t size;
};

class RawPointer final : public BaseObject {
public:
    RawPointer(void* pointer, QELRawPointerReleaseProc release) noexcept : pointer(pointer), release(release) {}
    ~RawPointer() override;
    BaseObject* Clone() override { return this; }
    bool IsEqual(const CPOSObject& other) override;
    void* const pointer;
    const QELRawPointerReleaseProc release;
    DestructionLink destruction;
};

class Array final : public BaseObject {
public:
    Array() noexcept = default;
    ~Array() override;
    BaseObject* Clone() override;
    bool IsEqual(const CPOSObject& other) override;

    CPOSObject GetAt(uint32_t index) const;
    void SetAt(uint32_t index, const CPOSObject& value);
    void Append(const CPOSObject& value);
    void Remove(uint32_t index);
    void Reserve(uint64_t slots);

    CPOSObject* members = nullptr;
    uint32_t capacity = 0;
    uint32_t count = 0;
    DestructionLink destruction;
};

using QEL_T_MT::Lookup;

class Dict final : public BaseObject {
public:
    Dict() : tree(std::make_unique<DictTree>()) {}
    BaseObject* Clone() override;
    bool IsEqual(const CPOSObject& other) override;

    CPOSObject Get(const char* key, Lookup lookup) const;
    void Put(const QELStringAtomRef& key, const CPOSObject& value) { tree->Put(key, value); }
    void Remove(const char* key) noexcept { tree->Remove(key); }

    const std::unique_ptr<DictTree> tree;
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

}  // namespace NPOSObjectImpl
