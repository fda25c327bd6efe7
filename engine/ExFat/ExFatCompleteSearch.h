#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ExFatPartitionBuilder.h"
#include "ExFatPreAnalyze.h"
#include "FileSystemSearcher.h"

// The exFAT block searcher of a complete scan: recognises boot sectors, FAT
// and up-case table first sectors and directory sectors anywhere on a device,
// rebuilds the lost partitions from them and lists their files under
// searcher type 33.
class CExFatCompleteSearch : public ICompleteFileSystemSearchController {
public:
    void SetDevice(IStorageDevice* device) override { device_ = device; }
    void SetBlockSize(int sectorsPerBlock) override { sectorsPerBlock_ = sectorsPerBlock; }
    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    void PreparetoSearch() override {}
    // Each call analyses the block's sectors shifted back by two, so that a
    // sector is always looked at with the two after it in memory.
    void AnalyzeBlock(long long firstSector, long long sectorCount) override;
    void EndSearch(int build) override;
    // The number of partitions found; the records are stored when they all fit.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;

private:
    // The block's bytes preceded by the carried sectors; null when unread.
    const uint8_t* PrepareAnalyzeBlock(long long firstSector, long long sectorCount);
    void AnalyzeSector(int64_t sector, const uint8_t* bytes, uint32_t available);
    void BuildeFileNode();

    IStorageDevice* device_ = nullptr;
    int sectorsPerBlock_ = 0;
    IDirecotryTreeBuilder* builder_ = nullptr;
    uint32_t sectorSize_ = 0;
    uint64_t totalSectors_ = 0;
    std::vector<uint8_t> buffer_;
    int64_t expectedFirst_ = 0;  // where the block after the last one read begins
    bool carried_ = false;       // the last block read ends where the next begins
    int64_t lastCount_ = 0;
    CFDTPreAnaylze preAnalyze_;
    CPartitionBuilder partitionBuilder_;
    std::vector<std::unique_ptr<CExFatPartitionEx>> partitions_;
};

// A new complete searcher, never null; the caller deletes it.
ICompleteFileSystemSearchController* CreateEXFatSearcher();
