#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "SearchedNTFSPartitionInfo.h"

// The complete NTFS search counts every position in 512-byte sectors whatever
// the device's sector size: the structures it recognises are laid out in them.
// Only the partition records it hands out count device sectors.
constexpr uint32_t kNTFSUnitBytes = 512;
// Every evidence list stops growing here; so memory stays bounded on a disk
// full of look-alike sectors.
constexpr size_t kNTFSMostEvidence = 500000;
constexpr size_t kNTFSMostCandidates = 100000;

using NTFSCandidate = std::unique_ptr<CSearchedNTFSPartitionInfo>;
// Candidates by start, then by cluster size; equal keys are one partition.
using NTFSCandidateKey = std::pair<uint64_t, uint32_t>;
using NTFSPartitionSet = std::multimap<NTFSCandidateKey, NTFSCandidate>;

inline NTFSCandidateKey CandidateKey(const CSearchedNTFSPartitionInfo& partition) {
    return {partition.firstDataSector, partition.sectorsPerCluster};
}

// Makes partition candidates from traces and merges them into the set.
class CNTFSPartitionInfoBuilder {
public:
    explicit CNTFSPartitionInfoBuilder(NTFSPartitionSet& partitions) : partitions_(partitions) {}

    void SetDevice(int64_t totalSectors, uint32_t deviceSectorSize);
    int64_t GetDeviceTotalSectors() const { return total_; }

    // An empty NTFS candidate.
    NTFSCandidate NewCandidate() const;
    // A structure at `sector` that the volume keeps at `cluster` places the
    // volume at sector - cluster x spc; null when that lies before the device,
    // less than 8 sectors back, or off the device's sector grid.
    NTFSCandidate BuildPartitionInfoAccordingtoFileRecord(int64_t sector, int64_t cluster,
                                                          uint32_t sectorsPerCluster,
                                                          uint32_t flag) const;
    // A volume at `start` whose clusters are whole device sectors.
    bool IsAddressable(int64_t start, uint32_t sectorsPerCluster) const;

    // On every partition equal to the candidate: flags = (flags without
    // `remove`) | `add`; one left without flags by a pure removal leaves the
    // set. Answers whether an equal partition was there.
    bool AdjustPartitionBuildFromFlag(const CSearchedNTFSPartitionInfo& candidate, uint32_t add,
                                      uint32_t remove);
    // Gives the flag to the equal partitions, or inserts the candidate when
    // there are none; true when it merged.
    bool Offer(NTFSCandidate candidate, uint32_t flag);
    void Insert(NTFSCandidate candidate);

    template <typename Visit>
    void ForEachEqual(const CSearchedNTFSPartitionInfo& candidate, Visit visit) {
        auto [it, end] = partitions_.equal_range(CandidateKey(candidate));
        for (; it != end; ++it) {
            visit(*it->second);
        }
    }

private:
    NTFSPartitionSet& partitions_;
    int64_t total_ = 0;
    uint32_t deviceSectorSize_ = 512;
};
