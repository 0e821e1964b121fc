// The library's exception classes and the conversions between exceptions and
// host error handles.
#pragma once

#include <cstdint>
#include <exception>

#include "frame/atom_ref.h"
#include "qelutils/qel_types.h"

// A failure with a fixed, static message.
class DWEException : public std::exception {
public:
    explicit DWEException(const char* message) noexcept : message_(message) {}
    const char* what() const noexcept override { return message_; }

private:
    const char* message_;
};

namespace QEL_T_MT {

// Property-object, notation, format and schema failures.
class POSException : public DWEException {
public:
    using DWEException::DWEException;
};

// Wraps one owned reference to a host error object.
class CQELError final : public std::exception {
public:
    struct AdoptTag final {};
    static constexpr AdoptTag kAdopt{};

    CQELError() noexcept = default;
    explicit CQELError(uint32_t coreErrorCode);
    CQELError(const char* message, const char* component, uint32_t id, uint64_t value1 = 0,
              uint64_t value2 = 0);
    CQELError(QELErrorHandle handle, AdoptTag) noexcept : handle_(handle) {}
    CQELError(const CQELError& other) noexcept;
    explicit CQELError(const std::exception& e);
    CQELError& operator=(const CQELError&) = delete;
    ~CQELError() override;

    const char* what() const noexcept override;
    QELStringAtomRef Message() const;
    QELStringAtomRef Component() const;
    QELErrorHandle handle() const noexcept { return handle_; }

    // Replaces the held handle by an adopted one (the old one is released).
    void Adopt(QELErrorHandle handle) noexcept;

private:
    QELErrorHandle handle_ = nullptr;
};

// The process-wide generic error (core error 0), held while bound.
CQELError& GenericError() noexcept;

// Throws for a non-null handle returned by a host procedure: std::bad_alloc for
// the out-of-memory error (component "DWE", ID 1), CQELError otherwise.
[[noreturn]] void ThrowErrorHandle(QELErrorHandle handle);
inline void CheckHostResult(QELErrorHandle handle) {
    if (handle != nullptr) ThrowErrorHandle(handle);
}

[[noreturn]] void ThrowQELError(const char* message, const char* component, uint32_t id,
                                uint64_t value1 = 0, uint64_t value2 = 0);

// An owned handle describing a caught exception.
QELErrorHandle ErrorHandleFromException(const std::exception& e);

// The text that reports a caught exception: std::bad_alloc reads the same on
// every platform, whatever the C++ runtime calls it.
const char* ReportText(const std::exception& e) noexcept;

inline constexpr const char kBadAllocation[] = "bad allocation";
inline constexpr const char kUnknownError[] = "unknown QEL error";

}  // namespace QEL_T_MT
