// The TypeA writer.
#include <cstdio>
#include <cstring>
#include <optional>

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "objects/heap_stack.h"
#include "serializer/number_format.h"
#include "serializer/typea_kinds.h"

namespace NPOSStreamerImpl::NTypeAImpl {

using QEL_T_MT::Lookup;

using QEL_T_MT::CPOSArray;
using QEL_T_MT::CPOSBinData;
using QEL_T_MT::CPOSDict;
using QEL_T_MT::CPOSDictIterator;
using QEL_T_MT::CPOSNumber;
using QEL_T_MT::CPOSRawPointer;
using QEL_T_MT::CPOSString;
using QEL_T_MT::CPOSUnicodeString;

// ------------------------------------------------------------------ OCharStream

OCharStream::OCharStream(const HostStreamRef& stream)
    : stream_(stream), buffer_(QEL_T_MT::QELSharedBuffRef::New(kCharBufferBytes)), data_(buffer_.Data()) {}

OCharStream::~OCharStream() {
    try {
        Flush();
    } catch (...) {
        // Already failing: the first error is the one the caller sees.
    }
}

void OCharStream::Flush() {
    if (pending_ == 0) return;
    const uint32_t n = pending_;
    pending_ = 0;
    stream_.Write(data_, n);
}

void OCharStream::PutRaw(char byte) {
    if (pending_ == capacity_) Flush();
    data_[pending_++] = byte;
}

void OCharStream::PutChar(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    const bool printable = b >= 0x20 && b <= 0x7E;
    if (b == 0x7F || (!printable && b != '\t' && b != '\n' && b != '\r')) {
        PutRaw('\\');
        PutRaw(static_cast<char>('0' + (b >> 6)));
        PutRaw(static_cast<char>('0' + ((b >> 3) & 7)));
        PutRaw(static_cast<char>('0' + (b & 7)));
        return;
    }
    for (const char* pair = params.escapes; pair[0] != '\0'; pair += 2) {
        if (pair[0] == byte) {
            PutRaw('\\');
            PutRaw(pair[1]);
            return;
        }
    }
    PutRaw(byte);
}

// ------------------------------------------------------------------ Version10

void Version10::Serialize(const HostStreamRef& stream, const CPOSObject& object) {
    OCharStream out(stream);
    WriteValue(out, object);
    out.Flush();
}

namespace {

// An array or dictionary whose parts are still being written, with its row's
// params in force.
struct OpenValue final {
    OpenValue(Version10& streamer, OCharStream& out, const KindRow& row, const CPOSObject& object)
        : nested(streamer, out, row.params), parts(row.writeParts(streamer, object)), close(row.params.close) {}
    NestedValue nested;
    std::unique_ptr<PartsWriter> parts;
    char close;
};

}  // namespace

// The values still open are kept on the heap, so that nesting costs no stack.
void Version10::WriteValue(OCharStream& out, const CPOSObject& object) {
    NPOSObjectImpl::HeapStack<OpenValue> open;
    const CPOSObject* next = &object;
    for (;;) {
        if (next != nullptr) {
            const KindRow* row = FindWriter(*next);
            if (row == nullptr) throw QEL_T_MT::POSException("Cannot determine writing params");
            out.PutChar(row->params.open);
            if (row->writeParts != nullptr) {
                open.Push(*this, out, *row, *next);
            } else {
                const NestedValue nested(*this, out, row->params);
                row->write(*this, out, *next);
                out.PutRaw(row->params.close);
            }
        }
        if (open.empty()) return;
        next = open.Top().parts->Next(*this, out);
        if (next == nullptr) {
            out.PutRaw(open.Top().close);
            open.Pop();
        }
    }
}

void Version10::LineBreak(OCharStream& out) {
    out.PutChar('\n');
    for (int32_t i = 0; i < indent; ++i) out.PutChar('\t');
}

namespace {

void PutText(OCharStream& out, const char* text) {
    for (; *text != '\0'; ++text) out.PutChar(*text);
}

// Raised for the items of an array, dictionary or binary data.
class Indented final {
public:
    explicit Indented(Version10& streamer) : streamer_(streamer) { ++streamer_.indent; }
    ~Indented() { --streamer_.indent; }
    Indented(const Indented&) = delete;
    Indented& operator=(const Indented&) = delete;

private:
    Version10& streamer_;
};

}  // namespace

// "%.32g", then trailing zeros of a fraction and a bare separator trimmed.
void WriteNumber(Version10&, OCharStream& out, const CPOSObject& object) {
    char text[kG32Size];
    size_t n = FormatG32(CPOSNumber(object, Lookup::Strict).Get(), text);
    if (std::strspn(text, "+-0123456789.,") == n && std::strpbrk(text, ".,") != nullptr) {
        while (n > 1 && text[n - 1] == '0') --n;
        if (n > 0 && (text[n - 1] == '.' || text[n - 1] == ',')) --n;
        text[n] = '\0';
    }
    PutText(out, text);
}

void WriteString(Version10&, OCharStream& out, const CPOSObject& object) {
    PutText(out, CPOSString(object, Lookup::Strict).Get());
}

void WriteUnicode(Version10&, OCharStream& out, const CPOSObject& object) {
    static const char kUpper[] = "0123456789ABCDEF";
    static const char kLower[] = "0123456789abcdef";
    for (const uint16_t* unit = CPOSUnicodeString(object, Lookup::Strict).Get(); *unit != 0; ++unit) {
        out.PutChar(kUpper[(*unit >> 12) & 15]);
        out.PutChar(kUpper[(*unit >> 8) & 15]);
        out.PutChar(kLower[(*unit >> 4) & 15]);
        out.PutChar(kLower[*unit & 15]);
    }
}

void WriteBinData(Version10& streamer, OCharStream& out, const CPOSObject& object) {
    static const char kHex[] = "0123456789ABCDEF";
    const CPOSBinData bin(object, Lookup::Strict);
    streamer.WriteValue(out, CPOSString(bin.TypeName()));
    out.PutChar(' ');
    const uint32_t size = bin.Size();
    streamer.WriteValue(out, CPOSNumber::New(static_cast<double>(size)));
    out.PutChar(' ');
    {
        const Indented items(streamer);
        const auto* bytes = static_cast<const unsigned char*>(bin.Data());
        for (uint32_t i = 0; i < size; ++i) {
            if (i % 40 == 0) streamer.LineBreak(out);
            out.PutChar(kHex[bytes[i] >> 4]);
            out.PutChar(kHex[bytes[i] & 15]);
        }
    }
    streamer.LineBreak(out);
}

void WriteRawPointer(Version10&, OCharStream& out, const CPOSObject& object) {
    char text[64];
    std::snprintf(text, sizeof text, "%p", CPOSRawPointer(object, Lookup::Strict).Pointer());
    PutText(out, text);
}

namespace {

class ArrayParts final : public PartsWriter {
public:
    ArrayParts(Version10& streamer, const CPOSObject& object) : array_(object, Lookup::Strict), items_(std::in_place, streamer) {}

    const CPOSObject* Next(Version10& streamer, OCharStream& out) override {
        member_.Reset();
        // The count is asked again after every member.
        if (index_ < array_.Count()) {
            streamer.LineBreak(out);
            member_ = array_.GetAt(index_++, Lookup::Strict);
            return &member_;
        }
        items_.reset();
        streamer.LineBreak(out);
        return nullptr;
    }

private:
    const CPOSArray array_;
    std::optional<Indented> items_;
    CPOSObject member_;
    uint32_t index_ = 0;
};

// Each entry is its key, written here, and its value, handed out.
class DictParts final : public PartsWriter {
public:
    DictParts(Version10& streamer, const CPOSObject& object)
        : dict_(object, Lookup::Strict), items_(std::in_place, streamer), entries_(std::in_place, dict_) {
        entries_->Begin();
    }

    const CPOSObject* Next(Version10& streamer, OCharStream& out) override {
        if (value_) {
            value_.Reset();
            entries_->Next();
        }
        if (!entries_->IsDone()) {
            streamer.LineBreak(out);
            const char* key = entries_->CurKey();
            streamer.WriteValue(out, CPOSString(key));
            out.PutChar(' ');
            value_ = dict_.Get(key, Lookup::Strict);
            return &value_;
        }
        entries_.reset();
        items_.reset();
        streamer.LineBreak(out);
        return nullptr;
    }

private:
    const CPOSDict dict_;
    std::optional<Indented> items_;
    std::optional<CPOSDictIterator> entries_;
    CPOSObject value_;
};

}  // namespace

std::unique_ptr<PartsWriter> WriteArrayParts(Version10& streamer, const CPOSObject& object) {
    return std::make_unique<ArrayParts>(streamer, object);
}
std::unique_ptr<PartsWriter> WriteDictParts(Version10& streamer, const CPOSObject& object) {
    return std::make_unique<DictParts>(streamer, object);
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
