// One owned reference to a host shared buffer.
#pragma once

#include <cstdint>

#include "frame/host_calls.h"
#include "frame/host_services.h"

namespace QEL_T_MT {

class QELSharedBuffRef final {
public:
    // A new buffer of the host's own memory; std::bad_alloc when none.
    static QELSharedBuffRef New(uint64_t size) {
        return QELSharedBuffRef(NewSharedBuffer(size, nullptr, nullptr, nullptr));
    }
    // Takes a reference of our own to a borrowed buffer; null stays null.
    static QELSharedBuffRef Borrow(QELSharedBuffHandle buffer) {
        if (buffer != nullptr) host::BufferAddRef(buffer);
        return QELSharedBuffRef(buffer);
    }
    QELSharedBuffRef(QELSharedBuffRef&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    QELSharedBuffRef(const QELSharedBuffRef&) = delete;
    QELSharedBuffRef& operator=(const QELSharedBuffRef&) = delete;
    ~QELSharedBuffRef() {
        if (handle_ != nullptr) host::BufferRelease(handle_);
    }

    QELSharedBuffHandle handle() const noexcept { return handle_; }
    char* Data() const { return static_cast<char*>(host::GetBuffer(handle_)); }
    uint64_t Size() const { return host::GetBufferSize(handle_); }

private:
    explicit QELSharedBuffRef(QELSharedBuffHandle adopted) noexcept : handle_(adopted) {}
    QELSharedBuffHandle handle_;
};

}  // namespace QEL_T_MT
