// The TypeA kind table, searched by object kind when writing and by
// opening character when reading.
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
}  // namespace

const StreamParams kTopLevelParams = {0, '\0', kTopLevelEscapes, true};

const KindRow kKinds[kKindCount] = {
    {{'#', ' ', kNumberEscapes, true}, &WriteNumber, &ReadNumber, nullptr, nullptr},
    {{'"', '"', kStringEscapes, true}, &WriteString, &ReadString, nullptr, nullptr},
    {{'`', '`', kUnicodeEscapes, true}, &WriteUnicode, &ReadUnicode, nullptr, nullptr},
    {{'{', '}', kBinDataEscapes, true}, &WriteBinData, nullptr, nullptr, &ReadBinDataParts},
    {{'$', ' ', kNumberEscapes, true}, &WriteRawPointer, &ReadRawPointer, nullptr, nullptr},
    {{'[', ']', kArrayEscapes, true}, nullptr, nullptr, &WriteArrayParts, &ReadArrayParts},
    {{'<', '>', kDictEscapes, true}, nullptr, nullptr, &WriteDictParts, &ReadDictParts},
};

NestedValue::NestedValue(Version10& streamer, CharStream& stream, const StreamParams& params)
    : level_(streamer.depth, QEL_T_MT::POSException(NPOSObjectImpl::kTooDeep)),
      stream_(stream),
      saved_(stream.params) {
    stream.params = params;
}

const KindRow* Version10::FindReader(char open) {
    for (const KindRow& row : kKinds)
        if (row.params.open == open) return &row;
    return nullptr;
}

const KindRow* Version10::FindWriter(const CPOSObject& object) {
    using namespace QEL_T_MT;
    using NPOSObjectImpl::POSInterface;
    namespace pos_slot = NPOSObjectImpl::pos_slot;
    const QELContainerHandle h = object.handle();
    if (POSClientProc<POSNumberIsPOSNumberProc>(POSInterface::Number, pos_slot::Is)(h)) return &kKinds[kNumber];
    if (POSClientProc<POSStringIsPOSStringProc>(POSInterface::String, pos_slot::Is)(h)) return &kKinds[kString];
    if (POSClientProc<POSUnicodeStringIsPOSUnicodeStringProc>(POSInterface::UnicodeString, pos_slot::Is)(h))
        return &kKinds[kUnicode];
    if (POSClientProc<POSBinDataIsPOSBinDataProc>(POSInterface::BinData, pos_slot::IsBinData)(h))
        return &kKinds[kBinData];
    if (POSClientProc<POSRawPointerIsPOSRawPointerProc>(POSInterface::RawPointer, pos_slot::IsRawPointer)(h))
        return &kKinds[kRawPointer];
    if (POSClientProc<POSArrayIsPOSArrayProc>(POSInterface::Array, pos_slot::IsArray)(h)) return &kKinds[kArray];
    if (POSClientProc<POSDictIsPOSDictProc>(POSInterface::Dict, pos_slot::IsDict)(h)) return &kKinds[kDict];
    return nullptr;
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
