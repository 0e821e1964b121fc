// The dictionary's entries: a red-black tree ordered by the keys' bytes.
// Insertion keeps it balanced (top-down, no recursion); removal only unlinks,
// so after a removal the tree may break the colour rules (a red root, red
// under red, unequal black heights) and every operation must cope with that.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "frame/atom_ref.h"
#include "frame/container_ref.h"

namespace NPOSObjectImpl {

using QEL_T_MT::QELContainerRef;
using QEL_T_MT::QELStringAtomRef;

// One entry. The tree's nodes come from the ordinary heap, not the host's,
// carved from blocks that the tree owns (see DictTree). The value is a bare
// container reference.
struct DictNode final {
    enum Colour : uint32_t { Red = 0, Black = 1 };
    DictNode* left = nullptr;
    DictNode* right = nullptr;
    DictNode* parent = nullptr;
    uint32_t colour = Red;
    QELStringAtomRef key;
    QELContainerRef value;
};

// Keys in byte order: unsigned bytes up to the first difference or NUL, so
// that a key that is a prefix of another sorts first (strcmp does exactly
// this). Equal interned texts share one pointer, which settles equality at
// once.
inline int CompareKeys(const char* a, const char* b) noexcept { return a == b ? 0 : std::strcmp(a, b); }

// The same for a key given by its bytes (no NUL among them).
int CompareKeys(std::string_view a, const char* b) noexcept;

class DictTree final {
public:
    DictTree() noexcept = default;
    // Releases every entry's value and key in post-order (without
    // recursion), then frees the nodes' blocks.
    ~DictTree();
    DictTree(const DictTree&) = delete;
    DictTree& operator=(const DictTree&) = delete;

    DictNode* Find(const char* key) const noexcept;
    DictNode* Find(std::string_view key) const noexcept;
    // An existing key takes the new value (the old one released once, the key
    // atom given kept); a new key gets a new node holding both references.
    void Put(QELStringAtomRef key, QELContainerRef value);
    // A key known to be absent.
    void PutNew(QELStringAtomRef key, QELContainerRef value);
    // A key known to be absent, greater than every key in the tree (a copy
    // made in key order): the same insertion with the comparisons' outcome
    // known in advance.
    void PutGreatest(QELStringAtomRef key, QELContainerRef value);
    // Unlinks the entry, then releases it: a value whose release runs other
    // code finds the tree already consistent. An absent key changes nothing.
    void Remove(const char* key) noexcept;
    // The number of entries, from the blocks (a copy reserves it at once).
    uint32_t Size() const noexcept;
    // Room for this many more entries without another block.
    void Reserve(uint32_t entries);

    DictNode* root = nullptr;
    static constexpr DictNode* end = nullptr;  // the position past the last entry

private:
    // Nodes are carved from blocks of growing size, newest first, so that a
    // dictionary's entries sit together and cost no heap call each; a
    // removed entry's node waits in the spare list for the next new key.
    struct NodeBlock;

    // A node holding the two references; only a new block can fail.
    DictNode* MakeNode(QELStringAtomRef key, QELContainerRef value);
    NodeBlock* NewBlock(uint32_t capacity);
    // Which way the walk down goes at a node for the key being inserted.
    template <class Below>
    void Insert(DictNode* fresh, Below below) noexcept;
    void Replace(DictNode* node, DictNode* child) noexcept;
    void RotateUp(DictNode* node) noexcept;
    void RepairRedRed(DictNode* node) noexcept;

    NodeBlock* blocks_ = nullptr;
    DictNode* spare_ = nullptr;  // linked through left, references empty
};

// Walks in key order, shared by the dictionary and its iterators.
DictNode* Leftmost(DictNode* node) noexcept;
DictNode* Successor(DictNode* node) noexcept;

}  // namespace NPOSObjectImpl
