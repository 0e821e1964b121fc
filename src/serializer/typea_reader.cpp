// The TypeA reader.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "objects/characters.h"
#include "objects/decimal_parse.h"
#include "objects/pending_entries.h"
#include "serializer/typea_kinds.h"

namespace NPOSStreamerImpl::NTypeAImpl {

using NPOSObjectImpl::Array;
using NPOSObjectImpl::Dict;
using NPOSObjectImpl::MakeObject;
using NPOSObjectImpl::Owned;
using NPOSObjectImpl::PendingEntries;
using QEL_T_MT::POSException;
using QEL_T_MT::QELContainerRef;
using QEL_T_MT::QELStringAtomRef;

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

void ICharStream::Refill() {
    const uint64_t count = stream_.Read(const_cast<char*>(data_), capacity_);
    if (count == 0) throw POSException("unexpected EOF");
    position_ = 0;
    unconsumed_ = static_cast<uint32_t>(count < capacity_ ? count : capacity_);
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
    while (count < n) {
        // Bytes that GetChar would deliver unchanged and that do not end the
        // value are copied straight from the buffer; any other byte, and a
        // refill, take the way through GetChar.
        const char close = params.close;
        while (unconsumed_ != 0 && count < n) {
            const char c = data_[position_];
            if (c == '\\' || c == close || NPOSObjectImpl::IsWhiteSpace(c)) break;
            buffer[count++] = c;
            ++position_;
            --unconsumed_;
        }
        if (count == n) break;
        char byte;
        if (!GetChar(byte)) break;
        if (skipWhiteSpace && NPOSObjectImpl::IsWhiteSpace(byte)) continue;
        buffer[count++] = byte;
    }
    if (mustFill && count < n) throw POSException("GetChars ran out of input");
    return count;
}

void ICharStream::SkipBufferedSpaces() noexcept {
    if (params.close == ' ') return;
    while (unconsumed_ != 0) {
        const char c = data_[position_];
        if (c != ' ' && !(params.foldWhiteSpace && NPOSObjectImpl::IsWhiteSpace(c))) return;
        ++position_;
        --unconsumed_;
    }
}

// ------------------------------------------------------------------ Version10

// The value's container is made once the read-ahead has been given back, and
// handed out as the host made it: the working reference that the caller-
// visible sequence would take on it and drop again is not taken.
QELContainerHandle Version10::Deserialize(const HostStreamRef& stream) {
    ICharStream in(stream);
    NewValue value = ReadValue(in);
    in.GiveBack();
    if (value.empty()) return nullptr;
    return NPOSObjectImpl::ContainerOf(std::move(value));
}

namespace {

// A value whose parts are still being read, with its row's params in force.
// The reader builds the library's own objects directly, as the published
// procedures would build them (NewPOSArray, Append, Put and the rest).
struct OpenValue final {
    Kind kind;
    StreamParams saved;
    Owned<BaseObject> container;  // an array or a dictionary
    QELStringAtomRef text;        // a dictionary's key, or binary data's type name
    bool keyRead = false;
    size_t entries = 0;           // a dictionary's first pending entry
};

const char kNotString[] = "downcast from CPOSObject to CPOSString failed";
const char kNotNumber[] = "downcast from CPOSObject to CPOSNumber failed";

// Takes a part of the open value; true when the value is complete, which
// is then in done.
bool Take(OpenValue& open, NewValue part, ICharStream& in, PendingEntries& pending, NewValue& done) {
    switch (open.kind) {
        case kArray:
            if (part.empty()) {
                done.object = std::move(open.container);
                return true;
            }
            static_cast<Array&>(*open.container).Append(QELContainerRef(ContainerOf(std::move(part))));
            return false;
        case kDict:
            // The parts alternate: a key, then its value.
            if (!open.keyRead) {
                if (part.empty()) {
                    pending.MoveInto(static_cast<Dict&>(*open.container), open.entries);
                    done.object = std::move(open.container);
                    return true;
                }
                if (!part.text) throw POSException(kNotString);
                open.text = std::move(part.text);
                open.keyRead = true;
                return false;
            }
            if (part.empty()) throw POSException("missing dictionary value");
            pending.Add(std::move(open.text), QELContainerRef(ContainerOf(std::move(part))));
            open.keyRead = false;
            return false;
        default: {
            // Binary data: the type name and the size come as parts; the
            // bytes follow as hex digits.
            if (!open.keyRead) {
                if (!part.text) throw POSException(kNotString);
                open.text = std::move(part.text);
                open.keyRead = true;
                return false;
            }
            const auto* size = NPOSObjectImpl::As<NPOSObjectImpl::Number>(part.object.get());
            if (size == nullptr) throw POSException(kNotNumber);
            done = ReadBinDataBytes(in, std::move(open.text), size->value);
            return true;
        }
    }
}

}  // namespace

// The values still open are kept on the heap, so that nesting costs no stack.
NewValue Version10::ReadValue(ICharStream& in) {
    std::vector<OpenValue> open;
    PendingEntries pending;
    for (;;) {
        NewValue value;  // stays empty when the enclosing value ended
        char first;
        bool ended = false;
        in.SkipBufferedSpaces();
        do {
            ended = !in.GetChar(first);
        } while (!ended && first == ' ');
        if (!ended) {
            const KindRow* row = FindReader(first);
            if (row == nullptr) throw POSException("Cannot determine streaming params");
            if (row->read == nullptr) {
                if (depth >= NPOSObjectImpl::kMaxNesting) throw POSException(NPOSObjectImpl::kTooDeep);
                const auto kind = static_cast<Kind>(row - kKinds);
                Owned<BaseObject> container;
                if (kind == kArray) container = MakeObject<Array>();
                if (kind == kDict) container = MakeObject<Dict>();
                open.push_back(OpenValue{kind, in.params, std::move(container), {}, false, pending.Mark()});
                ++depth;
                in.params = row->params;
                continue;
            }
            const NestedValue nested(*this, in, row->params);
            value = row->read(*this, in);
        }
        // Up through every value that this one completes.
        for (;;) {
            if (open.empty()) return value;
            NewValue done;
            if (!Take(open.back(), std::move(value), in, pending, done)) break;
            in.params = open.back().saved;
            --depth;
            open.pop_back();
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

// A buffer that starts in the reader's frame and moves to the host heap,
// doubling, when a value outgrows it. It is working memory of one call: a
// short value needs no host block at all.
template <class T, size_t Local>
class GrowingBuffer final {
public:
    GrowingBuffer() noexcept = default;
    ~GrowingBuffer() {
        if (data_ != local_) QEL_T_MT::host::Free(data_);
    }
    GrowingBuffer(const GrowingBuffer&) = delete;
    GrowingBuffer& operator=(const GrowingBuffer&) = delete;

    void Grow(uint64_t atLeast) {
        uint64_t capacity = capacity_;
        while (capacity < atLeast) capacity *= 2;
        if (capacity == capacity_) return;
        if (data_ == local_) {
            auto* grown = static_cast<T*>(QEL_T_MT::HostAlloc(capacity * sizeof(T)));
            std::memcpy(grown, local_, capacity_ * sizeof(T));
            data_ = grown;
        } else {
            data_ = static_cast<T*>(QEL_T_MT::HostRealloc(data_, capacity * sizeof(T)));
        }
        capacity_ = capacity;
    }
    T* data() noexcept { return data_; }
    uint64_t capacity() const noexcept { return capacity_; }

private:
    T local_[Local];
    T* data_ = local_;
    uint64_t capacity_ = Local;
};

}  // namespace

NewValue ReadNumber(Version10&, ICharStream& in) {
    char text[64];
    const uint32_t n = in.GetChars(text, 63, false, false);
    text[n] = '\0';
    if (n < 1 || n > 62 || std::strspn(text, "+-0123456789.Ee") < n) throw POSException("malformed number");
    return NewValue{MakeObject<NPOSObjectImpl::Number>(NPOSObjectImpl::ParseDecimal(text, text + n)), {}};
}

NewValue ReadString(Version10&, ICharStream& in) {
    GrowingBuffer<char, 256> text;
    uint64_t length = 0;
    for (;;) {
        const uint64_t room = text.capacity() - length;
        length += in.GetChars(text.data() + length, static_cast<uint32_t>(room), false, false);
        if (length < text.capacity()) break;
        text.Grow(text.capacity() * 2);
    }
    text.data()[length] = '\0';  // a NUL from an escape ends the text there
    return NewValue{nullptr, QELStringAtomRef(text.data())};
}

NewValue ReadUnicode(Version10&, ICharStream& in) {
    GrowingBuffer<uint16_t, 128> units;
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
    return NewValue{MakeObject<NPOSObjectImpl::UnicodeString>(units.data()), {}};
}

NewValue ReadRawPointer(Version10&, ICharStream&) {
    throw POSException("Cannot meaningfully read in a raw pointer (write is for debugging only)");
}

NewValue ReadBinDataBytes(ICharStream& in, QELStringAtomRef typeName, double size) {
    // Truncated toward zero; the low 32 bits are the count.
    const int64_t whole = !(size == size) ? 0
                          : size >= 9.2e18 ? INT64_MAX
                          : size <= -9.2e18 ? INT64_MIN
                                            : static_cast<int64_t>(size);
    const auto count = static_cast<uint32_t>(static_cast<uint64_t>(whole));
    // The bytes grow as they arrive, so that a hostile size cannot claim
    // memory that the data does not back.
    GrowingBuffer<unsigned char, 256> bytes;
    for (uint32_t i = 0; i < count; ++i) {
        char digits[2];
        in.GetChars(digits, 2, true, true);
        if (i >= bytes.capacity()) bytes.Grow(std::min<uint64_t>(bytes.capacity() * 2, count));
        bytes.data()[i] = static_cast<unsigned char>(ScanHex(digits, 2) & 0xFF);
    }
    char byte;
    while (in.GetChar(byte))
        if (byte != ' ') throw POSException("Unexpected chars after binary data");
    return NewValue{MakeObject<NPOSObjectImpl::BinData>(std::move(typeName), bytes.data(), count), {}};
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
