#include "objects/pos_model.h"

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "frame/errors.h"
#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "objects/nesting.h"

namespace NPOSObjectImpl {

using QEL_T_MT::POSException;

BaseObject* Implementation(QELContainerHandle handle) {
    return static_cast<BaseObject*>(QEL_T_MT::FindOwnInstance(handle, QEL_T_MT::OwnKind::POSObject));
}

template <class T>
T& Resolve(QELContainerHandle handle, const char* message) {
    T* object = As<T>(Implementation(handle));
    if (object == nullptr) throw POSException(message);
    return *object;
}

template Number& Resolve<Number>(QELContainerHandle, const char*);
template String& Resolve<String>(QELContainerHandle, const char*);
template UnicodeString& Resolve<UnicodeString>(QELContainerHandle, const char*);
template BinData& Resolve<BinData>(QELContainerHandle, const char*);
template RawPointer& Resolve<RawPointer>(QELContainerHandle, const char*);
template Array& Resolve<Array>(QELContainerHandle, const char*);
template Dict& Resolve<Dict>(QELContainerHandle, const char*);

namespace {

template <class T>
T* SameClass(const CPOSObject& other) {
    return As<T>(Implementation(other.handle()));
}

}  // namespace

// ------------------------------------------------------------------ scalars

bool Number::IsEqual(const CPOSObject& other) {
    const Number* n = SameClass<Number>(other);
    return n != nullptr && n->value == value;  // NaN equals nothing
}

bool String::IsEqual(const CPOSObject& other) {
    const String* s = SameClass<String>(other);
    return s != nullptr && s->text.text() == text.text();  // interned: same text, same pointer
}

UnicodeString::UnicodeString(const uint16_t* source) {
    uint64_t n = 0;
    while (source[n] != 0) ++n;
    count = n + 1;
    units = static_cast<uint16_t*>(QEL_T_MT::HostAlloc(count * sizeof(uint16_t)));
    std::memcpy(units, source, count * sizeof(uint16_t));
}

UnicodeString::~UnicodeString() { QEL_T_MT::host::Free(units); }

bool UnicodeString::IsEqual(const CPOSObject& other) {
    const UnicodeString* u = SameClass<UnicodeString>(other);
    return u != nullptr && u->count == count && std::memcmp(u->units, units, count * sizeof(uint16_t)) == 0;
}

BinData::BinData(const char* name, const void* bytes, uint32_t byteCount)
    : typeName(name),
      buffer(QEL_T_MT::QELSharedBuffRef::New(byteCount)),
      data(reinterpret_cast<const uint8_t*>(buffer.Data())),
      size(byteCount) {
    if (size != 0) std::memcpy(buffer.Data(), bytes, size);
}

BinData::~BinData() = default;

bool BinData::IsEqual(const CPOSObject& other) {
    const BinData* b = SameClass<BinData>(other);
    return b != nullptr && b->typeName.text() == typeName.text() && b->size == size &&
           (size == 0 || std::memcmp(b->data, data, size) == 0);
}

RawPointer::~RawPointer() {
    if (release != nullptr) release(pointer);
}

bool RawPointer::IsEqual(const CPOSObject& other) { return SameClass<RawPointer>(other) != nullptr; }

// ------------------------------------------------------------------ array

Array::~Array() {
    for (uint32_t i = 0; i < capacity; ++i) members[i].~CPOSObject();
    QEL_T_MT::host::Free(members);
}

void Array::Reserve(uint64_t slots) {
    if (slots <= capacity) return;
    uint64_t grown = capacity == 0 ? 4 : uint64_t{capacity} * 2;
    while (grown < slots) grown *= 2;
    if (grown > UINT32_MAX) grown = UINT32_MAX;
    if (grown < slots) throw std::bad_alloc();
    auto* block = static_cast<CPOSObject*>(QEL_T_MT::HostAlloc(grown * sizeof(CPOSObject)));
    // Members move into the new block: the references go with them.
    for (uint32_t i = 0; i < capacity; ++i) {
        new (&block[i]) CPOSObject(std::move(members[i]));
        members[i].~CPOSObject();
    }
    for (uint64_t i = capacity; i < grown; ++i) new (&block[i]) CPOSObject();
    QEL_T_MT::host::Free(members);
    members = block;
    capacity = static_cast<uint32_t>(grown);
}

CPOSObject Array::GetAt(uint32_t index) const { return index < count ? members[index] : CPOSObject(); }

void Array::SetAt(uint32_t index, const CPOSObject& value) {
    Reserve(uint64_t{index} + 1);
    members[index] = value;
    if (index >= count) count = index + 1;
}

void Array::Append(const CPOSObject& value) {
    if (count == UINT32_MAX) throw std::bad_alloc();
    Reserve(uint64_t{count} + 1);
    members[count] = value;
    ++count;
}

void Array::Remove(uint32_t index) {
    if (index >= count) return;
    CPOSObject removed(std::move(members[index]));
    for (uint32_t i = index; i + 1 < count; ++i) members[i] = std::move(members[i + 1]);
    members[count - 1].Reset();
    --count;
}

BaseObject* Array::Clone() {
    const NestingGuard nesting;
    auto* copy = new Array;
    try {
        copy->Reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            // An empty slot stays empty in the copy.
            if (members[i].empty())
                copy->count = i + 1;
            else
                copy->Append(members[i].Clone());
        }
    } catch (...) {
        delete copy;
        throw;
    }
    return copy;
}

bool Array::IsEqual(const CPOSObject& other) {
    const NestingGuard nesting;
    const Array* a = SameClass<Array>(other);
    if (a == nullptr || a->count != count) return false;
    for (uint32_t i = 0; i < count; ++i) {
        if (members[i].empty() || a->members[i].empty()) {
            if (members[i].empty() != a->members[i].empty()) return false;
            continue;
        }
        if (!members[i].IsEqual(a->members[i])) return false;
    }
    return true;
}

// ------------------------------------------------------------------ dictionary

namespace {

int Compare(const char* a, const char* b) noexcept { return std::strcmp(a, b); }  // unsigned bytes

bool IsRed(const DictNode* n) noexcept { return n != nullptr && n->colour == DictNode::Red; }

DictNode* Find(DictNode* node, const char* key) noexcept {
    while (node != nullptr) {
        const int c = Compare(key, node->key.text());
        if (c == 0) return node;
        node = c < 0 ? node->left : node->right;
    }
    return nullptr;
}

// Puts child where node stood under node's parent.
void Replace(DictTree& tree, DictNode* node, DictNode* child) noexcept {
    if (child != nullptr) child->parent = node->parent;
    if (node->parent == nullptr)
        tree.root = child;
    else if (node->parent->left == node)
        node->parent->left = child;
    else
        node->parent->right = child;
}

// Lifts node over its parent.
void RotateUp(DictTree& tree, DictNode* node) noexcept {
    DictNode* parent = node->parent;
    Replace(tree, parent, node);
    if (parent->left == node) {
        parent->left = node->right;
        if (node->right != nullptr) node->right->parent = parent;
        node->right = parent;
    } else {
        parent->right = node->left;
        if (node->left != nullptr) node->left->parent = parent;
        node->left = parent;
    }
    parent->parent = node;
}

// A red node under a red parent: a single or double rotation at the
// grandparent repairs it.
void RepairRedRed(DictTree& tree, DictNode* node) noexcept {
    DictNode* parent = node->parent;
    if (parent == nullptr || parent->colour != DictNode::Red) return;
    DictNode* grand = parent->parent;  // exists: the root is black
    grand->colour = DictNode::Red;
    if ((parent->left == node) != (grand->left == parent)) {
        RotateUp(tree, node);
        parent = node;
    }
    RotateUp(tree, parent);
    parent->colour = DictNode::Black;
}

void FreeTree(DictNode* root) noexcept {
    // Post-order without recursion: descend, free the leaf, climb.
    DictNode* node = root;
    while (node != nullptr) {
        if (node->left != nullptr) {
            node = node->left;
        } else if (node->right != nullptr) {
            node = node->right;
        } else {
            DictNode* parent = node->parent;
            if (parent != nullptr) (parent->left == node ? parent->left : parent->right) = nullptr;
            delete node;
            node = parent;
        }
    }
}

}  // namespace

DictNode* Leftmost(DictNode* node) noexcept {
    if (node == nullptr) return nullptr;
    while (node->left != nullptr) node = node->left;
    return node;
}

DictNode* Successor(DictNode* node) noexcept {
    if (node->right != nullptr) return Leftmost(node->right);
    DictNode* up = node->parent;
    while (up != nullptr && Compare(up->key.text(), node->key.text()) < 0) up = up->parent;
    return up;
}

Dict::Dict() : tree(new DictTree) {}

Dict::~Dict() {
    FreeTree(tree->root);
    delete tree;
}

CPOSObject Dict::Get(const char* key, bool quiet) const {
    if (const DictNode* node = Find(tree->root, key)) return node->value;
    if (!quiet) throw POSException("Dict::Get lookup failed");
    return CPOSObject();
}

void Dict::Put(const QELStringAtomRef& key, const CPOSObject& value) {
    if (DictNode* node = Find(tree->root, key.text())) {
        node->value = value;  // the old value is released once, the key atom kept
        return;
    }
    auto* fresh = new DictNode{nullptr, nullptr, nullptr, DictNode::Red, key, value};
    // Top-down: split every node with two red children on the way down.
    DictNode* parent = nullptr;
    for (DictNode* x = tree->root; x != nullptr;) {
        if (IsRed(x->left) && IsRed(x->right)) {
            x->colour = DictNode::Red;
            x->left->colour = DictNode::Black;
            x->right->colour = DictNode::Black;
            RepairRedRed(*tree, x);
        }
        parent = x;
        x = Compare(key.text(), x->key.text()) < 0 ? x->left : x->right;
    }
    fresh->parent = parent;
    if (parent == nullptr)
        tree->root = fresh;
    else if (Compare(key.text(), parent->key.text()) < 0)
        parent->left = fresh;
    else
        parent->right = fresh;
    RepairRedRed(*tree, fresh);
    tree->root->colour = DictNode::Black;
}

void Dict::Remove(const char* key) {
    DictNode* node = Find(tree->root, key);
    if (node == nullptr) return;
    if (node->left == nullptr) {
        Replace(*tree, node, node->right);
    } else if (node->right == nullptr) {
        Replace(*tree, node, node->left);
    } else {
        DictNode* successor = Leftmost(node->right);
        Replace(*tree, successor, successor->right);
        successor->left = node->left;
        successor->right = node->right;
        if (successor->left != nullptr) successor->left->parent = successor;
        if (successor->right != nullptr) successor->right->parent = successor;
        successor->colour = node->colour;
        Replace(*tree, node, successor);
    }
    delete node;
}

BaseObject* Dict::Clone() {
    const NestingGuard nesting;
    auto* copy = new Dict;
    try {
        for (ConstDictIterator it(tree); !it.IsDone(); it.Next())
            copy->Put(it.current->key, Get(it.current->key.text(), false).Clone());
    } catch (...) {
        delete copy;
        throw;
    }
    return copy;
}

bool Dict::IsEqual(const CPOSObject& other) {
    const NestingGuard nesting;
    const Dict* d = SameClass<Dict>(other);
    if (d == nullptr) return false;
    for (ConstDictIterator it(tree); !it.IsDone(); it.Next()) {
        const CPOSObject theirs = d->Get(it.current->key.text(), true);
        if (theirs.empty() || !it.current->value.IsEqual(theirs)) return false;
    }
    for (ConstDictIterator it(d->tree); !it.IsDone(); it.Next())
        if (Find(tree->root, it.current->key.text()) == nullptr) return false;
    return true;
}

// ------------------------------------------------------------------ destruction

namespace {

// Releasing a collection releases its members, whose destruction may release
// theirs: objects whose destruction begins while another is under way on the
// same thread wait in this list, so that depth never reaches the stack.
struct DeferredDestruction final {
    bool active = false;
    std::vector<BaseObject*> pending;
};
thread_local DeferredDestruction tDeferred;

}  // namespace

void DestroyObject(void* implementation) {
    auto* object = static_cast<BaseObject*>(implementation);
    if (object == nullptr) return;
    DeferredDestruction& d = tDeferred;
    if (d.active) {
        try {
            d.pending.push_back(object);
            return;
        } catch (...) {
            // No room to defer: destroy now, on the stack.
        }
        delete object;
        return;
    }
    d.active = true;
    delete object;
    while (!d.pending.empty()) {
        BaseObject* next = d.pending.back();
        d.pending.pop_back();
        delete next;
    }
    d.active = false;
}

void DestroyIterator(void* implementation) { delete static_cast<DictIterator*>(implementation); }

QELContainerHandle NewObjectContainer(BaseObject* object) {
    try {
        return QEL_T_MT::NewOwnContainer(object, QEL_T_MT::OwnKind::POSObject, &DestroyObject);
    } catch (...) {
        delete object;
        throw;
    }
}

}  // namespace NPOSObjectImpl
