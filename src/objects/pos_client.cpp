#include "objects/pos_client.h"

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/method_tables.h"
#include "frame/process_wide.h"

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

// Asks the kind's IsPOS procedure; a mismatch empties the copy. A handle
// that is no property object at all is reported by that procedure, and
// fails the caller instead of reading as another kind.
template <auto IsKind, class Client>
void Downcast(Client& self, const CPOSObject& object, Lookup lookup, const char* message) {
    static_cast<CPOSObject&>(self) = object;
    if (!self.empty() && Call<IsKind>(self.handle()) != 0) return;
    self.Reset();
    if (lookup == Lookup::Strict) throw POSException(message);
}

// Wraps a new object made by a client table (one reference taken).
template <class Client>
Client Wrap(QELContainerHandle handle) {
    Client client;
    static_cast<CPOSObject&>(client) = CPOSObject(handle);
    return client;
}

}  // namespace

void** BindObjectMethods(QELContainerHandle handle) {
    return RequireMethodTable(gObjectTables.list, handle, &ImportTable<POSObjectInterface>);
}

// ------------------------------------------------------------------ CPOSObject

CPOSObject::CPOSObject(QELContainerHandle handle) : ref_(handle) { procs_ = BindObjectMethods(handle); }

CPOSObject CPOSObject::Clone() const {
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

// Both walk nested values through the members' own procedures, so their
// frames are paid once per level of nesting: kept to the call itself.
bool CPOSObject::IsEqual(const CPOSObject& other) const {
    const auto isEqual = Proc<POSObjectInterface::IsEqual>(procs_);
    const uint64_t reported = ReportedFailures();
    const int32_t equal = isEqual(handle(), other.handle());
    if (ReportedFailures() != reported) throw CReportedFailure();
    return equal != 0;
}

// ------------------------------------------------------------------ scalars

CPOSNumber::CPOSNumber(const CPOSObject& object, Lookup lookup) {
    Downcast<POSNumberInterface::IsPOSNumber>(*this, object, lookup, "downcast from CPOSObject to CPOSNumber failed");
}
CPOSNumber CPOSNumber::New(double value) {
    return Wrap<CPOSNumber>(Call<POSNumberInterface::NewPOSNumber>(value));
}
double CPOSNumber::Get() const { return Call<POSNumberInterface::Get>(handle()); }

CPOSString::CPOSString(const CPOSObject& object, Lookup lookup) {
    Downcast<POSStringInterface::IsPOSString>(*this, object, lookup, "downcast from CPOSObject to CPOSString failed");
}
CPOSString::CPOSString(const char* text) {
    static_cast<CPOSObject&>(*this) =
        CPOSObject(Call<POSStringInterface::NewPOSString>(text));
}
const char* CPOSString::Get() const { return Call<POSStringInterface::Get>(handle()); }

CPOSUnicodeString::CPOSUnicodeString(const CPOSObject& object, Lookup lookup) {
    Downcast<POSUnicodeStringInterface::IsPOSUnicodeString>(*this, object, lookup, "downcast from CPOSObject to CPOSUnicodeString failed");
}
CPOSUnicodeString CPOSUnicodeString::New(const uint16_t* units) {
    return Wrap<CPOSUnicodeString>(
        Call<POSUnicodeStringInterface::NewPOSUnicodeString>(units));
}
const uint16_t* CPOSUnicodeString::Get() const {
    return Call<POSUnicodeStringInterface::Get>(handle());
}

CPOSBinData::CPOSBinData(const CPOSObject& object, Lookup lookup) {
    Downcast<POSBinDataInterface::IsPOSBinData>(*this, object, lookup, "downcast from CPOSObject to CPOSBinData failed");
}
CPOSBinData CPOSBinData::New(const char* typeName, const void* data, uint32_t size) {
    return Wrap<CPOSBinData>(
        Call<POSBinDataInterface::NewPOSBinData>(typeName, data, size));
}
const char* CPOSBinData::TypeName() const {
    return Call<POSBinDataInterface::GetTypeName>(handle());
}
const void* CPOSBinData::Data() const {
    return Call<POSBinDataInterface::GetBinData>(handle());
}
uint32_t CPOSBinData::Size() const {
    return Call<POSBinDataInterface::GetSize>(handle());
}

CPOSRawPointer::CPOSRawPointer(const CPOSObject& object, Lookup lookup) {
    Downcast<POSRawPointerInterface::IsPOSRawPointer>(*this, object, lookup, "downcast from CPOSObject to CPOSRawPointer failed");
}
CPOSRawPointer CPOSRawPointer::New(void* pointer, QELRawPointerReleaseProc release) {
    return Wrap<CPOSRawPointer>(
        Call<POSRawPointerInterface::NewPOSRawPointer>(pointer, release));
}
void* CPOSRawPointer::Pointer() const {
    return Call<POSRawPointerInterface::GetRawPointer>(handle());
}
QELRawPointerReleaseProc CPOSRawPointer::ReleaseProc() const {
    return Call<POSRawPointerInterface::GetReleaseProc>(handle());
}

// ------------------------------------------------------------------ array

CPOSArray::CPOSArray(const CPOSObject& object, Lookup lookup) {
    Downcast<POSArrayInterface::IsPOSArray>(*this, object, lookup, "downcast from CPOSObject to CPOSArray failed");
}
CPOSArray CPOSArray::New() {
    return Wrap<CPOSArray>(Call<POSArrayInterface::NewPOSArray>());
}
uint32_t CPOSArray::Count() const { return Call<POSArrayInterface::Count>(handle()); }
CPOSObject CPOSArray::GetAt(uint32_t index, Lookup lookup) const {
    QELContainerHandle member = Call<POSArrayInterface::GetAt>(handle(), index);
    if (member != nullptr) return CPOSObject(member);
    if (lookup == Lookup::Strict) throw POSException("CPOSArray::GetAt subscript failed");
    return CPOSObject();
}
void CPOSArray::SetAt(uint32_t index, const CPOSObject& value) const {
    Call<POSArrayInterface::SetAt>(handle(), index, value.handle());
}
void CPOSArray::Append(const CPOSObject& value) const {
    Call<POSArrayInterface::Append>(handle(), value.handle());
}
void CPOSArray::Remove(uint32_t index) const {
    Call<POSArrayInterface::Remove>(handle(), index);
}

// ------------------------------------------------------------------ dictionary

CPOSDict::CPOSDict(const CPOSObject& object, Lookup lookup) {
    Downcast<POSDictInterface::IsPOSDict>(*this, object, lookup, "downcast from CPOSObject to CPOSDict failed");
}
CPOSDict CPOSDict::New() {
    return Wrap<CPOSDict>(Call<POSDictInterface::NewPOSDict>());
}
CPOSObject CPOSDict::Get(QELStringAtom key, Lookup lookup) const {
    QELContainerHandle value = Call<POSDictInterface::Get>(handle(), key);
    if (value != nullptr) return CPOSObject(value);
    if (lookup == Lookup::Strict) throw POSException("CPOSDict::Get failed");
    return CPOSObject();
}
CPOSObject CPOSDict::Get(const char* key, Lookup lookup) const {
    const QELStringAtomRef atom(key);
    return Get(atom.atom(), lookup);
}
CPOSNumber CPOSDict::GetNumber(const char* key, Lookup lookup) const { return CPOSNumber(Get(key, lookup), lookup); }
CPOSString CPOSDict::GetString(const char* key, Lookup lookup) const { return CPOSString(Get(key, lookup), lookup); }
CPOSArray CPOSDict::GetArray(const char* key, Lookup lookup) const { return CPOSArray(Get(key, lookup), lookup); }
CPOSDict CPOSDict::GetDict(const char* key, Lookup lookup) const { return CPOSDict(Get(key, lookup), lookup); }
CPOSObject CPOSDict::DeepGet(QELStringAtom address) const {
    QELContainerHandle value = Call<POSDictInterface::DeepGet>(handle(), address);
    return value != nullptr ? CPOSObject(value) : CPOSObject();
}
void CPOSDict::Put(QELStringAtom key, const CPOSObject& value) const {
    Call<POSDictInterface::Put>(handle(), key, value.handle());
}
void CPOSDict::Put(const char* key, const CPOSObject& value) const {
    const QELStringAtomRef atom(key);
    Put(atom.atom(), value);
}
void CPOSDict::Remove(QELStringAtom key) const {
    Call<POSDictInterface::Remove>(handle(), key);
}

CPOSDictIterator::CPOSDictIterator(const CPOSObject& dict)
    : iterator_(Call<POSDictIteratorInterface::NewPOSDictIterator>(dict.handle())) {}
void CPOSDictIterator::Begin() const {
    Call<POSDictIteratorInterface::Begin>(iterator_.handle());
}
void CPOSDictIterator::Next() const {
    Call<POSDictIteratorInterface::Next>(iterator_.handle());
}
bool CPOSDictIterator::IsDone() const {
    return Call<POSDictIteratorInterface::IsDone>(iterator_.handle()) != 0;
}
const char* CPOSDictIterator::CurKey() const {
    return Call<POSDictIteratorInterface::CurKey>(iterator_.handle());
}

}  // namespace QEL_T_MT
