#include "frame/container_ref.h"

#include "frame/errors.h"
#include "frame/host_calls.h"

namespace QEL_T_MT {

namespace {
[[noreturn]] void ThrowInvalidContainer() { ThrowQELError("invalid container", "", 0); }
}  // namespace

QELContainerRef::QELContainerRef(QELContainerHandle handle) {
    if (host::ContainerAddRef(handle) == 0) ThrowInvalidContainer();
    handle_ = handle;
}

QELContainerRef::QELContainerRef(const QELContainerRef& other) {
    // An empty reference copies as empty, whatever the host says of AddRef(null).
    if (other.handle_ == nullptr) return;
    if (host::ContainerAddRef(other.handle_) == 0) ThrowInvalidContainer();
    handle_ = other.handle_;
}

QELContainerRef::~QELContainerRef() {
    if (handle_ != nullptr) host::ContainerRelease(handle_);
}

void QELContainerRef::Reset() noexcept {
    if (handle_ != nullptr) host::ContainerRelease(handle_);
    handle_ = nullptr;
}

QELContainerHandle QELContainerRef::ReleaseForReturn() noexcept {
    QELContainerHandle h = handle_;
    if (h != nullptr) host::DecrementWithoutDelete(h);
    handle_ = nullptr;
    return h;
}

}  // namespace QEL_T_MT
