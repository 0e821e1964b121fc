// Doubly linked intrusive lists whose heads need no construction: a head is a
// zero-initialised process-wide object, so elements may link themselves in
// during static construction in any order.
#pragma once

#include <cstdint>

namespace QEL_T_MT {

template <class Element, class Policy>
class double_linked_list_element;

template <class Element, class Policy>
struct no_construct_double_linked_list {
    using link_type = double_linked_list_element<Element, Policy>;

    // Links are kept as the element base: an element links itself in from
    // that base's constructor, before it is an Element.
    link_type* firstLink;
    uint64_t count;

    Element* first() const noexcept { return firstLink != nullptr ? static_cast<Element*>(firstLink) : nullptr; }
    // Forgets every element without touching any (they may be gone).
    void Abandon() noexcept {
        firstLink = nullptr;
        count = 0;
    }
};

template <class Element, class Policy>
class double_linked_list_element : public Policy {
public:
    using list_type = no_construct_double_linked_list<Element, Policy>;

    Element* next() const noexcept { return nextLink != nullptr ? static_cast<Element*>(nextLink) : nullptr; }

protected:
    // Links the element at the front of its list (none: linked later).
    explicit double_linked_list_element(list_type* list) noexcept : nextLink(nullptr), prevLink(nullptr), parent(nullptr) {
        if (list != nullptr) Link(list);
    }

    virtual ~double_linked_list_element() { Unlink(); }

    void Link(list_type* list) noexcept {
        nextLink = list->firstLink;
        prevLink = nullptr;
        parent = list;
        if (nextLink != nullptr) nextLink->prevLink = this;
        list->firstLink = this;
        ++list->count;
    }

    void Unlink() noexcept {
        if (parent == nullptr) return;
        if (prevLink != nullptr)
            prevLink->nextLink = nextLink;
        else
            parent->firstLink = nextLink;
        if (nextLink != nullptr) nextLink->prevLink = prevLink;
        --parent->count;
        parent = nullptr;
    }

    double_linked_list_element(const double_linked_list_element&) = delete;
    double_linked_list_element& operator=(const double_linked_list_element&) = delete;

private:
    double_linked_list_element* nextLink;
    double_linked_list_element* prevLink;
    list_type* parent;
};

}  // namespace QEL_T_MT
