// The writers and readers of the TypeA kinds, one pair a row of the table.
#pragma once

#include "objects/nesting.h"
#include "serializer/typea.h"

namespace NPOSStreamerImpl::NTypeAImpl {

enum Kind : unsigned { kNumber, kString, kUnicode, kBinData, kRawPointer, kArray, kDict, kKindCount };
extern const KindRow kKinds[kKindCount];

// The scalars. Arrays and dictionaries are walked by WriteValue and
// ReadValue themselves; binary data is written here and read part by part.
void WriteNumber(Version10&, OCharStream&, const BaseObject&);
void WriteString(Version10&, OCharStream&, const BaseObject&);
void WriteUnicode(Version10&, OCharStream&, const BaseObject&);
void WriteBinData(Version10&, OCharStream&, const BaseObject&);
void WriteRawPointer(Version10&, OCharStream&, const BaseObject&);

NewValue ReadNumber(Version10&, ICharStream&);
NewValue ReadString(Version10&, ICharStream&);
NewValue ReadUnicode(Version10&, ICharStream&);
NewValue ReadRawPointer(Version10&, ICharStream&);

// Binary data's bytes, read once its type name and size have come as parts.
NewValue ReadBinDataBytes(ICharStream& in, QEL_T_MT::QELStringAtomRef typeName, double size);

// Installs a row's params for the life of a value, and puts the enclosing
// ones back on every way out; also bounds the nesting.
class NestedValue final {
public:
    NestedValue(Version10& streamer, CharStream& stream, const StreamParams& params)
        : level_(streamer.depth, QEL_T_MT::POSException(NPOSObjectImpl::kTooDeep)),
          stream_(stream),
          saved_(stream.params) {
        stream.params = params;
    }
    ~NestedValue() { stream_.params = saved_; }
    NestedValue(const NestedValue&) = delete;
    NestedValue& operator=(const NestedValue&) = delete;

private:
    NPOSObjectImpl::NestingGuard level_;
    CharStream& stream_;
    StreamParams saved_;
};

}  // namespace NPOSStreamerImpl::NTypeAImpl
