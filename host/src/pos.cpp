#include "qelhost/pos.h"

#include "host_state.h"

#include <stdexcept>
#include <vector>

namespace qelhost::pos {

namespace {

template <class Proc>
Proc Resolve(Host& host, const char* interfaceName, const char* method, const char* procType) {
    auto proc = host.Get<Proc>(interfaceName, method, procType);
    if (proc == nullptr)
        throw std::runtime_error(std::string("not published: ") + interfaceName + "." + method);
    return proc;
}

// The host procedures behind every Ref and Atom, looked up again only when
// the broker's rows may have changed: looking them up at each call (a key
// string, a hash and a lock) cost more than the calls themselves. A method
// that is not published fails where it is used, as before.
struct CoreProcs final {
    uint64_t generation = 0;
    QELAddRefContainerV2Proc addRef = nullptr;
    QELReleaseContainerProc release = nullptr;
    QELNewStringAtomProc newAtom = nullptr;
    QELDeleteStringAtomProc deleteAtom = nullptr;
    QELGetCStringProc getCString = nullptr;
};

const CoreProcs& Procs() {
    thread_local CoreProcs procs;  // one a thread: no lock on the way
    const uint64_t now = RegistryGeneration();
    if (procs.generation != now) {
        const Host& host = Host::Current();
        CoreProcs fresh;
        fresh.addRef = host.Get<QELAddRefContainerV2Proc>("QELContainerInterface", "AddRef", "QELAddRefContainerV2Proc");
        fresh.release = host.Get<QELReleaseContainerProc>("QELContainerInterface", "Release", "QELReleaseContainerProc");
        fresh.newAtom = host.Get<QELNewStringAtomProc>("QELStringInterface", "NewStringAtom", "QELNewStringAtomProc");
        fresh.deleteAtom =
            host.Get<QELDeleteStringAtomProc>("QELStringInterface", "DeleteStringAtom", "QELDeleteStringAtomProc");
        fresh.getCString = host.Get<QELGetCStringProc>("QELStringInterface", "GetCString", "QELGetCStringProc");
        fresh.generation = now;
        procs = fresh;
    }
    return procs;
}

template <class Proc>
Proc Published(Proc proc, const char* interfaceName, const char* method) {
    if (proc == nullptr) throw std::runtime_error(std::string("not published: ") + interfaceName + "." + method);
    return proc;
}

}  // namespace

Ref Ref::Take(QELContainerHandle handle) {
    Ref ref;
    if (handle == nullptr) return ref;
    if (Published(Procs().addRef, "QELContainerInterface", "AddRef")(handle) == 0)
        throw std::runtime_error("the host refused a container reference");
    ref.handle_ = handle;
    return ref;
}

Ref::Ref(const Ref& other) : handle_(nullptr) {
    if (other.handle_ != nullptr) *this = Take(other.handle_);
}

Ref::~Ref() { reset(); }

void Ref::reset() {
    if (handle_ == nullptr) return;
    Published(Procs().release, "QELContainerInterface", "Release")(handle_);
    handle_ = nullptr;
}

Atom::Atom(const char* text)
    : atom_(Published(Procs().newAtom, "QELStringInterface", "NewStringAtom")(text)) {
    if (atom_ == nullptr) throw std::bad_alloc();
}

Atom::~Atom() {
    Published(Procs().deleteAtom, "QELStringInterface", "DeleteStringAtom")(atom_);
}

const char* Atom::text() const {
    return Published(Procs().getCString, "QELStringInterface", "GetCString")(atom_);
}

#define QEL_RESOLVE(member, iface, method, type) member(Resolve<type>(host, iface, method, #type))

Client::Client(Host& host)
    : QEL_RESOLVE(clone, "POSObjectInterface", "Clone", POSObjectCloneProc),
      QEL_RESOLVE(isEqual, "POSObjectInterface", "IsEqual", POSObjectIsEqualProc),
      QEL_RESOLVE(debugDump, "POSObjectStatics", "DebugDump", POSObjectDebugDumpProc),
      QEL_RESOLVE(debugDumpWithHeader, "POSObjectStatics", "DebugDumpWithHeader", POSObjectDebugDumpWithHeaderProc),
      QEL_RESOLVE(debugDumpRewind, "POSObjectStatics", "DebugDumpRewind", POSObjectDebugDumpRewindProc),
      QEL_RESOLVE(createFromText, "POSObjectStatics", "CreateFromText", POSObjectCreateFromTextProc),
      QEL_RESOLVE(newNumber, "POSNumberInterface", "NewPOSNumber", POSNumberNewPOSNumberProc),
      QEL_RESOLVE(isNumber, "POSNumberInterface", "IsPOSNumber", POSNumberIsPOSNumberProc),
      QEL_RESOLVE(getNumber, "POSNumberInterface", "Get", POSNumberGetProc),
      QEL_RESOLVE(newString, "POSStringInterface", "NewPOSString", POSStringNewPOSStringProc),
      QEL_RESOLVE(isString, "POSStringInterface", "IsPOSString", POSStringIsPOSStringProc),
      QEL_RESOLVE(getString, "POSStringInterface", "Get", POSStringGetProc),
      QEL_RESOLVE(newUnicodeString, "POSUnicodeStringInterface", "NewPOSUnicodeString",
                  POSUnicodeStringNewPOSUnicodeStringProc),
      QEL_RESOLVE(isUnicodeString, "POSUnicodeStringInterface", "IsPOSUnicodeString",
                  POSUnicodeStringIsPOSUnicodeStringProc),
      QEL_RESOLVE(getUnicodeString, "POSUnicodeStringInterface", "Get", POSUnicodeStringGetProc),
      QEL_RESOLVE(newBinData, "POSBinDataInterface", "NewPOSBinData", POSBinDataNewPOSBinDataProc),
      QEL_RESOLVE(isBinData, "POSBinDataInterface", "IsPOSBinData", POSBinDataIsPOSBinDataProc),
      QEL_RESOLVE(getBinDataTypeName, "POSBinDataInterface", "GetTypeName", POSBinDataGetTypeNameProc),
      QEL_RESOLVE(getBinData, "POSBinDataInterface", "GetBinData", POSBinDataGetBinDataProc),
      QEL_RESOLVE(getBinDataSize, "POSBinDataInterface", "GetSize", POSBinDataGetSizeProc),
      QEL_RESOLVE(newRawPointer, "POSRawPointerInterface", "NewPOSRawPointer", POSRawPointerNewPOSRawPointerProc),
      QEL_RESOLVE(isRawPointer, "POSRawPointerInterface", "IsPOSRawPointer", POSRawPointerIsPOSRawPointerProc),
      QEL_RESOLVE(getRawPointer, "POSRawPointerInterface", "GetRawPointer", POSRawPointerGetRawPointerProc),
      QEL_RESOLVE(getReleaseProc, "POSRawPointerInterface", "GetReleaseProc", POSRawPointerGetReleaseProcProc),
      QEL_RESOLVE(newArray, "POSArrayInterface", "NewPOSArray", POSArrayNewPOSArrayProc),
      QEL_RESOLVE(isArray, "POSArrayInterface", "IsPOSArray", POSArrayIsPOSArrayProc),
      QEL_RESOLVE(arrayGetAt, "POSArrayInterface", "GetAt", POSArrayGetAtProc),
      QEL_RESOLVE(arrayCount, "POSArrayInterface", "Count", POSArrayCountProc),
      QEL_RESOLVE(arraySetAt, "POSArrayInterface", "SetAt", POSArraySetAtProc),
      QEL_RESOLVE(arrayAppend, "POSArrayInterface", "Append", POSArrayAppendProc),
      QEL_RESOLVE(arrayRemove, "POSArrayInterface", "Remove", POSArrayRemoveProc),
      QEL_RESOLVE(newDict, "POSDictInterface", "NewPOSDict", POSDictNewPOSDictProc),
      QEL_RESOLVE(isDict, "POSDictInterface", "IsPOSDict", POSDictIsPOSDictProc),
      QEL_RESOLVE(dictGet, "POSDictInterface", "Get", POSDictGetProc),
      QEL_RESOLVE(dictDeepGet, "POSDictInterface", "DeepGet", POSDictDeepGetProc),
      QEL_RESOLVE(dictPut, "POSDictInterface", "Put", POSDictPutProc),
      QEL_RESOLVE(dictRemove, "POSDictInterface", "Remove", POSDictRemoveProc),
      QEL_RESOLVE(newIterator, "POSDictIteratorInterface", "NewPOSDictIterator",
                  POSDictIteratorNewPOSDictIteratorProc),
      QEL_RESOLVE(iteratorBegin, "POSDictIteratorInterface", "Begin", POSDictIteratorBeginProc),
      QEL_RESOLVE(iteratorNext, "POSDictIteratorInterface", "Next", POSDictIteratorNextProc),
      QEL_RESOLVE(iteratorIsDone, "POSDictIteratorInterface", "IsDone", POSDictIteratorIsDoneProc),
      QEL_RESOLVE(iteratorCurKey, "POSDictIteratorInterface", "CurKey", POSDictIteratorCurKeyProc) {}

#undef QEL_RESOLVE

Ref Client::UnicodeString(const std::u16string& text) const {
    std::vector<uint16_t> units(text.begin(), text.end());
    units.push_back(0);
    return Ref::Take(newUnicodeString(units.data()));
}

Ref Client::BinData(const char* typeName, std::string_view bytes) const {
    return Ref::Take(newBinData(typeName, bytes.data(), static_cast<uint32_t>(bytes.size())));
}

Ref Client::FromText(const char* text, long* errorOffset) const {
    const char* position = nullptr;
    Ref value = Ref::Take(createFromText(text, &position));
    if (errorOffset != nullptr) *errorOffset = position != nullptr ? position - text : -1;
    return value;
}

std::u16string Client::GetUnicodeString(const Ref& v) const {
    const uint16_t* units = getUnicodeString(v.get());
    std::u16string text;
    for (; units != nullptr && *units != 0; ++units) text.push_back(static_cast<char16_t>(*units));
    return text;
}

std::string Client::GetBinData(const Ref& v) const {
    const auto* data = static_cast<const char*>(getBinData(v.get()));
    return data != nullptr ? std::string(data, getBinDataSize(v.get())) : std::string();
}

Ref Client::Get(const Ref& dict, const char* key) const {
    const Atom atom(key);
    return Ref::Take(dictGet(dict.get(), atom.get()));
}

Ref Client::DeepGet(const Ref& dict, const char* address) const {
    const Atom atom(address);
    return Ref::Take(dictDeepGet(dict.get(), atom.get()));
}

void Client::Put(const Ref& dict, const char* key, const Ref& value) const {
    const Atom atom(key);
    dictPut(dict.get(), atom.get(), value.get());
}

void Client::Remove(const Ref& dict, const char* key) const {
    const Atom atom(key);
    dictRemove(dict.get(), atom.get());
}

std::vector<std::string> Client::Keys(const Ref& dict) const {
    std::vector<std::string> keys;
    const Ref it = Ref::Take(newIterator(dict.get()));
    if (!it) return keys;
    for (; iteratorIsDone(it.get()) == 0; iteratorNext(it.get())) keys.emplace_back(iteratorCurKey(it.get()));
    return keys;
}

}  // namespace qelhost::pos
