// One owned reference to a host container.
#pragma once

#include "qelutils/qel_types.h"

namespace QEL_T_MT {

class QELContainerRef final {
public:
    QELContainerRef() noexcept = default;
    // Takes a reference (AddRef); a refusal is CQELError "invalid container".
    explicit QELContainerRef(QELContainerHandle handle);
    QELContainerRef(const QELContainerRef& other);
    QELContainerRef(QELContainerRef&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    QELContainerRef& operator=(QELContainerRef other) noexcept {
        swap(other);
        return *this;
    }
    ~QELContainerRef();

    QELContainerHandle handle() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void swap(QELContainerRef& other) noexcept {
        QELContainerHandle h = handle_;
        handle_ = other.handle_;
        other.handle_ = h;
    }
    void Reset() noexcept;

    // Hands the container to a caller that receives no reference: drops ours
    // with DecrementWithoutDelete, so the object outlives this value.
    QELContainerHandle ReleaseForReturn() noexcept;

private:
    QELContainerHandle handle_ = nullptr;
};

}  // namespace QEL_T_MT
