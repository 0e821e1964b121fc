#include "objects/pos_client.h"

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/host_calls.h"
#include "frame/method_tables.h"
#include "frame/process_wide.h"
#include "objects/pos_model.h"
#include "objects/pos_procedures.h"

namespace QEL_T_MT {

using POSObjectInterface = contract::POSObjectInterface;
using POSNumberInterface = contract::POSNumberInterface;
using POSStringInterface = contract::POSStringInterface;
using POSUnicodeStringInterface = contract::POSUnicodeStringInterface;
using POSBinDataInterface = contract::POSBinDataInterface;
using POSRawPointerInterface = contract::POSRawPointerInterface;
using POSArrayInterface = contract::POSArrayInterface;
using POSDictInterface = contract::POSDictInterface;
using POSDictIteratorInterface = contract::POSDictIteratorInterface;

namespace Impl = NPOSObjectImpl;

namespace {

// POSObjectInterface tables, one per container kind. Unlike the stream
// lists, the tables are not abandoned at process detach.
class CPOSObjectTerminate final : public VTabListTerminate {
public:
    CPOSObjectTerminate() noexcept : VTabListTerminate(POSObjectInterface::kCount, false) {}
};
QEL_PROCESS_WIDE CPOSObjectTerminate gObjectTables;

// Calls a published procedure; a failure it reported fails the caller too.
template <auto S, class... Args>
auto Call(Args... args) {
    const auto proc = POSClientProc<S>();
    return Checked([&] { return proc(args...); });
}

// The library's own object of the class, the object as the published
// procedures would resolve it; null for another class.
template <class T>
T* Own(const CPOSObject& object) noexcept {
    return Impl::As<T>(object.own());
}

// The message of the published procedures for a handle of another kind.
template <class T>
constexpr const char* NotKindMessage();
template <>
constexpr const char* NotKindMessage<Impl::Array>() { return "instance was not an POSArray"; }
template <>
constexpr const char* NotKindMessage<Impl::Dict>() { return "instance was not an POSDict"; }

// The own object of the class that an operation of the kind needs; one of
// another class fails as the kind's published procedure fails.
template <class T>
T& OwnOfKind(const CPOSObject& object) {
    T* own = Own<T>(object);
    if (own == nullptr) throw POSException(NotKindMessage<T>());
    return *own;
}

// Asks whether the object is of the kind: directly for the library's own
// objects, else through the kind's IsPOS procedure (which reports a handle
// that is no property object at all, and fails the caller instead of
// reading as another kind). A mismatch empties the copy.
template <class T, auto IsKind, class Client>
void Downcast(Client& self, const CPOSObject& object, Lookup lookup, const char* message) {
    static_cast<CPOSObject&>(self) = object;
    if (!self.empty()) {
        if (self.own() != nullptr ? Impl::As<T>(self.own()) != nullptr : Call<IsKind>(self.handle()) != 0) return;
    }
    self.Reset();
    if (lookup == Lookup::Strict) throw POSException(message);
}

// Wraps a new object of the library (one reference taken).
template <class Client>
Client Wrap(QELContainerHandle handle) {
    Client client;
    static_cast<CPOSObject&>(client) = CPOSObject(handle);
    return client;
}
template <class Client, class T, class... Args>
Client MakeOwn(Args&&... args) {
    return Wrap<Client>(Impl::NewObjectContainer(Impl::MakeObject<T>(std::forward<Args>(args)...)));
}

// A member about to be stored, taken as the published procedures take it
// (BindMember); a value that is one of ours is bound by construction, so
// one reference is all it takes.
QELContainerRef MemberOf(const CPOSObject& value) {
    if (value.own() != nullptr) return QELContainerRef(value.handle());
    return Impl::BindMember(value.handle());
}

}  // namespace

void** BindObjectMethods(QELContainerHandle handle) {
    return RequireMethodTable(gObjectTables.list, handle, &ImportTable<POSObjectInterface>);
}

// ------------------------------------------------------------------ CPOSObject

CPOSObject::CPOSObject(QELContainerHandle handle) : ref_(handle) {
    own_ = Impl::OwnObject(handle);
    if (own_ == nullptr) procs_ = BindObjectMethods(handle);
}

CPOSObject CPOSObject::Clone() const {
    if (own_ != nullptr) {
        Impl::BaseObject* copy = Impl::CloneObject(*own_);
        if (copy == own_) return *this;
        return CPOSObject(Impl::NewObjectContainer(Impl::Owned<Impl::BaseObject>(copy)));
    }
    const auto clone = Proc<POSObjectInterface::Clone>(procs_);
    const uint64_t reported = ReportedFailures();
    const QELContainerHandle copy = clone(handle());
    if (copy != nullptr) return CPOSObject(copy);
    // A Clone of this library has reported why (once, however deep the
    // failure lay): the caller fails without a second report. Any other
    // Clone reports as its owner decides, and the caller says it failed.
    if (ReportedFailures() != reported) throw CReportedFailure();
    throw POSException("CPOSObject::Clone failed");
}

bool CPOSObject::IsEqual(const CPOSObject& other) const {
    if (own_ != nullptr) return Impl::IsEqualObject(*own_, other.handle());
    const auto isEqual = Proc<POSObjectInterface::IsEqual>(procs_);
    const uint64_t reported = ReportedFailures();
    const int32_t equal = isEqual(handle(), other.handle());
    if (ReportedFailures() != reported) throw CReportedFailure();
    return equal != 0;
}

// ------------------------------------------------------------------ scalars

CPOSNumber::CPOSNumber(const CPOSObject& object, Lookup lookup) {
    Downcast<Impl::Number, POSNumberInterface::IsPOSNumber>(*this, object, lookup,
                                                            "downcast from CPOSObject to CPOSNumber failed");
}
CPOSNumber CPOSNumber::New(double value) { return MakeOwn<CPOSNumber, Impl::Number>(value); }
double CPOSNumber::Get() const {
    if (const auto* own = Own<Impl::Number>(*this)) return own->value;
    return Call<POSNumberInterface::Get>(handle());
}

CPOSString::CPOSString(const CPOSObject& object, Lookup lookup) {
    Downcast<Impl::String, POSStringInterface::IsPOSString>(*this, object, lookup,
                                                            "downcast from CPOSObject to CPOSString failed");
}
CPOSString::CPOSString(const char* text) {
    if (text == nullptr) throw POSException("NewPOSString: no text");
    *this = MakeOwn<CPOSString, Impl::String>(text);
}
const char* CPOSString::Get() const {
    if (const auto* own = Own<Impl::String>(*this)) return own->text.text();
    return Call<POSStringInterface::Get>(handle());
}

CPOSUnicodeString::CPOSUnicodeString(const CPOSObject& object, Lookup lookup) {
    Downcast<Impl::UnicodeString, POSUnicodeStringInterface::IsPOSUnicodeString>(
        *this, object, lookup, "downcast from CPOSObject to CPOSUnicodeString failed");
}
CPOSUnicodeString CPOSUnicodeString::New(const uint16_t* units) {
    if (units == nullptr) throw POSException("NewPOSUnicodeString: no text");
    return MakeOwn<CPOSUnicodeString, Impl::UnicodeString>(units);
}
const uint16_t* CPOSUnicodeString::Get() const {
    if (const auto* own = Own<Impl::UnicodeString>(*this)) return own->units;
    return Call<POSUnicodeStringInterface::Get>(handle());
}

CPOSBinData::CPOSBinData(const CPOSObject& object, Lookup lookup) {
    Downcast<Impl::BinData, POSBinDataInterface::IsPOSBinData>(*this, object, lookup,
                                                               "downcast from CPOSObject to CPOSBinData failed");
}
CPOSBinData CPOSBinData::New(const char* typeName, const void* data, uint32_t size) {
    if (typeName == nullptr || (data == nullptr && size != 0))
        throw POSException("NewPOSBinData: no type name or no data");
    return MakeOwn<CPOSBinData, Impl::BinData>(typeName, data, size);
}
const char* CPOSBinData::TypeName() const {
    if (const auto* own = Own<Impl::BinData>(*this)) return own->typeName.text();
    return Call<POSBinDataInterface::GetTypeName>(handle());
}
const void* CPOSBinData::Data() const {
    if (const auto* own = Own<Impl::BinData>(*this)) return own->data;
    return Call<POSBinDataInterface::GetBinData>(handle());
}
uint32_t CPOSBinData::Size() const {
    if (const auto* own = Own<Impl::BinData>(*this)) return static_cast<uint32_t>(own->size);
    return Call<POSBinDataInterface::GetSize>(handle());
}

CPOSRawPointer::CPOSRawPointer(const CPOSObject& object, Lookup lookup) {
    Downcast<Impl::RawPointer, POSRawPointerInterface::IsPOSRawPointer>(
        *this, object, lookup, "downcast from CPOSObject to CPOSRawPointer failed");
}
CPOSRawPointer CPOSRawPointer::New(void* pointer, QELRawPointerReleaseProc release) {
    return MakeOwn<CPOSRawPointer, Impl::RawPointer>(pointer, release);
}
void* CPOSRawPointer::Pointer() const {
    if (const auto* own = Own<Impl::RawPointer>(*this)) return own->pointer;
    return Call<POSRawPointerInterface::GetRawPointer>(handle());
}
QELRawPointerReleaseProc CPOSRawPointer::ReleaseProc() const {
    if (const auto* own = Own<Impl::RawPointer>(*this)) return own->release;
    return Call<POSRawPointerInterface::GetReleaseProc>(handle());
}

// ------------------------------------------------------------------ array

CPOSArray::CPOSArray(const CPOSObject& object, Lookup lookup) {
    Downcast<Impl::Array, POSArrayInterface::IsPOSArray>(*this, object, lookup,
                                                         "downcast from CPOSObject to CPOSArray failed");
}
CPOSArray CPOSArray::New() { return MakeOwn<CPOSArray, Impl::Array>(); }
uint32_t CPOSArray::Count() const {
    if (own_ != nullptr) return OwnOfKind<Impl::Array>(*this).count;
    return Call<POSArrayInterface::Count>(handle());
}
CPOSObject CPOSArray::GetAt(uint32_t index, Lookup lookup) const {
    const QELContainerHandle member = own_ != nullptr ? OwnOfKind<Impl::Array>(*this).GetAt(index)
                                                      : Call<POSArrayInterface::GetAt>(handle(), index);
    if (member != nullptr) return CPOSObject(member);
    if (lookup == Lookup::Strict) throw POSException("CPOSArray::GetAt subscript failed");
    return CPOSObject();
}
void CPOSArray::SetAt(uint32_t index, const CPOSObject& value) const {
    if (own_ != nullptr) return OwnOfKind<Impl::Array>(*this).SetAt(index, MemberOf(value));
    Call<POSArrayInterface::SetAt>(handle(), index, value.handle());
}
void CPOSArray::Append(const CPOSObject& value) const {
    if (own_ != nullptr) return OwnOfKind<Impl::Array>(*this).Append(MemberOf(value));
    Call<POSArrayInterface::Append>(handle(), value.handle());
}
void CPOSArray::Remove(uint32_t index) const {
    if (own_ != nullptr) return OwnOfKind<Impl::Array>(*this).Remove(index);
    Call<POSArrayInterface::Remove>(handle(), index);
}

// ------------------------------------------------------------------ dictionary
// Keys given as text are looked up by their bytes: the atom that a call
// through the table would make for the one lookup is not needed.

CPOSDict::CPOSDict(const CPOSObject& object, Lookup lookup) {
    Downcast<Impl::Dict, POSDictInterface::IsPOSDict>(*this, object, lookup,
                                                      "downcast from CPOSObject to CPOSDict failed");
}
CPOSDict CPOSDict::New() { return MakeOwn<CPOSDict, Impl::Dict>(); }

namespace {
CPOSObject Found(QELContainerHandle value, Lookup lookup) {
    if (value != nullptr) return CPOSObject(value);
    if (lookup == Lookup::Strict) throw POSException("CPOSDict::Get failed");
    return CPOSObject();
}
}  // namespace

CPOSObject CPOSDict::Get(QELStringAtom key, Lookup lookup) const {
    if (own_ != nullptr) {
        const Impl::Dict& dict = OwnOfKind<Impl::Dict>(*this);
        return Found(key != nullptr ? dict.Get(host::GetCString(key), Lookup::Quiet) : nullptr, lookup);
    }
    return Found(Call<POSDictInterface::Get>(handle(), key), lookup);
}
CPOSObject CPOSDict::Get(const char* key, Lookup lookup) const {
    if (own_ != nullptr) return Found(OwnOfKind<Impl::Dict>(*this).Get(key, Lookup::Quiet), lookup);
    const QELStringAtomRef atom(key);
    return Get(atom.atom(), lookup);
}
CPOSNumber CPOSDict::GetNumber(const char* key, Lookup lookup) const { return CPOSNumber(Get(key, lookup), lookup); }
CPOSString CPOSDict::GetString(const char* key, Lookup lookup) const { return CPOSString(Get(key, lookup), lookup); }
CPOSArray CPOSDict::GetArray(const char* key, Lookup lookup) const { return CPOSArray(Get(key, lookup), lookup); }
CPOSDict CPOSDict::GetDict(const char* key, Lookup lookup) const { return CPOSDict(Get(key, lookup), lookup); }
CPOSObject CPOSDict::DeepGet(QELStringAtom address) const {
    if (own_ != nullptr) {
        const Impl::Dict& dict = OwnOfKind<Impl::Dict>(*this);
        return Found(address != nullptr ? Impl::DeepGet(dict, host::GetCString(address)) : nullptr, Lookup::Quiet);
    }
    return Found(Call<POSDictInterface::DeepGet>(handle(), address), Lookup::Quiet);
}
void CPOSDict::Put(QELStringAtom key, const CPOSObject& value) const {
    if (own_ != nullptr) {
        Impl::Dict& dict = OwnOfKind<Impl::Dict>(*this);
        if (key == nullptr) throw POSException("POSDict::Put: no key");
        return dict.Put(QELStringAtomRef(key, false), MemberOf(value));
    }
    Call<POSDictInterface::Put>(handle(), key, value.handle());
}
void CPOSDict::Put(const char* key, const CPOSObject& value) const {
    if (own_ != nullptr) return OwnOfKind<Impl::Dict>(*this).Put(QELStringAtomRef(key), MemberOf(value));
    const QELStringAtomRef atom(key);
    Put(atom.atom(), value);
}
void CPOSDict::Remove(QELStringAtom key) const {
    if (own_ != nullptr) {
        Impl::Dict& dict = OwnOfKind<Impl::Dict>(*this);
        if (key != nullptr) dict.Remove(host::GetCString(key));
        return;
    }
    Call<POSDictInterface::Remove>(handle(), key);
}

// ------------------------------------------------------------------ iterator

CPOSDictIterator::CPOSDictIterator(const CPOSObject& dict) {
    if (dict.own() != nullptr) {
        tree_ = &OwnOfKind<Impl::Dict>(dict).tree;
        current_ = Impl::Leftmost(tree_->root);
        return;
    }
    iterator_ = QELContainerRef(Call<POSDictIteratorInterface::NewPOSDictIterator>(dict.handle()));
}
void CPOSDictIterator::Begin() const {
    if (tree_ != nullptr) {
        current_ = Impl::Leftmost(tree_->root);
        return;
    }
    Call<POSDictIteratorInterface::Begin>(iterator_.handle());
}
void CPOSDictIterator::Next() const {
    if (tree_ != nullptr) {
        if (current_ != nullptr) current_ = Impl::Successor(current_);
        return;
    }
    Call<POSDictIteratorInterface::Next>(iterator_.handle());
}
bool CPOSDictIterator::IsDone() const {
    if (tree_ != nullptr) return current_ == nullptr;
    return Call<POSDictIteratorInterface::IsDone>(iterator_.handle()) != 0;
}
const char* CPOSDictIterator::CurKey() const {
    if (tree_ != nullptr) return current_ != nullptr ? current_->key.text() : nullptr;
    return Call<POSDictIteratorInterface::CurKey>(iterator_.handle());
}

}  // namespace QEL_T_MT
