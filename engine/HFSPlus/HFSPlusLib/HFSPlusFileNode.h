#pragma once

#include <cstdint>
#include <string>

#include "FileNode.h"
#include "HFSPlusFormat.h"

class CHFSPlusVolume;

// A file or folder of an HFS+ catalog record. Its id is the catalog node id
// and its parent id the key's parent id; thread records make no node (id -1).
class CHFSPlusFileNode : public CFileNode {
public:
    // From the quick listing: `deleted` marks a record taken from the journal.
    CHFSPlusFileNode(CHFSPlusVolume* volume, const BTKey* key, const HFSPlusCatalogRecord* record,
                     int deleted);
    // From the complete search: never deleted, with where it was found.
    CHFSPlusFileNode(CHFSPlusVolume* volume, long long metadataSector, unsigned short partition,
                     const BTKey* key, const HFSPlusCatalogRecord* record);

    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return size_; }
    uint32_t GetAttribute() override { return 0; }
    _FILETIME GetCreationTime() override;
    _FILETIME GetModificationTime() override;
    _FILETIME GetLastAccessTime() override;
    int IsDirectory() override { return (flags_ & kDirectory) != 0; }
    int IsDeleted() override { return (flags_ & kDeleted) != 0; }
    _tagSearcherType GetSearcheType() const override { return SEARCHER_HFSPLUS; }
    CHFSPlusFileNode* Clone() override { return this; }
    void MarkDeleted() override { flags_ |= kDeleted; }
    // Reads the uncompressed data through this node's volume.
    IFileReader* CreateCompressFileReader(void* context) override;
    uint32_t IsCompressed() const override { return (flags_ & kCompressed) != 0; }
    void FilterFileNameByDot() override { name_ = CFileNode::FilterFileNameByDot(name_); }
    using CFileNode::FilterFileNameByDot;
    void UpdateFileSize(int64_t size) override { size_ = size; }
    // A compressed node takes its size from its compression attribute.
    void UpdateNodeInfo() override;
    void SetFileName(const char* name) override { name_ = name != nullptr ? name : ""; }

    CHFSPlusVolume* GetVolume() const { return volume_; }
    // Forgets the extents: a node whose place on the device is not certain
    // reads as a failure rather than as someone else's bytes.
    void DropExtents();

private:
    static constexpr uint8_t kDeleted = 1;
    static constexpr uint8_t kDirectory = 2;
    static constexpr uint8_t kCompressed = 4;

    void CreateFileNode(long long metadataSector, unsigned short partition, const BTKey* key,
                        const HFSPlusCatalogRecord* record, int deleted);
    void TakeDatesAndPlace(uint32_t create, uint32_t modify, uint32_t access,
                           long long metadataSector, unsigned short partition);
    void BuildFileDataRun(const HFSPlusForkData& fork, uint8_t forkType);

    uint32_t createDate_ = 0;
    CHFSPlusVolume* volume_;
    std::string name_;
    int64_t size_ = 0;
    uint32_t modifyDate_ = 0;
    uint32_t accessDate_ = 0;
    uint8_t flags_ = 0;
};
