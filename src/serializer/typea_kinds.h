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

// An array or dictionary being written: hands out its parts one at a time.
class PartsWriter {
public:
    virtual ~PartsWriter() = default;
    // Writes what stands before the next part and gives that part, or writes
    // what ends the value (all but its closing character) and gives null.
    virtual const CPOSObject* Next(Version10& streamer, OCharStream& out) = 0;
};

std::unique_ptr<PartsWriter> WriteArrayParts(Version10& streamer, const CPOSObject& object);
std::unique_ptr<PartsWriter> WriteDictParts(Version10& streamer, const CPOSObject& object);

CPOSObject ReadNumber(Version10&, ICharStream&);
CPOSObject ReadString(Version10&, ICharStream&);
CPOSObject ReadUnicode(Version10&, ICharStream&);
CPOSObject ReadRawPointer(Version10&, ICharStream&);

// A value made of values, being read: takes each part as it is read, and an
// empty part when the value's closing character came instead.
class PartsReader {
public:
    virtual ~PartsReader() = default;
    // True when the value is complete; it is then in done.
    virtual bool Take(CPOSObject part, ICharStream& in, CPOSObject& done) = 0;
};

std::unique_ptr<PartsReader> ReadBinDataParts();
std::unique_ptr<PartsReader> ReadArrayParts();
std::unique_ptr<PartsReader> ReadDictParts();

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
