// The TypeA writer.
#include <cstdio>
#include <cstring>
#include <vector>

#include "frame/errors.h"
#include "serializer/number_format.h"
#include "serializer/typea_kinds.h"

namespace NPOSStreamerImpl::NTypeAImpl {

using NPOSObjectImpl::Array;
using NPOSObjectImpl::BinData;
using NPOSObjectImpl::Dict;
using NPOSObjectImpl::DictNode;
using NPOSObjectImpl::Number;
using NPOSObjectImpl::RawPointer;
using NPOSObjectImpl::String;
using NPOSObjectImpl::UnicodeString;
using QEL_T_MT::QELContainerRef;
using QEL_T_MT::QELStringAtomRef;

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
    if (beforeWrite.call != nullptr) beforeWrite.call(beforeWrite.context);
    const uint32_t n = pending_;
    pending_ = 0;
    stream_.Write(data_, n);
}

void OCharStream::PutEscaped(unsigned char b) {
    switch (params.forms[b]) {
        case ByteForm::Plain:
            PutRaw(static_cast<char>(b));
            return;
        case ByteForm::Escaped:
            PutRaw('\\');
            PutRaw(params.escapedBytes[b]);
            return;
        case ByteForm::Octal:
            PutRaw('\\');
            PutRaw(static_cast<char>('0' + (b >> 6)));
            PutRaw(static_cast<char>('0' + ((b >> 3) & 7)));
            PutRaw(static_cast<char>('0' + (b & 7)));
            return;
    }
}

void OCharStream::PutText(const char* text) {
    const ByteForm* forms = params.forms;
    for (;;) {
        // Runs of plain bytes go in as long as they fit; anything else takes
        // the byte-by-byte way.
        while (pending_ < capacity_) {
            const auto b = static_cast<unsigned char>(*text);
            if (b == 0) return;
            if (forms[b] != ByteForm::Plain) break;
            data_[pending_++] = static_cast<char>(b);
            ++text;
        }
        if (*text == '\0') return;
        PutEscaped(static_cast<unsigned char>(*text++));
    }
}

// ------------------------------------------------------------------ Version10

void Version10::Serialize(const HostStreamRef& stream, const CPOSObject& object) {
    OCharStream out(stream);
    WriteValue(out, object.handle());
    out.Flush();
}

void Version10::LineBreak(OCharStream& out) {
    out.PutChar('\n');
    for (int32_t i = 0; i < indent; ++i) out.PutChar('\t');
}

namespace {

// The object behind a member or the value given: the library's own, found
// as the kind procedures would find it (another component's container is
// asked by name, and the host's refusal is the failure).
const BaseObject* Resolved(QELContainerHandle handle) {
    return NPOSObjectImpl::Implementation(handle);
}

// An array or dictionary whose parts are still being written, with its
// row's params in force.
struct OpenValue final {
    const BaseObject* value;
    QELContainerHandle handle;
    StreamParams saved;
    uint32_t index;            // an array's next member
    const DictNode* node;      // a dictionary's next entry
    QELContainerRef pin;       // see Pins
};

// The writer reads the library's objects in place and holds no reference of
// its own on them, but the host stream's Write may call back into the
// library and change the very document being written: a value still being
// written could then be released and destroyed under the writer. So before
// each Write every value still being written (the open collections, the
// scalar and the key being written) gets a reference of its own, once, kept
// until the writer is done with it. Writes come once per 512 bytes, so this
// is a few host calls a Write instead of two a value.
class Pins final {
public:
    Pins(OCharStream& out, std::vector<OpenValue>& open) : out_(out), open_(open) {
        out_.beforeWrite = {&PinAll, this};
    }
    ~Pins() { out_.beforeWrite = {}; }
    Pins(const Pins&) = delete;
    Pins& operator=(const Pins&) = delete;

    // The scalar whose bytes are being written, and the end of its writing.
    void Scalar(QELContainerHandle handle) noexcept { scalar_ = handle; }
    void ScalarDone() noexcept {
        scalar_ = nullptr;
        scalarPin_.Reset();
    }
    // The same for a dictionary key.
    void Key(const QELStringAtomRef& key) noexcept { key_ = &key; }
    void KeyDone() noexcept {
        key_ = nullptr;
        keyPin_ = QELStringAtomRef();
    }

private:
    static void PinAll(void* context) {
        auto& self = *static_cast<Pins*>(context);
        for (OpenValue& level : self.open_)
            if (!level.pin) level.pin = QELContainerRef(level.handle);
        if (self.scalar_ != nullptr && !self.scalarPin_) self.scalarPin_ = QELContainerRef(self.scalar_);
        if (self.key_ != nullptr && !self.keyPin_) self.keyPin_ = *self.key_;
    }

    OCharStream& out_;
    std::vector<OpenValue>& open_;
    QELContainerHandle scalar_ = nullptr;
    QELContainerRef scalarPin_;
    const QELStringAtomRef* key_ = nullptr;
    QELStringAtomRef keyPin_;
};

}  // namespace

// The values are walked directly in the library's own objects; the values
// still open are kept on the heap, so that nesting costs no stack. Every
// value, scalar or not, counts one level, as do a dictionary's keys and
// binary data's type name and size.
void Version10::WriteValue(OCharStream& out, QELContainerHandle object) {
    std::vector<OpenValue> open;
    Pins pins(out, open);
    QELContainerHandle nextHandle = object;
    const BaseObject* next = Resolved(object);
    for (;;) {
        if (next != nullptr) {
            const KindRow& row = FindWriter(next);
            out.PutChar(row.params.open);
            if (row.write != nullptr) {
                const NestedValue nested(*this, out, row.params);
                pins.Scalar(nextHandle);
                row.write(*this, out, *next);
                out.PutRaw(row.params.close);
                pins.ScalarDone();
            } else {
                if (depth >= NPOSObjectImpl::kMaxNesting) throw QEL_T_MT::POSException(NPOSObjectImpl::kTooDeep);
                const auto* dict = NPOSObjectImpl::As<Dict>(next);
                open.push_back(OpenValue{next, nextHandle, out.params, 0,
                                         dict != nullptr ? Leftmost(dict->tree.root) : nullptr, {}});
                ++depth;
                out.params = row.params;
                ++indent;
            }
        }
        if (open.empty()) return;

        OpenValue& top = open.back();
        next = nullptr;
        if (const auto* array = NPOSObjectImpl::As<Array>(top.value)) {
            // The count is read again after every member.
            if (top.index < array->count) {
                LineBreak(out);
                nextHandle = array->members[top.index++].handle();
                if (nextHandle == nullptr) throw QEL_T_MT::POSException("CPOSArray::GetAt subscript failed");
                next = Resolved(nextHandle);
                continue;
            }
        } else if (top.node != nullptr) {
            // Each entry is its key, written here, and its value. A Write
            // while the key is written may remove the entry: its node stays
            // the dictionary's (a spare one, with no value and no successor).
            LineBreak(out);
            pins.Key(top.node->key);
            WriteTextValue(out, top.node->key.text());
            pins.KeyDone();
            out.PutChar(' ');
            nextHandle = top.node->value.handle();
            if (nextHandle == nullptr) throw QEL_T_MT::POSException("the dictionary changed while it was written");
            next = Resolved(nextHandle);
            top.node = Successor(const_cast<DictNode*>(top.node));
            continue;
        }
        --indent;
        LineBreak(out);
        out.PutRaw(FindWriter(top.value).params.close);
        out.params = top.saved;
        --depth;
        open.pop_back();
    }
}

void Version10::WriteTextValue(OCharStream& out, const char* text) {
    const StreamParams& params = kKinds[kString].params;
    out.PutChar(params.open);
    const NestedValue nested(*this, out, params);
    out.PutText(text);
    out.PutRaw(params.close);
}

// "%.32g", then trailing zeros of a fraction and a bare separator trimmed.
static void PutNumber(OCharStream& out, double value) {
    char text[kG32Size];
    size_t n = FormatG32(value, text);
    if (std::strspn(text, "+-0123456789.,") == n && std::strpbrk(text, ".,") != nullptr) {
        while (n > 1 && text[n - 1] == '0') --n;
        if (n > 0 && (text[n - 1] == '.' || text[n - 1] == ',')) --n;
        text[n] = '\0';
    }
    out.PutText(text);
}

void Version10::WriteNumberValue(OCharStream& out, double value) {
    const StreamParams& params = kKinds[kNumber].params;
    out.PutChar(params.open);
    const NestedValue nested(*this, out, params);
    PutNumber(out, value);
    out.PutRaw(params.close);
}

namespace {

// Raised for the items of binary data.
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

void WriteNumber(Version10&, OCharStream& out, const BaseObject& object) {
    PutNumber(out, static_cast<const Number&>(object).value);
}

void WriteString(Version10&, OCharStream& out, const BaseObject& object) {
    out.PutText(static_cast<const String&>(object).text.text());
}

void WriteUnicode(Version10&, OCharStream& out, const BaseObject& object) {
    static const char kUpper[] = "0123456789ABCDEF";
    static const char kLower[] = "0123456789abcdef";
    for (const uint16_t* unit = static_cast<const UnicodeString&>(object).units; *unit != 0; ++unit) {
        out.PutChar(kUpper[(*unit >> 12) & 15]);
        out.PutChar(kUpper[(*unit >> 8) & 15]);
        out.PutChar(kLower[(*unit >> 4) & 15]);
        out.PutChar(kLower[*unit & 15]);
    }
}

void WriteBinData(Version10& streamer, OCharStream& out, const BaseObject& object) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto& bin = static_cast<const BinData&>(object);
    streamer.WriteTextValue(out, bin.typeName.text());
    out.PutChar(' ');
    const auto size = static_cast<uint32_t>(bin.size);
    streamer.WriteNumberValue(out, static_cast<double>(size));
    out.PutChar(' ');
    {
        const Indented items(streamer);
        for (uint32_t i = 0; i < size; ++i) {
            if (i % 40 == 0) streamer.LineBreak(out);
            out.PutChar(kHex[bin.data[i] >> 4]);
            out.PutChar(kHex[bin.data[i] & 15]);
        }
    }
    streamer.LineBreak(out);
}

void WriteRawPointer(Version10&, OCharStream& out, const BaseObject& object) {
    char text[64];
    std::snprintf(text, sizeof text, "%p", static_cast<const RawPointer&>(object).pointer);
    out.PutText(text);
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
