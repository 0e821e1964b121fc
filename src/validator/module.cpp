// The validator module: POSValidatorInterface, then POSStructValidatorInterface.
#include "frame/host_binding.h"
#include "frame/modules.h"

namespace {
bool Publish() { return true; }
// The struct validator goes first: the order is fixed, not the reverse of
// publication.
void Withdraw() noexcept {
    QEL_T_MT::WithdrawInterface("POSStructValidatorInterface");
    QEL_T_MT::WithdrawInterface("POSValidatorInterface");
}
}  // namespace

const qel::Module qel::kValidatorModule = {&Publish, &Withdraw};
