#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "FATCompleteCandidates.h"
#include "FATCompleteFolderSectors.h"
#include "FileSystemSearcher.h"

class CFATSearchedPartitionInfo;
class IDirecotryTreeBuilder;
class IStorageDevice;

// The block searcher of a complete scan for FAT16 and FAT32: it is fed every
// sector of a whole device in ascending order, forms candidate partitions
// from boot sectors, FAT starts and sub-folder sectors met anywhere, keeps
// those that more than one piece of evidence supports and, at the end, lists
// each kept partition's files under searcher type 32.
class CFATCompleteFSearcher : public ICompleteFileSystemSearchController {
public:
    CFATCompleteFSearcher() = default;
    ~CFATCompleteFSearcher() override;
    CFATCompleteFSearcher(const CFATCompleteFSearcher&) = delete;
    CFATCompleteFSearcher& operator=(const CFATCompleteFSearcher&) = delete;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    // With a null array: the number of partitions. Otherwise copies (owned by
    // the caller) when `capacity` holds them all, else 0.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    void SetDevice(IStorageDevice* device) override;
    void SetBlockSize(int sectorsPerBlock) override { sectorsPerBlock_ = sectorsPerBlock; }
    void PreparetoSearch() override;
    void EndSearch(int build) override;
    void AnalyzeBlock(long long firstSector, long long sectorCount) override;
    // Files the raw search meets during the same scan; deleted FAT32 entries
    // are revised against them.
    void SetFileSectorMap(std::map<long long, unsigned int>* map) override { fileSectorMap_ = map; }
    // A partition's files lie in its data area: a sector below every
    // candidate's is listed by none. Candidates met later from boot sectors
    // have their data areas later still.
    bool MayListAtEnd(long long sector) override { return sector >= candidates_.LowestDataStart(); }

    // Filters and scores the candidates and appends them to `published`.
    virtual void AddSearchedPartitionInfoList2(std::vector<CFATSearchedPartitionInfo*>& published);

    const CFATFolderSectorList& GetFolderSectors() const { return folderSectors_; }

private:
    void AnalyzeSector(int64_t sector, const uint8_t* buffer);
    // Lists one published partition; a failure code when its FAT reader cannot be made.
    RESULT_CODE CompleteBulidDirectoryTree(CFATSearchedPartitionInfo* partition);
    void DestroyPublished();

    int sectorsPerBlock_ = -1;
    IStorageDevice* device_ = nullptr;
    IDirecotryTreeBuilder* builder_ = nullptr;
    std::vector<CFATSearchedPartitionInfo*> published_;  // owned
    CFATCompleteCandidates candidates_;
    CFATFolderSectorList folderSectors_;
    uint32_t sectorSize_ = 512;
    const std::map<long long, unsigned int>* fileSectorMap_ = nullptr;  // not owned
    // Sized from the device's sectors and the block size, never fixed.
    std::vector<uint8_t> buffer_;
};

// A new complete FAT searcher, never null; freed through its virtual destructor.
ICompleteFileSystemSearchController* CreateFATSearcher();
