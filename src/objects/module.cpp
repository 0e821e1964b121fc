// The property-object module: ten interfaces, published and withdrawn in
// the same order.
#include "frame/modules.h"
#include "objects/pos_procedures.h"

const qel::Module qel::kObjectsModule = {&NPOSObjectImpl::PublishPOSTables, &NPOSObjectImpl::WithdrawPOSTables};
