// Client classes of property objects: how the library itself (parser,
// serializer, validator) uses property objects of any implementation. The
// library's own objects are used directly, as the published procedures would
// use them; any other goes through the published tables imported back from
// the host.
#pragma once

#include <cstdint>

#include "frame/atom_ref.h"
#include "frame/container_ref.h"
#include "frame/host_binding.h"
#include "qelutils/pos_procs.h"

namespace NPOSObjectImpl {
class BaseObject;
struct DictNode;
class DictTree;
}  // namespace NPOSObjectImpl

namespace QEL_T_MT {

// A procedure of the library's own tables, imported back from the host like
// any client imports them (never POSObjectInterface, which is bound per
// container); throws when the table cannot be had.
template <auto S>
inline ProcTypeOf<S> POSClientProc() {
    static_assert(!std::is_same_v<TableOf<S>, contract::POSObjectInterface>, "bound per container");
    return RequireProc<S>();
}

// The POSObjectInterface procedures of a container's kind (looked up once
// per kind); CQELError "invalid container" for a kind without them.
void** BindObjectMethods(QELContainerHandle handle);

// A property-object handle with what it takes to call it: the library's own
// implementation object, or the POSObjectInterface procedures of another
// component's object.
class CPOSObject {
public:
    CPOSObject() noexcept = default;
    // Takes a reference and binds the handle's POSObjectInterface.
    explicit CPOSObject(QELContainerHandle handle);
    CPOSObject(const CPOSObject&) = default;
    CPOSObject(CPOSObject&& other) noexcept : ref_(std::move(other.ref_)), procs_(other.procs_), own_(other.own_) {
        other.procs_ = nullptr;
        other.own_ = nullptr;
    }
    CPOSObject& operator=(const CPOSObject& other) {
        CPOSObject copy(other);
        swap(copy);
        return *this;
    }
    CPOSObject& operator=(CPOSObject&& other) noexcept {
        swap(other);
        return *this;
    }
    ~CPOSObject() = default;

    QELContainerHandle handle() const noexcept { return ref_.handle(); }
    bool empty() const noexcept { return ref_.handle() == nullptr; }
    explicit operator bool() const noexcept { return !empty(); }
    // The library's own implementation object, or null.
    NPOSObjectImpl::BaseObject* own() const noexcept { return own_; }
    void swap(CPOSObject& other) noexcept {
        ref_.swap(other.ref_);
        std::swap(procs_, other.procs_);
        std::swap(own_, other.own_);
    }
    void Reset() noexcept {
        ref_.Reset();
        procs_ = nullptr;
        own_ = nullptr;
    }

    // "CPOSObject::Clone failed" when the object's Clone gives nothing.
    CPOSObject Clone() const;
    bool IsEqual(const CPOSObject& other) const;

    // Hands the object to a caller that receives no reference.
    QELContainerHandle ReleaseForReturn() noexcept {
        procs_ = nullptr;
        own_ = nullptr;
        return ref_.ReleaseForReturn();
    }

protected:
    QELContainerRef ref_;
    void** procs_ = nullptr;
    NPOSObjectImpl::BaseObject* own_ = nullptr;
};

// What a lookup or a downcast gives when there is nothing of what was asked.
enum class Lookup : uint8_t {
    Quiet,   // an empty handle
    Strict,  // the operation's POSException
};

// Downcasts: a copy of the object when it is of the kind; otherwise empty
// when quiet, else POSException "downcast from CPOSObject to <kind> failed".
class CPOSNumber final : public CPOSObject {
public:
    CPOSNumber() noexcept = default;
    CPOSNumber(const CPOSObject& object, Lookup lookup);
    static CPOSNumber New(double value);
    double Get() const;
};

class CPOSString final : public CPOSObject {
public:
    CPOSString() noexcept = default;
    CPOSString(const CPOSObject& object, Lookup lookup);
    explicit CPOSString(const char* text);  // NewPOSString
    const char* Get() const;
};

class CPOSUnicodeString final : public CPOSObject {
public:
    CPOSUnicodeString() noexcept = default;
    CPOSUnicodeString(const CPOSObject& object, Lookup lookup);
    static CPOSUnicodeString New(const uint16_t* units);
    const uint16_t* Get() const;
};

class CPOSBinData final : public CPOSObject {
public:
    CPOSBinData() noexcept = default;
    CPOSBinData(const CPOSObject& object, Lookup lookup);
    static CPOSBinData New(const char* typeName, const void* data, uint32_t size);
    const char* TypeName() const;
    const void* Data() const;
    uint32_t Size() const;
};

class CPOSRawPointer final : public CPOSObject {
public:
    CPOSRawPointer() noexcept = default;
    CPOSRawPointer(const CPOSObject& object, Lookup lookup);
    static CPOSRawPointer New(void* pointer, QELRawPointerReleaseProc release);
    void* Pointer() const;
    QELRawPointerReleaseProc ReleaseProc() const;
};

class CPOSDict;

class CPOSArray final : public CPOSObject {
public:
    CPOSArray() noexcept = default;
    CPOSArray(const CPOSObject& object, Lookup lookup);
    static CPOSArray New();  // NewPOSArray
    uint32_t Count() const;
    // No member: empty when quiet, else "CPOSArray::GetAt subscript failed".
    CPOSObject GetAt(uint32_t index, Lookup lookup) const;
    void SetAt(uint32_t index, const CPOSObject& value) const;
    void Append(const CPOSObject& value) const;
    void Remove(uint32_t index) const;
};

class CPOSDict final : public CPOSObject {
public:
    CPOSDict() noexcept = default;
    CPOSDict(const CPOSObject& object, Lookup lookup);
    static CPOSDict New();
    // Absent: empty when quiet, else "CPOSDict::Get failed".
    CPOSObject Get(QELStringAtom key, Lookup lookup) const;
    CPOSObject Get(const char* key, Lookup lookup) const;
    CPOSNumber GetNumber(const char* key, Lookup lookup) const;
    CPOSString GetString(const char* key, Lookup lookup) const;
    CPOSArray GetArray(const char* key, Lookup lookup) const;
    CPOSDict GetDict(const char* key, Lookup lookup) const;
    CPOSObject DeepGet(QELStringAtom address) const;  // empty when there is none
    void Put(QELStringAtom key, const CPOSObject& value) const;
    void Put(const char* key, const CPOSObject& value) const;
    void Remove(QELStringAtom key) const;
};

// Walks a dictionary's keys in ascending order: the library's own dictionary
// in its tree, any other through the iterator table.
class CPOSDictIterator final {
public:
    // Any object: one that is no dictionary is refused as the iterator
    // procedure refuses it.
    explicit CPOSDictIterator(const CPOSObject& dict);
    void Begin() const;
    void Next() const;
    bool IsDone() const;
    const char* CurKey() const;

private:
    const NPOSObjectImpl::DictTree* tree_ = nullptr;
    mutable NPOSObjectImpl::DictNode* current_ = nullptr;
    QELContainerRef iterator_;
};

}  // namespace QEL_T_MT
