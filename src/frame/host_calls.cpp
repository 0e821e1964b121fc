#include "frame/host_calls.h"

namespace QEL_T_MT::host {

void DeleteStringAtom(QELStringAtom atom) noexcept {
    if (auto proc = Slot<QELDeleteStringAtomProc>(ReleaseTable(HostInterface::String), slot::DeleteStringAtom))
        proc(atom);
}

QELErrorHandle ErrorAddRef(QELErrorHandle e) noexcept {
    auto proc = Slot<QELErrorAddRefProcV2>(ReleaseTable(HostInterface::Error), slot::ErrorAddRef);
    return proc != nullptr ? proc(e) : e;
}

void ErrorRelease(QELErrorHandle e) noexcept {
    if (auto proc = Slot<QELErrorReleaseProc>(ReleaseTable(HostInterface::Error), slot::ErrorRelease))
        proc(e);
}

void Free(void* block) noexcept {
    if (auto proc = Slot<QELMemFreeProc>(ReleaseTable(HostInterface::Memory), slot::Free)) proc(block);
}

void ContainerRelease(QELContainerHandle c) noexcept {
    if (auto proc = Slot<QELReleaseContainerProc>(ReleaseTable(HostInterface::Container), slot::ContainerRelease))
        proc(c);
}

void DecrementWithoutDelete(QELContainerHandle c) noexcept {
    if (auto proc = Slot<QELDecrementWithoutDeleteProc>(ReleaseTable(HostInterface::Container),
                                                        slot::DecrementWithoutDelete))
        proc(c);
}

void BufferRelease(QELSharedBuffHandle b) noexcept {
    if (auto proc = Slot<QELSharedBuffReleaseProc>(ReleaseTable(HostInterface::SharedBuff), slot::BufferRelease))
        proc(b);
}

}  // namespace QEL_T_MT::host
