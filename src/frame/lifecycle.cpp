// The three exports, and the fixed order in which the library starts and stops.
#include "frame/errors.h"
#include "frame/host_binding.h"
#include "frame/lazy_terminate.h"
#include "frame/modules.h"
#include "frame/own_names.h"
#include "platform/process_detach.h"
#include "qelutils/qelutils.h"

namespace {

// Set by the first Initialize, cleared by Terminate; a failed Initialize
// leaves it set until Terminate undoes everything.
bool gInitialised = false;

// Start-up order; shut-down withdraws in the reverse order of modules.
const qel::Module* const kModules[] = {
    &qel::kObjectsModule,
    &qel::kSerializerModule,
    &qel::kValidatorModule,
    &qel::kFilesModule,
};
constexpr unsigned kModuleCount = sizeof(kModules) / sizeof(kModules[0]);

bool StartUp(QELResolverProc resolver) {
    if (!QEL_T_MT::Bind(resolver)) return false;
    if (!QEL_T_MT::CreateOwnNameAtoms()) return false;
    for (const qel::Module* module : kModules)
        if (!module->publish()) return false;
    return true;
}

void ShutDown() {
    for (unsigned i = kModuleCount; i-- > 0;) kModules[i]->withdraw();
    QEL_T_MT::ReleaseOwnNameAtoms();
    QEL_T_MT::Unbind();
}

}  // namespace

extern "C" QELUTILS_API uint32_t QELUtilsGetVersion(void) { return QELUTILS_INTERFACE_VERSION; }

extern "C" QELUTILS_API int32_t QELUtilsInitialize(QELResolverProc resolver) {
    if (gInitialised) return 0;
    gInitialised = true;
    try {
        return StartUp(resolver) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" QELUTILS_API void QELUtilsTerminate(void) {
    if (!gInitialised) return;
    gInitialised = false;
    try {
        ShutDown();
    } catch (...) {
    }
}

void qel::frame::OnProcessDetach() noexcept {
    QEL_T_MT::LazyTerminate::ProcessDetachAll();
    QEL_T_MT::ReplaceReleaseProcsByNoops();
}
