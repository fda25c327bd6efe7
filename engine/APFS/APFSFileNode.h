#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "DataRunList.h"
#include "FileNode.h"

// The display name of a stored name: empty for ".DS_Store", else without one
// leading dot.
std::string MakeDisplayName(const std::string& raw);
// False for ".DS_Store" (any case).
bool IsWantedName(const std::string& raw);

// An APFS file or folder. The container parser makes, merges and owns these
// nodes: the tree builder's Release leaves them alive, and they die with the
// parser. Copies made by Clone are the caller's own.
class APFSFileNode : public CFileNode {
public:
    static constexpr uint64_t kNoParent = UINT64_MAX;

    enum Flag : uint8_t {
        kFolder = 1,
        kDeleted = 2,
        kReported = 4,
        kCovered = 8,  // the extents cover the size
        kFolderFixed = 16,
        kMerged = 32,  // merged into its twin
        kParentSet = 64,
    };

    APFSFileNode() = default;
    ~APFSFileNode() override;

    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return static_cast<int64_t>(size_); }
    uint32_t GetAttribute() override { return IsFolder() ? 16 : 32; }
    _FILETIME GetCreationTime() override;
    _FILETIME GetModificationTime() override;
    _FILETIME GetLastAccessTime() override;
    int IsDirectory() override { return IsFolder() ? 1 : 0; }
    int IsDeleted() override { return Has(kDeleted) ? 1 : 0; }
    void SetParentNodeID(int64_t id) override;
    APFSFileNode* Clone() override;
    void Release() override;
    void MarkDeleted() override { flags_ |= kDeleted; }
    void FilterFileNameByDot() override {}
    using CFileNode::FilterFileNameByDot;

    // Sets the display name; the trash folder is always a deleted folder.
    void SetDisplayName(const std::string& displayName);
    // The first call decides; later calls change nothing.
    void SetIsDirectory(bool folder);
    void SetNodeId(int64_t id) { nodeId_ = id; }
    // Taken when no size is known yet or the node is deleted.
    void SetSize(uint64_t size);
    // Adds the extent of `count` sectors of `sectorSize` bytes at `firstSector`
    // (counted from the container's start; negative for a hole) for file
    // offset `offset`. Answers whether the extents now cover the size.
    bool AddExtent(int64_t firstSector, uint64_t count, uint32_t sectorSize, uint64_t offset);
    // Extents come from one version of the file: a newer rank drops what an
    // older one gave, an older rank is refused (false).
    bool TakeExtentVersion(uint64_t rank);
    // Links `child` below this folder (or below the twin it was merged into).
    void AddChildNode(APFSFileNode* child);
    bool IsReady(bool force);
    // Takes a copy of another node's extents (no version of its own yet).
    void CopyExtentsFrom(const APFSFileNode& other);
    // The inode's count of bytes kept in no block: ranges that no extent
    // covers read as zeros up to that many bytes, past it they are unknown.
    void SetSparseBytes(uint64_t bytes, uint32_t sectorSize);

    bool Has(Flag flag) const { return (flags_ & flag) != 0; }
    void Set(Flag flag) { flags_ |= flag; }
    bool IsFolder() const { return Has(kFolder); }
    const std::string& Name() const { return name_; }
    uint64_t Size() const { return size_; }
    bool HasExtents() const { return dataRunList_ != nullptr; }

    uint64_t creationTime = 0;  // nanoseconds since 1970
    uint64_t modificationTime = 0;
    uint64_t accessTime = 0;
    uint64_t block = 0;  // tree block where the node was last met
    uint64_t apfsId = 0;
    uint64_t apfsParent = kNoParent;
    uint64_t sequence = 0;  // order of creation within its parser
    APFSFileNode* parentNode = nullptr;
    APFSFileNode* firstChildNode = nullptr;
    APFSFileNode* nextSiblingNode = nullptr;
    APFSFileNode* twin = nullptr;

private:
    int16_t PartitionIndex() const { return static_cast<int16_t>(GetBelongedPartition()); }
    uint64_t CoveredBytes(uint32_t sectorSize) const;
    void RebuildExtentList(uint32_t sectorSize);

    std::string name_;
    uint64_t size_ = 0;
    uint8_t flags_ = 0;
    bool ownedByParser_ = true;
    uint64_t extentRank_ = 0;
    uint64_t sparseBytes_ = 0;
    std::map<uint64_t, DataRun> extents_;  // by file offset in bytes
};
