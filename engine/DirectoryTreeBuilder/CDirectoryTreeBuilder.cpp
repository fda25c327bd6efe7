#include "CDirectoryTreeBuilder.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <typeinfo>

#include "RecoveryFilter.h"
#include "RecycleBin.h"
#include "SearchedPartitionInfo.h"

namespace {

class SystemClock final : public ITreeBuilderClock {
public:
    TimePoint Now() override { return std::chrono::steady_clock::now(); }
    void Wait(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

const char* TopFolderSuffix(_tagSearcherType type) {
    switch (type) {
        case SEARCHER_HFSPLUS:
            return "(HFS+)";
        case SEARCHER_FAT:
            return "(FAT/FAT32)";
        case SEARCHER_EXFAT:
            return "(ExFat)";
        case SEARCHER_RAW_BY_TYPE:
            return "(RAW Files)";
        case SEARCHER_NTFS:
            return "(NTFS)";
        case SEARCHER_RAW_BY_TAG:
            return "(Label RAW Files)";
        case SEARCHER_APFS:
            return "(APFS)";
        default:
            return "";
    }
}

const char* NameOf(CFileNode* node) {
    const char* name = node->GetFileName();
    return name ? name : "";
}

// A scan offers millions of nodes of a handful of classes: the class that
// last passed dynamic_cast is recognised by its type_info alone.
CFileNode* AsFileNode(IFileNode* node) {
    static std::atomic<const std::type_info*> lastFileNodeType{nullptr};
    if (!node) {
        return nullptr;
    }
    const std::type_info* type = &typeid(*node);
    if (type == lastFileNodeType.load(std::memory_order_relaxed)) {
        return static_cast<CFileNode*>(node);
    }
    auto* fileNode = dynamic_cast<CFileNode*>(node);
    if (fileNode) {
        lastFileNodeType.store(type, std::memory_order_relaxed);
    }
    return fileNode;
}

bool IsTrashName(const char* name) {
    return std::strcmp(name, ".Trashes") == 0 || std::strcmp(name, ".Trash") == 0;
}

}  // namespace

IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring, ITreeBuilderClock* clock,
                                         std::chrono::milliseconds setupPause) {
    static SystemClock systemClock;
    return new CDirectoryTreeBuilder(restoring, clock ? clock : &systemClock, setupPause);
}

IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring, std::chrono::milliseconds setupPause) {
    return CreateTreeBuilder(restoring, nullptr, setupPause);
}

CDirectoryTreeBuilder::CDirectoryTreeBuilder(bool restoring, ITreeBuilderClock* clock,
                                             std::chrono::milliseconds setupPause)
    : restoring_(restoring), clock_(clock), setupPause_(setupPause) {}

CDirectoryTreeBuilder::~CDirectoryTreeBuilder() {
    // Everything the builder accepted is its own, shown or not.
    for (Tree& tree : trees_) {
        for (const _TREE_NODE_ENTRY& entry : tree.nodes) {
            if (entry.node) {
                entry.node->Release();
            }
        }
        for (auto* list : {&tree.recycle.files, &tree.recycle.folders, &tree.recycle.infoFiles}) {
            for (CFileNode* node : *list) {
                node->Release();
            }
        }
        for (CFilesystemNode* lost : tree.lostFolders) {
            lost->Release();
        }
        tree.topFolder->Release();
    }
    trees_.clear();
}

bool CDirectoryTreeBuilder::Initialize(const char* rootName, IDrirectoryTree* tree,
                                       IRecoveryFilter* filter) {
    if (!rootName || !tree || !filter) {
        return false;
    }
    tree_ = tree;
    filter_ = filter;
    building_ = false;
    rootName_ = *rootName ? rootName : "Disk";
    return true;
}

void CDirectoryTreeBuilder::Release() {
    delete this;
}

void CDirectoryTreeBuilder::SetPartitonDevice(CSearchedPartitionInfo* partition,
                                              IStorageDevice* device) {
    partition_ = partition;
    device_ = device;
    if (partition != nullptr) {
        partitionOrigins_[partition->partitionIndex] = {
            static_cast<int64_t>(partition->firstDataSector),
            static_cast<int>(partition->sectorsPerCluster)};
    }
}

CDirectoryTreeBuilder::Tree* CDirectoryTreeBuilder::FindTree(_tagSearcherType type) {
    for (Tree& tree : trees_) {
        if (tree.type == type) {
            return &tree;
        }
    }
    return nullptr;
}

bool CDirectoryTreeBuilder::AddSearcherInfo(_tagSearcherType type, long long topId) {
    if (FindTree(type)) {
        return true;
    }
    const std::string name = rootName_ + TopFolderSuffix(type);
    Tree& tree = trees_.emplace_back();
    tree.type = type;
    tree.topFolder = new CFilesystemNode(name.c_str(), rootName_.c_str(), type, topId);
    tree.topId = topId;
    tree.lastBuildTime = clock_->Now();
    return true;
}

bool CDirectoryTreeBuilder::AddNode(IFileNode* offered, _tagSearcherType type) {
    // Every node class derives from CFileNode; anything else could never be linked.
    CFileNode* node = AsFileNode(offered);
    if (!node || !filter_ || !filter_->IsFileNodeValid(node)) {
        return false;
    }
    const long long id = node->GetCurrentNodeID();
    const long long parentId = node->GetParentNodeID();
    if (id == parentId) {
        return false;
    }
    Tree* found = FindTree(type);
    if (!found) {
        return false;
    }
    Tree& tree = *found;

    // Held until the tree is finished: only then is it known whether the node
    // lies in a recycle bin or merely has a name like a recycled file's.
    if (!building_ && type != SEARCHER_APFS && IsRecycled(tree, node)) {
        HoldBack(tree, node);
        return true;
    }

    ++tree.addedCount;
    ++tree.addedSinceLastBuild;

    const char* name = NameOf(node);
    if (!restoring_ && type == SEARCHER_HFSPLUS && tree.privateDataIds.empty() &&
        std::strcmp(name, "HFS+ Private Data") == 0 && parentId == tree.topId) {
        TakePrivateDataFolder(tree, id);
        return false;
    }

    const bool isFolder = node->IsDirectory() != 0;
    bool trashCandidate = false;
    if (isFolder && !tree.trashFound && IsTrashName(name)) {
        if (parentId == tree.topId) {
            MakeTrash(tree, node);
        } else if (IsUserTrash(tree, node)) {
            node->SetParentNodeID(tree.topId);
            MakeTrash(tree, node);
        } else {
            trashCandidate = true;
        }
    }

    if (tree.nodes.size() >= Tree::kNoPosition) {
        return false;  // positions are 32-bit; no volume comes near this
    }
    const auto position = static_cast<uint32_t>(tree.nodes.size());
    if (isFolder) {
        if (!tree.privateDataIds.empty() && tree.privateDataIds.front() == parentId) {
            return false;
        }
        if (name[0] == '.') {
            node->FilterFileNameByDot();
        }
        if (!Record(tree, tree.folders, node, position)) {
            return false;
        }
        if (trashCandidate) {
            tree.trashCandidates.push_back(position);
        }
        if (tree.waiters.Find(id)) {
            tree.arrivedIds.push_back(id);
        }
    } else {
        if (name[0] == '.') {
            return false;
        }
        if (!Record(tree, tree.files, node, position)) {
            return false;
        }
    }
    tree.nodes.push_back({node, _TREE_NODE_ENTRY::kPending});
    tree.fresh.push_back(position);

    Batch out;
    BuildTree(tree, out, false);
    if (!out.empty()) {
        tree.shownCount += out.size();
        HandOver(tree, out, 0);
    }
    return true;
}

bool CDirectoryTreeBuilder::Record(Tree& tree, NodeIdIndex& index, CFileNode* node,
                                   uint32_t position) {
    const long long id = node->GetCurrentNodeID();
    if (restoring_) {
        index.Add(id, position);
        return true;
    }
    const std::span<const uint32_t> earlierPositions = index.AddIfNew(id, position);
    if (earlierPositions.empty()) {
        return true;
    }
    for (uint32_t earlierPosition : earlierPositions) {
        CFileNode* earlier = tree.nodes[earlierPosition].node;
        if (!earlier || !(*earlier == *node)) {
            continue;
        }
        // The same record reported twice: keep the first; an older copy
        // that still has data lends it its extents.
        if (node->GetFileSize() != 0 &&
            earlier->GetModificationTime() > node->GetModificationTime()) {
            earlier->MergeNode(node);
        }
        return false;
    }
    index.Add(id, position);
    return true;
}

bool CDirectoryTreeBuilder::IsRecycled(Tree& tree, CFileNode* node) const {
    if (CRecyclerFilter::IsRecycleBin(node)) {
        return true;
    }
    // Both kinds of recycled file start with "$" or "#"; most names are not
    // looked at twice.
    const char first = NameOf(node)[0];
    if ((first == '$' || first == '#') &&
        (CRecyclerFilter::IsRecoverNode(node) || CRecyclerFilter::IsRecoverNodeEx(node))) {
        return true;
    }
    return !tree.recycle.folderIds.empty() &&
           tree.recycle.folderIds.count(node->GetParentNodeID()) != 0;
}

void CDirectoryTreeBuilder::HoldBack(Tree& tree, CFileNode* node) {
    if (node->GetAttribute() & 0x10) {
        tree.recycle.folders.push_back(node);
        tree.recycle.folderIds.insert(node->GetCurrentNodeID());
    } else if (std::strncmp(NameOf(node), "$I", 2) == 0) {
        tree.recycle.infoFiles.push_back(node);
    } else {
        tree.recycle.files.push_back(node);
    }
}

void CDirectoryTreeBuilder::TakePrivateDataFolder(Tree& tree, long long privateDataId) {
    tree.privateDataIds.push_back(privateDataId);
    // Folders already recorded below it are dropped. Until now the tree has not
    // been linked (it waits for this folder), so nothing hangs below them.
    for (uint32_t position = 0; position < tree.nodes.size(); ++position) {
        _TREE_NODE_ENTRY& entry = tree.nodes[position];
        CFileNode* folder = entry.node;
        if (!folder || entry.state != _TREE_NODE_ENTRY::kPending || !folder->IsDirectory() ||
            folder->GetParentNodeID() != privateDataId) {
            continue;
        }
        tree.folders.Remove(folder->GetCurrentNodeID(), position);
        folder->Release();
        // The entry stays in place, and in any waiter chain it is part of.
        entry.node = nullptr;
        entry.state = _TREE_NODE_ENTRY::kGone;
    }
}

void CDirectoryTreeBuilder::MakeTrash(Tree& tree, CFileNode* node) {
    tree.trashId = node->GetCurrentNodeID();
    tree.trashFound = true;
    node->MarkDeleted();
}

CDirectoryTreeBuilder::ClusterOrigin CDirectoryTreeBuilder::OriginOf(CFileNode* node) const {
    const auto found = partitionOrigins_.find(node->GetBelongedPartition());
    if (found != partitionOrigins_.end()) {
        return found->second;
    }
    if (partition_ != nullptr) {
        return {static_cast<int64_t>(partition_->firstDataSector),
                static_cast<int>(partition_->sectorsPerCluster)};
    }
    return {0, 2};
}

// A "$R" file takes the name its "$I" twin (same rest of the name) records.
void CDirectoryTreeBuilder::RestoreRecycledName(Tree& tree, CFileNode* node,
                                                std::vector<CFileNode*>& infos) {
    const char* name = NameOf(node);
    if (device_ == nullptr || std::strncmp(name, "$R", 2) != 0 ||
        CRecyclerFilter::IsRecycleBinSigleNode(node)) {
        return;
    }
    const size_t length = std::strlen(name);
    for (auto it = infos.begin(); it != infos.end(); ++it) {
        const char* infoName = NameOf(*it);
        const size_t shorter = std::min(length, std::strlen(infoName));
        if (shorter < 2 || std::strncmp(name + 2, infoName + 2, shorter - 2) != 0) {
            continue;
        }
        if ((*it)->GetFileSize() <= 1024) {
            const ClusterOrigin origin = OriginOf(node);
            CRecyclerFilter::RestorFileName(device_, node, *it, origin.start,
                                            origin.sectorsPerCluster, tree.type);
            (*it)->Release();
            infos.erase(it);
        }
        return;
    }
}
