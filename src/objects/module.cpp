// The property-object module: ten interfaces, published and withdrawn in
// the same order.
#include "frame/host_binding.h"
#include "frame/modules.h"
#include "objects/pos_procedures.h"

namespace {

using namespace NPOSObjectImpl;

bool Publish() {
    for (unsigned i = 0; i < kPOSInterfaceCount; ++i) {
        const POSPublication& p = kPublications[i];
        QEL_T_MT::ProcRegistration rows[8];
        uint32_t count = 0;
        for (; p.rows[count].methodName[0] != '\0'; ++count)
            rows[count] = {p.rows[count].methodName, p.rows[count].procTypeName, p.procs[count]};
        if (!QEL_T_MT::RegisterProcTable(rows, count, kPOSInterfaceNames[i])) return false;
    }
    return true;
}

void Withdraw() noexcept {
    for (const char* name : kPOSInterfaceNames) QEL_T_MT::WithdrawInterface(name);
}

}  // namespace

const qel::Module qel::kObjectsModule = {&Publish, &Withdraw};
