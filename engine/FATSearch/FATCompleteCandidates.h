#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "EngineTypes.h"
#include "FATSearchedPartitionInfo.h"

class CTempFATDBR;

// The FAT partitions that the evidence of a complete scan suggests: boot
// sectors (and FAT32 backups), first sectors of FATs and first sectors of
// sub-folders, met in ascending sector order. Candidates that more than one
// piece of evidence supports are scored and published at the end.
//
// Memory is bounded: at most kMaxCandidates candidates are held. When full,
// candidates formed from one sub-folder alone and not confirmed by a second
// are dropped first (look-alike sectors make those); if none can go, new
// candidates are refused. Expected FAT starts are two per candidate at most.
class CFATCompleteCandidates {
public:
    static constexpr size_t kMaxCandidates = 65536;

    CFATCompleteCandidates() = default;
    CFATCompleteCandidates(const CFATCompleteCandidates&) = delete;
    CFATCompleteCandidates& operator=(const CFATCompleteCandidates&) = delete;

    void SetDevice(uint32_t sectorSize, int64_t totalSectors);

    // A sector that classifies as a FAT16/FAT32 boot sector: read as a primary
    // boot sector at `sector` and, for FAT32, also as the backup of a partition
    // 6 sectors earlier. True when either reading gave a candidate.
    bool AnalyzeFATDBRSector(int64_t sector, const uint8_t* buffer);
    // A sector that looks like the first sector of a FAT.
    void UpdateFATTableInfo(int64_t sector);
    // The first sector of a sub-folder whose "." entry names `cluster`.
    void AnalyzeFATSubFolderFirstSector(int64_t sector, uint32_t cluster);

    // Drops the candidates too weakly supported, scores the others and moves
    // them to `published` (partition index = position); empties the lists.
    void Publish(std::vector<CFATSearchedPartitionInfo*>& published);

    // Clusters and sectors per FAT a FAT32 (2) or FAT16 (1) volume would have
    // with its data area at `dataStart`; 10 when neither fits.
    enumFILE_SYSTEM_TYPE CalcFileSystemType(int64_t dataStart, uint32_t sectorsPerCluster,
                                            uint32_t& clusters, uint32_t& sectorsPerFat) const;

    size_t CandidateCount() const { return candidates_.size(); }
    // The lowest first data sector of the candidates held; INT64_MAX with none.
    int64_t LowestDataStart() const {
        return candidates_.empty() ? INT64_MAX : candidates_.begin()->first;
    }
    size_t ExpectedFATStartCount() const { return fatStarts_.size(); }
    // How often the bound refused a candidate.
    size_t RefusedCount() const { return refused_; }

private:
    struct Candidate {
        std::unique_ptr<CFATSearchedPartitionInfo> record;
        int64_t subFolderHits = 0;
    };
    using CandidateMap = std::multimap<int64_t, std::unique_ptr<Candidate>>;

    std::unique_ptr<CFATSearchedPartitionInfo> BuildPartitionInfoAccordingFATDBR(
        int64_t start, const CTempFATDBR& dbr, bool backup) const;
    std::unique_ptr<CFATSearchedPartitionInfo> BuildPartitionInfoAccordingtoSubFolder(
        int64_t sector, uint32_t cluster, uint32_t sectorsPerCluster) const;
    bool IsValidFileSystem(enumFILE_SYSTEM_TYPE type, int64_t dataStart, uint32_t sectorsPerCluster,
                           uint32_t& clusters, uint32_t& sectorsPerFat) const;

    Candidate* FindMatchedPartitionInfo(int64_t firstDataSector, uint32_t sectorsPerCluster);
    // Takes the record; null when the bound refused it.
    Candidate* Insert(std::unique_ptr<CFATSearchedPartitionInfo> record);
    void InsertWithFATStarts(std::unique_ptr<CFATSearchedPartitionInfo> record);
    bool MakeRoom();

    uint32_t sectorSize_ = 512;
    int64_t totalSectors_ = 0;
    CandidateMap candidates_;  // by first data sector
    // Where a FAT of a candidate must begin; entries at or before a FAT start
    // just seen are forgotten (the scan never comes back).
    std::multimap<int64_t, Candidate*> fatStarts_;
    size_t refused_ = 0;
};
