// Equality. The library's own members are compared directly, as their
// published IsEqual would compare them; another component's member through
// its own IsEqual procedure. The collections still being compared wait on
// the heap, so that nesting costs no stack.
#include <cstring>
#include <vector>

#include "frame/guards.h"
#include "objects/nesting.h"
#include "objects/pos_model.h"

namespace NPOSObjectImpl {

namespace {

using QEL_T_MT::Proc;
using POSObjectInterface = qelutils::contract::POSObjectInterface;

// Two scalars of one class.
bool ScalarsEqual(const BaseObject& a, const BaseObject& b) noexcept {
    switch (a.Kind()) {
        case ObjectKind::Number:  // NaN equals nothing
            return static_cast<const Number&>(a).value == static_cast<const Number&>(b).value;
        case ObjectKind::String:  // interned: same text, same pointer
            return static_cast<const String&>(a).text.text() == static_cast<const String&>(b).text.text();
        case ObjectKind::UnicodeString: {
            const auto& x = static_cast<const UnicodeString&>(a);
            const auto& y = static_cast<const UnicodeString&>(b);
            return x.count == y.count && std::memcmp(x.units, y.units, x.count * sizeof(uint16_t)) == 0;
        }
        case ObjectKind::BinData: {
            const auto& x = static_cast<const BinData&>(a);
            const auto& y = static_cast<const BinData&>(b);
            return x.typeName.text() == y.typeName.text() && x.size == y.size &&
                   (x.size == 0 || std::memcmp(x.data, y.data, x.size) == 0);
        }
        case ObjectKind::RawPointer:  // any two raw pointers are equal
            return true;
        default:
            return false;
    }
}

// Another component's member, asked through its own IsEqual.
bool ForeignEqual(QELContainerHandle member, QELContainerHandle other) {
    const auto isEqual = Proc<POSObjectInterface::IsEqual>(QEL_T_MT::BindObjectMethods(member));
    const uint64_t reported = QEL_T_MT::ReportedFailures();
    const int32_t equal = isEqual(member, other);
    if (QEL_T_MT::ReportedFailures() != reported) throw QEL_T_MT::CReportedFailure();
    return equal != 0;
}

// Two collections of one class being compared, and where the comparison
// stands.
struct Level final {
    BaseObject* mine = nullptr;
    BaseObject* theirs = nullptr;
    uint32_t index = 0;              // arrays: the next pair
    DictNode* mineNext = nullptr;    // dictionaries: the next entry of each
    DictNode* theirsNext = nullptr;
    bool theirsHasMore = false;      // a key of theirs that mine lacks was passed
    // For members: the two containers, and references taken on them before
    // another component's IsEqual runs (see PinLevels).
    QELContainerHandle mineHandle = nullptr;
    QELContainerHandle theirsHandle = nullptr;
    QELContainerRef minePin;
    QELContainerRef theirsPin;
};

class EqualityWalk final {
public:
    bool Run(BaseObject& root, QELContainerHandle other) {
        Outcome outcome = Start(root, nullptr, other);
        if (outcome != Outcome::Opened) return outcome == Outcome::Equal;
        for (;;) {
            QELContainerHandle a = nullptr;
            QELContainerHandle b = nullptr;
            switch (Next(open_.back(), a, b)) {
                case Step::Unequal:
                    return false;
                case Step::Skip:
                    continue;
                case Step::Done:
                    open_.pop_back();
                    levels_.Leave();
                    if (open_.empty()) return true;
                    continue;
                case Step::Pair:
                    break;
            }
            if (BaseObject* own = OwnObject(a)) {
                outcome = Start(*own, a, b);
                if (outcome == Outcome::Unequal) return false;
            } else {
                PinLevels();
                if (!ForeignEqual(a, b)) return false;
                // An entry removed meanwhile leaves a spare node, without a key.
                const Level& now = open_.back();
                if ((now.mineNext != nullptr && !now.mineNext->key) ||
                    (now.theirsNext != nullptr && !now.theirsNext->key))
                    throw QEL_T_MT::POSException("the dictionary changed while it was compared");
            }
        }
    }

private:
    enum class Outcome { Unequal, Equal, Opened };
    enum class Step { Pair, Skip, Done, Unequal };

    // One of our objects against any value, as the published IsEqual does
    // it: the other bound first, then (for a collection) the level counted,
    // then the other resolved.
    Outcome Start(BaseObject& mine, QELContainerHandle mineHandle, QELContainerHandle other) {
        if (OwnObject(other) == nullptr) {
            const QELContainerRef held(other);
            QEL_T_MT::BindObjectMethods(other);
        }
        const bool collection = mine.IsCollection();
        if (collection) levels_.Enter();
        BaseObject* theirs = Implementation(other);
        if (theirs == nullptr || theirs->Kind() != mine.Kind()) {
            if (collection) levels_.Leave();
            return Outcome::Unequal;
        }
        if (!collection) return ScalarsEqual(mine, *theirs) ? Outcome::Equal : Outcome::Unequal;
        Level level;
        level.mine = &mine;
        level.theirs = theirs;
        if (mineHandle != nullptr) {
            level.mineHandle = mineHandle;
            level.theirsHandle = other;
        }
        if (const Dict* dict = As<Dict>(&mine)) {
            level.mineNext = Leftmost(dict->tree.root);
            level.theirsNext = Leftmost(static_cast<Dict*>(theirs)->tree.root);
        } else if (static_cast<Array&>(mine).count != static_cast<Array*>(theirs)->count) {
            levels_.Leave();
            return Outcome::Unequal;
        }
        open_.push_back(std::move(level));
        return Outcome::Opened;
    }

    static Step Next(Level& level, QELContainerHandle& a, QELContainerHandle& b) {
        if (const Array* mine = As<Array>(level.mine)) {
            if (level.index >= mine->count) return Step::Done;
            const Array& theirs = static_cast<const Array&>(*level.theirs);
            a = mine->members[level.index].handle();
            b = theirs.members[level.index].handle();
            ++level.index;
            // An empty slot equals only an empty slot.
            if (a == nullptr || b == nullptr) return a == b ? Step::Skip : Step::Unequal;
            return Step::Pair;
        }
        // Each of my keys in order is looked for among theirs, which are
        // passed in order too: a key of theirs passed on the way is one that
        // mine lacks, which makes the two unequal once all of mine have been
        // compared.
        DictNode* key = level.mineNext;
        if (key == nullptr) return level.theirsHasMore || level.theirsNext != nullptr ? Step::Unequal : Step::Done;
        DictNode* candidate = level.theirsNext;
        while (candidate != nullptr && CompareKeys(candidate->key.text(), key->key.text()) < 0) {
            level.theirsHasMore = true;
            candidate = Successor(candidate);
        }
        if (candidate == nullptr || candidate->key.text() != key->key.text()) return Step::Unequal;
        a = key->value.handle();
        b = candidate->value.handle();
        level.mineNext = Successor(key);
        level.theirsNext = Successor(candidate);
        return Step::Pair;
    }

    // Another component's IsEqual may call back into this library and change
    // the collections being compared (the caller holds only the outermost
    // two): each gets a reference of its own first, kept until compared.
    void PinLevels() {
        for (Level& level : open_) {
            if (level.mineHandle == nullptr || level.minePin) continue;
            level.minePin = QELContainerRef(level.mineHandle);
            level.theirsPin = QELContainerRef(level.theirsHandle);
        }
    }

    ThreadLevels levels_;
    std::vector<Level> open_;
};

}  // namespace

bool IsEqualObject(BaseObject& object, QELContainerHandle other) { return EqualityWalk().Run(object, other); }

}  // namespace NPOSObjectImpl
