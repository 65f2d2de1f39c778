#pragma once
// An ordered map: a red-black tree whose nodes are also threaded into a list in key order,
// and whose nodes come from a pool of fixed-size blocks (one allocation per block). Released
// nodes are kept for reuse until the last one goes; then every block is freed at once.
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

#include "report/Vector.h"  // SValue

template <typename K, typename V, typename SKeyPolicy, typename SValuePolicy, typename KA = K>
class CMap {
    static_assert(std::is_trivially_destructible_v<K> && std::is_trivially_destructible_v<V>,
                  "keys and values are held by value and need no clean-up");

public:
    enum : uint8_t { kBlack = 0, kRed = 1 };

    struct CNode {
        K key;
        V value;
        CNode* parent;
        CNode* left;
        CNode* right;
        CNode* previous;  // the next smaller key
        CNode* next;      // the next larger key; on the free list, the next free node
        uint8_t colour;
    };

    CMap()
    {
        sentinel.colour = kBlack;
        sentinel.left = sentinel.right = &sentinel;
        sentinel.parent = nullptr;
        root = &sentinel;
    }
    CMap(const CMap&) = delete;
    CMap& operator=(const CMap&) = delete;

    virtual ~CMap()
    {
        if (root != &sentinel) ReleaseSubtree(root);
        FreeAllBlocks();
    }

    bool Lookup(KA key, V* value = nullptr) const
    {
        for (CNode* node = root; node != &sentinel;) {
            if (key < node->key) node = node->left;
            else if (node->key < key) node = node->right;
            else {
                if (value) *value = node->value;
                return true;
            }
        }
        return false;
    }

    void SetAt(KA key, const V& value)
    {
        CNode* parent = nullptr;
        bool wentLeft = false;
        for (CNode* node = root; node != &sentinel;) {
            parent = node;
            if (key < node->key) { node = node->left; wentLeft = true; }
            else if (node->key < key) { node = node->right; wentLeft = false; }
            else { node->value = value; return; }
        }

        CNode* node = TakeNode();
        node->parent = parent;
        node->left = node->right = &sentinel;
        node->colour = kRed;
        new (&node->value) V(value);
        new (&node->key) K(key);

        if (parent == nullptr) {
            root = node;
            node->previous = node->next = nullptr;
        } else if (wentLeft) {
            parent->left = node;
            node->next = parent;
            node->previous = parent->previous;
        } else {
            parent->right = node;
            node->previous = parent;
            node->next = parent->next;
        }
        if (node->previous) node->previous->next = node; else first = node;
        if (node->next) node->next->previous = node; else last = node;

        if (cachedNode != nullptr && key < cachedNode->key) cachedNode = cachedNode->previous;

        RepairAfterInsert(node);
        ++count;
    }

    int32_t GetCount() const { return count; }
    int32_t GetNodesInUse() const { return nodesInUse; }
    int32_t GetNodesPerBlock() const { return nodesPerBlock; }
    int32_t CountBlocks() const
    {
        int32_t blocks = 0;
        for (CBlock* block = blockList; block; block = block->next) ++blocks;
        return blocks;
    }

    // Read-only views for walking the tree and the thread.
    const CNode* GetRoot() const { return root; }
    const CNode* GetFirst() const { return count ? first : nullptr; }
    const CNode* GetLast() const { return count ? last : nullptr; }
    bool IsSentinel(const CNode* node) const { return node == &sentinel; }
    const CNode& GetSentinel() const { return sentinel; }

private:
    struct CBlock {
        CBlock* next;
    };

    static CNode* NodesOf(CBlock* block)
    {
        constexpr size_t offset = (sizeof(CBlock) + alignof(CNode) - 1) / alignof(CNode) * alignof(CNode);
        return reinterpret_cast<CNode*>(reinterpret_cast<char*>(block) + offset);
    }

    CNode* TakeNode()
    {
        if (freeList == nullptr) {
            constexpr size_t offset = (sizeof(CBlock) + alignof(CNode) - 1) / alignof(CNode) * alignof(CNode);
            auto* block = static_cast<CBlock*>(::operator new(offset + sizeof(CNode) * nodesPerBlock));
            block->next = blockList;
            blockList = block;
            CNode* nodes = NodesOf(block);
            for (int32_t i = nodesPerBlock - 1; i >= 0; --i) {
                nodes[i].next = freeList;
                freeList = &nodes[i];
            }
        }
        CNode* node = freeList;
        freeList = node->next;
        ++nodesInUse;
        return node;
    }

    void ReleaseNode(CNode* node)
    {
        if (nodesInUse == 1) {
            FreeAllBlocks();
            return;
        }
        node->next = freeList;
        freeList = node;
        --nodesInUse;
    }

    void ReleaseSubtree(CNode* node)
    {
        if (node->left != &sentinel) ReleaseSubtree(node->left);
        if (node->right != &sentinel) ReleaseSubtree(node->right);
        ReleaseNode(node);
    }

    void FreeAllBlocks()
    {
        while (blockList) {
            CBlock* next = blockList->next;
            ::operator delete(blockList);
            blockList = next;
        }
        freeList = nullptr;
        nodesInUse = 0;
    }

    void RotateLeft(CNode* x)
    {
        CNode* y = x->right;
        x->right = y->left;
        if (y->left != &sentinel) y->left->parent = x;
        y->parent = x->parent;
        if (x->parent == nullptr) root = y;
        else if (x == x->parent->left) x->parent->left = y;
        else x->parent->right = y;
        y->left = x;
        x->parent = y;
    }

    void RotateRight(CNode* x)
    {
        CNode* y = x->left;
        x->left = y->right;
        if (y->right != &sentinel) y->right->parent = x;
        y->parent = x->parent;
        if (x->parent == nullptr) root = y;
        else if (x == x->parent->right) x->parent->right = y;
        else x->parent->left = y;
        y->right = x;
        x->parent = y;
    }

    void RepairAfterInsert(CNode* node)
    {
        while (node != root && node->parent->colour == kRed) {
            CNode* parent = node->parent;
            CNode* grandparent = parent->parent;  // a red parent is never the root
            const bool parentIsLeft = parent == grandparent->left;
            CNode* uncle = parentIsLeft ? grandparent->right : grandparent->left;
            if (uncle->colour == kRed) {
                parent->colour = kBlack;
                uncle->colour = kBlack;
                grandparent->colour = kRed;
                node = grandparent;
                continue;
            }
            if (parentIsLeft && node == parent->right) {
                node = parent;
                RotateLeft(node);
            } else if (!parentIsLeft && node == parent->left) {
                node = parent;
                RotateRight(node);
            }
            node->parent->colour = kBlack;
            grandparent->colour = kRed;
            if (parentIsLeft) RotateRight(grandparent); else RotateLeft(grandparent);
        }
        root->colour = kBlack;
    }

    CBlock* blockList = nullptr;
    CNode* freeList = nullptr;
    int32_t nodesInUse = 0;
    int32_t nodesPerBlock = 4;
    CNode* root;
    CNode* first = nullptr;
    CNode* last = nullptr;
    CNode sentinel{};
    int32_t cachedPosition = -1;
    CNode* cachedNode = nullptr;
    int32_t count = 0;
};
