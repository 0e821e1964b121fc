#include "objects/dict_tree.h"

#include <cstring>

namespace NPOSObjectImpl {

namespace {

// strcmp compares as unsigned bytes up to the first difference or NUL.
int Compare(const char* a, const char* b) noexcept { return std::strcmp(a, b); }

bool IsRed(const DictNode* node) noexcept { return node != nullptr && node->colour == DictNode::Red; }

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

DictTree::~DictTree() {
    // Post-order without recursion: descend, free the leaf, climb.
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
            delete node;
            node = parent;
        }
    }
}

DictNode* DictTree::Find(const char* key) const noexcept {
    DictNode* node = root;
    while (node != nullptr) {
        const int c = Compare(key, node->key.text());
        if (c == 0) return node;
        node = c < 0 ? node->left : node->right;
    }
    return nullptr;
}

void DictTree::Put(const QELStringAtomRef& key, const CPOSObject& value) {
    if (DictNode* node = Find(key.text())) {
        node->value = value;
        return;
    }
    // Only making the node can fail, and the new-expression frees it then:
    // the tree is touched once the node is whole.
    Insert(new DictNode{nullptr, nullptr, nullptr, DictNode::Red, key, value});
}

void DictTree::Insert(DictNode* fresh) noexcept {
    const char* key = fresh->key.text();
    // Top-down: split every node with two red children on the way down.
    DictNode* parent = nullptr;
    for (DictNode* x = root; x != nullptr;) {
        if (IsRed(x->left) && IsRed(x->right)) {
            x->colour = DictNode::Red;
            x->left->colour = DictNode::Black;
            x->right->colour = DictNode::Black;
            // A rotation keeps x's subtree below x: the walk goes on from x.
            RepairRedRed(x);
        }
        parent = x;
        x = Compare(key, x->key.text()) < 0 ? x->left : x->right;
    }
    fresh->parent = parent;
    if (parent == nullptr)
        root = fresh;
    else if (Compare(key, parent->key.text()) < 0)
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
    delete node;
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
