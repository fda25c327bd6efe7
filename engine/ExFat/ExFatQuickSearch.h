#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <utility>
#include <vector>

#include "ExFatEntrySetParser.h"
#include "ExFatPartition.h"
#include "FileSystemSearcher.h"

class CExFatFileNode;

// Lists the existing and deleted files of one exFAT volume by walking its
// folder tree from the root, into the tree builder under searcher type 33.
class CExFatQuickSearch : public IQuickFileSystemSearchController {
public:
    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    // Answers 0 whatever happens: a volume that is not exFAT lists nothing.
    RESULT_CODE QuickSearchFiles(IStorageDevice* volume, IProgress* progress) override;
    // Always 1; the record is stored when there is room for it.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    // Adds the cluster to the clusters read; true when it was there already.
    bool IsClusterProssed(uint32_t cluster);

private:
    bool PrepareSearch(IStorageDevice* device);
    void QuickSearch(IStorageDevice* device, IProgress* progress);
    // Lists one folder; 0 when the device is missing. A folder whose chain
    // ends, loops or holds a malformed entry ends there; one whose cluster
    // cannot be read is skipped (answer 1).
    int BuildChildren(IStorageDevice* device, uint32_t firstCluster, int64_t length,
                      bool contiguous, bool deleted, int64_t folderId,
                      std::deque<CExFatFileNode*>& waiting);
    void AddFiles(bool deleted, int64_t folderId, std::deque<CExFatFileNode*>& waiting);
    // The clusters of deleted fragmented files, once every file is known.
    void GuessDeletedClusters(IStorageDevice* device);

    IDirecotryTreeBuilder* builder_ = nullptr;
    CExFatPartition volume_;
    CEFDTAnalyze parser_;
    std::vector<uint8_t> clusterBuffer_;
    std::set<uint32_t> clustersRead_;
    std::vector<uint32_t> starts_;  // first clusters of the files listed
    // Deleted files with a FAT chain, listed before their clusters are known.
    std::vector<std::pair<CExFatFileNode*, _tagFileBaseInfo>> guessed_;
};

// A new quick searcher, never null; the caller deletes it.
IQuickFileSystemSearchController* CreateEXFatQuickSearcher();
