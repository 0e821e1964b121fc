// The dictionary's entries: a red-black tree ordered by the keys' bytes.
// Insertion keeps it balanced (top-down, no recursion); removal only unlinks,
// so after a removal the tree may break the colour rules (a red root, red
// under red, unequal black heights) and every operation must cope with that.
#pragma once

#include <cstdint>

#include "frame/atom_ref.h"
#include "objects/pos_client.h"

namespace NPOSObjectImpl {

using QEL_T_MT::CPOSObject;
using QEL_T_MT::QELStringAtomRef;

// One entry. The tree's nodes come from the ordinary heap, not the host's.
struct DictNode final {
    enum Colour : uint32_t { Red = 0, Black = 1 };
    DictNode* left = nullptr;
    DictNode* right = nullptr;
    DictNode* parent = nullptr;
    uint32_t colour = Red;
    QELStringAtomRef key;
    CPOSObject value;
};

class DictTree final {
public:
    DictTree() noexcept = default;
    // Frees every node (post-order, without recursion), releasing its value
    // and key.
    ~DictTree();
    DictTree(const DictTree&) = delete;
    DictTree& operator=(const DictTree&) = delete;

    DictNode* Find(const char* key) const noexcept;
    // An existing key takes the new value (the old one released once, the key
    // atom kept); a new key gets a new node.
    void Put(const QELStringAtomRef& key, const CPOSObject& value);
    // Unlinks the entry, then releases it: a value whose release runs other
    // code finds the tree already consistent. An absent key changes nothing.
    void Remove(const char* key) noexcept;

    DictNode* root = nullptr;
    DictNode* end = nullptr;  // always null: the position past the last entry

private:
    void Insert(DictNode* fresh) noexcept;
    void Replace(DictNode* node, DictNode* child) noexcept;
    void RotateUp(DictNode* node) noexcept;
    void RepairRedRed(DictNode* node) noexcept;
};

// Walks in key order, shared by the dictionary and its iterators.
DictNode* Leftmost(DictNode* node) noexcept;
DictNode* Successor(DictNode* node) noexcept;

}  // namespace NPOSObjectImpl
