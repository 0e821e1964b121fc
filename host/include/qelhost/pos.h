// Typed C++ access to the library's property-object tables, as a host
// component uses them: every call goes through procedures resolved from the
// broker, and references are held by RAII values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "qelhost/host.h"
#include "qelutils/pos_procs.h"

namespace qelhost::pos {

// One owned reference to a container.
class Ref final {
public:
    Ref() noexcept = default;
    // Takes a reference to a handle that a procedure returned (a new,
    // floating container or a borrowed member); null stays null.
    static Ref Take(QELContainerHandle handle);
    Ref(const Ref& other);
    Ref(Ref&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~Ref();

    QELContainerHandle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void reset();

private:
    QELContainerHandle handle_ = nullptr;
};

// One owned reference to a string atom.
class Atom final {
public:
    explicit Atom(const char* text);
    explicit Atom(const std::string& text) : Atom(text.c_str()) {}
    Atom(const Atom&) = delete;
    Atom& operator=(const Atom&) = delete;
    ~Atom();
    QELStringAtom get() const noexcept { return atom_; }
    const char* text() const;

private:
    QELStringAtom atom_;
};

// The property-object procedures, resolved once from the current host (the
// library must be initialised). Wrappers take references for their results.
class Client final {
public:
    explicit Client(Host& host = Host::Current());

    // Creation
    Ref Number(double value) const { return Ref::Take(newNumber(value)); }
    Ref String(const char* text) const { return Ref::Take(newString(text)); }
    Ref UnicodeString(const std::u16string& text) const;
    Ref BinData(const char* typeName, std::string_view bytes) const;
    Ref RawPointer(void* pointer, QELRawPointerReleaseProc release) const {
        return Ref::Take(newRawPointer(pointer, release));
    }
    Ref Array() const { return Ref::Take(newArray()); }
    Ref Dict() const { return Ref::Take(newDict()); }
    // Null on a syntax error, with the error offset in *errorOffset.
    Ref FromText(const char* text, long* errorOffset = nullptr) const;

    // Kinds and values
    bool IsNumber(const Ref& v) const { return isNumber(v.get()) != 0; }
    bool IsString(const Ref& v) const { return isString(v.get()) != 0; }
    bool IsUnicodeString(const Ref& v) const { return isUnicodeString(v.get()) != 0; }
    bool IsBinData(const Ref& v) const { return isBinData(v.get()) != 0; }
    bool IsRawPointer(const Ref& v) const { return isRawPointer(v.get()) != 0; }
    bool IsArray(const Ref& v) const { return isArray(v.get()) != 0; }
    bool IsDict(const Ref& v) const { return isDict(v.get()) != 0; }
    double GetNumber(const Ref& v) const { return getNumber(v.get()); }
    std::string GetString(const Ref& v) const { return getString(v.get()); }
    std::u16string GetUnicodeString(const Ref& v) const;
    std::string GetBinData(const Ref& v) const;

    // Collections
    uint32_t Count(const Ref& array) const { return arrayCount(array.get()); }
    Ref GetAt(const Ref& array, uint32_t index) const { return Ref::Take(arrayGetAt(array.get(), index)); }
    void Append(const Ref& array, const Ref& value) const { arrayAppend(array.get(), value.get()); }
    void SetAt(const Ref& array, uint32_t index, const Ref& value) const {
        arraySetAt(array.get(), index, value.get());
    }
    void RemoveAt(const Ref& array, uint32_t index) const { arrayRemove(array.get(), index); }
    Ref Get(const Ref& dict, const char* key) const;
    Ref DeepGet(const Ref& dict, const char* address) const;
    void Put(const Ref& dict, const char* key, const Ref& value) const;
    void Remove(const Ref& dict, const char* key) const;
    // Keys in iteration order.
    std::vector<std::string> Keys(const Ref& dict) const;

    Ref Clone(const Ref& v) const { return Ref::Take(clone(v.get())); }
    bool IsEqual(const Ref& a, const Ref& b) const { return isEqual(a.get(), b.get()) != 0; }

    // The procedures themselves, for tests of the raw surface.
    POSObjectCloneProc clone;
    POSObjectIsEqualProc isEqual;
    POSObjectDebugDumpProc debugDump;
    POSObjectDebugDumpWithHeaderProc debugDumpWithHeader;
    POSObjectDebugDumpRewindProc debugDumpRewind;
    POSObjectCreateFromTextProc createFromText;
    POSNumberNewPOSNumberProc newNumber;
    POSNumberIsPOSNumberProc isNumber;
    POSNumberGetProc getNumber;
    POSStringNewPOSStringProc newString;
    POSStringIsPOSStringProc isString;
    POSStringGetProc getString;
    POSUnicodeStringNewPOSUnicodeStringProc newUnicodeString;
    POSUnicodeStringIsPOSUnicodeStringProc isUnicodeString;
    POSUnicodeStringGetProc getUnicodeString;
    POSBinDataNewPOSBinDataProc newBinData;
    POSBinDataIsPOSBinDataProc isBinData;
    POSBinDataGetTypeNameProc getBinDataTypeName;
    POSBinDataGetBinDataProc getBinData;
    POSBinDataGetSizeProc getBinDataSize;
    POSRawPointerNewPOSRawPointerProc newRawPointer;
    POSRawPointerIsPOSRawPointerProc isRawPointer;
    POSRawPointerGetRawPointerProc getRawPointer;
    POSRawPointerGetReleaseProcProc getReleaseProc;
    POSArrayNewPOSArrayProc newArray;
    POSArrayIsPOSArrayProc isArray;
    POSArrayGetAtProc arrayGetAt;
    POSArrayCountProc arrayCount;
    POSArraySetAtProc arraySetAt;
    POSArrayAppendProc arrayAppend;
    POSArrayRemoveProc arrayRemove;
    POSDictNewPOSDictProc newDict;
    POSDictIsPOSDictProc isDict;
    POSDictGetProc dictGet;
    POSDictDeepGetProc dictDeepGet;
    POSDictPutProc dictPut;
    POSDictRemoveProc dictRemove;
    POSDictIteratorNewPOSDictIteratorProc newIterator;
    POSDictIteratorBeginProc iteratorBegin;
    POSDictIteratorNextProc iteratorNext;
    POSDictIteratorIsDoneProc iteratorIsDone;
    POSDictIteratorCurKeyProc iteratorCurKey;
};

}  // namespace qelhost::pos
