#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <unordered_set>

#include "DiskVolumeNodeData.h"
#include "FileNode.h"
#include "FileTypeManager.h"
#include "KvCPPPublic.h"
#include "KvPathTree.h"
#include "KvResultTrees.h"
#include "KvScanUpdates.h"
#include "KvTimeMgr.h"
#include "KvTypeMgr.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"
#include "KvUIScan.h"
#include "KvUITrees.h"

namespace {

std::atomic<int> g_bPauseAddData{0};

// Folder children of a node, each once: a looping sibling chain ends the walk.
template <typename Visit>
void ForEachChild(IFileNode* folder, Visit visit) {
    std::unordered_set<IFileNode*> seen;
    for (IFileNode* child = folder->GetFirstChild(); child != nullptr && seen.insert(child).second;
         child = child->GetNextNode())
        visit(child);
}

void AddPathRows(OpNodeArray& rows, int depth) {
    if (depth >= KvCPPPublic::kMostLevels)
        return;
    const size_t count = rows.size();
    for (size_t i = 0; i < count; ++i) {
        OpNodeData* row = rows[i].get();
        if (row->fileNode() != nullptr && row->isExpandAble()) {
            std::unordered_set<IFileNode*> listed;
            for (const OpNodeRef& child : row->childRows())
                listed.insert(child->fileNode());
            ForEachChild(row->fileNode(), [&](IFileNode* child) {
                if (!child->IsDirectory() || !child->IsNodeShow() ||
                    !KvUIScan::FindRemoveData(child) || listed.count(child) != 0)
                    return;
                auto made = std::make_shared<OpNodeData>(
                    TreeNodeData{child->IsDirectory(), child->IsDeleted(), 0, child});
                made->setExpandAble(1);
                made->setParent(row);
                row->addChildObject(made);
            });
        }
        // The children are this row's own: walked by index, as they are rows.
        OpNodeArray children = row->childRows();
        AddPathRows(children, depth + 1);
    }
}

}  // namespace

void ResetTreesLocked(bool uncheck) {
    KvResultTrees& trees = KvResultTrees::instance();
    auto changes = std::make_unique<KvTreeChanges>(trees.NextGeneration());
    KvUIScan* scan = KvUIScan::instance();
    if (uncheck) {
        // Everything the type tree held, which is every shown file it was fed.
        for (const auto& [category, files] : scan->GetTypeMap()) {
            for (IFileNode* file : files)
                OpNodeData::setFileNode(file, CHECK_STATUS_UNCHECKED);
        }
    }
    KvPathTree::instance().Clear(*changes);
    KvTypeMgr::share().clear();
    KvTimeMgr::share().clear();
    scan->KvResetFileNode();
    changes->ClearTreesFirst(uncheck, KvTypeMgr::share().getRootNode());
    KvScanUpdates::instance()->Reset();
    trees.Publish(std::move(changes));
}

void RefreshTreesLocked(int tree, int final, const std::vector<IFileNode*>* hits,
                        KvTreeChanges& changes) {
    switch (tree) {
        case OpNodeData::kPathTree:
            if (hits != nullptr)
                KvPathTree::instance().RefreshWithSearch(*hits, changes);
            else
                KvPathTree::instance().Refresh(final, changes);
            break;
        case OpNodeData::kTypeTree:
            KvTypeMgr::share().refreshTypeTree(changes);
            break;
        default:
            KvTimeMgr::share().refreshTimeTree(tree, changes);
            break;
    }
}

void KvUIController::GetDeviceInfoToArray(std::vector<std::shared_ptr<DiskVolumeNodeData>>* list) {
    if (list == nullptr)
        return;
    std::list<_DiskVolumeData> disks;
    KvUIDeviceData::instance()->GetAllDeviceInfo(disks);
    for (const _DiskVolumeData& disk : disks) {
        auto row = std::make_shared<DiskVolumeNodeData>(disk);
        if (!disk.volumes.empty()) {
            std::vector<std::shared_ptr<DiskVolumeNodeData>> volumes;
            for (const _DiskVolumeData& volume : disk.volumes)
                volumes.push_back(std::make_shared<DiskVolumeNodeData>(volume));
            row->setSubNode(std::move(volumes));
        }
        list->push_back(std::move(row));
    }
}

QString KvUIController::getImageForType(const QString& extension) {
    return KvTypeMgr::share().getImageForType(extension);
}

void KvUIController::initFileType() {
    std::map<int, std::string> lists;
    for (int category : {1, 2, 4, 8, 16, 32})
        lists[category] = KvTypeMgr::share().getTypeString(category).toLatin1().toStdString();
    CFileTypeManager::Initialze(lists);
}

bool KvUIController::KvSetTreeNodeData(const KvTreeRoots* roots) {
    return KvResultTrees::instance().SetRoots(roots);
}

void KvUIController::KvResetTreeNodeData() {
    std::lock_guard tree(KvScanUpdates::instance()->TreeLock());
    ResetTreesLocked(false);
}

bool KvUIController::KvGetTreeNodeData(int final, const QString& /*key*/) {
    KvResultTrees& trees = KvResultTrees::instance();
    auto changes = std::make_unique<KvTreeChanges>(trees.Generation());
    for (int tree : {OpNodeData::kTypeTree, OpNodeData::kCreatedTree, OpNodeData::kModifiedTree,
                     OpNodeData::kPathTree})
        RefreshTreesLocked(tree, final, nullptr, *changes);
    trees.Publish(std::move(changes));
    return true;
}

int KvUIController::GetScanTreeNodeData(OpNodeArray* roots, int clearNodeState) {
    if (roots == nullptr)
        return 0;
    KvUIScan* scan = KvUIScan::instance();
    scan->SetOpTreeFinished(0);
    for (IFileNode* root : scan->GetFileSystemNode()) {
        if (root == nullptr)
            continue;
        if (clearNodeState) {
            root->ShowNode(1);
            root->SetCheck(CHECK_STATUS_UNCHECKED);
        }
        if (!IsFileNode(root, *roots)) {
            auto row = std::make_shared<OpNodeData>(
                TreeNodeData{root->IsDirectory(), root->IsDeleted(), 1, root});
            row->setExpandAble(1);
            roots->push_back(std::move(row));
        }
    }
    AddPathNodeToArray(*roots);
    scan->SetOpTreeFinished(1);
    return 0;
}

void KvUIController::AddPathNodeToArray(OpNodeArray& rows) {
    AddPathRows(rows, 0);
}

bool KvUIController::IsFileNode(IFileNode* node, const OpNodeArray& rows) {
    for (const OpNodeRef& row : rows) {
        if (row->fileNode() == node)
            return true;
    }
    return false;
}

int KvUIController::GetFileNodeToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    if (row == nullptr)
        return 0;
    switch (row->type()) {
        case OpNodeData::kPathTree:
            return GetPathInfoToArray(files, row);
        case OpNodeData::kTypeTree:
            return GetTypeInfoToArray(files, row);
        case OpNodeData::kCreatedTree:
        case OpNodeData::kModifiedTree:
            return GetDateInfoToArray(files, row);
        default:
            return 0;
    }
}

int KvUIController::GetPathInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    if (row == nullptr || !row->isDirect() || files == nullptr)
        return 0;
    files->clear();
    if (row->fileNode() == nullptr)
        return 0;
    ForEachChild(row->fileNode(), [files](IFileNode* child) {
        if (!child->IsDirectory() && child->IsNodeShow())
            files->push_back(child);
    });
    return files->empty() ? 0 : 1;
}

int KvUIController::GetTypeInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    if (row == nullptr || files == nullptr)
        return 0;
    files->clear();
    if (row->parent() == nullptr && !KvTypeMgr::share().isOtherNode(row))
        return 1;
    *files = row->childFiles();
    return 0;
}

int KvUIController::GetDateInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    if (row == nullptr || files == nullptr)
        return 0;
    files->clear();
    int year = 0;
    const int64_t key =
        row->type() == OpNodeData::kCreatedTree ? row->createtime() : row->modifytime();
    KvCPPPublic::instance().GetYearMonthByTimeT(&year, nullptr, key);
    if (row->parent() == nullptr || row->name() == QString::asprintf("%04d", year))
        return 0;
    *files = row->childFiles();
    return 0;
}

uint64_t KvUIController::GetNodeChildrenCnt(const OpNodeData* row) {
    if (row == nullptr)
        return 0;
    const bool dateRoot = row->parent() == nullptr && (row->type() == OpNodeData::kCreatedTree ||
                                                       row->type() == OpNodeData::kModifiedTree);
    uint64_t count = 0;
    if (dateRoot) {
        for (const OpNodeRef& year : row->childRows())
            count += GetNodeChildrenCnt(year.get());
        return count;
    }
    if (!row->childFiles().empty())
        return row->childCount();
    for (const OpNodeRef& child : row->childRows())
        count += child->childCount();
    return count;
}

void KvUIController::RefreshData() {
    // The scan's indexes need no refreshing: they are filled as nodes arrive.
}

void KvUIController::setNodeState(OpNodeData* row, const std::vector<IFileNode*>& files) {
    if (row == nullptr)
        return;
    int64_t sum = 0;
    int64_t shown = 0;
    for (IFileNode* file : files) {
        if (file == nullptr || !file->IsNodeShow())
            continue;
        const int state = file->GetCheckedStatus();
        sum += state;
        ++shown;
        if (state == CHECK_STATUS_UNCHECKED && sum > 0 && row->state() == 1)
            break;
        if (state != CHECK_STATUS_UNCHECKED && row->state() != 1)
            row->setNodeState(1);
    }
    if (sum == 0)
        row->setNodeState(0);
    else if (sum == 2 * shown)
        row->setNodeState(2);
}

void KvUIController::RefreshTypeTreeState(OpNodeData* extensionRow) {
    if (extensionRow != nullptr)
        KvTypeMgr::share().setNodeState(extensionRow);
    else
        KvTypeMgr::share().refreshTypeTreeState();
}

void KvUIController::RefreshTimeTreeState(const OpNodeArray& roots, int mode) {
    KvTimeMgr& manager = KvTimeMgr::share();
    if (mode == 1) {
        if (!manager.KvGetNeedRefreshTree())
            return;
        manager.KvResetNeedRefreshTree();
    }
    const int shown = KvUIScan::instance()->GetScanType();
    // Only a date tree's marks come from a date index: the others' would all read as unchecked.
    if (shown != OpNodeData::kCreatedTree && shown != OpNodeData::kModifiedTree)
        return;
    const KvUIScan::DateIndex index = shown == OpNodeData::kCreatedTree
                                          ? KvUIScan::instance()->GetCreateTimeMap()
                                          : KvUIScan::instance()->GetModifyTimeMap();
    static const std::vector<IFileNode*> kNone;
    for (const OpNodeRef& root : roots) {
        for (const OpNodeRef& yearRow : root->childRows()) {
            for (const OpNodeRef& monthRow : yearRow->childRows()) {
                int year = 0;
                int month = 0;
                KvCPPPublic::instance().GetYearMonthByTimeT(&year, &month,
                                                            shown == OpNodeData::kCreatedTree
                                                                ? monthRow->createtime()
                                                                : monthRow->modifytime());
                auto inYear = index.find(year);
                const std::vector<IFileNode*>* files = &kNone;
                if (inYear != index.end()) {
                    auto inMonth = inYear->second.find(month);
                    if (inMonth != inYear->second.end())
                        files = &inMonth->second;
                }
                setNodeState(monthRow.get(), *files);
            }
        }
    }
}

bool KvUIController::KvCleanOpNodeSate() {
    std::lock_guard tree(KvScanUpdates::instance()->TreeLock());
    KvResultTrees& trees = KvResultTrees::instance();
    for (int kind : {OpNodeData::kPathTree, OpNodeData::kTypeTree, OpNodeData::kCreatedTree,
                     OpNodeData::kModifiedTree}) {
        if (OpNodeArray* roots = trees.Roots(kind)) {
            for (const OpNodeRef& root : *roots)
                root->setNodeState(0);
        }
    }
    return true;
}

void KvUIController::UnselectedAllNodes() {
    KvUIScan::instance()->UnselectAllNodes();
}

void KvUIController::KvTableViewCellCilck() {
    KvTypeMgr::share().KvSetNeedRefreshTree();
    KvTimeMgr::share().KvSetNeedRefreshTree();
}

bool KvUIController::KvGetIsSearching() {
    return KvUIScan::instance()->IsSearching() != 0;
}

void KvUIController::KvSetFlag(int flag) {
    g_bPauseAddData = flag;
}
