#include "frame/stream_tables.h"

#include "frame/process_wide.h"

namespace QEL_T_MT {

namespace {

template <class Table>
class CQELStreamTerminate : public VTabListTerminate {
public:
    CQELStreamTerminate() noexcept : VTabListTerminate(Table::kCount, true) {}
};
class CQELSimpleStreamTerminate final : public CQELStreamTerminate<SimpleStream> {};
class CQELRewindableStreamTerminate final : public CQELStreamTerminate<RewindableStream> {};
class CQELPositionableStreamTerminate final : public CQELStreamTerminate<PositionableStream> {};

QEL_PROCESS_WIDE CQELSimpleStreamTerminate gSimpleStreams;
QEL_PROCESS_WIDE CQELRewindableStreamTerminate gRewindableStreams;
QEL_PROCESS_WIDE CQELPositionableStreamTerminate gPositionableStreams;

QEL_PROCESS_WIDE TDelVTabList<QELDataStoreTraits> gDataStoreList;
QEL_PROCESS_WIDE TDelVTabList<QELSizedDataStoreTraits> gSizedDataStoreList;
QEL_PROCESS_WIDE TDelVTabList<QELDataBlockStreamTraits> gDataBlockStreamList;

}  // namespace

QELVTabListGeneric& SimpleStreamList() noexcept { return gSimpleStreams.list; }
QELVTabListGeneric& RewindableStreamList() noexcept { return gRewindableStreams.list; }
QELVTabListGeneric& PositionableStreamList() noexcept { return gPositionableStreams.list; }

void** SimpleStreamMethods(QELContainerHandle stream) {
    return RequireMethodTable(SimpleStreamList(), stream, &ImportTable<SimpleStream>);
}
void** RewindableStreamMethods(QELContainerHandle stream) {
    return RequireMethodTable(RewindableStreamList(), stream, &ImportTable<RewindableStream>);
}
void** PositionableStreamMethods(QELContainerHandle stream) {
    return RequireMethodTable(PositionableStreamList(), stream, &ImportTable<PositionableStream>);
}

}  // namespace QEL_T_MT
