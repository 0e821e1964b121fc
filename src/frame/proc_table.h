// Rows of the tables through which the library imports host procedures and
// publishes its own, and the two operations over them.
#pragma once

#include <atomic>
#include <cstdint>

namespace QEL_T_MT {

struct ProcImport final {
    const char* methodName;
    const char* procTypeName;
};

struct ProcRegistration final {
    const char* methodName;
    const char* procTypeName;
    void* proc;
};

// Fills slots[0..count) from the resolver, last row first. Returns false when a
// method is missing while binding is in progress (or nothing is bound); once
// binding is complete a missing method throws CQELError (empty message, "QEL").
bool ImportProcTable(const ProcImport* rows, uint32_t count, const char* interfaceName,
                     std::atomic<void*>* slots);

// Publishes the first count rows; stops at the first refused row.
bool RegisterProcTable(const ProcRegistration* rows, uint32_t count, const char* interfaceName);

// Publication tables end with a row of empty names; it is not counted.
template <uint32_t N>
constexpr uint32_t RowCount(const ProcRegistration (&)[N]) {
    return N - 1;
}
template <uint32_t N>
constexpr uint32_t RowCount(const ProcImport (&)[N]) {
    return N - 1;
}

// Procedures cross the boundary as untyped addresses.
template <class Proc>
inline void* ProcAddress(Proc proc) noexcept {
    return reinterpret_cast<void*>(proc);
}
template <class Proc>
inline Proc ProcCast(void* address) noexcept {
    return reinterpret_cast<Proc>(address);
}

}  // namespace QEL_T_MT
