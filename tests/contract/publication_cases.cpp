// Publications that must not compile, each selected by QEL_CASE; case 0 is
// the correct one, so that the others fail for their own fault alone.
#include "qelutils/contract.h"

namespace {

using namespace qelutils::contract;
using Number = POSNumberInterface;

QELContainerHandle NewNumber(double) { return nullptr; }
int32_t IsNumber(QELContainerHandle) { return 0; }
double GetNumber(QELContainerHandle) { return 0.0; }
double GetNumberWithAnotherParameter(QELStringAtom) { return 0.0; }
int32_t IsString(QELContainerHandle) { return 0; }
uint64_t BlockSize(void*) { return 0; }
void* Alloc(uint64_t) noexcept { return nullptr; }
void* Realloc(void*, uint64_t) { return nullptr; }
void Free(void*) {}

}  // namespace

int main() {
#if QEL_CASE == 0  // correct, whatever the order the rows are written in
    const Publication table(Publish<Number::Get>(&GetNumber), Publish<Number::NewPOSNumber>(&NewNumber),
                            Publish<Number::IsPOSNumber>(&IsNumber));
    const Publication unspecified(Publish<QELMemoryInterface::Alloc>(&Alloc), Publish<QELMemoryInterface::Realloc>(&Realloc),
                                  Publish<QELMemoryInterface::Free>(&Free),
                                  PublishUnspecified<QELMemoryInterface::GetBlockSize>(&BlockSize));
    return table.rows()[Number::Get].proc != nullptr && unspecified.count() == 4 ? 0 : 1;
#elif QEL_CASE == 1  // the procedures of two rows swapped
    const Publication table(Publish<Number::NewPOSNumber>(&IsNumber), Publish<Number::IsPOSNumber>(&NewNumber),
                            Publish<Number::Get>(&GetNumber));
#elif QEL_CASE == 2  // a procedure whose parameter type differs from its row's
    const Publication table(Publish<Number::NewPOSNumber>(&NewNumber), Publish<Number::IsPOSNumber>(&IsNumber),
                            Publish<Number::Get>(&GetNumberWithAnotherParameter));
#elif QEL_CASE == 3  // a row left out
    const Publication table(Publish<Number::NewPOSNumber>(&NewNumber), Publish<Number::Get>(&GetNumber));
#elif QEL_CASE == 4  // a row given twice, another left out
    const Publication table(Publish<Number::NewPOSNumber>(&NewNumber), Publish<Number::Get>(&GetNumber),
                            Publish<Number::Get>(&GetNumber));
#elif QEL_CASE == 5  // a row of another table
    const Publication<Number> table(Publish<Number::NewPOSNumber>(&NewNumber), Publish<Number::Get>(&GetNumber),
                                    Publish<POSStringInterface::IsPOSString>(&IsString));
#elif QEL_CASE == 6  // a row that has a C type published as one without
    const auto row = PublishUnspecified<Number::Get>(&GetNumber);
#elif QEL_CASE == 7  // a row without a C type cannot be called, nor published as if it had one
    const auto row = Publish<QELMemoryInterface::GetBlockSize>(&BlockSize);
    [](const ProcType<QELMemoryInterface::GetBlockSize>& blockSize) { blockSize(nullptr); };
#endif
    return 0;
}
