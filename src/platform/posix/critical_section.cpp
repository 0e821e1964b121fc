#include "platform/critical_section.h"

#include <pthread.h>

#include <new>

namespace qel::platform {

static_assert(sizeof(pthread_mutex_t) <= 64, "mutex does not fit the inline storage");

// POSIX mutexes spin only as the C library sees fit; the spin count is a
// Windows notion and has no portable equivalent.
CriticalSection::CriticalSection(unsigned /*spinCount*/) noexcept {
    auto* m = new (storage_) pthread_mutex_t;
    pthread_mutex_init(m, nullptr);
}

CriticalSection::~CriticalSection() {
    pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(storage_));
}

void CriticalSection::Enter() noexcept { pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(storage_)); }
void CriticalSection::Leave() noexcept { pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(storage_)); }

}  // namespace qel::platform
