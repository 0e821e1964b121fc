#include "frame/lazy_terminate.h"

#include "frame/process_wide.h"
#include "platform/critical_section.h"

namespace QEL_T_MT {

namespace {
// Zero at load: elements link in during static construction, in any order.
LazyTerminate::List gLazyTerminateList;
QEL_PROCESS_WIDE qel::platform::CriticalSection gRuntimeLinks;
}  // namespace

LazyTerminate::LazyTerminate(RuntimeTag) : double_linked_list_element(nullptr), runtime_(true) {
    qel::platform::CriticalSectionLock hold(gRuntimeLinks);
    Link(&gLazyTerminateList);
}

LazyTerminate::~LazyTerminate() {
    if (!runtime_) return;  // the base unlinks static elements
    qel::platform::CriticalSectionLock hold(gRuntimeLinks);
    Unlink();
}

LazyTerminate::List& LazyTerminate::TheList() noexcept { return gLazyTerminateList; }

bool LazyTerminate::InitializeAll() noexcept {
    for (LazyTerminate* e = gLazyTerminateList.first(); e != nullptr; e = e->next()) {
        bool ok = false;
        try {
            ok = e->Initialize();
        } catch (...) {
        }
        if (ok) continue;
        // Undo only the elements before the one that failed.
        for (LazyTerminate* done = gLazyTerminateList.first(); done != e; done = done->next()) {
            try {
                done->Terminate();
            } catch (...) {
            }
        }
        return false;
    }
    return true;
}

void LazyTerminate::TerminateAll() noexcept {
    for (LazyTerminate* e = gLazyTerminateList.first(); e != nullptr; e = e->next()) {
        try {
            e->Terminate();
        } catch (...) {
        }
    }
}

void LazyTerminate::ProcessDetachAll() noexcept {
    for (LazyTerminate* e = gLazyTerminateList.first(); e != nullptr; e = e->next()) {
        try {
            e->ProcessDetach();
        } catch (...) {
        }
    }
}

}  // namespace QEL_T_MT
