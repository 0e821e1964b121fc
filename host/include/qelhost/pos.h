// Typed C++ access to the library's property-object tables, as a host
// component uses them: every call goes through procedures resolved from the
// broker, and references are held by RAII values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "qelhost/host.h"
#include "qelutils/contract.h"

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

    // The procedure of a row of the ten property-object tables, for tests of
    // the raw surface: Proc<qelutils::contract::POSDictInterface::Get>().
    template <auto Row>
    qelutils::contract::ProcType<Row> Proc() const noexcept {
        using Table = qelutils::contract::TableOf<Row>;
        return reinterpret_cast<qelutils::contract::ProcType<Row>>(std::get<Resolved<Table>>(tables_).procs[Row]);
    }

    // Creation
    Ref Number(double value) const;
    Ref String(const char* text) const;
    Ref UnicodeString(const std::u16string& text) const;
    Ref BinData(const char* typeName, std::string_view bytes) const;
    Ref RawPointer(void* pointer, QELRawPointerReleaseProc release) const;
    Ref Array() const;
    Ref Dict() const;
    // Null on a syntax error, with the error offset in *errorOffset.
    Ref FromText(const char* text, long* errorOffset = nullptr) const;

    // Kinds and values
    bool IsNumber(const Ref& v) const;
    bool IsString(const Ref& v) const;
    bool IsUnicodeString(const Ref& v) const;
    bool IsBinData(const Ref& v) const;
    bool IsRawPointer(const Ref& v) const;
    bool IsArray(const Ref& v) const;
    bool IsDict(const Ref& v) const;
    double GetNumber(const Ref& v) const;
    std::string GetString(const Ref& v) const;
    std::u16string GetUnicodeString(const Ref& v) const;
    std::string GetBinData(const Ref& v) const;

    // Collections
    uint32_t Count(const Ref& array) const;
    Ref GetAt(const Ref& array, uint32_t index) const;
    void Append(const Ref& array, const Ref& value) const;
    void SetAt(const Ref& array, uint32_t index, const Ref& value) const;
    void RemoveAt(const Ref& array, uint32_t index) const;
    Ref Get(const Ref& dict, const char* key) const;
    Ref DeepGet(const Ref& dict, const char* address) const;
    void Put(const Ref& dict, const char* key, const Ref& value) const;
    void Remove(const Ref& dict, const char* key) const;
    // Keys in iteration order.
    std::vector<std::string> Keys(const Ref& dict) const;

    Ref Clone(const Ref& v) const;
    bool IsEqual(const Ref& a, const Ref& b) const;

private:
    // One table's procedures, in row order.
    template <class Table>
    struct Resolved final {
        void* procs[Table::kCount];
    };
    std::tuple<Resolved<qelutils::contract::POSObjectInterface>, Resolved<qelutils::contract::POSObjectStatics>,
               Resolved<qelutils::contract::POSNumberInterface>, Resolved<qelutils::contract::POSStringInterface>,
               Resolved<qelutils::contract::POSUnicodeStringInterface>,
               Resolved<qelutils::contract::POSBinDataInterface>,
               Resolved<qelutils::contract::POSRawPointerInterface>, Resolved<qelutils::contract::POSArrayInterface>,
               Resolved<qelutils::contract::POSDictInterface>,
               Resolved<qelutils::contract::POSDictIteratorInterface>>
        tables_;
};

}  // namespace qelhost::pos
