#include "platform/thread_work_list.h"

#include <windows.h>

namespace qel::platform {

namespace {

// A TLS index rather than thread_local: this toolchain's thread_local is
// emulated, allocating each variable at its first access from each thread
// and aborting the process when that fails. TlsGetValue never allocates;
// TlsSetValue may, past the first 64 indexes, and then says when it failed.
class WorkListIndex final {
public:
    WorkListIndex() noexcept : index(TlsAlloc()) {}
    ~WorkListIndex() {
        if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
    }
    WorkListIndex(const WorkListIndex&) = delete;
    WorkListIndex& operator=(const WorkListIndex&) = delete;
    const DWORD index;
};
const WorkListIndex gWorkList;

}  // namespace

void* ThreadWorkList() noexcept {
    return gWorkList.index == TLS_OUT_OF_INDEXES ? nullptr : TlsGetValue(gWorkList.index);
}

bool SetThreadWorkList(void* list) noexcept {
    return gWorkList.index != TLS_OUT_OF_INDEXES && TlsSetValue(gWorkList.index, list) != 0;
}

}  // namespace qel::platform
