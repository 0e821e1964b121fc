// The serializer module: POSStreamerInterface.
#include "frame/host_binding.h"
#include "frame/modules.h"

namespace {
bool Publish() { return true; }
void Withdraw() noexcept { QEL_T_MT::WithdrawInterface("POSStreamerInterface"); }
}  // namespace

const qel::Module qel::kSerializerModule = {&Publish, &Withdraw};
