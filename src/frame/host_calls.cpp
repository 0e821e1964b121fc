#include "frame/host_calls.h"

namespace QEL_T_MT::host {

namespace {

// A release procedure that may be missing (never bound): then nothing.
template <auto S, class... Args>
void ReleaseThrough(Args... args) noexcept {
    if (const auto proc = ReleaseProc<S>()) proc(args...);
}

}  // namespace

void DeleteStringAtom(QELStringAtom atom) noexcept { ReleaseThrough<Strings::DeleteStringAtom>(atom); }

QELErrorHandle ErrorAddRef(QELErrorHandle e) noexcept {
    const auto proc = ReleaseProc<Errors::AddRef>();
    return proc != nullptr ? proc(e) : e;
}

void ErrorRelease(QELErrorHandle e) noexcept { ReleaseThrough<Errors::Release>(e); }
void Free(void* block) noexcept { ReleaseThrough<Memory::Free>(block); }
void ContainerRelease(QELContainerHandle c) noexcept { ReleaseThrough<Containers::Release>(c); }
void DecrementWithoutDelete(QELContainerHandle c) noexcept { ReleaseThrough<Containers::DecrementWithoutDelete>(c); }
void BufferRelease(QELSharedBuffHandle b) noexcept { ReleaseThrough<SharedBuffers::Release>(b); }

}  // namespace QEL_T_MT::host
