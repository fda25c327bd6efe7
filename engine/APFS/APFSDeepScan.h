#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "APFSContainerParser.h"
#include "FileSystemSearcher.h"

// The APFS block searcher of a complete scan. It reads each piece of the
// device itself, starts a container parser for every new container
// superblock it meets at any sector (or for a volume superblock met before
// any container), offers every other object to the parsers as a possible
// file-system tree node, and hands the nodes they report to the tree builder
// under searcher type 37. The nodes belong to the parsers: the result tree
// must not outlive this searcher.
class APFSDeepScan : public ICompleteFileSystemSearchController, public APFSDelegate {
public:
    APFSDeepScan();
    ~APFSDeepScan() override;
    APFSDeepScan(const APFSDeepScan&) = delete;
    APFSDeepScan& operator=(const APFSDeepScan&) = delete;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    // One record per container found, at most `capacity`.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    void SetDevice(IStorageDevice* device) override;
    void SetBlockSize(int) override {}
    void PreparetoSearch() override {}
    void EndSearch(int build) override;
    void AnalyzeBlock(long long firstSector, long long sectorCount) override;
    void SetIProgressSink(IProgress* progress) override { progress_ = progress; }

    bool IsContinue() override;
    void OnFileFound(APFSFileNode* node) override;
    int ReadBlocks(APFSContainerParser* parser, uint64_t block, int32_t byteCount,
                   uint8_t* buffer) override;

    size_t ParserCount() const { return parsers_.size(); }
    const APFSContainerParser* ParserAt(size_t position) const;

private:
    void AnalyzeAt(uint64_t sector, const uint8_t* data);
    bool TryContainerSuperblock(uint64_t sector, const uint8_t* data);
    bool TryVolumeSuperblock(uint64_t sector, const uint8_t* data);
    APFSContainerParser* AddParser(uint64_t key, uint64_t startSector);
    // A physical object map met before any parser: its id is its own block,
    // so it tells where a container without a superblock begins.
    void NoteObjectMap(uint64_t sector, const uint8_t* data);
    // The start of the container in which `block` begins at device `sector`.
    bool ContainerStartOf(uint64_t sector, uint64_t block, uint64_t& start) const;
    // Where the container of a superblock met at `sector` begins, when its
    // object map or its checkpoint copy confirms it.
    bool ConfirmedStart(uint64_t sector, const apfs::ContainerInfo& info, uint64_t& start);
    enum class MapAnswer { kResolves, kElsewhere, kUnreadable };
    MapAnswer ObjectMapAt(uint64_t start, uint64_t map);
    // The superblock's own copy lies in the checkpoint area of a container
    // that begins at `sector`.
    bool HoldsOwnCopy(uint64_t sector, const apfs::ContainerInfo& info);
    void StartLoneVolume(uint64_t volumeSector, uint64_t startSector);
    // A pending volume whose container start never showed keeps the 4096-byte
    // alignment of its superblock.
    void StartPendingVolumeAligned();

    struct PendingVolume {
        uint64_t sector;
        uint64_t objectMap;
    };

    IDirecotryTreeBuilder* builder_ = nullptr;
    IStorageDevice* device_ = nullptr;
    IProgress* progress_ = nullptr;
    // By the device sector of the superblock that started each.
    std::map<uint64_t, std::unique_ptr<APFSContainerParser>> parsers_;
    std::optional<PendingVolume> pendingVolume_;
    std::map<uint64_t, uint64_t> objectMapSectors_;  // by object id
    uint32_t sectorSize_ = 512;
    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> scratch_;
};
