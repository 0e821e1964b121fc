// Process detach for the library linked statically into an executable, where
// no DLL entry point is called: a static object whose destructor runs at
// exit. It has default priority, so it is destroyed before the process-wide
// objects (QEL_PROCESS_WIDE) and after nothing of theirs. It is not compiled
// into QELUtils.dll, whose DllMain delivers the notice.
#include "platform/process_detach.h"

namespace {
struct DetachHook final {
    ~DetachHook() { qel::frame::OnProcessDetach(); }
};
}  // namespace

[[maybe_unused]] static DetachHook detachHook;
