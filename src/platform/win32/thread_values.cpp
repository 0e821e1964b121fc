#include "platform/thread_values.h"

#include <windows.h>

namespace qel::platform {

namespace {

// TLS indexes rather than thread_local: this toolchain's thread_local is
// emulated, allocating each variable at its first access from each thread
// and aborting the process when that fails. TlsGetValue never allocates;
// TlsSetValue may, past the first 64 indexes of a process, and then says
// when it failed.
class ThreadValueIndexes final {
public:
    ThreadValueIndexes() noexcept {
        for (DWORD& index : indexes) index = TlsAlloc();
    }
    ~ThreadValueIndexes() {
        for (DWORD index : indexes)
            if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
    }
    ThreadValueIndexes(const ThreadValueIndexes&) = delete;
    ThreadValueIndexes& operator=(const ThreadValueIndexes&) = delete;

    DWORD indexes[static_cast<unsigned>(ThreadValue::Count)];
};
const ThreadValueIndexes gIndexes;

DWORD IndexOf(ThreadValue which) noexcept { return gIndexes.indexes[static_cast<unsigned>(which)]; }

}  // namespace

uintptr_t GetThreadValue(ThreadValue which) noexcept {
    const DWORD index = IndexOf(which);
    return index == TLS_OUT_OF_INDEXES ? 0 : reinterpret_cast<uintptr_t>(TlsGetValue(index));
}

bool SetThreadValue(ThreadValue which, uintptr_t value) noexcept {
    const DWORD index = IndexOf(which);
    return index != TLS_OUT_OF_INDEXES && TlsSetValue(index, reinterpret_cast<void*>(value)) != 0;
}

}  // namespace qel::platform
