#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "ExFatFileSet.h"
#include "ExFatPartition.h"

class CExFatDBR;
class CExFatFileNode;

// A lost exFAT partition a complete scan rebuilt: a data start sector and a
// cluster size with the evidence for them.
class CExFatPartitionEx : public CExFatPartition {
public:
    static constexpr uint32_t kMainBoot = 0x80000000;
    static constexpr uint32_t kBackupBoot = 0x40000000;
    static constexpr uint32_t kFromRoot = 0x10000000;
    static constexpr uint32_t kFromTree = 0x08000000;
    static constexpr uint32_t kFromBackward = 0x02000000;
    static constexpr uint32_t kFirstFat = 0x00000001;
    static constexpr uint32_t kSecondFat = 0x00000002;

    bool HasBootSector() const { return flags >= kBackupBoot; }
    // A boot sector or the first sector of a FAT was seen where it belongs.
    bool HasOnDiskEvidence() const {
        return HasBootSector() || (flags & (kFirstFat | kSecondFat)) != 0;
    }
    // The first and last sector a file set of the partition may occupy.
    bool Holds(const CFileSet& set) const;

    uint32_t flags = 0;
    uint32_t numberOfFats = 0;
    uint32_t fatLength = 0;
    int64_t fatOffset = 0;  // from the partition's start
    std::set<CFileSet*> matched;
    std::vector<int64_t> clusterStartSectors;  // file sets that begin a cluster
    std::vector<int64_t> otherDataSectors;
    std::map<int64_t, uint32_t> evidence;  // file set's first sector -> weight
};

// Forms lost exFAT partitions from what a complete scan meets: boot sectors,
// FAT and up-case table first sectors, and file sets whose sub-folders lie
// exactly where a geometry puts them. One builder per scan.
class CPartitionBuilder {
public:
    CPartitionBuilder();
    ~CPartitionBuilder();
    CPartitionBuilder(const CPartitionBuilder&) = delete;
    CPartitionBuilder& operator=(const CPartitionBuilder&) = delete;

    void PrepareBuild(uint32_t sectorSize, uint64_t totalSectors);
    void Build(int64_t sector, const CExFatDBR& boot);
    void RecordFAT(int64_t sector);
    void RecordUpCaseTable(int64_t sector);
    void PushFileSet(std::unique_ptr<CFileSet> set, int64_t previous, int64_t following);
    // After every analysed sector: works off waiting file sets when many wait.
    void Build(int64_t sector);
    // The partitions found, strongest first; the caller owns them.
    void FinishBuid(std::vector<std::unique_ptr<CExFatPartitionEx>>& found);
    // Where the allocation bitmap of a found partition lies, from its root
    // folder; false when its root was not found.
    bool FindAllocationBitmap(const CExFatPartitionEx& partition, uint32_t& cluster,
                              uint64_t& length) const;
    // The nodes of a found partition's files and folders, linked by sector ids.
    void BuildFileTree(CExFatPartitionEx& partition, std::vector<CExFatFileNode*>& nodes);
    void Clear();

private:
    using Geometry = std::pair<int64_t, uint32_t>;  // data start, sectors per cluster
    using Candidates = std::vector<CExFatPartitionEx*>;

    CExFatPartitionEx* FindPartition(int64_t dataStart, uint32_t sectorsPerCluster) const;
    CExFatPartitionEx* NewCandidate(int64_t dataStart, uint32_t sectorsPerCluster);
    void Destroy(CExFatPartitionEx* candidate);
    void Enlist(CExFatPartitionEx* candidate);
    void SortCandidates();
    CFileSet* SetAt(int64_t sector) const;

    void BuildFromTree();
    void BuildFromTree(CFileSet* a, CFileSet* b, uint32_t threshold);
    void BuildFromUpcaseTable(CFileSet* root);
    void BuildFromRoot(CFileSet* root);
    void BuildPartionByRoot(int64_t dataStart, uint32_t spc, const CFileSet& root,
                            uint32_t rootCluster, Candidates& list);
    void BuildFromAllocBackWard(CFileSet* set);
    void UpdatePartitionList(Candidates& list, CFileSet* set);
    void SpillPartition();
    bool IsBelongExistedPartition(CFileSet* set);
    uint32_t CheckTree(CFileSet* set, int64_t dataStart, uint32_t spc,
                       std::vector<CFileSet*>& visited, uint32_t threshold,
                       const std::set<CFileSet*>* matched) const;
    bool SimpleCheck(const CFileSet& set, uint32_t spc) const;
    void Winnow(Candidates& candidates);
    void Rematch(CExFatPartitionEx& candidate);
    void UpdatePartitionMatched(CExFatPartitionEx& candidate, CFileSet* set);
    void SimpleBuild();
    void RemovePartionBeCoveredByOther(std::vector<std::unique_ptr<CExFatPartitionEx>>& found);
    void CalcPartitionParam(CExFatPartitionEx& partition) const;
    int64_t DeviceEnd() const { return static_cast<int64_t>(totalSectors_); }

    std::vector<std::unique_ptr<CFileSet>> owned_;
    std::vector<CFileSet*> pending_;
    std::vector<CFileSet*> all_;  // in arrival order, which is sector order
    std::set<CFileSet*> claimed_;
    size_t nextIndex_ = 0;
    int64_t endMark_ = 0;
    std::map<Geometry, CExFatPartitionEx*> index_;
    std::set<Geometry> dropped_;
    std::vector<std::unique_ptr<CExFatPartitionEx>> store_;  // every live candidate
    Candidates candidates_;
    Candidates kept_;
    std::vector<int64_t> upcaseSectors_;
    uint32_t sectorSize_ = 512;
    uint64_t totalSectors_ = 0;
    int madeUpFolders_ = 0;  // numbers of the DIR<n> folders of lost folders
};
