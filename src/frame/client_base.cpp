#include "frame/client_base.h"

#include <new>

#include "frame/host_calls.h"

namespace QEL_T_MT {

void* CQELClientBase::operator new(std::size_t size) {
    void* block = host::Alloc(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void CQELClientBase::operator delete(void* block) noexcept {
    if (block != nullptr) host::Free(block);
}

void* CQELClientBase::operator new(std::size_t size, std::size_t tail) {
    if (tail > SIZE_MAX - size) throw std::bad_alloc();
    return operator new(size + tail);
}

void CQELClientBase::operator delete(void* block, std::size_t) noexcept { operator delete(block); }

}  // namespace QEL_T_MT
