// Thread values as the compiler's own thread-locals, in the initial-exec
// model: the library's thread-local block is then laid out with each thread
// (static TLS), where otherwise the C library of a host that loads the
// library at run time allocates it at a thread's first access and aborts the
// process when it cannot. Inline: the nesting and report counts sit on hot
// paths.
#pragma once

namespace qel::platform {

namespace detail {
inline thread_local uintptr_t tThreadValues[static_cast<unsigned>(ThreadValue::Count)]
    __attribute__((tls_model("initial-exec")));
}  // namespace detail

inline uintptr_t GetThreadValue(ThreadValue which) noexcept {
    return detail::tThreadValues[static_cast<unsigned>(which)];
}

inline bool SetThreadValue(ThreadValue which, uintptr_t value) noexcept {
    detail::tThreadValues[static_cast<unsigned>(which)] = value;
    return true;
}

}  // namespace qel::platform
