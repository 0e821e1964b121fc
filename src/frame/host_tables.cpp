// The import tables of the host interfaces and the process-wide proc tables
// filled from them.
#include "frame/host_binding.h"

namespace QEL_T_MT {
namespace {

constexpr ProcImport kStringRows[] = {
    {"NewStringAtom", "QELNewStringAtomProc"},
    {"DeleteStringAtom", "QELDeleteStringAtomProc"},
    {"GetCString", "QELGetCStringProc"},
    {"AddRef", "QELAddRefStringAtomProc"},
    {"", ""},
};

constexpr ProcImport kErrorRows[] = {
    {"NewError", "QELNewErrorProc"},
    {"GetCoreError", "QELGetCoreErrorProc"},
    {"AddRef", "QELErrorAddRefProcV2"},
    {"Release", "QELErrorReleaseProc"},
    {"GetErrorMessage", "QELErrorGetMessageProc"},
    {"GetComponent", "QELErrorGetComponentProc"},
    {"GetID", "QELErrorGetIDProc"},
    {"GetErrorInfo", "QELGetErrorInfoProc"},
    {"", ""},
};

constexpr ProcImport kMemoryRows[] = {
    {"Alloc", "QELMemAllocProc"},
    {"Realloc", "QELMemReallocProc"},
    {"Free", "QELMemFreeProc"},
    {"GetBlockSize", "QELMemGetBlockSizeProc"},
    {"", ""},
};

constexpr ProcImport kContainerRows[] = {
    {"NewFullContainer", "QELNewFullContainerV5Proc"},
    {"NewContainer", "QELNewContainerV2Proc"},
    {"CloneContainer", "QELCloneContainerProc"},
    {"AddRef", "QELAddRefContainerV2Proc"},
    {"Release", "QELReleaseContainerProc"},
    {"DecrementWithoutDelete", "QELDecrementWithoutDeleteProc"},
    {"DeleteUnownedContainer", "QELDeleteUnownedContainerProc"},
    {"RegisterInterface", "QELRegisterInterfaceV2Proc"},
    {"RegisterInstance", "QELRegisterInstanceV2Proc"},
    {"GetMethod", "QELGetMethodV3Proc"},
    {"GetParentMethod", "QELGetParentMethodV2Proc"},
    {"GetInstance", "QELGetInstanceProc"},
    {"NGetInstance", "QELNGetInstanceProc"},
    {"GetSignature", "QELGetSignatureProc"},
    {"DebugGetRefCountAddr", "QELGetRefCountAddrProc"},
    {"GetOffsetToPrimaryInstance", "QELGetOffsetToPrimaryInstProc"},
    {"", ""},
};

constexpr ProcImport kSharedBuffRows[] = {
    {"NewBuffer", "QELSharedBuffNewBufferV2Proc"},
    {"DeleteUnowned", "QELSharedBuffDelUnownedProc"},
    {"AddRef", "QELSharedBuffAddRefProc"},
    {"Release", "QELSharedBuffReleaseProc"},
    {"GetBuffer", "QELSharedBuffGetBufferProc"},
    {"GetSize", "QELSharedBuffGetSizeProc"},
    {"", ""},
};

constexpr ProcImport kStreamFactoryRows[] = {
    {"NewPositionableMemoryStream", "QELNewPositionableMemoryStreamProc"},
    {"NewPositionableBufferStream", "QELNewPositionableBufferStreamProc"},
    {"NewPositionableFileStream", "QELNewPositionableFileStreamProc"},
    {"NewClientSimpleStream", "QELNewClientSimpleStreamProc"},
    {"NewClientRewindableStream", "QELNewClientRewindableStreamProc"},
    {"NewClientPositionableStream", "QELNewClientPositionableStreamProc"},
    {"", ""},
};

constexpr ProcImport kCacheRows[] = {
    {"NewCacheID", "QELCacheNewCacheIDProc"},
    {"AddRef", "QELCacheAddRefProc"},
    {"Release", "QELCacheReleaseProc"},
    {"Attach", "QELCacheAttachProcV2"},
    {"Add", "QELCacheAddProc"},
    {"UpdateCost", "QELCacheUpdateCostProc"},
    {"ReturnCost", "QELCacheReturnCostProc"},
    {"MarkNoPurge", "QELCacheMarkNoPurgeProcV2"},
    {"MarkPurge", "QELCacheMarkPurgeProc"},
    {"GetCacheTime", "QELCacheGetCacheTimeProc"},
    {"CurrentCacheSize", "QELCurrentCacheSizeProc"},
    {"NewCachePurge", "QELCacheNewCachePurgeProc"},
    {"PurgeNextBlock", "QELCachePurgeNextBlockProc"},
    {"DeleteCachePurge", "QELCacheDeleteCachePurgeProc"},
    {"PurgeAllStaticCaches", "QELCachePurgeAllStaticCachesProc"},
    {"AddClientPurge", "QELCacheAddRemoveClientPurgeProcV2"},
    {"RemoveClientPurge", "QELCacheAddRemoveClientPurgeProcV2"},
    {"NewCacheSet", "QELCacheNewCacheSetProc"},
    {"AddRefCacheSet", "QELCacheAddRefCacheSetProc"},
    {"DeleteCacheSet", "QELCacheDeleteCacheSetProc"},
    {"SearchForID", "QELCacheSearchForIDProc"},
    {"RemoveID", "QELCacheRemoveIDProc"},
    {"RemoveIDs", "QELCacheRemoveIDsProc"},
    {"", ""},
};

static_assert(RowCount(kStringRows) == slot::StringCount);
static_assert(RowCount(kErrorRows) == slot::ErrorCount);
static_assert(RowCount(kMemoryRows) == slot::MemoryCount);
static_assert(RowCount(kContainerRows) == slot::ContainerCount);
static_assert(RowCount(kSharedBuffRows) == slot::SharedBuffCount);
static_assert(RowCount(kStreamFactoryRows) == slot::StreamFactoryCount);
static_assert(RowCount(kCacheRows) == slot::CacheCount);

// Zero-initialised before any dynamic initialisation runs.
std::atomic<void*> gStringSlots[slot::StringCount];
std::atomic<void*> gErrorSlots[slot::ErrorCount];
std::atomic<void*> gMemorySlots[slot::MemoryCount];
std::atomic<void*> gContainerSlots[slot::ContainerCount];
std::atomic<void*> gSharedBuffSlots[slot::SharedBuffCount];
std::atomic<void*> gStreamFactorySlots[slot::StreamFactoryCount];
std::atomic<void*> gCacheSlots[slot::CacheCount];

#define QEL_TABLE(name, rows, slots) \
    HostProcTable { name, rows, RowCount(rows), slots, {0}, {false} }

HostProcTable gTables[] = {
    QEL_TABLE("QELStringInterface", kStringRows, gStringSlots),
    QEL_TABLE("QELErrorInterface", kErrorRows, gErrorSlots),
    QEL_TABLE("QELMemoryInterface", kMemoryRows, gMemorySlots),
    QEL_TABLE("QELContainerInterface", kContainerRows, gContainerSlots),
    QEL_TABLE("QELSharedBuffInterface", kSharedBuffRows, gSharedBuffSlots),
    QEL_TABLE("QELStreamFactoryInterface", kStreamFactoryRows, gStreamFactorySlots),
    QEL_TABLE("QELCacheInterface", kCacheRows, gCacheSlots),
};
#undef QEL_TABLE

}  // namespace

HostProcTable& TableOf(HostInterface which) noexcept { return gTables[static_cast<unsigned>(which)]; }

}  // namespace QEL_T_MT
