// The TypeA kind table, searched by object kind when writing and by
// opening character when reading.
#include <array>

#include "serializer/typea_kinds.h"

namespace NPOSStreamerImpl::NTypeAImpl {

namespace {

// Escape pairs, raw byte then escaped byte.
constexpr char kNumberEscapes[] = "\\\\  ";
constexpr char kStringEscapes[] = "\\\\\"\"\nn\rr\tt";
constexpr char kUnicodeEscapes[] = "\\\\``";
constexpr char kBinDataEscapes[] = "\\\\}}";
constexpr char kArrayEscapes[] = "\\\\]]";
constexpr char kDictEscapes[] = "\\\\>>";
constexpr char kTopLevelEscapes[] = "\\\\";

// Bytes outside printable ASCII, and DEL, are written in octal, except tab,
// line feed and carriage return; a raw byte of a pair is escaped.
template <const char* Escapes>
struct WriterForms final {
    std::array<ByteForm, 256> forms{};
    std::array<char, 256> escaped{};
    constexpr WriterForms() {
        for (unsigned b = 0; b < 256; ++b) {
            const bool printable = b >= 0x20 && b <= 0x7E;
            forms[b] = b == 0x7F || (!printable && b != '\t' && b != '\n' && b != '\r') ? ByteForm::Octal
                                                                                          : ByteForm::Plain;
        }
        for (const char* pair = Escapes; pair[0] != '\0'; pair += 2) {
            const auto raw = static_cast<unsigned char>(pair[0]);
            if (forms[raw] == ByteForm::Octal) continue;  // octal comes first
            forms[raw] = ByteForm::Escaped;
            escaped[raw] = pair[1];
        }
    }
};

template <const char* Escapes>
constexpr WriterForms<Escapes> kForms{};

template <const char* Escapes>
constexpr StreamParams Params(char open, char close) {
    return {open, close, Escapes, true, kForms<Escapes>.forms.data(), kForms<Escapes>.escaped.data()};
}

}  // namespace

const StreamParams kTopLevelParams = Params<kTopLevelEscapes>(0, '\0');

const KindRow kKinds[kKindCount] = {
    {Params<kNumberEscapes>('#', ' '), &WriteNumber, &ReadNumber},
    {Params<kStringEscapes>('"', '"'), &WriteString, &ReadString},
    {Params<kUnicodeEscapes>('`', '`'), &WriteUnicode, &ReadUnicode},
    {Params<kBinDataEscapes>('{', '}'), &WriteBinData, nullptr},
    {Params<kNumberEscapes>('$', ' '), &WriteRawPointer, &ReadRawPointer},
    {Params<kArrayEscapes>('[', ']'), nullptr, nullptr},
    {Params<kDictEscapes>('<', '>'), nullptr, nullptr},
};

const KindRow* Version10::FindReader(char open) {
    for (const KindRow& row : kKinds)
        if (row.params.open == open) return &row;
    return nullptr;
}

const KindRow& Version10::FindWriter(const BaseObject* object) {
    using NPOSObjectImpl::ObjectKind;
    if (object != nullptr) {
        switch (object->Kind()) {
            case ObjectKind::Number: return kKinds[kNumber];
            case ObjectKind::String: return kKinds[kString];
            case ObjectKind::UnicodeString: return kKinds[kUnicode];
            case ObjectKind::BinData: return kKinds[kBinData];
            case ObjectKind::RawPointer: return kKinds[kRawPointer];
            case ObjectKind::Array: return kKinds[kArray];
            case ObjectKind::Dict: return kKinds[kDict];
        }
    }
    throw QEL_T_MT::POSException("Cannot determine writing params");
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
