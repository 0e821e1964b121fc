// The two guards that every published procedure wears, so that no exception
// ever reaches the host.
#pragma once

#include <exception>
#include <utility>

#include "frame/errors.h"
#include "frame/host_binding.h"

namespace QEL_T_MT {

namespace detail {
void ReportCaught(const std::exception& e) noexcept;
void ReportUnknown() noexcept;
QELErrorHandle ErrorForCaught(const std::exception& e) noexcept;
QELErrorHandle ErrorForUnknown() noexcept;
}  // namespace detail

// Reporting guard: a failure becomes one QELReportError call and the given
// failure value.
template <class Result, class Body>
Result Reporting(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& e) {
        detail::ReportCaught(e);
    } catch (...) {
        detail::ReportUnknown();
    }
    return failure;
}

template <class Body>
void Reporting(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (const std::exception& e) {
        detail::ReportCaught(e);
    } catch (...) {
        detail::ReportUnknown();
    }
}

// Error-returning guard: null on success, else an error handle holding one
// reference for the caller.
template <class Body>
QELErrorHandle ErrorReturning(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return nullptr;
    } catch (const std::exception& e) {
        return detail::ErrorForCaught(e);
    } catch (...) {
        return detail::ErrorForUnknown();
    }
}

}  // namespace QEL_T_MT
