// Process-wide objects that hold host resources: initialised at binding,
// terminated at unbinding, told to abandon what they hold at process detach.
#pragma once

#include "frame/intrusive_list.h"

namespace QEL_T_MT {

// Policy of process-wide list elements: ordinary objects.
struct QELDLLEParent {};

class LazyTerminate : public double_linked_list_element<LazyTerminate, QELDLLEParent> {
public:
    using List = no_construct_double_linked_list<LazyTerminate, QELDLLEParent>;

    ~LazyTerminate() override;
    virtual bool Initialize() { return true; }
    virtual void Terminate() {}
    virtual void ProcessDetach() {}

    // The passes over the one lazy-termination list.
    static bool InitializeAll() noexcept;
    static void TerminateAll() noexcept;
    static void ProcessDetachAll() noexcept;

    static List& TheList() noexcept;

protected:
    // Process-wide elements link in during static construction.
    LazyTerminate() noexcept : double_linked_list_element(&TheList()) {}
    // Elements made while the library runs (per-object ones) may come and go
    // on several threads at once: they link and unlink under a lock.
    struct RuntimeTag final {};
    explicit LazyTerminate(RuntimeTag);

private:
    bool runtime_ = false;
};

}  // namespace QEL_T_MT
