#include "frame/stream_tables.h"

#include "frame/process_wide.h"

namespace QEL_T_MT {

namespace {

constexpr ProcImport kSimpleRows[] = {
    {"Read", "QELSimpleStreamReadProc"},
    {"Write", "QELSimpleStreamWriteProc"},
    {"", ""},
};
constexpr ProcImport kRewindableRows[] = {
    {"CreateIndependentlyRewindableStream", "QELRewindableStreamCreateIndependentlyRewindableStreamProc"},
    {"Rewind", "QELRewindableStreamRewindProc"},
    {"", ""},
};
constexpr ProcImport kPositionableRows[] = {
    {"CreateIndependentlyPositionableStream", "QELPositionableStreamCreateIndependentlyPositionableStreamProc"},
    {"Mark", "QELPositionableStreamMarkProc"},
    {"Seek", "QELPositionableStreamSeekProc"},
    {"", ""},
};
constexpr ProcImport kDataStoreRows[] = {{"GetBlock", "QELDataStoreGetBlockProcV2"}, {"", ""}};
constexpr ProcImport kSizedDataStoreRows[] = {{"GetSize", "QELSizedDataStoreGetSizeProc"}, {"", ""}};
constexpr ProcImport kDataBlockStreamRows[] = {
    {"GetNextBlock", "QELDataBlockStreamGetNextBlockProc"},
    {"Rewind", "QELDataBlockStreamRewindProc"},
    {"", ""},
};

static_assert(RowCount(kSimpleRows) == stream_slot::SimpleCount);
static_assert(RowCount(kRewindableRows) == stream_slot::RewindableCount);
static_assert(RowCount(kPositionableRows) == stream_slot::PositionableCount);

template <const auto& Rows>
bool ImportRows(QELContainerHandle container, bool required, void** procs) {
    return ImportInstanceMethods(Rows, RowCount(Rows), container, required, procs);
}

template <uint64_t Methods>
class CQELStreamTerminate : public VTabListTerminate {
public:
    CQELStreamTerminate() noexcept : VTabListTerminate(Methods, true) {}
};
class CQELSimpleStreamTerminate final : public CQELStreamTerminate<stream_slot::SimpleCount> {};
class CQELRewindableStreamTerminate final : public CQELStreamTerminate<stream_slot::RewindableCount> {};
class CQELPositionableStreamTerminate final : public CQELStreamTerminate<stream_slot::PositionableCount> {};

QEL_PROCESS_WIDE CQELSimpleStreamTerminate gSimpleStreams;
QEL_PROCESS_WIDE CQELRewindableStreamTerminate gRewindableStreams;
QEL_PROCESS_WIDE CQELPositionableStreamTerminate gPositionableStreams;

QEL_PROCESS_WIDE TDelVTabList<QELDataStoreTraits> gDataStoreList;
QEL_PROCESS_WIDE TDelVTabList<QELSizedDataStoreTraits> gSizedDataStoreList;
QEL_PROCESS_WIDE TDelVTabList<QELDataBlockStreamTraits> gDataBlockStreamList;

}  // namespace

bool QELDataStoreTraits::Import(QELContainerHandle c, bool required, void** procs) {
    return ImportRows<kDataStoreRows>(c, required, procs);
}
bool QELSizedDataStoreTraits::Import(QELContainerHandle c, bool required, void** procs) {
    return ImportRows<kSizedDataStoreRows>(c, required, procs);
}
bool QELDataBlockStreamTraits::Import(QELContainerHandle c, bool required, void** procs) {
    return ImportRows<kDataBlockStreamRows>(c, required, procs);
}

QELVTabListGeneric& SimpleStreamList() noexcept { return gSimpleStreams.list; }
QELVTabListGeneric& RewindableStreamList() noexcept { return gRewindableStreams.list; }
QELVTabListGeneric& PositionableStreamList() noexcept { return gPositionableStreams.list; }

void** SimpleStreamMethods(QELContainerHandle stream) {
    return RequireMethodTable(SimpleStreamList(), stream, &ImportRows<kSimpleRows>);
}
void** RewindableStreamMethods(QELContainerHandle stream) {
    return RequireMethodTable(RewindableStreamList(), stream, &ImportRows<kRewindableRows>);
}
void** PositionableStreamMethods(QELContainerHandle stream) {
    return RequireMethodTable(PositionableStreamList(), stream, &ImportRows<kPositionableRows>);
}

}  // namespace QEL_T_MT
