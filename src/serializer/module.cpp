// The serializer module: POSStreamerInterface.
#include "frame/host_binding.h"
#include "frame/modules.h"
#include "serializer/streamer.h"

namespace {
constexpr const char kInterface[] = "POSStreamerInterface";
bool Publish() {
    using NPOSStreamerImpl::kStreamerRows;
    return QEL_T_MT::RegisterProcTable(kStreamerRows, QEL_T_MT::RowCount(kStreamerRows), kInterface);
}
void Withdraw() noexcept { QEL_T_MT::WithdrawInterface(kInterface); }
}  // namespace

const qel::Module qel::kSerializerModule = {&Publish, &Withdraw};
