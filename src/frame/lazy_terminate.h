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

    ~LazyTerminate() override = default;
    virtual bool Initialize() { return true; }
    virtual void Terminate() {}
    virtual void ProcessDetach() {}

    // The passes over the one lazy-termination list.
    static bool InitializeAll() noexcept;
    static void TerminateAll() noexcept;
    static void ProcessDetachAll() noexcept;

    static List& TheList() noexcept;

protected:
    LazyTerminate() noexcept : double_linked_list_element(&TheList()) {}
};

}  // namespace QEL_T_MT
