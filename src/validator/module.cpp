// The validator module: POSValidatorInterface, then POSStructValidatorInterface.
#include "frame/host_binding.h"
#include "frame/modules.h"
#include "validator/validator_procs.h"

namespace {
bool Publish() {
    using NPOSValidatorImpl::kStructValidatorRows;
    using NPOSValidatorImpl::kValidatorRows;
    return QEL_T_MT::RegisterProcTable(kValidatorRows, QEL_T_MT::RowCount(kValidatorRows), "POSValidatorInterface") &&
           QEL_T_MT::RegisterProcTable(kStructValidatorRows, QEL_T_MT::RowCount(kStructValidatorRows),
                                       "POSStructValidatorInterface");
}
// The struct validator goes first: the order is fixed, not the reverse of
// publication.
void Withdraw() noexcept {
    QEL_T_MT::WithdrawInterface("POSStructValidatorInterface");
    QEL_T_MT::WithdrawInterface("POSValidatorInterface");
}
}  // namespace

const qel::Module qel::kValidatorModule = {&Publish, &Withdraw};
