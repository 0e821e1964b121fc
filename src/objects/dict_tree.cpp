#include "objects/dict_tree.h"

#include "objects/prefetch.h"

#include <algorithm>
#include <new>
#include <utility>

namespace NPOSObjectImpl {

namespace {

bool IsRed(const DictNode* node) noexcept { return node != nullptr && node->colour == DictNode::Red; }

}  // namespace

int CompareKeys(std::string_view a, const char* b) noexcept {
    for (size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        // y == 0: b ended first, the longer a sorts after it.
        if (x != y) return x < y ? -1 : 1;
    }
    return b[a.size()] == '\0' ? 0 : -1;
}

DictNode* Leftmost(DictNode* node) noexcept {
    if (node == nullptr) return nullptr;
    while (node->left != nullptr) node = node->left;
    return node;
}

// Without a right subtree, the successor is the first ancestor reached from
// its left: the first one whose key is greater, found by the links alone.
DictNode* Successor(DictNode* node) noexcept {
    if (node->right != nullptr) return Leftmost(node->right);
    DictNode* up = node->parent;
    while (up != nullptr && up->right == node) {
        node = up;
        up = up->parent;
    }
    return up;
}

struct DictTree::NodeBlock final {
    NodeBlock* next;
    uint32_t capacity;
    uint32_t used;  // nodes constructed, from the front
    DictNode* Nodes() noexcept { return reinterpret_cast<DictNode*>(this + 1); }
};

namespace {

// A dictionary's first block holds four entries, each next one twice as many
// as the one before, up to a few kilobytes a block.
constexpr uint32_t kFirstBlockNodes = 4;
constexpr uint32_t kLargestBlockNodes = 64;
constexpr uint32_t kPrefetchedBlockNodes = 16;

// An entry's references go in the order the node's destruction would give
// them back: the value, then the key.
void ReleaseEntry(DictNode* node) noexcept {
    { const QELContainerRef value = std::move(node->value); }
    { const QELStringAtomRef key = std::move(node->key); }
}

}  // namespace

DictTree::~DictTree() {
    // A small dictionary's values are all asked for at once, so that their
    // releases below do not wait for them one by one.
    for (NodeBlock* block = blocks_; block != nullptr; block = block->next)
        if (block->capacity <= kPrefetchedBlockNodes)
            for (uint32_t i = 0; i < block->used; ++i) PrefetchContainer(block->Nodes()[i].value.handle());
    // Post-order without recursion: descend, release the leaf, climb.
    DictNode* node = root;
    root = nullptr;
    while (node != nullptr) {
        if (node->left != nullptr) {
            node = node->left;
        } else if (node->right != nullptr) {
            node = node->right;
        } else {
            DictNode* parent = node->parent;
            if (parent != nullptr) (parent->left == node ? parent->left : parent->right) = nullptr;
            ReleaseEntry(node);
            node = parent;
        }
    }
    for (NodeBlock* block = blocks_; block != nullptr;) {
        NodeBlock* next = block->next;
        for (uint32_t i = 0; i < block->used; ++i) block->Nodes()[i].~DictNode();
        ::operator delete(block);
        block = next;
    }
}

DictTree::NodeBlock* DictTree::NewBlock(uint32_t capacity) {
    static_assert(sizeof(NodeBlock) % alignof(DictNode) == 0, "nodes follow the header aligned");
    auto* block = static_cast<NodeBlock*>(::operator new(sizeof(NodeBlock) + size_t{capacity} * sizeof(DictNode)));
    block->next = blocks_;
    block->capacity = capacity;
    block->used = 0;
    blocks_ = block;
    return block;
}

uint32_t DictTree::Size() const noexcept {
    uint32_t made = 0;
    for (const NodeBlock* block = blocks_; block != nullptr; block = block->next) made += block->used;
    for (const DictNode* n = spare_; n != nullptr; n = n->left) --made;
    return made;
}

void DictTree::Reserve(uint32_t entries) {
    uint32_t room = 0;
    for (DictNode* n = spare_; n != nullptr; n = n->left) ++room;
    if (blocks_ != nullptr) room += blocks_->capacity - blocks_->used;
    if (entries > room) NewBlock(entries - room);
}

DictNode* DictTree::MakeNode(QELStringAtomRef key, QELContainerRef value) {
    DictNode* node = spare_;
    if (node != nullptr) {
        spare_ = node->left;
        node->left = nullptr;
    } else {
        NodeBlock* block = blocks_;
        if (block == nullptr || block->used == block->capacity)
            block = NewBlock(block == nullptr ? kFirstBlockNodes
                                              : std::clamp(block->capacity * 2, kFirstBlockNodes, kLargestBlockNodes));
        node = new (&block->Nodes()[block->used]) DictNode{};
        ++block->used;
    }
    node->colour = DictNode::Red;
    node->key = std::move(key);
    node->value = std::move(value);
    return node;
}

namespace {

// The node of the key below root, or null; keys as a C string or a view.
template <class Key>
DictNode* FindBelow(DictNode* node, Key key) noexcept {
    while (node != nullptr) {
        const int c = CompareKeys(key, node->key.text());
        if (c == 0) return node;
        node = c < 0 ? node->left : node->right;
    }
    return nullptr;
}

}  // namespace

DictNode* DictTree::Find(const char* key) const noexcept { return FindBelow(root, key); }

DictNode* DictTree::Find(std::string_view key) const noexcept { return FindBelow(root, key); }

void DictTree::Put(QELStringAtomRef key, QELContainerRef value) {
    if (DictNode* node = Find(key.text())) {
        // The old value goes when this parameter does, after the node holds
        // the new one.
        node->value.swap(value);
        return;
    }
    PutNew(std::move(key), std::move(value));
}

void DictTree::PutNew(QELStringAtomRef key, QELContainerRef value) {
    // Only making the node can fail: the references passed in then go with
    // the parameters, and the tree is touched once the node is whole.
    DictNode* fresh = MakeNode(std::move(key), std::move(value));
    const char* text = fresh->key.text();
    Insert(fresh, [text](const DictNode* x) { return CompareKeys(text, x->key.text()) < 0; });
}

void DictTree::PutGreatest(QELStringAtomRef key, QELContainerRef value) {
    DictNode* fresh = MakeNode(std::move(key), std::move(value));
    Insert(fresh, [](const DictNode*) { return false; });
}

// below(x): whether the new key sorts before x's key.
template <class Below>
void DictTree::Insert(DictNode* fresh, Below below) noexcept {
    // Top-down: split every node with two red children on the way down.
    DictNode* parent = nullptr;
    bool left = false;
    for (DictNode* x = root; x != nullptr;) {
        if (IsRed(x->left) && IsRed(x->right)) {
            x->colour = DictNode::Red;
            x->left->colour = DictNode::Black;
            x->right->colour = DictNode::Black;
            // A rotation keeps x's subtree below x: the walk goes on from x.
            RepairRedRed(x);
        }
        parent = x;
        left = below(x);
        x = left ? x->left : x->right;
    }
    fresh->parent = parent;
    if (parent == nullptr)
        root = fresh;
    else if (left)
        parent->left = fresh;
    else
        parent->right = fresh;
    RepairRedRed(fresh);
    root->colour = DictNode::Black;
}

void DictTree::Remove(const char* key) noexcept {
    DictNode* node = Find(key);
    if (node == nullptr) return;
    if (node->left == nullptr) {
        Replace(node, node->right);
    } else if (node->right == nullptr) {
        Replace(node, node->left);
    } else {
        DictNode* successor = Leftmost(node->right);
        Replace(successor, successor->right);
        successor->left = node->left;
        successor->right = node->right;
        if (successor->left != nullptr) successor->left->parent = successor;
        if (successor->right != nullptr) successor->right->parent = successor;
        successor->colour = node->colour;
        Replace(node, successor);
    }
    // The node is spare before its references go: a release that runs other
    // code (even one that ends this dictionary) finds the tree consistent and
    // never the node again.
    // The locals go value first, then key, as the node's members would.
    const QELStringAtomRef keyAtom = std::move(node->key);
    const QELContainerRef value = std::move(node->value);
    node->parent = node->right = nullptr;
    node->left = spare_;
    spare_ = node;
}

// Puts child where node stood under node's parent.
void DictTree::Replace(DictNode* node, DictNode* child) noexcept {
    if (child != nullptr) child->parent = node->parent;
    if (node->parent == nullptr)
        root = child;
    else if (node->parent->left == node)
        node->parent->left = child;
    else
        node->parent->right = child;
}

// Lifts node over its parent, which must exist.
void DictTree::RotateUp(DictNode* node) noexcept {
    DictNode* parent = node->parent;
    Replace(parent, node);
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
// grandparent repairs it. Rotations keep the order whatever the colours, so
// a tree that removals left unbalanced stays a search tree.
void DictTree::RepairRedRed(DictNode* node) noexcept {
    DictNode* parent = node->parent;
    if (!IsRed(parent)) return;
    DictNode* grand = parent->parent;
    if (grand == nullptr) {
        // A red root (left so by a removal): blackening it adds one to every
        // path's black height alike, so it breaks no rule.
        parent->colour = DictNode::Black;
        return;
    }
    grand->colour = DictNode::Red;
    if ((parent->left == node) != (grand->left == parent)) {
        RotateUp(node);
        parent = node;
    }
    RotateUp(parent);
    parent->colour = DictNode::Black;
}

}  // namespace NPOSObjectImpl
