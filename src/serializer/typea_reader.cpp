// The TypeA reader.
#include <algorithm>
#include <cstring>

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "objects/characters.h"
#include "objects/decimal_parse.h"
#include "objects/heap_stack.h"
#include "serializer/typea_kinds.h"

namespace NPOSStreamerImpl::NTypeAImpl {

using QEL_T_MT::Lookup;

using QEL_T_MT::CPOSArray;
using QEL_T_MT::CPOSBinData;
using QEL_T_MT::CPOSDict;
using QEL_T_MT::CPOSNumber;
using QEL_T_MT::CPOSString;
using QEL_T_MT::CPOSUnicodeString;
using QEL_T_MT::POSException;

// ------------------------------------------------------------------ ICharStream

ICharStream::ICharStream(const HostStreamRef& stream)
    : stream_(stream), buffer_(QEL_T_MT::QELSharedBuffRef::New(kCharBufferBytes)), data_(buffer_.Data()) {}

ICharStream::~ICharStream() {
    try {
        GiveBack();
    } catch (...) {
        // Already failing: the first error is the one the caller sees.
    }
}

void ICharStream::GiveBack() {
    if (givenBack_) return;
    givenBack_ = true;
    const int64_t position = stream_.Mark();
    // Computed on the low 32 bits, as the format has always done.
    const auto back = static_cast<int32_t>(static_cast<uint32_t>(position) - unconsumed_);
    unconsumed_ = 0;
    stream_.Seek(back, 0);
}

char ICharStream::Next() {
    if (unconsumed_ == 0) {
        const uint64_t count = stream_.Read(const_cast<char*>(data_), capacity_);
        if (count == 0) throw POSException("unexpected EOF");
        position_ = 0;
        unconsumed_ = static_cast<uint32_t>(count < capacity_ ? count : capacity_);
    }
    --unconsumed_;
    return data_[position_++];
}

bool ICharStream::GetChar(char& byte) {
    char c = Next();
    if (c != '\\') {
        if (params.foldWhiteSpace && NPOSObjectImpl::IsWhiteSpace(c)) c = ' ';
        byte = c;
        return c != params.close;
    }
    const char e = Next();
    if (NPOSObjectImpl::IsDecimalDigit(e)) {
        const char f = Next();
        const char g = Next();
        byte = static_cast<char>(((e - '0') * 64 + (f - '0') * 8 + (g - '0')) & 0xFF);
        return true;
    }
    for (const char* pair = params.escapes; pair[0] != '\0'; pair += 2) {
        if (pair[1] == e) {
            byte = pair[0];
            return true;
        }
    }
    throw POSException("Unexpected escape sequence");
}

uint32_t ICharStream::GetChars(char* buffer, uint32_t n, bool mustFill, bool skipWhiteSpace) {
    uint32_t count = 0;
    char byte;
    while (count < n && GetChar(byte)) {
        if (skipWhiteSpace && NPOSObjectImpl::IsWhiteSpace(byte)) continue;
        buffer[count++] = byte;
    }
    if (mustFill && count < n) throw POSException("GetChars ran out of input");
    return count;
}

// ------------------------------------------------------------------ Version10

void Version10::Deserialize(CPOSObject& out, const HostStreamRef& stream) {
    ICharStream in(stream);
    out = ReadValue(in);
    in.GiveBack();
}

namespace {

// A value whose parts are still being read, with its row's params in force.
struct OpenValue final {
    OpenValue(Version10& streamer, ICharStream& in, const KindRow& row)
        : nested(streamer, in, row.params), parts(row.readParts()) {}
    NestedValue nested;
    std::unique_ptr<PartsReader> parts;
};

}  // namespace

// The values still open are kept on the heap, so that nesting costs no stack.
CPOSObject Version10::ReadValue(ICharStream& in) {
    NPOSObjectImpl::HeapStack<OpenValue> open;
    for (;;) {
        CPOSObject value;  // stays empty when the enclosing value ended
        char first;
        bool ended = false;
        do {
            ended = !in.GetChar(first);
        } while (!ended && first == ' ');
        if (!ended) {
            const KindRow* row = FindReader(first);
            if (row == nullptr) throw POSException("Cannot determine streaming params");
            if (row->readParts != nullptr) {
                open.Push(*this, in, *row);
                continue;
            }
            const NestedValue nested(*this, in, row->params);
            value = row->read(*this, in);
        }
        // Up through every value that this one completes.
        for (;;) {
            if (open.empty()) return value;
            CPOSObject done;
            if (!open.Top().parts->Take(std::move(value), in, done)) break;
            open.Pop();
            value = std::move(done);
        }
    }
}

namespace {

// As a hex scan reads it: leading digits count, a non-digit start gives 0.
unsigned ScanHex(const char* text, size_t n) noexcept {
    unsigned value = 0;
    using NPOSObjectImpl::HexDigitValue;
    for (size_t i = 0; i < n && HexDigitValue(text[i]) >= 0; ++i)
        value = value * 16 + static_cast<unsigned>(HexDigitValue(text[i]));
    return value;
}

// A host-heap buffer that doubles when full.
template <class T>
class GrowingBuffer final {
public:
    explicit GrowingBuffer(uint64_t capacity)
        : data_(static_cast<T*>(QEL_T_MT::HostAlloc(capacity * sizeof(T)))), capacity_(capacity) {}
    ~GrowingBuffer() { QEL_T_MT::host::Free(data_); }
    GrowingBuffer(const GrowingBuffer&) = delete;
    GrowingBuffer& operator=(const GrowingBuffer&) = delete;

    void Grow(uint64_t atLeast) {
        uint64_t capacity = capacity_;
        while (capacity < atLeast) capacity *= 2;
        if (capacity == capacity_) return;
        data_ = static_cast<T*>(QEL_T_MT::HostRealloc(data_, capacity * sizeof(T)));
        capacity_ = capacity;
    }
    T* data() noexcept { return data_; }
    uint64_t capacity() const noexcept { return capacity_; }

private:
    T* data_;
    uint64_t capacity_;
};

}  // namespace

CPOSObject ReadNumber(Version10&, ICharStream& in) {
    char text[64];
    const uint32_t n = in.GetChars(text, 63, false, false);
    text[n] = '\0';
    if (n < 1 || n > 62 || std::strspn(text, "+-0123456789.Ee") < n) throw POSException("malformed number");
    return CPOSNumber::New(NPOSObjectImpl::ParseDecimal(text, text + n));
}

CPOSObject ReadString(Version10&, ICharStream& in) {
    GrowingBuffer<char> text(32);
    uint64_t length = 0;
    for (;;) {
        const uint64_t room = text.capacity() - length;
        length += in.GetChars(text.data() + length, static_cast<uint32_t>(room), false, false);
        if (length < text.capacity()) break;
        text.Grow(text.capacity() * 2);
    }
    text.data()[length] = '\0';  // a NUL from an escape ends the text there
    return CPOSString(text.data());
}

CPOSObject ReadUnicode(Version10&, ICharStream& in) {
    GrowingBuffer<uint16_t> units(32);
    uint64_t count = 0;
    for (;;) {
        char digits[4];
        const uint32_t n = in.GetChars(digits, 4, false, false);
        if (n == 0) break;
        if (n < 4) throw POSException("malformed Unicode string");
        if (count + 1 >= units.capacity()) units.Grow(units.capacity() * 2);
        units.data()[count++] = static_cast<uint16_t>(ScanHex(digits, 2) << 8 | ScanHex(digits + 2, 2));
    }
    units.data()[count] = 0;
    return CPOSUnicodeString::New(units.data());
}

CPOSObject ReadRawPointer(Version10&, ICharStream&) {
    throw POSException("Cannot meaningfully read in a raw pointer (write is for debugging only)");
}

namespace {

// The type name and the size come as parts; the bytes follow as hex digits.
class BinDataParts final : public PartsReader {
public:
    bool Take(CPOSObject part, ICharStream& in, CPOSObject& done) override {
        if (typeName_.empty()) {
            typeName_ = CPOSString(part, Lookup::Strict);
            return false;
        }
        const CPOSNumber sizeValue(part, Lookup::Strict);
        done = Bytes(in, sizeValue.Get());
        return true;
    }

private:
    CPOSObject Bytes(ICharStream& in, double size) const {
        // Truncated toward zero; the low 32 bits are the count.
        const int64_t whole = !(size == size) ? 0
                              : size >= 9.2e18 ? INT64_MAX
                              : size <= -9.2e18 ? INT64_MIN
                                                : static_cast<int64_t>(size);
        const auto count = static_cast<uint32_t>(static_cast<uint64_t>(whole));
        // The bytes grow as they arrive, so that a hostile size cannot claim
        // memory that the data does not back.
        GrowingBuffer<unsigned char> bytes(count < 4096 ? (count == 0 ? 1 : count) : 4096);
        for (uint32_t i = 0; i < count; ++i) {
            char digits[2];
            in.GetChars(digits, 2, true, true);
            if (i >= bytes.capacity()) bytes.Grow(std::min<uint64_t>(bytes.capacity() * 2, count));
            bytes.data()[i] = static_cast<unsigned char>(ScanHex(digits, 2) & 0xFF);
        }
        char byte;
        while (in.GetChar(byte))
            if (byte != ' ') throw POSException("Unexpected chars after binary data");
        return CPOSBinData::New(typeName_.Get(), bytes.data(), count);
    }

    CPOSString typeName_;
};

class ArrayParts final : public PartsReader {
public:
    bool Take(CPOSObject part, ICharStream&, CPOSObject& done) override {
        if (part.empty()) {
            done = array_;
            return true;
        }
        array_.Append(part);
        return false;
    }

private:
    CPOSArray array_ = CPOSArray::New();
};

// The parts alternate: a key, then its value.
class DictParts final : public PartsReader {
public:
    bool Take(CPOSObject part, ICharStream&, CPOSObject& done) override {
        if (key_.empty()) {
            if (part.empty()) {
                done = dict_;
                return true;
            }
            key_ = CPOSString(part, Lookup::Strict);
            return false;
        }
        if (part.empty()) throw POSException("missing dictionary value");
        dict_.Put(key_.Get(), part);
        key_.Reset();
        return false;
    }

private:
    CPOSDict dict_ = CPOSDict::New();
    CPOSString key_;
};

}  // namespace

std::unique_ptr<PartsReader> ReadBinDataParts() { return std::make_unique<BinDataParts>(); }
std::unique_ptr<PartsReader> ReadArrayParts() { return std::make_unique<ArrayParts>(); }
std::unique_ptr<PartsReader> ReadDictParts() { return std::make_unique<DictParts>(); }

}  // namespace NPOSStreamerImpl::NTypeAImpl
