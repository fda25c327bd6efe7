#include "KvPathTree.h"

#include <cstdio>
#include <unordered_set>

#include "EngineLog.h"
#include "FileNode.h"
#include "KvCPPPublic.h"
#include "KvResultTrees.h"
#include "KvUIScan.h"

namespace {

// Extra passes the last refresh of a scan makes over folders still waiting.
constexpr int kFinalPasses = 100;

}  // namespace

// The lost-files folder of the path tree. It is the interface's own node:
// the engine's links stay as they are, and its check mark is that of the
// folders placed in it.
class KvLostFolder : public CFilesystemNode {
public:
    explicit KvLostFolder(_tagSearcherType type)
        : CFilesystemNode("Other lost files", "LostFiles", type, -1) {}

    void SetCheck(_tagCheckedStatus status) override {
        for (IFileNode* member : members)
            member->SetCheck(status);
    }
    _tagCheckedStatus GetCheckedStatus() override {
        bool some = false;
        bool all = !members.empty();
        for (IFileNode* member : members) {
            const _tagCheckedStatus status = member->GetCheckedStatus();
            some = some || status != CHECK_STATUS_UNCHECKED;
            all = all && status == CHECK_STATUS_CHECKED;
        }
        return all ? CHECK_STATUS_CHECKED : some ? CHECK_STATUS_PARTLY : CHECK_STATUS_UNCHECKED;
    }

    std::vector<IFileNode*> members;
};

OpNodeRef PathRowOf(IFileNode* node) {
    auto* row = static_cast<OpNodeData*>(KvUIScan::instance()->KvGetFileNode(node));
    return row != nullptr ? row->shared_from_this() : nullptr;
}

KvPathTree& KvPathTree::instance() {
    static KvPathTree tree;
    return tree;
}

OpNodeRef KvPathTree::Place(IFileNode* folder, const OpNodeRef& parentRow,
                            KvTreeChanges& changes) {
    const int32_t top = parentRow ? 0 : 1;
    auto row = std::make_shared<OpNodeData>(
        TreeNodeData{folder->IsDirectory(), folder->IsDeleted(), top, folder});
    row->setExpandAble(top);
    row->setParent(parentRow.get());
    changes.AddRow(OpNodeData::kPathTree, row, parentRow);
    KvUIScan::instance()->KvSetFileNode(folder, row.get());
    rows_.push_back(row);
    return row;
}

void KvPathTree::Pass(const std::vector<IFileNode*>& folders, KvTreeChanges& changes) {
    for (IFileNode* folder : folders) {
        if (folder == nullptr || PathRowOf(folder))
            continue;
        IFileNode* parent = folder->GetParent();
        if (parent == nullptr) {
            Place(folder, nullptr, changes);
            continue;
        }
        if (OpNodeRef parentRow = PathRowOf(parent))
            Place(folder, parentRow, changes);
        else
            pending_.push_back(folder);
    }
}

void KvPathTree::Refresh(int final, KvTreeChanges& changes) {
    pending_.clear();
    Pass(KvUIScan::instance()->KvGetNewPathNode(), changes);
    carryOver_.insert(carryOver_.end(), pending_.begin(), pending_.end());
    for (int pass = 0; pass <= (final ? kFinalPasses : 0) && !carryOver_.empty(); ++pass) {
        pending_.clear();
        const std::vector<IFileNode*> waiting = carryOver_;
        Pass(waiting, changes);
        carryOver_ = pending_;
    }
    pending_.clear();
    if (!final)
        return;
    CatchExeception::WriteLog("zzmark: lost filenode:%lu\n",
                              static_cast<unsigned long>(carryOver_.size()));
    PlaceOrphans(changes);
}

bool KvPathTree::PlaceWithAncestors(IFileNode* folder, KvTreeChanges& changes) {
    // The ancestors without a row, nearest first.
    std::vector<IFileNode*> missing;
    OpNodeRef parentRow;
    for (IFileNode* node = folder; node != nullptr; node = node->GetParent()) {
        if ((parentRow = PathRowOf(node)))
            break;
        if (missing.size() >= static_cast<size_t>(KvCPPPublic::kMostLevels))
            return false;
        missing.push_back(node);
    }
    for (auto node = missing.rbegin(); node != missing.rend(); ++node)
        parentRow = Place(*node, parentRow, changes);
    return true;
}

void KvPathTree::RefreshWithSearch(const std::vector<IFileNode*>& hits, KvTreeChanges& changes) {
    size_t unplaced = 0;
    for (IFileNode* hit : hits) {
        IFileNode* folder = hit != nullptr ? hit->GetParent() : nullptr;
        if (folder != nullptr && !PlaceWithAncestors(folder, changes))
            ++unplaced;
    }
    CatchExeception::WriteLog("zzmark: lost filenode with search:%lu\n",
                              static_cast<unsigned long>(unplaced));
}

void KvPathTree::PlaceOrphans(KvTreeChanges& changes) {
    const std::unordered_set<IFileNode*> orphans(carryOver_.begin(), carryOver_.end());
    for (IFileNode* orphan : carryOver_) {
        if (PathRowOf(orphan))
            continue;
        // Climb through the orphans above it, to the head of its chain.
        std::vector<IFileNode*> chain{orphan};
        std::unordered_set<IFileNode*> seen{orphan};
        IFileNode* parent = orphan->GetParent();
        while (parent != nullptr && orphans.count(parent) != 0 && !PathRowOf(parent) &&
               seen.insert(parent).second && chain.size() < KvCPPPublic::kMostLevels) {
            chain.push_back(parent);
            parent = parent->GetParent();
        }
        OpNodeRef row = parent != nullptr ? PathRowOf(parent) : nullptr;
        if (!row) {
            auto [lostRow, lostFolder] = LostRowFor(chain.back(), changes);
            lostFolder->members.push_back(chain.back());
            row = lostRow;
        }
        for (auto node = chain.rbegin(); node != chain.rend(); ++node)
            row = Place(*node, row, changes);
    }
    carryOver_.clear();
}

std::pair<OpNodeRef, KvLostFolder*> KvPathTree::LostRowFor(IFileNode* folder,
                                                           KvTreeChanges& changes) {
    IFileNode* top = KvCPPPublic::instance().GetFileSystemNode(folder);
    OpNodeRef topRow = top != nullptr ? PathRowOf(top) : nullptr;
    if (topRow && !topRow->isFileSystem())
        topRow = nullptr;
    auto& [row, node] = lostRows_[topRow.get()];
    if (!row) {
        node = std::make_shared<KvLostFolder>(top != nullptr ? top->GetSearcheType()
                                                             : SEARCHER_NONE);
        row = std::make_shared<OpNodeData>(TreeNodeData{1, 0, topRow ? 0 : 1, node.get()});
        row->setExpandAble(topRow ? 0 : 1);
        row->setParent(topRow.get());
        changes.AddRow(OpNodeData::kPathTree, row, topRow);
        KvUIScan::instance()->KvSetFileNode(node.get(), row.get());
    }
    return {row, node.get()};
}

void KvPathTree::Clear(KvTreeChanges& changes) {
    for (auto& [top, lost] : lostRows_)
        changes.Retire(lost.second);
    lostRows_.clear();
    changes.Retire(std::make_shared<std::vector<OpNodeRef>>(std::move(rows_)));
    rows_.clear();
    pending_.clear();
    carryOver_.clear();
}
