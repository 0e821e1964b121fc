// The TypeA kind table, searched by object kind when writing and by
// opening character when reading.
#include "frame/guards.h"
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
    const QELContainerHandle h = object.handle();
    // A handle that is no property object is reported by the first kind
    // test, which then fails the whole call: one report, not seven.
    auto is = [h](auto proc) { return Checked([&] { return proc(h); }) != 0; };
    if (is(POSClientProc<contract::POSNumberInterface::IsPOSNumber>())) return &kKinds[kNumber];
    if (is(POSClientProc<contract::POSStringInterface::IsPOSString>())) return &kKinds[kString];
    if (is(POSClientProc<contract::POSUnicodeStringInterface::IsPOSUnicodeString>())) return &kKinds[kUnicode];
    if (is(POSClientProc<contract::POSBinDataInterface::IsPOSBinData>())) return &kKinds[kBinData];
    if (is(POSClientProc<contract::POSRawPointerInterface::IsPOSRawPointer>())) return &kKinds[kRawPointer];
    if (is(POSClientProc<contract::POSArrayInterface::IsPOSArray>())) return &kKinds[kArray];
    if (is(POSClientProc<contract::POSDictInterface::IsPOSDict>())) return &kKinds[kDict];
    return nullptr;
}

}  // namespace NPOSStreamerImpl::NTypeAImpl
