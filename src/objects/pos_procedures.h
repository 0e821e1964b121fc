// The procedures of the ten property-object tables, in publication order.
#pragma once

#include "objects/pos_interfaces.h"
#include "objects/pos_model.h"

namespace NPOSObjectImpl {

struct POSPublication final {
    const ProcImport* rows;  // names, terminated by an empty row
    void* procs[7];          // in row order
};

extern const POSPublication kPublications[kPOSInterfaceCount];

// The walk behind the published DeepGet: the addressed value, or empty.
CPOSObject DeepGet(const Dict& dict, const char* address);

}  // namespace NPOSObjectImpl
