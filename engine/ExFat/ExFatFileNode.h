#pragma once

#include <cstdint>
#include <string>

#include "FileNode.h"

// A file or folder found on an exFAT volume. Its id is the first sector of
// its first cluster, its parent id that of its folder's first cluster.
class CExFatFileNode : public CFileNode {
public:
    static constexpr uint32_t kAttributeMask = 0xFFFF;
    static constexpr uint32_t kFatInvalid = 1u << 30;
    static constexpr uint32_t kDeleted = 1u << 31;
    static constexpr uint32_t kNoCluster = 0xFFFFFFFF;

    CExFatFileNode() = default;
    ~CExFatFileNode() override = default;

    const char* GetFileName() override { return name_.empty() ? nullptr : name_.c_str(); }
    int64_t GetFileSize() override { return dataLength_; }
    uint32_t GetAttribute() override { return flags_ & kAttributeMask; }
    _FILETIME GetCreationTime() override { return creationTime_; }
    _FILETIME GetModificationTime() override { return modificationTime_; }
    _FILETIME GetLastAccessTime() override { return accessTime_; }
    int IsDirectory() override { return (flags_ & 0x10) != 0; }
    int IsDeleted() override { return (flags_ & kDeleted) != 0; }
    // A copy with its own extents; its first cluster is not carried over.
    CExFatFileNode* Clone() override;
    void MarkDeleted() override { flags_ |= kDeleted; }
    void FilterFileNameByDot() override;
    using CFileNode::FilterFileNameByDot;
    // A null name is ignored.
    void SetFileName(const char* name) override;

    void SetFileSize(int64_t size) { dataLength_ = size; }
    void SetFileAttributes(uint32_t attributes) { flags_ |= attributes & kAttributeMask; }
    void SetFileTime(_FILETIME creation, _FILETIME modification, _FILETIME access);
    void SetFileDeleted() { flags_ |= kDeleted; }
    void SetFileFatInvalid() { flags_ |= kFatInvalid; }
    bool IsFatInvalid() const { return (flags_ & kFatInvalid) != 0; }
    void SetFirstCluster(uint32_t cluster) { firstCluster_ = cluster; }
    uint32_t GetFirstCluster() const { return firstCluster_; }
    // The clusters lie one after the other, without a chain in the FAT.
    void SetContiguous() { contiguous_ = true; }
    bool IsContiguous() const { return contiguous_; }
    void SetID(int64_t id) { nodeId_ = id; }
    void SetParentID(int64_t id) { parentNodeId_ = id; }
    // The node takes the list.
    void SetDataRunList(IDataRunList* list);

private:
    std::string name_;
    int64_t dataLength_ = 0;
    uint32_t flags_ = 0;
    _FILETIME creationTime_ = 0;
    _FILETIME modificationTime_ = 0;
    _FILETIME accessTime_ = 0;
    uint32_t firstCluster_ = kNoCluster;
    bool contiguous_ = false;
};
