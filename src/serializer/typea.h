// The TypeA format: a byte-oriented text in which every value stands between
// delimiters that name its kind, with backslash escapes, laid out one item a
// line and indented with tabs.
#pragma once

#include <cstdint>

#include "frame/host_streams.h"
#include "frame/shared_buffer_ref.h"
#include "objects/pos_model.h"
#include "serializer/streamer.h"

namespace NPOSStreamerImpl::NTypeAImpl {

using NPOSObjectImpl::BaseObject;
using NPOSObjectImpl::NewValue;
using QEL_T_MT::CPOSObject;
using QEL_T_MT::HostStreamRef;

// How PutChar writes one byte under a kind's escapes.
enum class ByteForm : uint8_t {
    Plain,    // the byte itself
    Escaped,  // a backslash and the pair's escaped byte
    Octal,    // a backslash and three octal digits
};

// The delimiters and escapes in force for one kind of value.
struct StreamParams final {
    char open;
    char close;
    const char* escapes;  // pairs (raw, escaped), ended by a 0 byte
    bool foldWhiteSpace;
    // The escapes as the writer applies them, one entry a byte: its form,
    // and for an escaped byte the byte after the backslash.
    const ByteForm* forms;
    const char* escapedBytes;
};

class Version10;
class OCharStream;
class ICharStream;

// One kind of value. A scalar is written and read by one call each; an array,
// a dictionary and (when read) binary data are walked part by part, so that
// nesting goes on the heap, not the stack.
struct KindRow final {
    StreamParams params;
    void (*write)(Version10& streamer, OCharStream& out, const BaseObject& object);
    NewValue (*read)(Version10& streamer, ICharStream& in);
};

extern const StreamParams kTopLevelParams;

class CharStream {
public:
    virtual ~CharStream() = default;
    StreamParams params = kTopLevelParams;

protected:
    CharStream() = default;
    CharStream(const CharStream&) = delete;
    CharStream& operator=(const CharStream&) = delete;
};

inline constexpr uint32_t kCharBufferBytes = 512;

// Output through one 512-byte shared buffer, written when full and at the end.
class OCharStream final : public CharStream {
public:
    explicit OCharStream(const HostStreamRef& stream);
    // Writes what is pending, also after a failure, so the bytes produced so
    // far reach the stream.
    ~OCharStream() override;

    // Escapes the byte under the params in force.
    void PutChar(char byte) {
        const auto b = static_cast<unsigned char>(byte);
        if (params.forms[b] == ByteForm::Plain && pending_ < capacity_) {
            data_[pending_++] = byte;
            return;
        }
        PutEscaped(b);
    }
    // The bytes of a NUL-terminated text, each escaped as PutChar does.
    void PutText(const char* text);
    // Appends a byte unchanged (a closing delimiter).
    void PutRaw(char byte) {
        if (pending_ == capacity_) Flush();
        data_[pending_++] = byte;
    }
    // Writes the pending bytes (throws on a host error).
    void Flush();

    // Called before every Write to the host stream (null: nothing).
    struct BeforeWrite final {
        void (*call)(void* context) = nullptr;
        void* context = nullptr;
    };
    BeforeWrite beforeWrite;

private:
    void PutEscaped(unsigned char byte);

    const HostStreamRef& stream_;
    QEL_T_MT::QELSharedBuffRef buffer_;
    char* data_;
    uint32_t capacity_ = kCharBufferBytes;
    uint32_t pending_ = 0;
};

// Input through one 512-byte shared buffer; the bytes read ahead are given
// back to the stream at the end.
class ICharStream final : public CharStream {
public:
    explicit ICharStream(const HostStreamRef& stream);
    ~ICharStream() override;

    // False exactly when the byte read is the closing character (unescaped).
    bool GetChar(char& byte);
    uint32_t GetChars(char* buffer, uint32_t n, bool mustFill, bool skipWhiteSpace);
    // Consumes the buffered bytes that GetChar would deliver as a space that
    // does not end the value; reads nothing from the stream.
    void SkipBufferedSpaces() noexcept;
    // Gives back the read-ahead: the stream then stands after the last
    // consumed byte (throws on a host error).
    void GiveBack();

private:
    char Next() {
        if (unconsumed_ == 0) Refill();
        --unconsumed_;
        return data_[position_++];
    }
    void Refill();

    const HostStreamRef& stream_;
    QEL_T_MT::QELSharedBuffRef buffer_;
    const char* data_;
    uint32_t capacity_ = kCharBufferBytes;
    uint32_t position_ = 0;
    uint32_t unconsumed_ = 0;
    bool givenBack_ = false;
};

class TypeAStreamer : public StreamerBase {};

class Version10 final : public TypeAStreamer {
public:
    const char* GetVersion() const override { return kVersion; }
    void Serialize(const HostStreamRef& stream, const CPOSObject& object) override;
    QELContainerHandle Deserialize(const HostStreamRef& stream) override;

    void WriteValue(OCharStream& out, QELContainerHandle object);
    NewValue ReadValue(ICharStream& in);
    static const KindRow* FindReader(char open);
    // The row of the object's kind; POSException "Cannot determine writing
    // params" when it has none.
    static const KindRow& FindWriter(const BaseObject* object);

    // A line feed and one tab per indentation level.
    void LineBreak(OCharStream& out);
    // A string value of the text, as a value of its own (dictionary keys,
    // binary data's type name).
    void WriteTextValue(OCharStream& out, const char* text);
    // A number value, as a value of its own (binary data's size).
    void WriteNumberValue(OCharStream& out, double value);

    static constexpr const char kVersion[] = "POSStreamerTypeA_Version1.0";
    int32_t indent = 0;
    unsigned depth = 0;  // nesting of the value being read or written
};

}  // namespace NPOSStreamerImpl::NTypeAImpl
