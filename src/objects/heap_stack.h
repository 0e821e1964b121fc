// The open levels of a walk over nested values, kept on the heap instead of
// the call stack, so that nesting costs no stack. The innermost level goes
// first, also when unwinding, as a recursion would give its levels up.
#pragma once

#include <memory>
#include <utility>
#include <vector>

namespace NPOSObjectImpl {

template <class Level>
class HeapStack final {
public:
    HeapStack() = default;
    ~HeapStack() {
        while (!levels_.empty()) levels_.pop_back();
    }
    HeapStack(const HeapStack&) = delete;
    HeapStack& operator=(const HeapStack&) = delete;

    // A level that refuses to be made (a nesting guard) is never pushed.
    template <class... Args>
    Level& Push(Args&&... args) {
        levels_.push_back(std::make_unique<Level>(std::forward<Args>(args)...));
        return *levels_.back();
    }
    void Pop() { levels_.pop_back(); }
    Level& Top() const { return *levels_.back(); }
    bool empty() const noexcept { return levels_.empty(); }

private:
    std::vector<std::unique_ptr<Level>> levels_;
};

}  // namespace NPOSObjectImpl
