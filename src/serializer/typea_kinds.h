// The writers and readers of the TypeA kinds, one pair a row of the table.
#pragma once

#include "objects/nesting.h"
#include "serializer/typea.h"

namespace NPOSStreamerImpl::NTypeAImpl {

enum Kind : unsigned { kNumber, kString, kUnicode, kBinData, kRawPointer, kArray, kDict, kKindCount };
extern const KindRow kKinds[kKindCount];

void WriteNumber(Version10&, OCharStream&, const CPOSObject&);
void WriteString(Version10&, OCharStream&, const CPOSObject&);
void WriteUnicode(Version10&, OCharStream&, const CPOSObject&);
void WriteBinData(Version10&, OCharStream&, const CPOSObject&);
void WriteRawPointer(Version10&, OCharStream&, const CPOSObject&);
void WriteArray(Version10&, OCharStream&, const CPOSObject&);
void WriteDict(Version10&, OCharStream&, const CPOSObject&);

CPOSObject ReadNumber(Version10&, ICharStream&);
CPOSObject ReadString(Version10&, ICharStream&);
CPOSObject ReadUnicode(Version10&, ICharStream&);
CPOSObject ReadBinData(Version10&, ICharStream&);
CPOSObject ReadRawPointer(Version10&, ICharStream&);
CPOSObject ReadArray(Version10&, ICharStream&);
CPOSObject ReadDict(Version10&, ICharStream&);

// Installs a row's params for the life of the value, and puts the enclosing
// ones back on every way out; also bounds the nesting.
class NestedValue final {
public:
    NestedValue(Version10& streamer, CharStream& stream, const StreamParams& params);
    ~NestedValue() { stream_.params = saved_; }
    NestedValue(const NestedValue&) = delete;
    NestedValue& operator=(const NestedValue&) = delete;

private:
    NPOSObjectImpl::NestingGuard level_;
    CharStream& stream_;
    StreamParams saved_;
};

}  // namespace NPOSStreamerImpl::NTypeAImpl
