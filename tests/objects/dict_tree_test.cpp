// The dictionary's tree against a model: order, parent links, and the
// red-black rules that insertion keeps.
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "../frame/linked_library.h"
#include "frame/host_services.h"
#include "objects/pos_model.h"
#include "pos_fixture.h"

namespace {

using NPOSObjectImpl::Dict;
using NPOSObjectImpl::DictNode;
using qelhost::pos::Ref;
using DictTreeTest = qeltest::WithPOS<qeltest::LinkedLibraryTest>;

const Dict& Tree(const Ref& dict) { return *dynamic_cast<const Dict*>(NPOSObjectImpl::Implementation(dict.get())); }

// Black height of a subtree, checking order, links and colours on the way;
// -1 where the subtree breaks a rule.
int Check(const DictNode* node, const DictNode* parent, const char* low, const char* high, bool colours,
          std::string* why) {
    if (node == nullptr) return 0;
    if (node->parent != parent) return *why = "parent link", -1;
    const char* key = node->key.text();
    if ((low != nullptr && std::strcmp(low, key) >= 0) || (high != nullptr && std::strcmp(key, high) >= 0))
        return *why = "order", -1;
    if (colours && node->colour == DictNode::Red &&
        ((node->left != nullptr && node->left->colour == DictNode::Red) ||
         (node->right != nullptr && node->right->colour == DictNode::Red)))
        return *why = "red under red", -1;
    const int left = Check(node->left, node, low, key, colours, why);
    const int right = Check(node->right, node, key, high, colours, why);
    if (left < 0 || right < 0) return -1;
    if (colours && left != right) return *why = "black height", -1;
    return left + (node->colour == DictNode::Black ? 1 : 0);
}

TEST_F(DictTreeTest, RandomSequencesAgreeWithAModel) {
    std::mt19937 random(20261206);
    for (int sequence = 0; sequence < 40; ++sequence) {
        SCOPED_TRACE(sequence);
        const Ref dict = pos().Dict();
        std::map<std::string, int> model;  // std::string orders by unsigned bytes
        bool removed = false;              // removal does not rebalance
        const int keySpace = sequence % 2 == 0 ? 30 : 3000;
        for (int step = 0; step < 1500; ++step) {
            std::string key = std::to_string(random() % keySpace);
            if (random() % 7 == 0) key += '\xE9';
            const unsigned op = random() % 10;
            if (op < 6) {
                const int value = static_cast<int>(random() % 1000);
                pos().Put(dict, key.c_str(), pos().Number(value));
                model[key] = value;
            } else if (op < 8) {
                pos().Remove(dict, key.c_str());
                removed |= model.erase(key) != 0;
            } else {
                const Ref found = pos().Get(dict, key.c_str());
                const auto it = model.find(key);
                ASSERT_EQ(bool(found), it != model.end()) << key;
                if (found) {
                    ASSERT_EQ(pos().GetNumber(found), it->second);
                }
            }
            if (step % 100 == 0 || step == 1499) {
                std::string why;
                const DictNode* root = Tree(dict).tree->root;
                ASSERT_GE(Check(root, nullptr, nullptr, nullptr, !removed, &why), 0) << why << " at step " << step;
                if (root != nullptr && !removed) {
                    ASSERT_EQ(root->colour, DictNode::Black);
                }
            }
        }
        std::vector<std::string> keys;
        for (const auto& [k, v] : model) keys.push_back(k);
        EXPECT_EQ(pos().Keys(dict), keys);
        EXPECT_EQ(host().books().containers, static_cast<int64_t>(model.size()) + 1);
    }
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(DictTreeTest, AscendingInsertionsStayBalanced) {
    const Ref dict = pos().Dict();
    char key[16];
    for (int i = 0; i < 4096; ++i) {
        std::snprintf(key, sizeof key, "%06d", i);
        pos().Put(dict, key, pos().Number(i));
    }
    std::string why;
    const int blackHeight = Check(Tree(dict).tree->root, nullptr, nullptr, nullptr, true, &why);
    ASSERT_GT(blackHeight, 0) << why;
    EXPECT_LE(blackHeight, 13) << "height stays logarithmic";
}

}  // namespace
