// The validator module: POSValidatorInterface, then POSStructValidatorInterface.
#include "frame/host_binding.h"
#include "frame/modules.h"
#include "validator/validator_procs.h"

namespace {
bool Publish() {
    return QEL_T_MT::RegisterProcTables(
        std::tuple(NPOSValidatorImpl::ValidatorTable(), NPOSValidatorImpl::StructValidatorTable()));
}
// The struct validator goes first.
void Withdraw() noexcept {
    QEL_T_MT::WithdrawInterface(qelutils::contract::POSStructValidatorInterface::kName);
    QEL_T_MT::WithdrawInterface(qelutils::contract::POSValidatorInterface::kName);
}
}  // namespace

const qel::Module qel::kValidatorModule = {&Publish, &Withdraw};
