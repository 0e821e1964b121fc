// The dictionary's tree against a model: order, parent links, every key
// reachable, and the red-black rules that insertion keeps. Removal does not
// rebalance, so insertion must also cope with trees that break those rules.
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../frame/linked_library.h"
#include "frame/host_services.h"
#include "objects/pos_model.h"
#include "pos_fixture.h"

namespace {

using NPOSObjectImpl::Dict;
using NPOSObjectImpl::DictNode;
using NPOSObjectImpl::DictTree;
using qelhost::pos::Ref;
using DictTreeTest = qeltest::WithPOS<qeltest::LinkedLibraryTest>;

const DictTree& TreeOf(const Ref& dict) {
    return NPOSObjectImpl::As<Dict>(NPOSObjectImpl::Implementation(dict.get()))->tree;
}

// What a walk of the tree found: the first broken rule ("" when none), the
// keys in order, and whether the colour rules hold.
struct Survey final {
    std::string broken;
    std::vector<std::string> keys;
    bool redBlack = true;
};

// Black height of a subtree; checks order and links, and notes colour faults.
int Walk(const DictNode* node, const DictNode* parent, const char* low, const char* high, Survey& s) {
    if (node == nullptr || !s.broken.empty()) return 0;
    if (node->parent != parent) return s.broken = "parent link of " + std::string(node->key.text()), 0;
    const char* key = node->key.text();
    if ((low != nullptr && std::strcmp(low, key) >= 0) || (high != nullptr && std::strcmp(key, high) >= 0))
        return s.broken = "order at " + std::string(key), 0;
    if (node->colour != DictNode::Red && node->colour != DictNode::Black) return s.broken = "colour value", 0;
    if (node->colour == DictNode::Red && ((node->left != nullptr && node->left->colour == DictNode::Red) ||
                                          (node->right != nullptr && node->right->colour == DictNode::Red)))
        s.redBlack = false;
    const int left = Walk(node->left, node, low, key, s);
    s.keys.push_back(key);
    const int right = Walk(node->right, node, key, high, s);
    if (left != right) s.redBlack = false;
    return left + (node->colour == DictNode::Black ? 1 : 0);
}

Survey Inspect(const DictTree& tree) {
    Survey s;
    Walk(tree.root, nullptr, nullptr, nullptr, s);
    if (tree.root != nullptr && tree.root->colour != DictNode::Black) s.redBlack = false;
    if (tree.end != nullptr) s.broken = "end marker";
    return s;
}

// The tree holds exactly the model's keys, each found by search and visited
// in order by the walk that iterators use; "" when it does.
std::string Agrees(const DictTree& tree, const std::map<std::string, int>& model, const Survey& s) {
    if (!s.broken.empty()) return s.broken;
    std::vector<std::string> expected;
    for (const auto& entry : model) expected.push_back(entry.first);
    if (s.keys != expected) return "keys differ from the model";
    std::vector<std::string> walked;
    for (DictNode* n = NPOSObjectImpl::Leftmost(tree.root); n != nullptr; n = NPOSObjectImpl::Successor(n))
        walked.push_back(n->key.text());
    if (walked != expected) return "the in-order walk differs from the model";
    for (const std::string& key : expected)
        if (tree.Find(key.c_str()) == nullptr) return "unreachable key " + key;
    if (tree.Size() != model.size()) return "Size " + std::to_string(tree.Size()) + " differs from the model";
    return "";
}

// Steps written "+k" (put k) and "-k" (remove k), through the published
// procedures.
TEST_F(DictTreeTest, SequencesThatLeaveARedRootOrARedParentWithoutAGrandparent) {
    const char* const sequences[] = {
        "+b +g +d +a -d +d +e +c -g +f",  // once walked off the tree
        "+a +b -a +c",                    // a red root gets a red child
        "+a +b -a +a",                    // the same on the other side
        "+b +a +c -b +d +e +f +g",        // a successor takes the root's colour
        "+d +b +f +a +c +e +g -d -f -b +h +i +j +k +l +m",
        "+m +l +k +j +i +h +g -m -l -k -j -i -h +a +b +c +d +e +f",
        "+c +a +e -c -e +b +d +f +g +h",
    };
    for (const char* sequence : sequences) {
        SCOPED_TRACE(sequence);
        const Ref dict = pos().Dict();
        std::map<std::string, int> model;
        std::istringstream steps(sequence);
        int n = 0;
        for (std::string step; steps >> step; ++n) {
            const std::string key = step.substr(1);
            if (step[0] == '+') {
                pos().Put(dict, key.c_str(), pos().Number(n));
                model[key] = n;
            } else {
                pos().Remove(dict, key.c_str());
                model.erase(key);
            }
            const std::string fault = Agrees(TreeOf(dict), model, Inspect(TreeOf(dict)));
            ASSERT_EQ(fault, "") << "after " << step;
        }
        for (const auto& [key, value] : model) EXPECT_EQ(pos().GetNumber(pos().Get(dict, key.c_str())), value);
    }
    EXPECT_TRUE(TakeReports().empty());
}

struct RandomRun final {
    int keySpace;
    int steps;
    int checkEvery;
    uint32_t seeds;
};

// One seeded run through the published procedures; "" or what broke, where.
std::string RunSeed(const qelhost::pos::Client& pos, uint32_t seed, const RandomRun& run) {
    std::mt19937 random(seed);
    const Ref dict = pos.Dict();
    std::map<std::string, int> model;  // std::string orders by unsigned bytes
    bool removed = false;              // until then the colour rules hold
    for (int step = 0; step < run.steps; ++step) {
        bool inserted = false;
        std::string key = std::to_string(random() % run.keySpace);
        if (random() % 7 == 0) key += '\xE9';
        const unsigned op = random() % 10;
        if (op < 5) {
            const int value = static_cast<int>(random() % 1000);
            pos.Put(dict, key.c_str(), pos.Number(value));
            inserted = model.count(key) == 0;
            model[key] = value;
        } else if (op < 8) {
            pos.Remove(dict, key.c_str());
            removed |= model.erase(key) != 0;
        } else {
            const Ref found = pos.Get(dict, key.c_str());
            const auto it = model.find(key);
            if (bool(found) != (it != model.end())) return "Get " + key + " at step " + std::to_string(step);
            if (found && pos.GetNumber(found) != it->second) return "value of " + key;
        }
        if (step % run.checkEvery == 0 || step + 1 == run.steps) {
            const DictTree& tree = TreeOf(dict);
            const Survey s = Inspect(tree);
            std::string fault = Agrees(tree, model, s);
            if (fault.empty() && !removed && !s.redBlack) fault = "colour rules broken without a removal";
            if (fault.empty() && inserted && tree.root->colour != DictNode::Black)
                fault = "red root after an insertion";
            if (!fault.empty()) return fault + " at step " + std::to_string(step);
        }
    }
    if (pos.Keys(dict).size() != model.size()) return "iterator count";
    return "";
}

TEST_F(DictTreeTest, ManySeedsAgreeWithAModel) {
    // Small key spaces make removals and re-insertions frequent; large ones
    // grow deep trees.
    const RandomRun runs[] = {{8, 300, 1, 120}, {40, 600, 1, 60}, {400, 3000, 25, 6}, {5000, 6000, 500, 3}};
    const int64_t containers = host().books().containers;
    for (const RandomRun& run : runs) {
        for (uint32_t n = 1; n <= run.seeds; ++n) {
            const uint32_t seed = n * 7919u + static_cast<uint32_t>(run.keySpace);
            // Named before it runs, so that a crash shows it too.
            std::printf("seed %u, key space %d\n", seed, run.keySpace);
            std::fflush(stdout);
            ASSERT_EQ(RunSeed(pos(), seed, run), "") << "seed " << seed << ", key space " << run.keySpace;
        }
    }
    EXPECT_EQ(host().books().containers, containers);
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(DictTreeTest, AscendingInsertionsStayBalanced) {
    const Ref dict = pos().Dict();
    char key[16];
    for (int i = 0; i < 4096; ++i) {
        std::snprintf(key, sizeof key, "%06d", i);
        pos().Put(dict, key, pos().Number(i));
    }
    const Survey s = Inspect(TreeOf(dict));
    ASSERT_EQ(s.broken, "");
    EXPECT_TRUE(s.redBlack);
    int blackHeight = 0;
    for (const DictNode* n = TreeOf(dict).root; n != nullptr; n = n->left) blackHeight += n->colour;
    EXPECT_LE(blackHeight, 13) << "height stays logarithmic";
}

// The removed value goes once its node is free again: a release that puts a
// key into the same dictionary finds a consistent tree, and may take that
// very node.
Ref* gDictToFill = nullptr;
void PutOnRelease(void*) {
    qelhost::pos::Client pos;
    pos.Put(*gDictToFill, "late", pos.Number(1));
}

TEST_F(DictTreeTest, ARemovedValueWhoseReleasePutsIntoTheSameDictionary) {
    Ref dict = pos().Dict();
    gDictToFill = &dict;
    std::map<std::string, int> model;
    for (const char* key : {"d", "b", "f", "a", "c", "e", "g"}) {
        pos().Put(dict, key, pos().Number(0));
        model[key] = 0;
    }
    pos().Put(dict, "c", pos().RawPointer(nullptr, &PutOnRelease));
    pos().Remove(dict, "c");
    model.erase("c");
    model["late"] = 1;
    gDictToFill = nullptr;
    EXPECT_EQ(Agrees(TreeOf(dict), model, Inspect(TreeOf(dict))), "");
    EXPECT_EQ(pos().GetNumber(pos().Get(dict, "late")), 1);
}

// Any colouring of any search tree: insertion repairs what it can and never
// loses its way. The trees are linked by hand, as no sequence of calls could
// be relied on to reach every shape.
TEST_F(DictTreeTest, InsertionIntoArbitrarilyColouredTrees) {
    for (uint32_t seed = 1; seed <= 1000; ++seed) {
        std::mt19937 random(seed);
        DictTree tree;
        std::map<std::string, int> model;
        const int size = static_cast<int>(random() % 24);
        // The nodes are the tree's own (it frees them); they are made by Put
        // and then linked again by hand in the order drawn.
        std::vector<DictNode*> drawn;
        for (int i = 0; i < size; ++i) {
            const std::string key(1, static_cast<char>('a' + random() % 26));
            if (model.count(key) != 0) continue;
            model[key] = i;
            tree.Put(NPOSObjectImpl::QELStringAtomRef(key.c_str()), NPOSObjectImpl::QELContainerRef());
            drawn.push_back(tree.Find(key.c_str()));
        }
        for (DictNode* node : drawn) node->left = node->right = node->parent = nullptr;
        tree.root = nullptr;
        for (DictNode* node : drawn) {
            const std::string key = node->key.text();
            node->colour = random() % 2 == 0 ? DictNode::Red : DictNode::Black;
            DictNode** link = &tree.root;
            while (*link != nullptr) {
                node->parent = *link;
                link = key < (*link)->key.text() ? &(*link)->left : &(*link)->right;
            }
            *link = node;
        }
        for (int step = 0; step < 40; ++step) {
            const std::string key(1, static_cast<char>('a' + random() % 26));
            if (random() % 4 == 0) {
                tree.Remove(key.c_str());
                model.erase(key);
            } else {
                tree.Put(NPOSObjectImpl::QELStringAtomRef(key.c_str()), NPOSObjectImpl::QELContainerRef());
                model[key] = step;
            }
            ASSERT_EQ(Agrees(tree, model, Inspect(tree)), "") << "seed " << seed << ", step " << step;
        }
    }
}

}  // namespace
