#include "objects/destruction.h"

#include "objects/pos_model.h"
#include "platform/thread_values.h"

namespace NPOSObjectImpl {

namespace {

// The objects waiting on this thread; it lives in the frame of the
// destruction that began first.
struct WorkList final {
    BaseObject* first = nullptr;
};

// Only these classes hold what can start further destructions: members, or
// a release procedure that may drop references of its own. The others are
// destroyed at once, one frame deep.
DestructionLink* LinkOf(BaseObject* object) noexcept {
    if (auto* array = As<Array>(object)) return &array->destruction;
    if (auto* dict = As<Dict>(object)) return &dict->destruction;
    if (auto* raw = As<RawPointer>(object)) return &raw->destruction;
    return nullptr;
}

}  // namespace

void DestroyObject(void* implementation) noexcept {
    auto* object = static_cast<BaseObject*>(implementation);
    if (object == nullptr) return;
    using qel::platform::ThreadValue;
    if (auto* waiting = reinterpret_cast<WorkList*>(GetThreadValue(ThreadValue::DestructionList))) {
        if (DestructionLink* link = LinkOf(object)) {
            link->next = waiting->first;
            waiting->first = object;
            return;
        }
        delete object;
        return;
    }
    WorkList list;
    // Without the list (the platform could not store it) destruction
    // recurses as deep as the nesting: still correct, only deeper.
    const bool listed = SetThreadValue(ThreadValue::DestructionList, reinterpret_cast<uintptr_t>(&list));
    delete object;
    while (list.first != nullptr) {
        BaseObject* next = list.first;
        list.first = LinkOf(next)->next;
        delete next;
    }
    if (listed) SetThreadValue(ThreadValue::DestructionList, 0);
}

void DestroyIterator(void* implementation) noexcept { delete static_cast<DictIterator*>(implementation); }

}  // namespace NPOSObjectImpl
