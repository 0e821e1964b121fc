// Doubly linked intrusive lists whose heads need no construction: a head is a
// zero-initialised process-wide object, so elements may link themselves in
// during static construction in any order.
#pragma once

#include <cstdint>

namespace QEL_T_MT {

template <class Element, class Policy>
struct no_construct_double_linked_list {
    Element* first;
    uint64_t count;
};

template <class Element, class Policy>
class double_linked_list_element : public Policy {
public:
    using list_type = no_construct_double_linked_list<Element, Policy>;

    Element* next;
    Element* prev;
    list_type* parent;

protected:
    // Links the element at the front of its list.
    explicit double_linked_list_element(list_type* list) noexcept : next(list->first), prev(nullptr), parent(list) {
        if (next != nullptr) next->prev = self();
        list->first = self();
        ++list->count;
    }

    virtual ~double_linked_list_element() {
        if (prev != nullptr)
            prev->next = next;
        else
            parent->first = next;
        if (next != nullptr) next->prev = prev;
        --parent->count;
    }

    double_linked_list_element(const double_linked_list_element&) = delete;
    double_linked_list_element& operator=(const double_linked_list_element&) = delete;

private:
    Element* self() noexcept { return static_cast<Element*>(this); }
};

}  // namespace QEL_T_MT
