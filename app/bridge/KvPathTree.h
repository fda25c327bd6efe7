#pragma once

#include <map>
#include <memory>
#include <vector>

#include "OpNodeData.h"

class IFileNode;
class KvLostFolder;
class KvTreeChanges;

// The path tree: a root row per file-system root the scan delivered, and
// below it the found folders, each under the folder its file system names
// as its parent. Folders may arrive before their parents: what a pass cannot
// place waits for the next pass or refresh; what the scan's last refresh
// still cannot place goes below a "lost files" row, as the engine does with
// files whose folder is lost. Runs on worker threads under the tree lock;
// the rows it makes reach the windows through the published changes.
class KvPathTree {
public:
    static KvPathTree& instance();

    // The new folders of the scan; `final` 1 at the end of a scan.
    void Refresh(int final, KvTreeChanges& changes);
    // The folders of the search hits, each with its missing ancestors.
    void RefreshWithSearch(const std::vector<IFileNode*>& hits, KvTreeChanges& changes);
    // Forgets the folders waiting; the rows and lost-files folders it made
    // stay alive with `changes` until the trees are emptied.
    void Clear(KvTreeChanges& changes);
    // Folders that are waiting for their parent's row.
    size_t Waiting() const { return carryOver_.size(); }

private:
    KvPathTree() = default;
    // One pass; what it cannot place goes to the pending list.
    void Pass(const std::vector<IFileNode*>& folders, KvTreeChanges& changes);
    OpNodeRef Place(IFileNode* folder, const OpNodeRef& parentRow, KvTreeChanges& changes);
    // Places the folder after its ancestors that have no row yet; false when
    // the ancestors do not end at a top folder within reach.
    bool PlaceWithAncestors(IFileNode* folder, KvTreeChanges& changes);
    void PlaceOrphans(KvTreeChanges& changes);
    // The lost-files row of the folder's root row (made on first use).
    std::pair<OpNodeRef, KvLostFolder*> LostRowFor(IFileNode* folder, KvTreeChanges& changes);

    // Every row made since the trees were last emptied. The row lookup holds
    // plain pointers to them, and a row no window took (none has handed its
    // arrays yet, or the publication was dropped) has no other owner.
    std::vector<OpNodeRef> rows_;
    std::vector<IFileNode*> pending_;
    std::vector<IFileNode*> carryOver_;
    // Lost-files rows by the root row they stand under (null: at the top).
    std::map<OpNodeData*, std::pair<OpNodeRef, std::shared_ptr<KvLostFolder>>> lostRows_;
};

// The row made for a node of the path tree, null when it has none.
OpNodeRef PathRowOf(IFileNode* node);
