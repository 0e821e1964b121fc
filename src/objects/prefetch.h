// A hint that a host container is about to be released: the host reads what
// its handle points at, and a destruction that releases a collection's
// members one after another otherwise waits for each of those reads in
// turn. Only a hint: any handle, of any host, may be given; nothing is read.
#pragma once

#include "qelutils/qel_types.h"

namespace NPOSObjectImpl {

inline void PrefetchContainer(QELContainerHandle handle) noexcept {
#if defined(__GNUC__)
    if (handle != nullptr) __builtin_prefetch(handle, 1);
#else
    (void)handle;
#endif
}

}  // namespace NPOSObjectImpl
