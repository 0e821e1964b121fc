// The serializer module: POSStreamerInterface.
#include "frame/host_binding.h"
#include "frame/modules.h"
#include "serializer/streamer.h"

namespace {
bool Publish() { return QEL_T_MT::RegisterProcTable(NPOSStreamerImpl::StreamerTable()); }
void Withdraw() noexcept { QEL_T_MT::WithdrawInterface(qelutils::contract::POSStreamerInterface::kName); }
}  // namespace

const qel::Module qel::kSerializerModule = {&Publish, &Withdraw};
