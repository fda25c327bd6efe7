#pragma once

#include <atomic>
#include <map>
#include <utility>
#include <vector>

#include "OpNodeData.h"

class KvTreeChanges;

// The creation-date and modification-date trees: a root row, a row per year
// and below it a row per month, in ascending order, and the files below the
// months. Fed from the scan's date indexes under the tree lock; published on
// the main thread like every tree's rows.
class KvTimeMgr {
public:
    static KvTimeMgr& share();

    // Places every file of the tree (2 created, 3 modified) delivered since
    // the last call; the first call after a clear makes the root.
    void refreshTimeTree(int keyType, KvTreeChanges& changes);
    // Forgets the rows and what was placed (tree lock held).
    void clear();
    void setSearch(bool) { clear(); }

    // Check-mark refresh flags, by the tree shown.
    void KvSetNeedRefreshTree();
    void KvResetNeedRefreshTree();
    bool KvGetNeedRefreshTree();

    // A time within that month (local time) that reads back as it; the key
    // time of year and month rows.
    static int64_t KeyTimeOf(int year, int month);

private:
    struct Tree {
        OpNodeRef root;
        std::map<int, OpNodeRef> years;
        std::map<std::pair<int, int>, OpNodeRef> months;
        std::map<int, size_t> positions;  // year * 100 + month -> entries looked at
    };

    KvTimeMgr() = default;
    Tree& TreeOf(int keyType) { return keyType == OpNodeData::kCreatedTree ? created_ : modified_; }
    OpNodeRef MonthRow(Tree& tree, int keyType, int year, int month, KvTreeChanges& changes);

    Tree created_;
    Tree modified_;
    std::atomic<int> createdNeedsRefresh_{0};
    std::atomic<int> modifiedNeedsRefresh_{0};
};
