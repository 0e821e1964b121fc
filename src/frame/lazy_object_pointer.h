// A critical section made on first use, owned by one library object and
// given up at termination or process detach like every other process-wide
// resource.
#pragma once

#include <atomic>

#include "frame/lazy_terminate.h"
#include "platform/critical_section.h"

namespace QEL_T_MT {

// Lives on the runtime heap, not the host's.
class DWEMutualExclusion final {
public:
    qel::platform::CriticalSection section;
};

template <class T>
class TQELLazyObjectPointer final : public LazyTerminate {
public:
    TQELLazyObjectPointer() : LazyTerminate(RuntimeTag{}) {}
    ~TQELLazyObjectPointer() override { delete pointer_.exchange(nullptr); }

    // The object, made at first use; two threads asking at once get one.
    T& Get() {
        T* current = pointer_.load(std::memory_order_acquire);
        if (current != nullptr) return *current;
        T* fresh = new T;
        if (pointer_.compare_exchange_strong(current, fresh, std::memory_order_acq_rel)) return *fresh;
        delete fresh;
        return *current;
    }
    bool Made() const noexcept { return pointer_.load(std::memory_order_acquire) != nullptr; }

    void Terminate() override { delete pointer_.exchange(nullptr); }
    void ProcessDetach() override { pointer_.store(nullptr); }

private:
    std::atomic<T*> pointer_{nullptr};
};

}  // namespace QEL_T_MT
