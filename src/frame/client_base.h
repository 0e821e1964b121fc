// Allocation policies: objects the host may own live on the host's heap.
#pragma once

#include <cstddef>

namespace QEL_T_MT {

// Objects of derived classes come from the host memory Alloc and go back with
// Free; a null Alloc is std::bad_alloc.
class CQELClientBase {
public:
    static void* operator new(std::size_t size);
    static void operator delete(void* block) noexcept;
    // Variable-sized objects: a fixed part plus a tail given at allocation.
    static void* operator new(std::size_t size, std::size_t tail);
    static void operator delete(void* block, std::size_t tail) noexcept;
};

// Method-table elements, whose size is given at allocation time.
class CQELClientBasePMT : public CQELClientBase {};

// Deletable through a base pointer by the host's destroy callback.
class CQELVirtualClientBase : public CQELClientBase {
public:
    virtual ~CQELVirtualClientBase() = default;
};

}  // namespace QEL_T_MT
