// Cloning: scalars are shared, collections copied deeply. The library's own
// members are copied directly, as their published Clone would copy them;
// another component's member through its own Clone procedure. The
// collections still being copied wait on the heap, so that nesting costs no
// stack.
#include <utility>
#include <vector>

#include "frame/guards.h"
#include "objects/nesting.h"
#include "objects/pos_model.h"

namespace NPOSObjectImpl {

namespace {

using QEL_T_MT::Proc;
using POSObjectInterface = qelutils::contract::POSObjectInterface;

// A collection being copied: the source, its copy (no container yet), and
// the member to copy next.
struct Level final {
    BaseObject* source = nullptr;
    Owned<BaseObject> copy;
    uint32_t index = 0;        // an array's next member
    DictNode* node = nullptr;  // a dictionary's next entry
    QELContainerHandle handle = nullptr;  // the source's, for a member
    QELContainerRef pin;                  // see PinLevels
};

// The copy of another component's member, made by its own Clone. When that
// gives nothing, a Clone of this library (met further down) has reported
// why, or the owner decided what to say: either way the copy fails here.
QELContainerRef CloneForeign(QELContainerHandle member) {
    const auto clone = Proc<POSObjectInterface::Clone>(QEL_T_MT::BindObjectMethods(member));
    const uint64_t reported = QEL_T_MT::ReportedFailures();
    const QELContainerHandle copy = clone(member);
    if (copy != nullptr) return BindMember(copy);
    if (QEL_T_MT::ReportedFailures() != reported) throw QEL_T_MT::CReportedFailure();
    throw QEL_T_MT::POSException("CPOSObject::Clone failed");
}

class CloneWalk final {
public:
    BaseObject* Run(BaseObject& root) {
        Enter(root);
        for (;;) {
            Level& top = open_.back();
            QELContainerHandle member = nullptr;
            if (const Array* source = As<Array>(top.source)) {
                if (top.index < source->count) {
                    member = source->members[top.index++].handle();
                    // An empty slot stays empty in the copy.
                    if (member == nullptr) {
                        static_cast<Array&>(*top.copy).count = top.index;
                        continue;
                    }
                }
            } else if (top.node != nullptr) {
                member = top.node->value.handle();
            }

            QELContainerRef value;
            if (member == nullptr) {
                Owned<BaseObject> copy = std::move(top.copy);
                open_.pop_back();
                levels_.Leave();
                if (open_.empty()) return copy.release();
                value = QELContainerRef(NewObjectContainer(std::move(copy)));
            } else if (BaseObject* own = OwnObject(member)) {
                if (own->IsCollection()) {
                    Enter(*own, member);
                    continue;
                }
                value = QELContainerRef(member);  // scalars are shared
            } else {
                PinLevels();
                value = CloneForeign(member);
                // An entry being copied, here or further up, may have gone
                // meanwhile: its node is then a spare one, without a key.
                bool gone = top.node != nullptr && top.node->value.handle() != member;
                for (const Level& level : open_) gone = gone || (level.node != nullptr && !level.node->key);
                if (gone) throw QEL_T_MT::POSException("the dictionary changed while it was copied");
            }
            Add(open_.back(), std::move(value));
        }
    }

private:
    // Counted before anything is made, so that too deep a value is refused
    // first.
    void Enter(BaseObject& source, QELContainerHandle handle = nullptr) {
        levels_.Enter();
        Level level;
        level.source = &source;
        level.handle = handle;
        if (const Array* array = As<Array>(&source)) {
            Owned<Array> copy = MakeObject<Array>();
            copy->Reserve(array->count);
            level.copy = std::move(copy);
        } else {
            Owned<Dict> copy = MakeObject<Dict>();
            const DictTree& tree = static_cast<const Dict&>(source).tree;
            copy->tree.Reserve(tree.Size());
            level.copy = std::move(copy);
            level.node = Leftmost(tree.root);
        }
        open_.push_back(std::move(level));
    }

    // Another component's Clone may call back into this library and change
    // the collections being copied (the caller holds only the outermost):
    // each gets a reference of its own first, kept until it is copied.
    void PinLevels() {
        for (Level& level : open_)
            if (level.handle != nullptr && !level.pin) level.pin = QELContainerRef(level.handle);
    }

    // Entries come in key order, each greater than those copied before it.
    static void Add(Level& level, QELContainerRef value) {
        if (Array* copy = As<Array>(level.copy.get())) {
            copy->Append(std::move(value));
            return;
        }
        static_cast<Dict&>(*level.copy).tree.PutGreatest(level.node->key, std::move(value));
        level.node = Successor(level.node);
    }

    ThreadLevels levels_;
    std::vector<Level> open_;
};

}  // namespace

BaseObject* CloneObject(BaseObject& object) {
    if (!object.IsCollection()) return &object;
    return CloneWalk().Run(object);
}

}  // namespace NPOSObjectImpl
