#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "APFSFileNode.h"
#include "APFSStructures.h"

class APFSContainerParser;

// The parser's only link to the outside.
class APFSDelegate {
public:
    virtual ~APFSDelegate() = default;
    // False stops every loop of the parser at its next test.
    virtual bool IsContinue() = 0;
    // A node is ready; the delegate marks it reported and takes it into the tree.
    virtual void OnFileFound(APFSFileNode* node) = 0;
    // Reads `byteCount` bytes from a container-relative block of `parser`;
    // non-zero on success.
    virtual int ReadBlocks(APFSContainerParser* parser, uint64_t block, int32_t byteCount,
                           uint8_t* buffer) = 0;
};

// Turns one APFS container (or one volume whose container superblock is lost)
// into file nodes: the volumes of its newest checkpoint, then those of older
// checkpoints, then file-system tree nodes met anywhere on the device. The
// same file is met many times; sightings are merged into one node where they
// match and make a new node where they do not. What the newest checkpoint's
// trees do not hold is marked deleted.
class APFSContainerParser {
public:
    static constexpr uint64_t kForce = UINT64_MAX;

    APFSContainerParser(APFSDelegate* delegate, uint32_t index, uint64_t startSector);
    ~APFSContainerParser();
    APFSContainerParser(const APFSContainerParser&) = delete;
    APFSContainerParser& operator=(const APFSContainerParser&) = delete;

    // Values below 512 are ignored.
    void SetSectorSize(int sectorSize);
    // 0 when the walk ran, -1 when block 0 cannot be read, -2 when it is not
    // a usable container superblock. With `found`, a superblock the scan met
    // whose object map resolves at this parser's start: block 0 is used when
    // it is whole and of the same container, else the newest whole copy of
    // the checkpoint-descriptor area, else `found` itself.
    int ParseContainer(const uint8_t* found = nullptr);
    // Walks the volume whose superblock is at `block`; 0, -1 on a failed
    // read, -2 when the block is not a plausible object.
    int ParseVolume(uint64_t block);
    // The deep scan's offer of the 4096 bytes that begin at device sector
    // `sector`: taken when they are a file-system tree node of this container
    // that the tree walk did not reach.
    void ScanBlock(uint64_t sector, const uint8_t* data);
    // Reports the pending nodes that are ready, linking them to folders found
    // since; `limitSector` is where the scan has got to, kForce reports all.
    void Finish(uint64_t limitSector);

    void SetHistory() { history_ = true; }
    void SetTotalSectors(uint64_t sectors) { totalSectors_ = sectors; }
    uint32_t Index() const { return index_; }
    uint64_t StartSector() const { return startSector_; }
    uint64_t TotalSectors() const { return totalSectors_; }
    uint64_t BlockCount() const { return blockCount_; }
    const uint8_t* Uuid() const { return uuid_; }
    const std::string& Name() const { return name_; }
    uint32_t SectorSize() const { return sectorSize_; }
    // The container-relative block that begins at `sector`, when one does.
    bool BlockAt(uint64_t sector, uint64_t& block) const;

private:
    using NodeMap = std::multimap<uint64_t, APFSFileNode*>;

    struct Match {
        APFSFileNode* exact = nullptr;
        APFSFileNode* chosen = nullptr;
        APFSFileNode* lastLooked = nullptr;
    };

    bool Read(uint64_t block);
    // The superblock's object map lies at its own address in this container.
    bool ResolvesObjectMap(const uint8_t* superblock);
    std::vector<uint8_t> NewestSuperblock(const uint8_t* found);
    void NameAfter(const uint8_t* volumeSuperblock);
    void WalkContainerMap(uint64_t map);
    void WalkVolume(const uint8_t* volumeSuperblock);
    void ReadRecords(const uint8_t* node, uint64_t block);
    APFSFileNode* TakeExtent(const uint8_t* node, const apfs::NodeEntry& entry, uint64_t block,
                             uint64_t rank);
    APFSFileNode* TakeInode(const uint8_t* node, const apfs::NodeEntry& entry, uint64_t block);
    APFSFileNode* TakeDirRecord(const uint8_t* node, const apfs::NodeEntry& entry, uint64_t block);
    // Node for a record that names a parent: the exact match, a new node, or
    // the chosen candidate of a file.
    APFSFileNode* NodeFor(uint64_t id, uint64_t parent, const std::string& name, bool folder,
                          uint64_t time, uint64_t block);
    Match Find(NodeMap& map, uint64_t id, uint64_t parent, const std::string& name, uint64_t time,
               uint64_t block) const;
    APFSFileNode* NewNode(uint64_t id, uint64_t parent, const std::string& name, bool folder,
                          uint64_t block, const Match& match);
    void LinkToParent(APFSFileNode* node, uint64_t parent, uint64_t block);
    void Offer(APFSFileNode* node);
    void ShowAsContainerFolder(APFSFileNode* node);
    uint64_t Id(uint64_t objectId) const;

    APFSDelegate* delegate_;
    uint32_t blockSize_ = apfs::kBlockSize;
    uint32_t sectorSize_ = 512;
    uint32_t index_;
    std::vector<uint8_t> buffer_;
    uint64_t startSector_;
    uint64_t blockCount_ = 0;
    uint64_t totalSectors_ = 0;
    std::string name_;
    bool history_ = false;
    uint8_t uuid_[16] = {};

    std::vector<std::unique_ptr<APFSFileNode>> owned_;
    NodeMap files_;
    NodeMap folders_;
    std::map<uint64_t, APFSFileNode*> pending_;  // by creation order
    std::unordered_set<uint64_t> visited_;
    uint64_t nextSequence_ = 0;
    uint64_t nextVersionId_ = 0;
};
