#include "objects/pos_client.h"

#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/method_tables.h"
#include "frame/process_wide.h"

namespace QEL_T_MT {

using NPOSObjectImpl::POSInterface;
namespace rows = NPOSObjectImpl::rows;
namespace pos_slot = NPOSObjectImpl::pos_slot;

namespace {

// The library's own tables, imported back from the host per interface.
std::atomic<void*> gStaticsSlots[RowCount(rows::kStatics)];
std::atomic<void*> gNumberSlots[RowCount(rows::kNumber)];
std::atomic<void*> gStringSlots[RowCount(rows::kString)];
std::atomic<void*> gUnicodeSlots[RowCount(rows::kUnicodeString)];
std::atomic<void*> gBinDataSlots[RowCount(rows::kBinData)];
std::atomic<void*> gRawPointerSlots[RowCount(rows::kRawPointer)];
std::atomic<void*> gArraySlots[RowCount(rows::kArray)];
std::atomic<void*> gDictSlots[RowCount(rows::kDict)];
std::atomic<void*> gIteratorSlots[RowCount(rows::kDictIterator)];

#define QEL_CLIENT_TABLE(index, rowsName, slots)                                                   \
    HostProcTable {                                                                                 \
        NPOSObjectImpl::kPOSInterfaceNames[index], rowsName, RowCount(rowsName), slots, {0}, {false} \
    }

HostProcTable gClientTables[] = {
    QEL_CLIENT_TABLE(1, rows::kStatics, gStaticsSlots),
    QEL_CLIENT_TABLE(2, rows::kNumber, gNumberSlots),
    QEL_CLIENT_TABLE(3, rows::kString, gStringSlots),
    QEL_CLIENT_TABLE(4, rows::kUnicodeString, gUnicodeSlots),
    QEL_CLIENT_TABLE(5, rows::kBinData, gBinDataSlots),
    QEL_CLIENT_TABLE(6, rows::kRawPointer, gRawPointerSlots),
    QEL_CLIENT_TABLE(7, rows::kArray, gArraySlots),
    QEL_CLIENT_TABLE(8, rows::kDict, gDictSlots),
    QEL_CLIENT_TABLE(9, rows::kDictIterator, gIteratorSlots),
};
#undef QEL_CLIENT_TABLE

// POSObjectInterface tables, one per container kind. Unlike the stream
// lists, the tables are not abandoned at process detach.
class CPOSObjectTerminate final : public VTabListTerminate {
public:
    CPOSObjectTerminate() noexcept : VTabListTerminate(RowCount(rows::kObject), false) {}
};
QEL_PROCESS_WIDE CPOSObjectTerminate gObjectTables;

bool ImportObjectMethods(QELContainerHandle container, bool required, void** procs) {
    return ImportInstanceMethods(rows::kObject, RowCount(rows::kObject), container, required, procs);
}

// Calls a published procedure; a failure it reported fails the caller too.
template <class Proc, class... Args>
auto Call(POSInterface which, uint32_t slot, Args... args) {
    const Proc proc = POSClientProc<Proc>(which, slot);
    return Checked([&] { return proc(args...); });
}

// Asks the kind's IsPOS procedure; a mismatch empties the copy. A handle
// that is no property object at all is reported by that procedure, and
// fails the caller instead of reading as another kind.
template <class Client, class IsProc>
void Downcast(Client& self, const CPOSObject& object, bool quiet, POSInterface which, uint32_t isSlot,
              const char* message) {
    static_cast<CPOSObject&>(self) = object;
    if (!self.empty() && Call<IsProc>(which, isSlot, self.handle()) != 0) return;
    self.Reset();
    if (!quiet) throw POSException(message);
}

// Wraps a new object made by a client table (one reference taken).
template <class Client>
Client Wrap(QELContainerHandle handle) {
    Client client;
    static_cast<CPOSObject&>(client) = CPOSObject(handle);
    return client;
}

}  // namespace

std::atomic<void*>* POSClientTable(POSInterface which) {
    std::atomic<void*>* table = CurrentProcTable(gClientTables[static_cast<unsigned>(which) - 1]);
    if (table == nullptr) ThrowQELError("Missing Interface", "QEL", 0);
    return table;
}

// ------------------------------------------------------------------ CPOSObject

CPOSObject::CPOSObject(QELContainerHandle handle) : ref_(handle) {
    procs_ = RequireMethodTable(gObjectTables.list, handle, &ImportObjectMethods);
}

CPOSObject CPOSObject::Clone() const {
    const auto clone = ProcCast<POSObjectCloneProc>(procs_[pos_slot::Clone]);
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
    const auto isEqual = ProcCast<POSObjectIsEqualProc>(procs_[pos_slot::IsEqual]);
    const uint64_t reported = ReportedFailures();
    const int32_t equal = isEqual(handle(), other.handle());
    if (ReportedFailures() != reported) throw CReportedFailure();
    return equal != 0;
}

// ------------------------------------------------------------------ scalars

CPOSNumber::CPOSNumber(const CPOSObject& object, bool quiet) {
    Downcast<CPOSNumber, POSNumberIsPOSNumberProc>(*this, object, quiet, POSInterface::Number, pos_slot::Is,
                                                    "downcast from CPOSObject to CPOSNumber failed");
}
CPOSNumber CPOSNumber::New(double value) {
    return Wrap<CPOSNumber>(Call<POSNumberNewPOSNumberProc>(POSInterface::Number, pos_slot::New, value));
}
double CPOSNumber::Get() const { return Call<POSNumberGetProc>(POSInterface::Number, pos_slot::Get, handle()); }

CPOSString::CPOSString(const CPOSObject& object, bool quiet) {
    Downcast<CPOSString, POSStringIsPOSStringProc>(*this, object, quiet, POSInterface::String, pos_slot::Is,
                                                    "downcast from CPOSObject to CPOSString failed");
}
CPOSString::CPOSString(const char* text) {
    static_cast<CPOSObject&>(*this) =
        CPOSObject(Call<POSStringNewPOSStringProc>(POSInterface::String, pos_slot::New, text));
}
const char* CPOSString::Get() const { return Call<POSStringGetProc>(POSInterface::String, pos_slot::Get, handle()); }

CPOSUnicodeString::CPOSUnicodeString(const CPOSObject& object, bool quiet) {
    Downcast<CPOSUnicodeString, POSUnicodeStringIsPOSUnicodeStringProc>(
        *this, object, quiet, POSInterface::UnicodeString, pos_slot::Is,
        "downcast from CPOSObject to CPOSUnicodeString failed");
}
CPOSUnicodeString CPOSUnicodeString::New(const uint16_t* units) {
    return Wrap<CPOSUnicodeString>(
        Call<POSUnicodeStringNewPOSUnicodeStringProc>(POSInterface::UnicodeString, pos_slot::New, units));
}
const uint16_t* CPOSUnicodeString::Get() const {
    return Call<POSUnicodeStringGetProc>(POSInterface::UnicodeString, pos_slot::Get, handle());
}

CPOSBinData::CPOSBinData(const CPOSObject& object, bool quiet) {
    Downcast<CPOSBinData, POSBinDataIsPOSBinDataProc>(*this, object, quiet, POSInterface::BinData,
                                                       pos_slot::IsBinData,
                                                       "downcast from CPOSObject to CPOSBinData failed");
}
CPOSBinData CPOSBinData::New(const char* typeName, const void* data, uint32_t size) {
    return Wrap<CPOSBinData>(
        Call<POSBinDataNewPOSBinDataProc>(POSInterface::BinData, pos_slot::NewBinData, typeName, data, size));
}
const char* CPOSBinData::TypeName() const {
    return Call<POSBinDataGetTypeNameProc>(POSInterface::BinData, pos_slot::GetTypeName, handle());
}
const void* CPOSBinData::Data() const {
    return Call<POSBinDataGetBinDataProc>(POSInterface::BinData, pos_slot::GetBinData, handle());
}
uint32_t CPOSBinData::Size() const {
    return Call<POSBinDataGetSizeProc>(POSInterface::BinData, pos_slot::GetSize, handle());
}

CPOSRawPointer::CPOSRawPointer(const CPOSObject& object, bool quiet) {
    Downcast<CPOSRawPointer, POSRawPointerIsPOSRawPointerProc>(
        *this, object, quiet, POSInterface::RawPointer, pos_slot::IsRawPointer,
        "downcast from CPOSObject to CPOSRawPointer failed");
}
CPOSRawPointer CPOSRawPointer::New(void* pointer, QELRawPointerReleaseProc release) {
    return Wrap<CPOSRawPointer>(
        Call<POSRawPointerNewPOSRawPointerProc>(POSInterface::RawPointer, pos_slot::NewRawPointer, pointer, release));
}
void* CPOSRawPointer::Pointer() const {
    return Call<POSRawPointerGetRawPointerProc>(POSInterface::RawPointer, pos_slot::GetRawPointer, handle());
}
QELRawPointerReleaseProc CPOSRawPointer::ReleaseProc() const {
    return Call<POSRawPointerGetReleaseProcProc>(POSInterface::RawPointer, pos_slot::GetReleaseProc, handle());
}

// ------------------------------------------------------------------ array

CPOSArray::CPOSArray(const CPOSObject& object, bool quiet) {
    Downcast<CPOSArray, POSArrayIsPOSArrayProc>(*this, object, quiet, POSInterface::Array, pos_slot::IsArray,
                                                 "downcast from CPOSObject to CPOSArray failed");
}
CPOSArray CPOSArray::New() {
    return Wrap<CPOSArray>(Call<POSArrayNewPOSArrayProc>(POSInterface::Array, pos_slot::NewArray));
}
uint32_t CPOSArray::Count() const { return Call<POSArrayCountProc>(POSInterface::Array, pos_slot::Count, handle()); }
CPOSObject CPOSArray::GetAt(uint32_t index, bool quiet) const {
    QELContainerHandle member = Call<POSArrayGetAtProc>(POSInterface::Array, pos_slot::GetAt, handle(), index);
    if (member != nullptr) return CPOSObject(member);
    if (!quiet) throw POSException("CPOSArray::GetAt subscript failed");
    return CPOSObject();
}
void CPOSArray::SetAt(uint32_t index, const CPOSObject& value) const {
    Call<POSArraySetAtProc>(POSInterface::Array, pos_slot::SetAt, handle(), index, value.handle());
}
void CPOSArray::Append(const CPOSObject& value) const {
    Call<POSArrayAppendProc>(POSInterface::Array, pos_slot::Append, handle(), value.handle());
}
void CPOSArray::Remove(uint32_t index) const {
    Call<POSArrayRemoveProc>(POSInterface::Array, pos_slot::RemoveAt, handle(), index);
}

// ------------------------------------------------------------------ dictionary

CPOSDict::CPOSDict(const CPOSObject& object, bool quiet) {
    Downcast<CPOSDict, POSDictIsPOSDictProc>(*this, object, quiet, POSInterface::Dict, pos_slot::IsDict,
                                              "downcast from CPOSObject to CPOSDict failed");
}
CPOSDict CPOSDict::New() {
    return Wrap<CPOSDict>(Call<POSDictNewPOSDictProc>(POSInterface::Dict, pos_slot::NewDict));
}
CPOSObject CPOSDict::Get(QELStringAtom key, bool quiet) const {
    QELContainerHandle value = Call<POSDictGetProc>(POSInterface::Dict, pos_slot::DictGet, handle(), key);
    if (value != nullptr) return CPOSObject(value);
    if (!quiet) throw POSException("CPOSDict::Get failed");
    return CPOSObject();
}
CPOSObject CPOSDict::Get(const char* key, bool quiet) const {
    const QELStringAtomRef atom(key);
    return Get(atom.atom(), quiet);
}
CPOSNumber CPOSDict::GetNumber(const char* key, bool quiet) const { return CPOSNumber(Get(key, quiet), quiet); }
CPOSString CPOSDict::GetString(const char* key, bool quiet) const { return CPOSString(Get(key, quiet), quiet); }
CPOSArray CPOSDict::GetArray(const char* key, bool quiet) const { return CPOSArray(Get(key, quiet), quiet); }
CPOSDict CPOSDict::GetDict(const char* key, bool quiet) const { return CPOSDict(Get(key, quiet), quiet); }
CPOSObject CPOSDict::DeepGet(QELStringAtom address) const {
    QELContainerHandle value = Call<POSDictDeepGetProc>(POSInterface::Dict, pos_slot::DeepGet, handle(), address);
    return value != nullptr ? CPOSObject(value) : CPOSObject();
}
void CPOSDict::Put(QELStringAtom key, const CPOSObject& value) const {
    Call<POSDictPutProc>(POSInterface::Dict, pos_slot::Put, handle(), key, value.handle());
}
void CPOSDict::Put(const char* key, const CPOSObject& value) const {
    const QELStringAtomRef atom(key);
    Put(atom.atom(), value);
}
void CPOSDict::Remove(QELStringAtom key) const {
    Call<POSDictRemoveProc>(POSInterface::Dict, pos_slot::Remove, handle(), key);
}

CPOSDictIterator::CPOSDictIterator(const CPOSObject& dict)
    : iterator_(Call<POSDictIteratorNewPOSDictIteratorProc>(POSInterface::DictIterator, pos_slot::NewIterator, 
          dict.handle())) {}
void CPOSDictIterator::Begin() const {
    Call<POSDictIteratorBeginProc>(POSInterface::DictIterator, pos_slot::Begin, iterator_.handle());
}
void CPOSDictIterator::Next() const {
    Call<POSDictIteratorNextProc>(POSInterface::DictIterator, pos_slot::Next, iterator_.handle());
}
bool CPOSDictIterator::IsDone() const {
    return Call<POSDictIteratorIsDoneProc>(POSInterface::DictIterator, pos_slot::IsDone, iterator_.handle()) != 0;
}
const char* CPOSDictIterator::CurKey() const {
    return Call<POSDictIteratorCurKeyProc>(POSInterface::DictIterator, pos_slot::CurKey, iterator_.handle());
}

}  // namespace QEL_T_MT
