// The property-object module: ten interfaces, published and withdrawn in
// the same order.
#include "frame/host_binding.h"
#include "frame/modules.h"

namespace {

constexpr const char* kInterfaces[] = {
    "POSObjectInterface",     "POSObjectStatics",       "POSNumberInterface", "POSStringInterface",
    "POSUnicodeStringInterface", "POSBinDataInterface", "POSRawPointerInterface", "POSArrayInterface",
    "POSDictInterface",       "POSDictIteratorInterface",
};

bool Publish() { return true; }
void Withdraw() noexcept {
    for (const char* name : kInterfaces) QEL_T_MT::WithdrawInterface(name);
}

}  // namespace

const qel::Module qel::kObjectsModule = {&Publish, &Withdraw};
