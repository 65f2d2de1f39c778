// The map against std::map, with its red-black, thread and pool invariants checked after every
// step: this is where a fault would hide.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>

#include "report/Map.h"
#include "tests/unit/AllocationCounter.h"

namespace {

using CIdMap = CMap<int, bool, SValue, SValue, int>;
using CNode = CIdMap::CNode;

// Returns the black height of the subtree, checking order, parents and colours on the way.
int CheckSubtree(const CIdMap& map, const CNode* node, const CNode* parent, const int64_t low, const int64_t high,
                 int& nodes)
{
    if (map.IsSentinel(node)) return 1;
    ++nodes;
    EXPECT_EQ(node->parent, parent);
    EXPECT_GT(node->key, low);
    EXPECT_LT(node->key, high);
    EXPECT_TRUE(node->colour == CIdMap::kRed || node->colour == CIdMap::kBlack);
    if (node->colour == CIdMap::kRed) {
        EXPECT_EQ(node->left->colour, CIdMap::kBlack) << "red node " << node->key << " has a red child";
        EXPECT_EQ(node->right->colour, CIdMap::kBlack) << "red node " << node->key << " has a red child";
    }
    const int left = CheckSubtree(map, node->left, node, low, node->key, nodes);
    const int right = CheckSubtree(map, node->right, node, node->key, high, nodes);
    EXPECT_EQ(left, right) << "black heights differ below " << node->key;
    return left + (node->colour == CIdMap::kBlack ? 1 : 0);
}

void CheckMap(const CIdMap& map, const std::map<int, bool>& expected)
{
    const CNode& sentinel = map.GetSentinel();
    EXPECT_EQ(sentinel.colour, CIdMap::kBlack);
    EXPECT_EQ(sentinel.left, &sentinel);
    EXPECT_EQ(sentinel.right, &sentinel);
    EXPECT_EQ(sentinel.parent, nullptr);

    ASSERT_EQ(map.GetCount(), static_cast<int>(expected.size()));
    EXPECT_EQ(map.GetNodesInUse(), map.GetCount());
    EXPECT_EQ(map.CountBlocks(), (map.GetCount() + map.GetNodesPerBlock() - 1) / map.GetNodesPerBlock());

    if (expected.empty()) {
        EXPECT_TRUE(map.IsSentinel(map.GetRoot()));
        return;
    }
    EXPECT_EQ(map.GetRoot()->colour, CIdMap::kBlack);
    int nodes = 0;
    CheckSubtree(map, map.GetRoot(), nullptr, INT64_MIN, INT64_MAX, nodes);
    EXPECT_EQ(nodes, map.GetCount());

    // The thread runs through the keys in order, both ways.
    EXPECT_EQ(map.GetFirst()->previous, nullptr);
    EXPECT_EQ(map.GetLast()->next, nullptr);
    const CNode* node = map.GetFirst();
    const CNode* previous = nullptr;
    for (const auto& [key, value] : expected) {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->key, key);
        EXPECT_EQ(node->value, value);
        EXPECT_EQ(node->previous, previous);
        previous = node;
        node = node->next;
    }
    EXPECT_EQ(node, nullptr);
    EXPECT_EQ(previous, map.GetLast());
}

TEST(Map, MatchesStdMapUnderRandomInsertions)
{
    for (const uint32_t seed : {1u, 2u, 3u, 42u}) {
        std::mt19937 random(seed);
        // A small range gives duplicates; the full range gives keys with the top bit set.
        const bool narrow = seed % 2 == 1;
        std::uniform_int_distribution<int64_t> keys(narrow ? -60 : INT32_MIN, narrow ? 60 : INT32_MAX);
        CIdMap map;
        std::map<int, bool> expected;
        for (int step = 0; step < 400; ++step) {
            const int key = static_cast<int>(keys(random));
            const bool value = (random() & 1) != 0;
            map.SetAt(key, value);
            expected[key] = value;
            CheckMap(map, expected);
            if (::testing::Test::HasFailure()) FAIL() << "seed " << seed << " step " << step << " key " << key;
            const int probe = static_cast<int>(keys(random));
            bool found = false;
            EXPECT_EQ(map.Lookup(probe, &found), expected.count(probe) == 1);
            if (expected.count(probe)) {
                EXPECT_EQ(found, expected[probe]);
            }
        }
    }
}

TEST(Map, StaysBalancedForAscendingAndDescendingKeys)
{
    CIdMap ascending, descending;
    std::map<int, bool> expected;
    for (int key = 0; key < 300; ++key) {
        ascending.SetAt(key, true);
        descending.SetAt(-key, true);
        expected[key] = true;
    }
    CheckMap(ascending, expected);
    int depth = 0;
    for (const CNode* node = ascending.GetRoot(); !ascending.IsSentinel(node); node = node->left) ++depth;
    EXPECT_LE(depth, 17);  // at most twice the depth of a perfect tree of 300 nodes
    EXPECT_EQ(descending.GetFirst()->key, -299);
    EXPECT_EQ(descending.GetLast()->key, 0);
}

TEST(Map, OverwritesAPresentKeyWithoutTakingANode)
{
    CIdMap map;
    map.SetAt(7, false);
    map.SetAt(7, true);
    bool value = false;
    EXPECT_TRUE(map.Lookup(7, &value));
    EXPECT_TRUE(value);
    EXPECT_EQ(map.GetCount(), 1);
    EXPECT_EQ(map.GetNodesInUse(), 1);
    EXPECT_FALSE(map.Lookup(8));
}

TEST(Map, SortsKeysAsSignedNumbers)
{
    CIdMap map;
    for (int key : {5, static_cast<int>(0xFFFFFFFF), 7, static_cast<int>(0x80000000), 0x7FFFFFFF}) map.SetAt(key, true);
    EXPECT_EQ(map.GetFirst()->key, INT32_MIN);
    EXPECT_EQ(map.GetFirst()->next->key, -1);
    EXPECT_EQ(map.GetLast()->key, INT32_MAX);
}

TEST(Map, TakesNodesFromBlocksOfFourAndFreesThemAll)
{
    CAllocationCounter counter;
    {
        CIdMap map;
        EXPECT_EQ(counter.Allocations(), 0);
        for (int key : {5, 7, 5, 1, 9}) map.SetAt(key, true);
        EXPECT_EQ(map.GetCount(), 4);
        EXPECT_EQ(map.CountBlocks(), 1);
        map.SetAt(3, true);  // the fifth key needs a second block
        EXPECT_EQ(map.CountBlocks(), 2);
        EXPECT_EQ(counter.Allocations(), 2);
        EXPECT_EQ(counter.Frees(), 0);
    }
    EXPECT_EQ(counter.Frees(), 2);
}

TEST(Map, AnEmptyMapAllocatesNothing)
{
    CAllocationCounter counter;
    {
        CIdMap map;
        EXPECT_FALSE(map.Lookup(0));
        EXPECT_EQ(map.GetFirst(), nullptr);
    }
    EXPECT_EQ(counter.Allocations(), 0);
}

}  // namespace
