// The published property-object procedures: the ten tables.
#pragma once

#include "objects/pos_model.h"

namespace NPOSObjectImpl {

// Publishes the ten tables in order, stopping at the first refusal.
bool PublishPOSTables();
// Withdraws them by name in the same order, published or not.
void WithdrawPOSTables() noexcept;

// The walk behind the published DeepGet: the addressed value's handle (no
// reference), or null.
QELContainerHandle DeepGet(const Dict& dict, const char* address);

}  // namespace NPOSObjectImpl
