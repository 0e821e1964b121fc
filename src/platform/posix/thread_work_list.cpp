#include "platform/thread_work_list.h"

namespace qel::platform {

namespace {

// Initial-exec: the library's thread-local block is then laid out with each
// thread (static TLS). Otherwise the C library of a host that loads the
// library at run time allocates that block at the first access from each
// thread, and aborts the process when it cannot.
thread_local void* tWorkList __attribute__((tls_model("initial-exec"))) = nullptr;

}  // namespace

void* ThreadWorkList() noexcept { return tWorkList; }

bool SetThreadWorkList(void* list) noexcept {
    tWorkList = list;
    return true;
}

}  // namespace qel::platform
