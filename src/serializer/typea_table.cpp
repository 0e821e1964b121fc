// The TypeA kind table, searched by object kind when writing and by
// opening character when reading.
#include "objects/nesting.h"
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
    {{'#', ' ', kNumberEscapes, true}, &WriteNumber, &ReadNumber},
    {{'"', '"', kStringEscapes, true}, &WriteString, &ReadString},
    {{'`', '`', kUnicodeEscapes, true}, &WriteUnicode, &ReadUnicode},
    {{'{', '}', kBinDataEscapes, true}, &WriteBinData, &ReadBinData},
    {{'$', ' ', kNumberEscapes, true}, &WriteRawPointer, &ReadRawPointer},
    {{'[', ']', kArrayEscapes, true}, &WriteArray, &ReadArray},
    {{'<', '>', kDictEscapes, true}, &WriteDict, &ReadDict},
};

NestedValue::NestedValue(Version10& streamer, CharStream& stream, const StreamParams& params)
    : streamer_(streamer), stream_(stream), saved_(stream.params) {
    if (streamer.depth >= NPOSObjectImpl::kMaxNesting) throw QEL_T_MT::POSException(NPOSObjectImpl::kTooDeep);
    ++streamer.depth;
    stream.params = params;
}

const KindRow* Version10::FindReader(char open) {
    for (const KindRow& row : kKinds)
        if (row.params.open == open) return &row;
    return nullptr;
}

const KindRow* Version10::FindWriter(const CPOSObject& object) {
    using namespace QEL_T_MT;
    const QELContainerHandle h = object.handle();
    if (POSClientProc<contract::POSNumberInterface::IsPOSNumber>()(h)) return &kKinds[kNumber];
    if (POSClientProc<contract::POSStringInterface::IsPOSString>()(h)) return &kKinds[kString];
    if (POSClientProc<contract::POSUnicodeStringInterface::IsPOSUnicodeString>()(h)) return &kKinds[kUnicode];
    if (POSClientProc<contract::POSBinDataInterface::IsPOSBinData>()(h)) return &kKinds[kBinData];
    if (POSClientProc<contract::POSRawPointerInterface::IsPOSRawPointer>()(h)) return &kKinds[kRawPointer];
    if (POSClientProc<contract::POSArrayInterface::IsPOSArray>()(h)) return &kKinds[kArray];
    if (POSClientProc<contract::POSDictInterface::IsPOSDict>()(h)) return &kKinds[kDict];
    return nullptr;
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
