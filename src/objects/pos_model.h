// The property-object classes: the implementation objects held by the
// library's property-object containers.
#pragma once

#include <cstdint>
#include <type_traits>
#include <typeinfo>

#include "frame/atom_ref.h"
#include "frame/client_base.h"
#include "frame/shared_buffer_ref.h"
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
    ~BinData() override;
    BaseObject* Clone() override { return this; }
    bool IsEqual(const CPOSObject& other) override;
    QELStringAtomRef typeName;
    QEL_T_MT::QELSharedBuffRef buffer;
    const uint8_t* data;
    uint64_t size;
};

class RawPointer final : public BaseObject {
public:
    RawPointer(void* pointer, QELRawPointerReleaseProc release) noexcept : pointer(pointer), release(release) {}
    ~RawPointer() override;
    BaseObject* Clone() override { return this; }
    bool IsEqual(const CPOSObject& other) override;
    void* const pointer;
    const QELRawPointerReleaseProc release;
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
};

// A dictionary entry: a node of a red-black tree ordered by key bytes.
struct DictNode final {
    enum Colour : uint32_t { Red = 0, Black = 1 };
    DictNode* left = nullptr;
    DictNode* right = nullptr;
    DictNode* parent = nullptr;
    uint32_t colour = Red;
    QELStringAtomRef key;
    CPOSObject value;
};

struct DictTree final {
    DictNode* root = nullptr;
    DictNode* end = nullptr;  // always null: the position past the last entry
};

class Dict final : public BaseObject {
public:
    Dict();
    ~Dict() override;
    BaseObject* Clone() override;
    bool IsEqual(const CPOSObject& other) override;

    // Absent: empty when quiet, else POSException "Dict::Get lookup failed".
    CPOSObject Get(const char* key, bool quiet) const;
    void Put(const QELStringAtomRef& key, const CPOSObject& value);
    void Remove(const char* key);

    DictTree* tree;
};

// Tree walks, shared by the dictionary and its iterators.
DictNode* Leftmost(DictNode* node) noexcept;
DictNode* Successor(DictNode* node) noexcept;

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

// Destroy callbacks handed to the host with each container.
void DestroyObject(void* implementation);
void DestroyIterator(void* implementation);

// Wraps a new implementation object in a new container (floating); deletes
// the object when the container cannot be made.
QELContainerHandle NewObjectContainer(BaseObject* object);

// Nesting bound for the recursive walks over values (cloning, equality, the
// parser, the serializer, the validator), so that hostile depth fails cleanly
// instead of exhausting the stack.
inline constexpr unsigned kMaxNesting = 1000;

}  // namespace NPOSObjectImpl
