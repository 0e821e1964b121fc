// The published property-object procedures, each under the reporting guard.
#include "objects/pos_procedures.h"

#include <memory>

#include "frame/guards.h"
#include "frame/host_binding.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "objects/pos_model.h"
#include "objects/text_parser.h"

namespace NPOSObjectImpl {

using QEL_T_MT::CPOSObject;
using QEL_T_MT::QELStringAtomRef;
using QEL_T_MT::Publication;
using QEL_T_MT::Publish;
using QEL_T_MT::Reporting;
namespace contract = qelutils::contract;

namespace {

constexpr const char kNotNumber[] = "instance was not an POSNumber";
constexpr const char kNotString[] = "instance was not an POSString";
constexpr const char kNotUnicode[] = "instance was not an POSUnicodeString";
constexpr const char kNotBinData[] = "instance was not an POSBinData";
constexpr const char kNotRawPointer[] = "instance was not an POSRawPointer";
constexpr const char kNotArray[] = "instance was not an POSArray";
constexpr const char kNotDict[] = "instance was not an POSDict";

template <class T>
int32_t IsKind(QELContainerHandle object) {
    return Reporting<int32_t>(0, [&]() -> int32_t {
        return object != nullptr && As<T>(Implementation(object)) != nullptr ? 1 : 0;
    });
}

template <class T, class... Args>
QELContainerHandle New(Args&&... args) {
    return Reporting<QELContainerHandle>(nullptr, [&] { return NewObjectContainer(MakeObject<T>(args...)); });
}

// A member is handed out as the collection holds it: the working reference
// that a caller-visible sequence would take and drop again (AddRef, then
// DecrementWithoutDelete) leaves the count where it was, and is not taken.

// ------------------------------------------------------------------ objects

QELContainerHandle Clone(QELContainerHandle object) {
    return Reporting<QELContainerHandle>(nullptr, [&] {
        BaseObject* self = Implementation(object);
        if (self == nullptr) throw QEL_T_MT::POSException("CPOSObject::Clone failed");
        BaseObject* copy = CloneObject(*self);
        return copy == self ? object : NewObjectContainer(Owned<BaseObject>(copy));
    });
}

int32_t IsEqual(QELContainerHandle object, QELContainerHandle other) {
    return Reporting<int32_t>(0, [&]() -> int32_t {
        BaseObject* self = Implementation(object);
        if (self == nullptr) {
            const CPOSObject theirs(other);
            return 0;
        }
        return IsEqualObject(*self, other) ? 1 : 0;
    });
}

// The dumps write nothing; binding the object's table is what they check.
void DebugDump(QELContainerHandle object) {
    Reporting([&] { const CPOSObject bound(object); });
}
void DebugDumpWithHeader(QELContainerHandle object, const void*, const void*) { DebugDump(object); }
void DebugDumpRewind(QELContainerHandle object, const void*, const void*) { DebugDump(object); }

QELContainerHandle CreateFromText(const char* text, const char** errorPosition) {
    if (errorPosition != nullptr) *errorPosition = nullptr;
    return Reporting<QELContainerHandle>(nullptr, [&] { return ParseText(text, errorPosition); });
}

// ------------------------------------------------------------------ scalars

QELContainerHandle NewNumber(double value) { return New<Number>(value); }
int32_t IsNumber(QELContainerHandle object) { return IsKind<Number>(object); }
double GetNumber(QELContainerHandle object) {
    return Reporting<double>(0.0, [&] { return Resolve<Number>(object, kNotNumber).value; });
}

QELContainerHandle NewString(const char* text) {
    return Reporting<QELContainerHandle>(nullptr, [&] {
        if (text == nullptr) throw QEL_T_MT::POSException("NewPOSString: no text");
        return NewObjectContainer(MakeObject<String>(text));
    });
}
int32_t IsString(QELContainerHandle object) { return IsKind<String>(object); }
const char* GetString(QELContainerHandle object) {
    return Reporting<const char*>("", [&] { return Resolve<String>(object, kNotString).text.text(); });
}

QELContainerHandle NewUnicodeString(const uint16_t* text) {
    return Reporting<QELContainerHandle>(nullptr, [&] {
        if (text == nullptr) throw QEL_T_MT::POSException("NewPOSUnicodeString: no text");
        return NewObjectContainer(MakeObject<UnicodeString>(text));
    });
}
int32_t IsUnicodeString(QELContainerHandle object) { return IsKind<UnicodeString>(object); }
const uint16_t* GetUnicodeString(QELContainerHandle object) {
    return Reporting<const uint16_t*>(nullptr,
                                      [&] { return Resolve<UnicodeString>(object, kNotUnicode).units; });
}

QELContainerHandle NewBinData(const char* typeName, const void* data, uint32_t size) {
    return Reporting<QELContainerHandle>(nullptr, [&] {
        if (typeName == nullptr || (data == nullptr && size != 0))
            throw QEL_T_MT::POSException("NewPOSBinData: no type name or no data");
        return NewObjectContainer(MakeObject<BinData>(typeName, data, size));
    });
}
int32_t IsBinData(QELContainerHandle object) { return IsKind<BinData>(object); }
const char* GetBinDataTypeName(QELContainerHandle object) {
    return Reporting<const char*>(nullptr, [&] { return Resolve<BinData>(object, kNotBinData).typeName.text(); });
}
const void* GetBinData(QELContainerHandle object) {
    return Reporting<const void*>(nullptr, [&] { return Resolve<BinData>(object, kNotBinData).data; });
}
uint32_t GetBinDataSize(QELContainerHandle object) {
    return Reporting<uint32_t>(0, [&] { return static_cast<uint32_t>(Resolve<BinData>(object, kNotBinData).size); });
}

QELContainerHandle NewRawPointer(void* pointer, QELRawPointerReleaseProc release) {
    return New<RawPointer>(pointer, release);
}
int32_t IsRawPointer(QELContainerHandle object) { return IsKind<RawPointer>(object); }
void* GetRawPointer(QELContainerHandle object) {
    return Reporting<void*>(nullptr, [&] { return Resolve<RawPointer>(object, kNotRawPointer).pointer; });
}
QELRawPointerReleaseProc GetReleaseProc(QELContainerHandle object) {
    return Reporting<QELRawPointerReleaseProc>(nullptr,
                                               [&] { return Resolve<RawPointer>(object, kNotRawPointer).release; });
}

// ------------------------------------------------------------------ array

QELContainerHandle NewArray() { return New<Array>(); }
int32_t IsArray(QELContainerHandle object) { return IsKind<Array>(object); }
QELContainerHandle ArrayGetAt(QELContainerHandle array, uint32_t index) {
    return Reporting<QELContainerHandle>(nullptr, [&] { return Resolve<Array>(array, kNotArray).GetAt(index); });
}
uint32_t ArrayCount(QELContainerHandle array) {
    return Reporting<uint32_t>(0, [&] { return Resolve<Array>(array, kNotArray).count; });
}
void ArraySetAt(QELContainerHandle array, uint32_t index, QELContainerHandle value) {
    Reporting([&] {
        Array& self = Resolve<Array>(array, kNotArray);
        self.SetAt(index, BindMember(value));
    });
}
void ArrayAppend(QELContainerHandle array, QELContainerHandle value) {
    Reporting([&] {
        Array& self = Resolve<Array>(array, kNotArray);
        self.Append(BindMember(value));
    });
}
void ArrayRemove(QELContainerHandle array, uint32_t index) {
    Reporting([&] { Resolve<Array>(array, kNotArray).Remove(index); });
}

// ------------------------------------------------------------------ dictionary

QELContainerHandle NewDict() { return New<Dict>(); }
int32_t IsDict(QELContainerHandle object) { return IsKind<Dict>(object); }
// The key and the address are read, not kept: the reference that borrowing
// them for the call would take and give back is not taken.
QELContainerHandle DictGet(QELContainerHandle dict, QELStringAtom key) {
    return Reporting<QELContainerHandle>(nullptr, [&]() -> QELContainerHandle {
        const Dict& self = Resolve<Dict>(dict, kNotDict);
        return key != nullptr ? self.Get(QEL_T_MT::host::GetCString(key), Lookup::Quiet) : nullptr;
    });
}
QELContainerHandle DictDeepGet(QELContainerHandle dict, QELStringAtom address) {
    return Reporting<QELContainerHandle>(nullptr, [&]() -> QELContainerHandle {
        const Dict& self = Resolve<Dict>(dict, kNotDict);
        return address != nullptr ? DeepGet(self, QEL_T_MT::host::GetCString(address)) : nullptr;
    });
}
void DictPut(QELContainerHandle dict, QELStringAtom key, QELContainerHandle value) {
    Reporting([&] {
        Dict& self = Resolve<Dict>(dict, kNotDict);
        if (key == nullptr) throw QEL_T_MT::POSException("POSDict::Put: no key");
        self.PutBorrowed(key, BindMember(value));
    });
}
void DictRemove(QELContainerHandle dict, QELStringAtom key) {
    Reporting([&] {
        Dict& self = Resolve<Dict>(dict, kNotDict);
        if (key != nullptr) self.Remove(QEL_T_MT::host::GetCString(key));
    });
}

// ------------------------------------------------------------------ iterators

DictIterator& IteratorOf(QELContainerHandle iterator) {
    void* object = QEL_T_MT::FindOwnInstance(iterator, QEL_T_MT::OwnKind::POSDictIterator);
    if (object == nullptr) throw QEL_T_MT::POSException("instance was not an POSDictIterator");
    return *static_cast<DictIterator*>(object);
}

QELContainerHandle NewIterator(QELContainerHandle dict) {
    return Reporting<QELContainerHandle>(nullptr, [&] {
        const Dict& self = Resolve<Dict>(dict, kNotDict);
        auto iterator = std::make_unique<DictIterator>(&self.tree);
        const QELContainerHandle handle =
            QEL_T_MT::NewOwnContainer(iterator.get(), QEL_T_MT::OwnKind::POSDictIterator, &DestroyIterator);
        iterator.release();  // the container holds it now
        return handle;
    });
}
void IteratorBegin(QELContainerHandle iterator) { Reporting([&] { IteratorOf(iterator).Begin(); }); }
void IteratorNext(QELContainerHandle iterator) { Reporting([&] { IteratorOf(iterator).Next(); }); }
int32_t IteratorIsDone(QELContainerHandle iterator) {
    return Reporting<int32_t>(1, [&]() -> int32_t { return IteratorOf(iterator).IsDone() ? 1 : 0; });
}
const char* IteratorCurKey(QELContainerHandle iterator) {
    return Reporting<const char*>(nullptr, [&]() -> const char* {
        const DictIterator& it = IteratorOf(iterator);
        return it.current != nullptr ? it.current->key.text() : nullptr;
    });
}

}  // namespace

namespace {

// The ten tables, in publication order.
auto POSTables() noexcept {
    using Object = contract::POSObjectInterface;
    using Statics = contract::POSObjectStatics;
    using Number = contract::POSNumberInterface;
    using String = contract::POSStringInterface;
    using Unicode = contract::POSUnicodeStringInterface;
    using Bin = contract::POSBinDataInterface;
    using Raw = contract::POSRawPointerInterface;
    using Arr = contract::POSArrayInterface;
    using Dic = contract::POSDictInterface;
    using Iter = contract::POSDictIteratorInterface;
    return std::tuple(
        Publication(Publish<Object::Clone>(&Clone), Publish<Object::IsEqual>(&IsEqual)),
        Publication(Publish<Statics::DebugDump>(&DebugDump), Publish<Statics::DebugDumpWithHeader>(&DebugDumpWithHeader),
                    Publish<Statics::DebugDumpRewind>(&DebugDumpRewind),
                    Publish<Statics::CreateFromText>(&CreateFromText)),
        Publication(Publish<Number::NewPOSNumber>(&NewNumber), Publish<Number::IsPOSNumber>(&IsNumber),
                    Publish<Number::Get>(&GetNumber)),
        Publication(Publish<String::NewPOSString>(&NewString), Publish<String::IsPOSString>(&IsString),
                    Publish<String::Get>(&GetString)),
        Publication(Publish<Unicode::NewPOSUnicodeString>(&NewUnicodeString),
                    Publish<Unicode::IsPOSUnicodeString>(&IsUnicodeString), Publish<Unicode::Get>(&GetUnicodeString)),
        Publication(Publish<Bin::NewPOSBinData>(&NewBinData), Publish<Bin::IsPOSBinData>(&IsBinData),
                    Publish<Bin::GetTypeName>(&GetBinDataTypeName), Publish<Bin::GetBinData>(&GetBinData),
                    Publish<Bin::GetSize>(&GetBinDataSize)),
        Publication(Publish<Raw::NewPOSRawPointer>(&NewRawPointer), Publish<Raw::IsPOSRawPointer>(&IsRawPointer),
                    Publish<Raw::GetRawPointer>(&GetRawPointer), Publish<Raw::GetReleaseProc>(&GetReleaseProc)),
        Publication(Publish<Arr::NewPOSArray>(&NewArray), Publish<Arr::IsPOSArray>(&IsArray),
                    Publish<Arr::GetAt>(&ArrayGetAt), Publish<Arr::Count>(&ArrayCount), Publish<Arr::SetAt>(&ArraySetAt),
                    Publish<Arr::Append>(&ArrayAppend), Publish<Arr::Remove>(&ArrayRemove)),
        Publication(Publish<Dic::NewPOSDict>(&NewDict), Publish<Dic::IsPOSDict>(&IsDict), Publish<Dic::Get>(&DictGet),
                    Publish<Dic::DeepGet>(&DictDeepGet), Publish<Dic::Put>(&DictPut),
                    Publish<Dic::Remove>(&DictRemove)),
        Publication(Publish<Iter::NewPOSDictIterator>(&NewIterator), Publish<Iter::Begin>(&IteratorBegin),
                    Publish<Iter::Next>(&IteratorNext), Publish<Iter::IsDone>(&IteratorIsDone),
                    Publish<Iter::CurKey>(&IteratorCurKey)));
}

}  // namespace

bool PublishPOSTables() { return QEL_T_MT::RegisterProcTables(POSTables()); }
void WithdrawPOSTables() noexcept { QEL_T_MT::WithdrawInterfaces(POSTables()); }

}  // namespace NPOSObjectImpl
