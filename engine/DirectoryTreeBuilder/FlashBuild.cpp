#include <algorithm>
#include <utility>

#include "CDirectoryTreeBuilder.h"
#include "EngineLog.h"
#include "RecoveryFilter.h"
#include "RecycleBin.h"

void CDirectoryTreeBuilder::FlashBuild(_tagSearcherType type) {
    Tree* found = FindTree(type);
    if (!found) {
        return;
    }
    Tree& tree = *found;
    building_ = true;
    OfferHeldRecycleNodes(tree);
    // The trash is settled before linking, so what links below it is marked deleted.
    if (!tree.trashFound) {
        for (uint32_t position : tree.trashCandidates) {
            CFileNode* candidate = tree.nodes[position].node;
            if (candidate && IsUserTrash(tree, candidate)) {
                MakeTrash(tree, candidate);
                break;
            }
        }
    }
    LinkAll(tree);
    ReturnUnlinkedFilesToPending(tree);
    MarkDeletedBelowDeleted(tree);
    LinkAll(tree);
    BuildLostNodes(tree);
    ReleaseUnshownNodes(tree);
    CatchExeception::WriteLog(
        "CDirectoryTreeBuilder::FlashBuild  searcherType : %d, total files: %lld\n",
        static_cast<int>(type), static_cast<long long>(tree.shownCount));
    CatchExeception::WriteLog(
        "CDirectoryTreeBuilder::FlashBuild  searcherType : %d, total added files: %lld\n",
        static_cast<int>(type), static_cast<long long>(tree.addedCount));
    building_ = false;
}

void CDirectoryTreeBuilder::OfferHeldRecycleNodes(Tree& tree) {
    std::vector<CFileNode*> folders = std::exchange(tree.recycle.folders, {});
    std::vector<CFileNode*> files = std::exchange(tree.recycle.files, {});
    std::vector<CFileNode*> infos = std::exchange(tree.recycle.infoFiles, {});
    tree.recycle.folderIds.clear();
    std::stable_sort(folders.begin(), folders.end(), [](CFileNode* a, CFileNode* b) {
        return a->GetParentNodeID() < b->GetParentNodeID();
    });
    HeldFolders held;
    for (CFileNode* folder : folders) {
        held.emplace(folder->GetCurrentNodeID(), folder);
    }
    // Every verdict is taken before anything is offered again: a refused node is released.
    std::vector<CFileNode*> binInfos;
    std::vector<CFileNode*> offered;
    std::vector<bool> recycled;
    for (CFileNode* info : infos) {
        if (LiesInRecycleBin(tree, held, info)) {
            binInfos.push_back(info);
        } else {
            offered.push_back(info);
            recycled.push_back(false);
        }
    }
    for (auto* list : {&folders, &files}) {
        for (CFileNode* node : *list) {
            offered.push_back(node);
            recycled.push_back(LiesInRecycleBin(tree, held, node));
        }
    }
    for (size_t i = 0; i < offered.size(); ++i) {
        CFileNode* node = offered[i];
        if (recycled[i]) {
            node->MarkDeleted();
            RestoreRecycledName(tree, node, binInfos);
        }
        // Held nodes were accepted once, so the builder still owns those it now refuses.
        if (!AddNode(node, tree.type)) {
            node->Release();
        }
    }
    // A bin's info files only ever serve to name its recycled files.
    for (CFileNode* info : binInfos) {
        info->Release();
    }
    partitionOrigins_.clear();
}

// A node held for its name is recycled only when a recycle-bin folder lies
// above it; the walk goes through the held folders and the recorded ones.
bool CDirectoryTreeBuilder::LiesInRecycleBin(Tree& tree, const HeldFolders& held, CFileNode* node) {
    if (CRecyclerFilter::IsRecycleBin(node)) {
        return true;
    }
    const uint16_t partition = node->GetBelongedPartition();
    CFileNode* current = node;
    for (size_t steps = 0; steps <= tree.nodes.size() + held.size(); ++steps) {
        const long long parentId = current->GetParentNodeID();
        if (parentId == tree.topId) {
            return false;
        }
        CFileNode* parent = nullptr;
        const auto [first, last] = held.equal_range(parentId);
        for (auto it = first; it != last; ++it) {
            if (!parent || it->second->GetBelongedPartition() == partition) {
                parent = it->second;
            }
        }
        if (!parent) {
            parent = FindParent(tree, current).node;
        }
        if (!parent) {
            return false;
        }
        if (CRecyclerFilter::IsRecycleBinSigleNode(parent)) {
            return true;
        }
        current = parent;
    }
    return false;  // the parent ids run in a circle
}

void CDirectoryTreeBuilder::ReturnUnlinkedFilesToPending(Tree& tree) {
    // Only a restored result keeps unshown nodes past a finished build.
    for (_TREE_NODE_ENTRY& entry : tree.nodes) {
        if (entry.state == _TREE_NODE_ENTRY::kKept && !entry.node->IsDirectory() &&
            !entry.node->GetParent()) {
            entry.state = _TREE_NODE_ENTRY::kPending;
        }
    }
}

void CDirectoryTreeBuilder::MarkDeletedBelowDeleted(Tree& tree) {
    // A pending node whose parent is deleted, or whose parent is a pending node
    // that becomes deleted this way, is deleted. Each node is settled once.
    enum : uint8_t { kUnknown, kVisiting, kAlive, kDeleted };
    std::vector<uint8_t> verdict(tree.nodes.size(), kUnknown);
    std::vector<uint32_t> path;
    for (uint32_t start = 0; start < tree.nodes.size(); ++start) {
        const _TREE_NODE_ENTRY& entry = tree.nodes[start];
        if (entry.state != _TREE_NODE_ENTRY::kPending || verdict[start] != kUnknown ||
            entry.node->IsDeleted()) {
            continue;
        }
        path.clear();
        uint8_t result = kAlive;
        for (uint32_t current = start;;) {
            verdict[current] = kVisiting;
            path.push_back(current);
            const ParentRef parent = FindParent(tree, tree.nodes[current].node);
            if (!parent.node || parent.isTop) {
                break;
            }
            if (parent.node->IsDeleted()) {
                result = kDeleted;
                break;
            }
            if (tree.nodes[parent.position].state != _TREE_NODE_ENTRY::kPending) {
                break;
            }
            if (verdict[parent.position] != kUnknown) {
                // A settled parent decides; one on the current path means a loop.
                if (verdict[parent.position] == kDeleted) {
                    result = kDeleted;
                }
                break;
            }
            current = parent.position;
        }
        for (uint32_t position : path) {
            verdict[position] = result;
            if (result == kDeleted) {
                tree.nodes[position].node->MarkDeleted();
            }
        }
    }
}

void CDirectoryTreeBuilder::BuildLostNodes(Tree& tree) {
    CatchExeception::WriteLog("CDirectoryTreeBuilder::BuildLostNodes entry\n");
    auto isEmptySizedFile = [](CFileNode* node) {
        return !node->IsDirectory() && node->GetFileSize() == 0;
    };
    // Empty files hanging in chains that never reached the top are dropped.
    for (const _TREE_NODE_ENTRY& entry : tree.nodes) {
        CFileNode* parent = entry.node ? entry.node->GetParent() : nullptr;
        if (entry.state == _TREE_NODE_ENTRY::kPending && parent && isEmptySizedFile(entry.node)) {
            parent->RemoveChild(entry.node);
        }
    }
    // The head of each unconnected chain goes into the lost-files folder when it
    // has something to show, and its whole chain goes with it; the rest stays
    // pending and is released, so nothing shown hangs below a released node.
    auto* lost = new CFilesystemNode("Other lost files", "LostFiles", tree.type, -1);
    const bool showNormal = filter_->ShowNormalFiles();
    for (const _TREE_NODE_ENTRY& entry : tree.nodes) {
        CFileNode* node = entry.node;
        if (entry.state != _TREE_NODE_ENTRY::kPending || node->GetParent()) {
            continue;
        }
        const bool keep = node->IsDirectory()
                              ? !HasFileBelow(node, tree.nodes.size())
                              : node->GetFileSize() == 0 || (!node->IsDeleted() && !showNormal);
        if (!keep) {
            lost->AddChild(node);
        }
    }
    std::vector<uint32_t> chains;
    for (CFileNode* head = lost->GetFirstChild(); head; head = head->GetNextNode()) {
        Connect(tree, head, PositionOf(tree, head), chains);
    }
    // The batch goes in arrival order, the lost-files folder last.
    Batch batch;
    InArrivalOrder(tree, chains, batch);
    CatchExeception::WriteLog("CDirectoryTreeBuilder BuildLostNodes nodsNotify.size() = %ld.\n",
                              static_cast<long>(batch.size()));
    if (batch.empty()) {
        lost->Release();
        return;
    }
    batch.push_back(lost);
    tree.topFolder->AddChild(lost);
    tree.lostFolders.push_back(lost);
    HandOver(tree, batch, 1);
}

void CDirectoryTreeBuilder::ReleaseUnshownNodes(Tree& tree) {
    int released = 0;
    for (_TREE_NODE_ENTRY& entry : tree.nodes) {
        if (entry.state != _TREE_NODE_ENTRY::kPending) {
            continue;
        }
        if (restoring_) {
            entry.state = _TREE_NODE_ENTRY::kKept;
        } else {
            entry.node->Release();
            entry = {nullptr, _TREE_NODE_ENTRY::kGone};
            ++released;
        }
    }
    if (!restoring_) {
        tree.folders.Clear();
        tree.files.Clear();
    }
    tree.fresh.clear();
    tree.waiters.Clear();
    tree.arrivedIds.clear();
    tree.trashCandidates.clear();
    CatchExeception::WriteLog(
        "CDirectoryTreeBuilder::ReleaseNodeByFilter --- nReleasedCount = %d\n", released);
}
