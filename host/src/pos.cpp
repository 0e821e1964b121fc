#include "qelhost/pos.h"

#include "host_state.h"

#include <stdexcept>
#include <vector>

namespace qelhost::pos {

namespace contract = qelutils::contract;
using Containers = contract::QELContainerInterface;
using Strings = contract::QELStringInterface;

namespace {

// The host procedures behind every Ref and Atom, looked up again only when
// the broker's rows may have changed: looking them up at each call (a key
// string, a hash and a lock) cost more than the calls themselves. A method
// that is not published fails where it is used, as before.
struct CoreProcs final {
    uint64_t generation = 0;
    contract::ProcType<Containers::AddRef> addRef = nullptr;
    contract::ProcType<Containers::Release> release = nullptr;
    contract::ProcType<Strings::NewStringAtom> newAtom = nullptr;
    contract::ProcType<Strings::DeleteStringAtom> deleteAtom = nullptr;
    contract::ProcType<Strings::GetCString> getCString = nullptr;
};

const CoreProcs& Procs() {
    thread_local CoreProcs procs;  // one a thread: no lock on the way
    const uint64_t now = RegistryGeneration();
    if (procs.generation != now) {
        const Host& host = Host::Current();
        procs = CoreProcs{now,
                          host.Get<Containers::AddRef>(),
                          host.Get<Containers::Release>(),
                          host.Get<Strings::NewStringAtom>(),
                          host.Get<Strings::DeleteStringAtom>(),
                          host.Get<Strings::GetCString>()};
    }
    return procs;
}

// The procedure of a row, or the failure to name when it is not published.
template <auto Row>
contract::ProcType<Row> Published(contract::ProcType<Row> proc) {
    using Table = contract::TableOf<Row>;
    if (proc == nullptr)
        throw std::runtime_error(std::string("not published: ") + Table::kName + "." + Table::kRows[Row].methodName);
    return proc;
}

}  // namespace

Ref Ref::Take(QELContainerHandle handle) {
    Ref ref;
    if (handle == nullptr) return ref;
    if (Published<Containers::AddRef>(Procs().addRef)(handle) == 0)
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
    Published<Containers::Release>(Procs().release)(handle_);
    handle_ = nullptr;
}

Atom::Atom(const char* text)
    : atom_(Published<Strings::NewStringAtom>(Procs().newAtom)(text)) {
    if (atom_ == nullptr) throw std::bad_alloc();
}

Atom::~Atom() {
    Published<Strings::DeleteStringAtom>(Procs().deleteAtom)(atom_);
}

const char* Atom::text() const {
    return Published<Strings::GetCString>(Procs().getCString)(atom_);
}

Client::Client(Host& host) {
    std::apply(
        [&](auto&... tables) {
            auto resolve = [&]<class Table>(Resolved<Table>& resolved) {
                for (uint32_t i = 0; i < Table::kCount; ++i) {
                    const contract::Row& row = Table::kRows[i];
                    resolved.procs[i] = host.Resolve(Table::kName, row.methodName, row.procTypeName);
                    if (resolved.procs[i] == nullptr)
                        throw std::runtime_error(std::string("not published: ") + Table::kName + "." + row.methodName);
                }
            };
            (resolve(tables), ...);
        },
        tables_);
}

using Object = contract::POSObjectInterface;
using Statics = contract::POSObjectStatics;
using NumberTable = contract::POSNumberInterface;
using StringTable = contract::POSStringInterface;
using UnicodeTable = contract::POSUnicodeStringInterface;
using BinDataTable = contract::POSBinDataInterface;
using RawPointerTable = contract::POSRawPointerInterface;
using ArrayTable = contract::POSArrayInterface;
using DictTable = contract::POSDictInterface;
using IteratorTable = contract::POSDictIteratorInterface;

Ref Client::Number(double value) const { return Ref::Take(Proc<NumberTable::NewPOSNumber>()(value)); }
Ref Client::String(const char* text) const { return Ref::Take(Proc<StringTable::NewPOSString>()(text)); }
Ref Client::RawPointer(void* pointer, QELRawPointerReleaseProc release) const {
    return Ref::Take(Proc<RawPointerTable::NewPOSRawPointer>()(pointer, release));
}
Ref Client::Array() const { return Ref::Take(Proc<ArrayTable::NewPOSArray>()()); }
Ref Client::Dict() const { return Ref::Take(Proc<DictTable::NewPOSDict>()()); }

bool Client::IsNumber(const Ref& v) const { return Proc<NumberTable::IsPOSNumber>()(v.get()) != 0; }
bool Client::IsString(const Ref& v) const { return Proc<StringTable::IsPOSString>()(v.get()) != 0; }
bool Client::IsUnicodeString(const Ref& v) const { return Proc<UnicodeTable::IsPOSUnicodeString>()(v.get()) != 0; }
bool Client::IsBinData(const Ref& v) const { return Proc<BinDataTable::IsPOSBinData>()(v.get()) != 0; }
bool Client::IsRawPointer(const Ref& v) const { return Proc<RawPointerTable::IsPOSRawPointer>()(v.get()) != 0; }
bool Client::IsArray(const Ref& v) const { return Proc<ArrayTable::IsPOSArray>()(v.get()) != 0; }
bool Client::IsDict(const Ref& v) const { return Proc<DictTable::IsPOSDict>()(v.get()) != 0; }
double Client::GetNumber(const Ref& v) const { return Proc<NumberTable::Get>()(v.get()); }
std::string Client::GetString(const Ref& v) const { return Proc<StringTable::Get>()(v.get()); }

uint32_t Client::Count(const Ref& array) const { return Proc<ArrayTable::Count>()(array.get()); }
Ref Client::GetAt(const Ref& array, uint32_t index) const {
    return Ref::Take(Proc<ArrayTable::GetAt>()(array.get(), index));
}
void Client::Append(const Ref& array, const Ref& value) const { Proc<ArrayTable::Append>()(array.get(), value.get()); }
void Client::SetAt(const Ref& array, uint32_t index, const Ref& value) const {
    Proc<ArrayTable::SetAt>()(array.get(), index, value.get());
}
void Client::RemoveAt(const Ref& array, uint32_t index) const { Proc<ArrayTable::Remove>()(array.get(), index); }

Ref Client::Clone(const Ref& v) const { return Ref::Take(Proc<Object::Clone>()(v.get())); }
bool Client::IsEqual(const Ref& a, const Ref& b) const { return Proc<Object::IsEqual>()(a.get(), b.get()) != 0; }

Ref Client::UnicodeString(const std::u16string& text) const {
    std::vector<uint16_t> units(text.begin(), text.end());
    units.push_back(0);
    return Ref::Take(Proc<UnicodeTable::NewPOSUnicodeString>()(units.data()));
}

Ref Client::BinData(const char* typeName, std::string_view bytes) const {
    return Ref::Take(Proc<BinDataTable::NewPOSBinData>()(typeName, bytes.data(), static_cast<uint32_t>(bytes.size())));
}

Ref Client::FromText(const char* text, long* errorOffset) const {
    const char* position = nullptr;
    Ref value = Ref::Take(Proc<Statics::CreateFromText>()(text, &position));
    if (errorOffset != nullptr) *errorOffset = position != nullptr ? position - text : -1;
    return value;
}

std::u16string Client::GetUnicodeString(const Ref& v) const {
    const uint16_t* units = Proc<UnicodeTable::Get>()(v.get());
    std::u16string text;
    for (; units != nullptr && *units != 0; ++units) text.push_back(static_cast<char16_t>(*units));
    return text;
}

std::string Client::GetBinData(const Ref& v) const {
    const auto* data = static_cast<const char*>(Proc<BinDataTable::GetBinData>()(v.get()));
    return data != nullptr ? std::string(data, Proc<BinDataTable::GetSize>()(v.get())) : std::string();
}

Ref Client::Get(const Ref& dict, const char* key) const {
    const Atom atom(key);
    return Ref::Take(Proc<DictTable::Get>()(dict.get(), atom.get()));
}

Ref Client::DeepGet(const Ref& dict, const char* address) const {
    const Atom atom(address);
    return Ref::Take(Proc<DictTable::DeepGet>()(dict.get(), atom.get()));
}

void Client::Put(const Ref& dict, const char* key, const Ref& value) const {
    const Atom atom(key);
    Proc<DictTable::Put>()(dict.get(), atom.get(), value.get());
}

void Client::Remove(const Ref& dict, const char* key) const {
    const Atom atom(key);
    Proc<DictTable::Remove>()(dict.get(), atom.get());
}

std::vector<std::string> Client::Keys(const Ref& dict) const {
    std::vector<std::string> keys;
    const Ref it = Ref::Take(Proc<IteratorTable::NewPOSDictIterator>()(dict.get()));
    if (!it) return keys;
    for (; Proc<IteratorTable::IsDone>()(it.get()) == 0; Proc<IteratorTable::Next>()(it.get()))
        keys.emplace_back(Proc<IteratorTable::CurKey>()(it.get()));
    return keys;
}

}  // namespace qelhost::pos
