// Destroying property objects. Releasing a collection releases its members,
// whose destruction may release theirs: objects whose destruction begins
// while another is under way on the same thread wait in a work list threaded
// through themselves, so that depth never reaches the stack, and destroying
// needs no memory.
#pragma once

#include <memory>

namespace NPOSObjectImpl {

class BaseObject;

// Where an object that can start further destructions (a collection, a raw
// pointer with its release procedure) waits its turn.
struct DestructionLink final {
    BaseObject* next = nullptr;
};

// Destroy callbacks handed to the host with each container.
void DestroyObject(void* implementation) noexcept;
void DestroyIterator(void* implementation) noexcept;

// A property object that no container holds yet, destroyed as the host would.
struct ObjectDeleter final {
    void operator()(BaseObject* object) const noexcept { DestroyObject(object); }
};
template <class T>
using Owned = std::unique_ptr<T, ObjectDeleter>;

}  // namespace NPOSObjectImpl
