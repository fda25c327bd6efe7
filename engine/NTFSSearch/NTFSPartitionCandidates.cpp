#include "NTFSPartitionCandidates.h"

#include "EngineTypes.h"
#include "StorageDevice.h"

void CNTFSPartitionInfoBuilder::SetDevice(int64_t totalSectors, uint32_t deviceSectorSize) {
    total_ = totalSectors;
    deviceSectorSize_ = IsValidSectorSize(deviceSectorSize) ? deviceSectorSize : 512;
}

NTFSCandidate CNTFSPartitionInfoBuilder::NewCandidate() const {
    auto candidate = std::make_unique<CSearchedNTFSPartitionInfo>(deviceSectorSize_);
    candidate->fileSystemType = FILE_SYSTEM_NTFS;
    return candidate;
}

bool CNTFSPartitionInfoBuilder::IsAddressable(int64_t start, uint32_t sectorsPerCluster) const {
    const uint32_t units = deviceSectorSize_ / kNTFSUnitBytes;
    return start >= 0 && sectorsPerCluster != 0 && start % units == 0 &&
           sectorsPerCluster % units == 0;
}

NTFSCandidate CNTFSPartitionInfoBuilder::BuildPartitionInfoAccordingtoFileRecord(
    int64_t sector, int64_t cluster, uint32_t sectorsPerCluster, uint32_t flag) const {
    int64_t offset = 0;
    if (cluster < 0 || sectorsPerCluster == 0 ||
        __builtin_mul_overflow(cluster, int64_t{sectorsPerCluster}, &offset) || offset < 8 ||
        offset > sector || !IsAddressable(sector - offset, sectorsPerCluster)) {
        return nullptr;
    }
    const int64_t start = sector - offset;
    NTFSCandidate candidate = NewCandidate();
    candidate->firstDataSector = static_cast<uint64_t>(start);
    candidate->sectorsPerCluster = sectorsPerCluster & 0xFF;
    if (candidate->sectorsPerCluster == 0) {
        return nullptr;
    }
    candidate->totalClusters = (total_ - start) / candidate->sectorsPerCluster;
    candidate->totalSectors =
        static_cast<uint64_t>(candidate->totalClusters) * candidate->sectorsPerCluster;
    candidate->SetPartitionBuildFromFlag(flag);
    return candidate;
}

bool CNTFSPartitionInfoBuilder::AdjustPartitionBuildFromFlag(
    const CSearchedNTFSPartitionInfo& candidate, uint32_t add, uint32_t remove) {
    bool found = false;
    auto [it, end] = partitions_.equal_range(CandidateKey(candidate));
    while (it != end) {
        found = true;
        CSearchedNTFSPartitionInfo& partition = *it->second;
        const uint32_t flags = partition.GetPartitionBuildFromFlags();
        if (add == 0 && (flags & ~remove) == 0) {
            it = partitions_.erase(it);
            continue;
        }
        partition.SetPartitionBuildFromFlag((flags & ~remove) | add);
        ++it;
    }
    return found;
}

bool CNTFSPartitionInfoBuilder::Offer(NTFSCandidate candidate, uint32_t flag) {
    if (candidate == nullptr) {
        return false;
    }
    if (AdjustPartitionBuildFromFlag(*candidate, flag, 0)) {
        return true;
    }
    Insert(std::move(candidate));
    return false;
}

void CNTFSPartitionInfoBuilder::Insert(NTFSCandidate candidate) {
    if (candidate != nullptr && partitions_.size() < kNTFSMostCandidates) {
        const NTFSCandidateKey key = CandidateKey(*candidate);
        partitions_.emplace(key, std::move(candidate));
    }
}
