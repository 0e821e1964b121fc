// The names of the property-object tables: registered by this library, and
// imported back from the host by the library's own client classes.
#pragma once

#include <cstdint>

#include "frame/proc_table.h"

namespace NPOSObjectImpl {

using QEL_T_MT::ProcImport;

enum class POSInterface : uint8_t {
    Object,  // bound per container kind, not through the resolver
    Statics,
    Number,
    String,
    UnicodeString,
    BinData,
    RawPointer,
    Array,
    Dict,
    DictIterator,
};
inline constexpr unsigned kPOSInterfaceCount = 10;

inline constexpr const char* kPOSInterfaceNames[kPOSInterfaceCount] = {
    "POSObjectInterface",     "POSObjectStatics",    "POSNumberInterface",     "POSStringInterface",
    "POSUnicodeStringInterface", "POSBinDataInterface", "POSRawPointerInterface", "POSArrayInterface",
    "POSDictInterface",       "POSDictIteratorInterface",
};

namespace rows {
inline constexpr ProcImport kObject[] = {
    {"Clone", "POSObjectCloneProc"}, {"IsEqual", "POSObjectIsEqualProc"}, {"", ""}};
inline constexpr ProcImport kStatics[] = {
    {"DebugDump", "POSObjectDebugDumpProc"},
    {"DebugDumpWithHeader", "POSObjectDebugDumpWithHeaderProc"},
    {"DebugDumpRewind", "POSObjectDebugDumpRewindProc"},
    {"CreateFromText", "POSObjectCreateFromTextProc"},
    {"", ""}};
inline constexpr ProcImport kNumber[] = {{"NewPOSNumber", "POSNumberNewPOSNumberProc"},
                                         {"IsPOSNumber", "POSNumberIsPOSNumberProc"},
                                         {"Get", "POSNumberGetProc"},
                                         {"", ""}};
inline constexpr ProcImport kString[] = {{"NewPOSString", "POSStringNewPOSStringProc"},
                                         {"IsPOSString", "POSStringIsPOSStringProc"},
                                         {"Get", "POSStringGetProc"},
                                         {"", ""}};
inline constexpr ProcImport kUnicodeString[] = {
    {"NewPOSUnicodeString", "POSUnicodeStringNewPOSUnicodeStringProc"},
    {"IsPOSUnicodeString", "POSUnicodeStringIsPOSUnicodeStringProc"},
    {"Get", "POSUnicodeStringGetProc"},
    {"", ""}};
inline constexpr ProcImport kBinData[] = {{"NewPOSBinData", "POSBinDataNewPOSBinDataProc"},
                                          {"IsPOSBinData", "POSBinDataIsPOSBinDataProc"},
                                          {"GetTypeName", "POSBinDataGetTypeNameProc"},
                                          {"GetBinData", "POSBinDataGetBinDataProc"},
                                          {"GetSize", "POSBinDataGetSizeProc"},
                                          {"", ""}};
inline constexpr ProcImport kRawPointer[] = {{"NewPOSRawPointer", "POSRawPointerNewPOSRawPointerProc"},
                                             {"IsPOSRawPointer", "POSRawPointerIsPOSRawPointerProc"},
                                             {"GetRawPointer", "POSRawPointerGetRawPointerProc"},
                                             {"GetReleaseProc", "POSRawPointerGetReleaseProcProc"},
                                             {"", ""}};
inline constexpr ProcImport kArray[] = {{"NewPOSArray", "POSArrayNewPOSArrayProc"},
                                        {"IsPOSArray", "POSArrayIsPOSArrayProc"},
                                        {"GetAt", "POSArrayGetAtProc"},
                                        {"Count", "POSArrayCountProc"},
                                        {"SetAt", "POSArraySetAtProc"},
                                        {"Append", "POSArrayAppendProc"},
                                        {"Remove", "POSArrayRemoveProc"},
                                        {"", ""}};
inline constexpr ProcImport kDict[] = {{"NewPOSDict", "POSDictNewPOSDictProc"},
                                       {"IsPOSDict", "POSDictIsPOSDictProc"},
                                       {"Get", "POSDictGetProc"},
                                       {"DeepGet", "POSDictDeepGetProc"},
                                       {"Put", "POSDictPutProc"},
                                       {"Remove", "POSDictRemoveProc"},
                                       {"", ""}};
inline constexpr ProcImport kDictIterator[] = {
    {"NewPOSDictIterator", "POSDictIteratorNewPOSDictIteratorProc"},
    {"Begin", "POSDictIteratorBeginProc"},
    {"Next", "POSDictIteratorNextProc"},
    {"IsDone", "POSDictIteratorIsDoneProc"},
    {"CurKey", "POSDictIteratorCurKeyProc"},
    {"", ""}};
}  // namespace rows

// Slot indexes, in table order.
namespace pos_slot {
enum Object : uint32_t { Clone, IsEqual };
enum Statics : uint32_t { DebugDump, DebugDumpWithHeader, DebugDumpRewind, CreateFromText };
enum Scalar : uint32_t { New, Is, Get };
enum BinData : uint32_t { NewBinData, IsBinData, GetTypeName, GetBinData, GetSize };
enum RawPointer : uint32_t { NewRawPointer, IsRawPointer, GetRawPointer, GetReleaseProc };
enum Array : uint32_t { NewArray, IsArray, GetAt, Count, SetAt, Append, RemoveAt };
enum Dict : uint32_t { NewDict, IsDict, DictGet, DeepGet, Put, Remove };
enum DictIterator : uint32_t { NewIterator, Begin, Next, IsDone, CurKey };
}  // namespace pos_slot

}  // namespace NPOSObjectImpl
