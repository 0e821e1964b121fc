#include "platform/process_detach.h"

// The loader runs destructor hooks when the library is unloaded or the
// process exits: the POSIX counterpart of a DLL's process-detach notice.
// The frame's static objects are constructed before this hook is registered
// and destroyed after it has run, because it is itself a static object here.
namespace {
struct DetachHook final {
    ~DetachHook() { qel::frame::OnProcessDetach(); }
};
}  // namespace

// Constructed in this translation unit's initialisation; its destructor runs in
// reverse order of construction among the library's statics.
[[maybe_unused]] static DetachHook detachHook;
