#pragma once

#include <cstdint>

#include "HFSPlusFormat.h"
#include "ResultCode.h"

class CHFSPlusBTNode;
class CHFSPlusQuickFileSystemSearchProgress;
class CHFSPlusRawfile;
class CHFSPlusVolume;
class IDirecotryTreeBuilder;

// Where a search ended: the leaf node and record, and whether the key was there.
struct HFSPlusSearchResult {
    uint32_t nodeNumber;
    uint16_t recordIndex;
    uint16_t found;
};

// What one tree (catalog, extents, attributes) tells the generic B-tree code:
// its key order, its record readers and where its nodes come from.
class IHFSPlusBTreeOption {
public:
    virtual ~IHFSPlusBTreeOption() = default;
    virtual int Compare(const BTKey* first, const BTKey* second) = 0;
    // New converted copies (array delete) of record `n`'s key and data; null on failure.
    virtual BTKey* KeyRead(CHFSPlusBTNode* node, unsigned short n) = 0;
    virtual void KeyPrint(const BTKey* key) = 0;
    virtual unsigned char* DataRead(CHFSPlusBTNode* node, unsigned short n) = 0;
    virtual void DataPrint(const unsigned char* data) = 0;
    // The child node number of index record `n`; 0 on failure.
    virtual uint32_t GetChild(CHFSPlusBTNode* node, unsigned short n) = 0;
    virtual uint32_t GetRoot() = 0;
    virtual CHFSPlusBTNode* CreateNode(uint32_t number) = 0;
    virtual RESULT_CODE GetLastError() = 0;
    virtual const BTHeaderRec* GetHeaderRec() = 0;
};

// Searches and walks one tree. Both follow child pointers to a bounded depth
// and never visit a node twice, so a damaged tree ends cleanly.
class CHFSPlusBTree {
public:
    // Deeper than any real tree (the format allows 8 levels).
    static constexpr int kMostDepth = 16;

    CHFSPlusBTree(CHFSPlusVolume* volume, IHFSPlusBTreeOption* option);

    // Finds `key`. With `record` given, a found record's data is copied there
    // (the caller array-deletes it). When the way down from the root is
    // damaged, the leaves are searched along their sibling links.
    RESULT_CODE Search(const BTKey* key, HFSPlusSearchResult& result, unsigned char** record);
    // Depth first from the root: each catalog leaf record becomes a node for
    // the builder. Without a progress adapter nothing is read past the root.
    // Leaves a damaged index node hides are then read along the sibling links.
    RESULT_CODE Traverse(IDirecotryTreeBuilder* builder,
                         CHFSPlusQuickFileSystemSearchProgress* progress);
    RESULT_CODE GetLastError() const { return result_; }

private:
    struct Walk;
    RESULT_CODE WalkNode(Walk& walk, uint32_t number, int depth);
    RESULT_CODE WalkLeafChain(Walk& walk);
    RESULT_CODE ReadLeaf(Walk& walk, uint32_t number, CHFSPlusBTNode& node);
    RESULT_CODE SearchFromRoot(const BTKey* key, HFSPlusSearchResult& result,
                               unsigned char** record);
    RESULT_CODE SearchLeafChain(const BTKey* key, HFSPlusSearchResult& result,
                                unsigned char** record);

    CHFSPlusVolume* volume_;
    IHFSPlusBTreeOption* option_;
    RESULT_CODE result_;
};

// The node source shared by the three trees: the tree file, its node size and
// its header record.
class CHFSPlusBTreeOptionBase : public IHFSPlusBTreeOption {
public:
    CHFSPlusBTreeOptionBase(CHFSPlusVolume* volume, CHFSPlusRawfile* file);
    ~CHFSPlusBTreeOptionBase() override;
    CHFSPlusBTreeOptionBase(const CHFSPlusBTreeOptionBase&) = delete;
    CHFSPlusBTreeOptionBase& operator=(const CHFSPlusBTreeOptionBase&) = delete;

    uint32_t GetChild(CHFSPlusBTNode* node, unsigned short n) override;
    uint32_t GetRoot() override;
    CHFSPlusBTNode* CreateNode(uint32_t number) override;
    RESULT_CODE GetLastError() override { return result_; }
    const BTHeaderRec* GetHeaderRec() override { return hasHeader_ ? &header_ : nullptr; }

    RESULT_CODE Search(const BTKey* key, HFSPlusSearchResult& result, unsigned char** record);
    RESULT_CODE Traverse(IDirecotryTreeBuilder* builder,
                         CHFSPlusQuickFileSystemSearchProgress* progress);
    uint16_t GetNodeSize() const { return nodeSize_; }

protected:
    // Makes the tree; a failed construction of the base stays the result.
    void MakeTree();

    CHFSPlusVolume* volume_;
    CHFSPlusRawfile* file_;
    RESULT_CODE result_ = 0;

private:
    uint16_t PreGetNodeSize(CHFSPlusRawfile* file);

    uint16_t nodeSize_ = 0;
    CHFSPlusBTNode* headerNode_ = nullptr;
    BTHeaderRec header_{};
    bool hasHeader_ = false;
    CHFSPlusBTree* tree_ = nullptr;
};
