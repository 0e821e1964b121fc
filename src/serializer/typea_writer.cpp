// The TypeA writer.
#include <cstdio>
#include <cstring>

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "serializer/typea_kinds.h"

namespace NPOSStreamerImpl::NTypeAImpl {

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

void Version10::WriteValue(OCharStream& out, const CPOSObject& object) {
    const KindRow* row = FindWriter(object);
    if (row == nullptr) throw QEL_T_MT::POSException("Cannot determine writing params");
    out.PutChar(row->params.open);
    const NestedValue nested(*this, out, row->params);
    row->write(*this, out, object);
    out.PutRaw(row->params.close);
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
    char text[64];
    std::snprintf(text, sizeof text, "%.32g", CPOSNumber(object, false).Get());
    size_t n = std::strlen(text);
    if (std::strspn(text, "+-0123456789.,") == n && std::strpbrk(text, ".,") != nullptr) {
        while (n > 1 && text[n - 1] == '0') --n;
        if (n > 0 && (text[n - 1] == '.' || text[n - 1] == ',')) --n;
        text[n] = '\0';
    }
    PutText(out, text);
}

void WriteString(Version10&, OCharStream& out, const CPOSObject& object) {
    PutText(out, CPOSString(object, false).Get());
}

void WriteUnicode(Version10&, OCharStream& out, const CPOSObject& object) {
    static const char kUpper[] = "0123456789ABCDEF";
    static const char kLower[] = "0123456789abcdef";
    for (const uint16_t* unit = CPOSUnicodeString(object, false).Get(); *unit != 0; ++unit) {
        out.PutChar(kUpper[(*unit >> 12) & 15]);
        out.PutChar(kUpper[(*unit >> 8) & 15]);
        out.PutChar(kLower[(*unit >> 4) & 15]);
        out.PutChar(kLower[*unit & 15]);
    }
}

void WriteBinData(Version10& streamer, OCharStream& out, const CPOSObject& object) {
    static const char kHex[] = "0123456789ABCDEF";
    const CPOSBinData bin(object, false);
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
    std::snprintf(text, sizeof text, "%p", CPOSRawPointer(object, false).Pointer());
    PutText(out, text);
}

void WriteArray(Version10& streamer, OCharStream& out, const CPOSObject& object) {
    const CPOSArray array(object, false);
    {
        const Indented items(streamer);
        for (uint32_t i = 0; i < array.Count(); ++i) {
            streamer.LineBreak(out);
            streamer.WriteValue(out, array.GetAt(i, false));
        }
    }
    streamer.LineBreak(out);
}

void WriteDict(Version10& streamer, OCharStream& out, const CPOSObject& object) {
    const CPOSDict dict(object, false);
    {
        const Indented items(streamer);
        const CPOSDictIterator it(dict);
        for (it.Begin(); !it.IsDone(); it.Next()) {
            streamer.LineBreak(out);
            const char* key = it.CurKey();
            streamer.WriteValue(out, CPOSString(key));
            out.PutChar(' ');
            streamer.WriteValue(out, dict.Get(key, false));
        }
    }
    streamer.LineBreak(out);
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
