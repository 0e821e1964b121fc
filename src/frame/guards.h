// The two guards that every published procedure wears, so that no exception
// ever reaches the host.
#pragma once

#include <cstdint>
#include <exception>
#include <type_traits>
#include <utility>

#include "frame/errors.h"
#include "frame/host_binding.h"

namespace QEL_T_MT {

// A failure that a published procedure of this library has already reported
// to the host: the library's own client layer passes it on without a second
// report, so that a failure deep inside a nested call fails the whole call
// instead of being lost, and is reported exactly once.
class CReportedFailure final : public std::exception {
public:
    const char* what() const noexcept override { return "the failure was reported"; }
};

// Failures reported by the reporting guard on this thread so far.
uint64_t ReportedFailures() noexcept;

// Runs a client call of a published procedure; when that procedure reported
// a failure, throws CReportedFailure.
template <class Call>
auto Checked(Call&& call) {
    const uint64_t before = ReportedFailures();
    if constexpr (std::is_void_v<decltype(call())>) {
        std::forward<Call>(call)();
        if (ReportedFailures() != before) throw CReportedFailure();
    } else {
        auto result = std::forward<Call>(call)();
        if (ReportedFailures() != before) throw CReportedFailure();
        return result;
    }
}

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
    } catch (const CReportedFailure&) {
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
    } catch (const CReportedFailure&) {
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
    } catch (const CReportedFailure&) {
        return detail::ErrorForUnknown();
    } catch (const std::exception& e) {
        return detail::ErrorForCaught(e);
    } catch (...) {
        return detail::ErrorForUnknown();
    }
}

}  // namespace QEL_T_MT
