#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "DirectoryTreeBuilder.h"
#include "FileNode.h"
#include "FlatIdMap.h"
#include "HugePageAllocator.h"
#include "NodeIdIndex.h"
#include "TreeBuilderClock.h"

// One accepted node and where it stands.
struct _TREE_NODE_ENTRY {
    enum State : uint8_t {
        kPending,  // recorded, not yet connected to the top folder
        kShown,    // handed to the tree sink
        kKept,     // left unshown by a finished build of a restored result
        kGone,     // released; `node` is null
    };
    static constexpr uint32_t kNoWaiter = UINT32_MAX;

    CFileNode* node;
    State state;
    bool waiting = false;             // listed among the waiters for its parent id
    uint32_t nextWaiter = kNoWaiter;  // the next node waiting for the same id
};

// Nodes that may belong to a recycle bin, held back until the tree is finished.
struct _RECYCLE_HOLD {
    std::vector<CFileNode*> files;
    std::vector<CFileNode*> folders;
    std::vector<CFileNode*> infoFiles;  // "$I..." files, shown only outside a bin
    std::unordered_set<long long> folderIds;
};

// The result tree of one searcher type while it is being built.
struct _DIRECTORY_TREE_INFO {
    static constexpr uint32_t kNoPosition = UINT32_MAX;

    _tagSearcherType type;
    CFilesystemNode* topFolder;
    long long topId;
    long long trashId = 0;
    bool trashFound = false;
    bool topAnnounced = false;

    std::vector<_TREE_NODE_ENTRY, HugePageAllocator<_TREE_NODE_ENTRY>>
        nodes;            // every accepted node, in arrival order
    NodeIdIndex folders;  // positions in `nodes` by node id
    NodeIdIndex files;
    std::vector<uint32_t> fresh;  // accepted since the last linking pass
    // Unlinked nodes by the parent id that was missing when they tried to link:
    // the first waiter's position, the others chained through nextWaiter.
    FlatIdMap<uint32_t> waiters;
    std::vector<long long> arrivedIds;  // waited-for ids recorded since the last pass
    std::vector<uint32_t> trashCandidates;
    std::vector<long long> privateDataIds;
    _RECYCLE_HOLD recycle;
    std::vector<CFilesystemNode*> lostFolders;

    uint32_t addedSinceLastBuild = 0;
    uint64_t shownCount = 0;
    uint64_t addedCount = 0;
    ITreeBuilderClock::TimePoint lastBuildTime;
};

class CDirectoryTreeBuilder final : public IDirecotryTreeBuilder {
public:
    CDirectoryTreeBuilder(bool restoring, ITreeBuilderClock* clock,
                          std::chrono::milliseconds setupPause);
    ~CDirectoryTreeBuilder() override;
    CDirectoryTreeBuilder(const CDirectoryTreeBuilder&) = delete;
    CDirectoryTreeBuilder& operator=(const CDirectoryTreeBuilder&) = delete;

    bool Initialize(const char* rootName, IDrirectoryTree* tree, IRecoveryFilter* filter) override;
    bool AddNode(IFileNode* node, _tagSearcherType type) override;
    bool AddSearcherInfo(_tagSearcherType type, long long topId) override;
    void FlashBuild(_tagSearcherType type) override;
    void Release() override;
    void SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) override;

private:
    using Tree = _DIRECTORY_TREE_INFO;
    using Batch = std::vector<IFileNode*>;

    // A node's parent as the tree knows it.
    struct ParentRef {
        CFileNode* node = nullptr;
        uint32_t position = Tree::kNoPosition;  // in tree.nodes; none for the top folder
        bool isTop = false;
    };

    Tree* FindTree(_tagSearcherType type);

    // Accepting nodes.
    bool IsRecycled(Tree& tree, CFileNode* node) const;
    void HoldBack(Tree& tree, CFileNode* node);
    void TakePrivateDataFolder(Tree& tree, long long privateDataId);
    static void MakeTrash(Tree& tree, CFileNode* node);
    bool Record(Tree& tree, NodeIdIndex& index, CFileNode* node, uint32_t position);

    // Linking.
    ParentRef FindParent(Tree& tree, CFileNode* node);
    static bool HasAncestorWithId(CFileNode* node, long long id, size_t limit);
    bool IsUserTrash(Tree& tree, CFileNode* node);
    uint32_t PositionOf(Tree& tree, CFileNode* node) const;
    static bool HasFileBelow(CFileNode* folder, size_t limit);
    void BuildTree(Tree& tree, Batch& out, bool force);
    // Climb and Connect add the positions of the nodes they show to `out`.
    void Climb(Tree& tree, uint32_t position, std::vector<uint32_t>& out);
    void Connect(Tree& tree, CFileNode* from, uint32_t fromPosition, std::vector<uint32_t>& out);
    // The nodes at `positions` (sorted on the way) appended to `out` in arrival order.
    static void InArrivalOrder(Tree& tree, std::vector<uint32_t>& positions, Batch& out);
    void LinkAll(Tree& tree);
    void HandOver(Tree& tree, Batch& batch, int lost);

    // Finishing.
    void OfferHeldRecycleNodes(Tree& tree);
    void ReturnUnlinkedFilesToPending(Tree& tree);
    void MarkDeletedBelowDeleted(Tree& tree);
    void BuildLostNodes(Tree& tree);
    void ReleaseUnshownNodes(Tree& tree);

    const bool restoring_;
    ITreeBuilderClock* const clock_;
    const std::chrono::milliseconds setupPause_;
    std::list<Tree> trees_;
    IDrirectoryTree* tree_ = nullptr;
    IRecoveryFilter* filter_ = nullptr;
    std::string rootName_;
    IStorageDevice* device_ = nullptr;
    CSearchedPartitionInfo* partition_ = nullptr;
    // Where the clusters of each partition given since the last build start,
    // by partition index: the recycle-bin info files are read through them.
    struct ClusterOrigin {
        int64_t start;
        int sectorsPerCluster;
    };
    std::unordered_map<uint16_t, ClusterOrigin> partitionOrigins_;
    ClusterOrigin OriginOf(CFileNode* node) const;
    void RestoreRecycledName(Tree& tree, CFileNode* node, std::vector<CFileNode*>& infos);
    // Held folders by node id.
    using HeldFolders = std::unordered_multimap<long long, CFileNode*>;
    bool LiesInRecycleBin(Tree& tree, const HeldFolders& held, CFileNode* node);
    bool building_ = false;
    std::vector<CFileNode*> connectStack_;
    std::vector<uint32_t> climbing_;   // the fresh positions a linking pass works through
    std::vector<long long> arrived_;   // the arrived ids a linking pass works through
    std::vector<uint32_t> connected_;  // positions a linking pass showed
};
