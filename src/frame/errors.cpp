#include "frame/errors.h"

#include <cstring>
#include <new>

#include "frame/guards.h"
#include "frame/host_calls.h"
#include "frame/process_wide.h"
#include "platform/thread_values.h"

namespace QEL_T_MT {

using qel::platform::ThreadValue;

namespace {

// Making an error may itself fail (the error table cannot be refilled, and
// refilling throws an error of its own): such an error has no handle rather
// than recursing.
template <class Make>
QELErrorHandle MakeHandle(Make&& make) noexcept {
    // Without room to mark it, no error is made: the mark is what stops the
    // recursion.
    if (GetThreadValue(ThreadValue::MakingError) != 0 || !SetThreadValue(ThreadValue::MakingError, 1))
        return nullptr;
    QELErrorHandle handle = nullptr;
    try {
        if (CurrentTable<host::Errors>() != nullptr) handle = make();
    } catch (...) {
    }
    SetThreadValue(ThreadValue::MakingError, 0);
    return handle;
}

}  // namespace

CQELError::CQELError(uint32_t coreErrorCode)
    : handle_(MakeHandle([&] { return host::GetCoreError(coreErrorCode); })) {}

CQELError::CQELError(const char* message, const char* component, uint32_t id, uint64_t value1,
                     uint64_t value2)
    : handle_(MakeHandle([&] { return host::NewError(message, component, id, value1, value2); })) {}

CQELError::CQELError(const CQELError& other) noexcept : std::exception(other), handle_(other.handle_) {
    if (handle_ != nullptr) handle_ = host::ErrorAddRef(handle_);
}

CQELError::CQELError(const std::exception& e) : handle_(ErrorHandleFromException(e)) {}

CQELError::~CQELError() {
    if (handle_ != nullptr) host::ErrorRelease(handle_);
}

void CQELError::Adopt(QELErrorHandle handle) noexcept {
    QELErrorHandle old = handle_;
    handle_ = handle;
    if (old != nullptr) host::ErrorRelease(old);
}

const char* CQELError::what() const noexcept {
    if (handle_ != nullptr) {
        try {
            // The error holds its message atom, so the text lives as long as it.
            if (QELStringAtom message = host::GetErrorMessage(handle_)) {
                if (const char* text = host::GetCString(message)) return text;
            }
        } catch (...) {
        }
    }
    return "Invalid CQELError";
}

QELStringAtomRef CQELError::Message() const {
    if (handle_ == nullptr) return QELStringAtomRef("Invalid CQELError");
    return QELStringAtomRef(host::GetErrorMessage(handle_), false);
}

QELStringAtomRef CQELError::Component() const {
    if (handle_ == nullptr) return QELStringAtomRef("");
    return QELStringAtomRef(host::GetComponent(handle_), false);
}

namespace {
// Destroyed at unload after the process-detach hook has made Release a no-op.
QEL_PROCESS_WIDE CQELError gGenericError;
}  // namespace

CQELError& GenericError() noexcept { return gGenericError; }

void ThrowErrorHandle(QELErrorHandle handle) {
    CQELError error(handle, CQELError::kAdopt);
    const QELStringAtomRef component = error.Component();
    if (component.text() != nullptr && std::strcmp(component.text(), "DWE") == 0 && host::GetID(handle) == 1)
        throw std::bad_alloc();
    throw error;
}

void ThrowQELError(const char* message, const char* component, uint32_t id, uint64_t value1,
                   uint64_t value2) {
    throw CQELError(message, component, id, value1, value2);
}

QELErrorHandle ErrorHandleFromException(const std::exception& e) {
    if (auto* error = dynamic_cast<const CQELError*>(&e)) {
        QELErrorHandle h = error->handle();
        return h != nullptr ? host::ErrorAddRef(h) : nullptr;
    }
    if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return host::GetCoreError(1);
    return host::NewError(e.what(), "DWE", 0, 0, 0);
}

const char* ReportText(const std::exception& e) noexcept {
    if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return kBadAllocation;
    return e.what();
}

uint64_t ReportedFailures() noexcept { return GetThreadValue(ThreadValue::ReportedFailures); }

namespace {
// A thread that has no room for the count reports as before; only a nested
// failure's caller may then report it a second time.
void CountReport() noexcept { SetThreadValue(ThreadValue::ReportedFailures, ReportedFailures() + 1); }
}  // namespace

namespace detail {

void ReportCaught(const std::exception& e) noexcept {
    CountReport();
    ReportToHost(ReportText(e));
}

void ReportUnknown() noexcept {
    CountReport();
    ReportToHost(kUnknownError);
}

QELErrorHandle ErrorForCaught(const std::exception& e) noexcept {
    try {
        const CQELError temporary(e);
        return host::ErrorAddRef(temporary.handle());
    } catch (...) {
        // Making the error failed too (the host is out of memory): the
        // generic error still tells the caller that the call failed.
        return ErrorForUnknown();
    }
}

QELErrorHandle ErrorForUnknown() noexcept { return host::ErrorAddRef(GenericError().handle()); }

}  // namespace detail
}  // namespace QEL_T_MT
