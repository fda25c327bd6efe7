#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FileSystemSearcher.h"
#include "HFSPlusFormat.h"
#include "HFSPlusLostVolume.h"

class CHFSPlusBTNode;
class CHFSPlusVolume;
class IStorageDevice;

// One HFS+ volume found on the scanned device: where it lies, its header,
// and the volume opened over a window of the device at its start (none for a
// volume whose headers are lost).
struct CompleteSearchPatition {
    int64_t startSector = 0;
    int64_t sectorCount = 0;
    uint32_t blockSize = 4096;
    uint32_t filesFound = 0;
    uint32_t foldersFound = 0;
    HFSPlusVolumeHeader volumeHeader{};  // converted
    int64_t volumeHeaderSector = -1;
    // The window device goes with the last share of the volume that reads through it.
    std::shared_ptr<CHFSPlusVolume> volume;
    uint32_t partitionIndex = 0;
};

// The HFS+ block searcher of a complete scan: finds volume headers (the first
// or, when it is damaged, the alternate one) anywhere on the device, opens and
// lists each volume whole as it is found, marking its existing files' sectors
// in the scan's bit map, and brings back the catalog records of B-tree leaf
// nodes that the volume's live catalog no longer holds as deleted files.
// Catalog leaves outside every opened volume make the files of a volume whose
// headers are lost.
class CHFSPlusCompleteFileSystemSearchController : public ICompleteFileSystemSearchController {
public:
    // More volumes than this on one device are not believed.
    static constexpr size_t kMostPartitions = 256;
    // Deleted files taken from stray nodes, per scan.
    static constexpr uint32_t kMostFoundNodes = 1u << 20;
    // Stray extents and attributes records kept per volume.
    static constexpr size_t kMostFoundRecords = 4096;

    CHFSPlusCompleteFileSystemSearchController() = default;
    ~CHFSPlusCompleteFileSystemSearchController() override = default;

    void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder) override { builder_ = builder; }
    // The number of volumes found; the records are made when they all fit.
    int GetSearchedPartitionInfo(CSearchedPartitionInfo** records, int capacity) override;
    void SetDevice(IStorageDevice* device) override;
    void SetBlockSize(int sectorsPerBlock) override { (void)sectorsPerBlock; }
    void PreparetoSearch() override;
    void EndSearch(int build) override;
    void AnalyzeBlock(long long firstSector, long long sectorCount) override;
    void SetIProgressSink(IProgress* progress) override { progress_ = progress; }
    void SetBitmap(TBitmap* bitmap) override { bitmap_ = bitmap; }
    TBitmap* GetBitmap() override { return bitmap_; }
    // Volumes known from their alternate header are listed when the search
    // ends; stray catalog leaves may be theirs.
    bool MayListAtEnd(long long sector) override;

    const std::vector<std::unique_ptr<CompleteSearchPatition>>& Partitions() const {
        return partitions_;
    }

private:
    struct FoundHeader {
        uint64_t startByte;   // of the volume on the device
        uint64_t headerByte;  // of the header on the device
        HFSPlusVolumeHeader header;
    };

    // Registers the volume of every valid header in the sector's 512-byte pieces.
    bool CheckVolumeHeader(int64_t sector, const uint8_t* bytes);
    void RegisterVolume(uint64_t headerByte, const HFSPlusVolumeHeader& header);
    // Opens the volume at its start and (with `list`) lists it whole.
    void AddVolume(const FoundHeader& found, bool list);
    bool IsKnownStart(int64_t start) const;
    // Does the catalog's header node lie where a volume starting at `startByte` keeps it?
    bool HasCatalogAt(uint64_t startByte, const HFSPlusVolumeHeader& header);
    void ListVolume(CompleteSearchPatition& partition);
    // A leaf node from `sector` on: the sectors it covers, 0 when there is none.
    long long CheckBTNodeDescriptor(int64_t sector, const uint8_t* bytes, long long remaining,
                                    long long inBuffer);
    void AnalyzeNode(CompleteSearchPatition& partition, int64_t sector, CHFSPlusBTNode& node);
    void AddDeletedCatalogRecords(CompleteSearchPatition& partition, int64_t sector,
                                  CHFSPlusBTNode& node);
    CompleteSearchPatition* ListedPartitionHolding(int64_t sector);
    bool ReadBytes(uint64_t byte, uint8_t* into, size_t length);
    void EnsureBitmap();
    void OpenTree();
    int64_t FallbackStart();
    void AddLostVolume();

    IStorageDevice* device_ = nullptr;
    IDirecotryTreeBuilder* builder_ = nullptr;
    IProgress* progress_ = nullptr;
    TBitmap* bitmap_ = nullptr;
    uint32_t sectorSize_ = 512;
    int64_t totalSectors_ = 0;
    bool treeOpened_ = false;
    uint32_t foundNodes_ = 0;
    std::vector<uint8_t> block_;
    std::vector<uint8_t> nodeBuffer_;
    std::vector<std::unique_ptr<CompleteSearchPatition>> partitions_;
    std::vector<FoundHeader> pendingAlternates_;
    CHFSPlusLostVolume lost_;
};

// A new complete searcher (null when memory fails); the caller deletes it.
ICompleteFileSystemSearchController* CreateHFSPlusSearcher();
