// The directory module: QELUtilsDirInterface, then the single row of
// QELUtilsTempFileStreamFactory.
#include "frame/host_binding.h"
#include "frame/modules.h"

namespace {
bool Publish() { return true; }
void Withdraw() noexcept {
    QEL_T_MT::WithdrawInterface("QELUtilsDirInterface");
    QEL_T_MT::WithdrawInterface("QELUtilsTempFileStreamFactory");
}
}  // namespace

const qel::Module qel::kFilesModule = {&Publish, &Withdraw};
