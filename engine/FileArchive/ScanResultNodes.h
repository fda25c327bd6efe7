#pragma once

#include <cstdint>
#include <string>

#include "FileNode.h"

class CHFSPlusVolume;
class CSearchedPartitionInfo;
class IRSData;
class RSFieldReader;
class RSFieldWriter;

namespace SaveRestoreResult {

// Limits of what a loaded record may carry; beyond them the field is passed
// over by its stored length and not taken over.
inline constexpr uint32_t kMaxExtents = 65535;
inline constexpr uint32_t kMaxFileName = 65535;
inline constexpr uint32_t kMaxVolumeName = 511;
inline constexpr uint32_t kMaxPartitions = 512;
inline constexpr uint32_t kMaxPartitionType = 4;
inline constexpr uint32_t kPartitionRecordSize = 104;

// Markers of the node frame: each saved root opens with the root marker,
// each of its file-node records with the node marker, and the end marker
// closes the root's records.
inline constexpr uint32_t kRootMarker = 1;
inline constexpr uint32_t kNodeMarker = 0;
inline constexpr uint32_t kEndMarker = 0xFFFFFFFF;

// A found file or folder as a saved scan result gives it back.
class RestoreFileNode : public CFileNode {
public:
    RestoreFileNode() = default;

    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return static_cast<int64_t>(size_); }
    uint32_t GetAttribute() override { return attribute_; }
    _FILETIME GetCreationTime() override { return created_; }
    _FILETIME GetModificationTime() override { return modified_; }
    _FILETIME GetLastAccessTime() override { return accessed_; }
    int IsDirectory() override { return directory_; }
    int IsDeleted() override { return deleted_; }
    RestoreFileNode* Clone() override;
    void MarkDeleted() override { deleted_ = 1; }
    // Compressed NTFS data keeps its reader after a load, and compressed
    // HFS+ files read through the volume the load opened for them; other
    // file systems have none.
    IFileReader* CreateCompressFileReader(void* context) override;
    // The volume (not owned) a compressed HFS+ file is read through.
    void SetHFSPlusVolume(CHFSPlusVolume* volume) { hfsPlusVolume_ = volume; }
    void FilterFileNameByDot() override {}
    using CFileNode::FilterFileNameByDot;

    // Appends one file-node record of `node` to the open frame.
    static void WriteFileNode(IFileNode& node, RSFieldWriter& out);
    // Reads one file-node record into `target`.
    static void ReadFileNode(RSFieldReader& in, RestoreFileNode& target);

private:
    std::string name_;
    uint64_t size_ = 0;
    uint16_t attribute_ = 0;
    _FILETIME created_ = 0;
    _FILETIME modified_ = 0;
    _FILETIME accessed_ = 0;
    uint32_t directory_ = 0;
    uint32_t deleted_ = 0;
    CHFSPlusVolume* hfsPlusVolume_ = nullptr;
};

// The saved top folder of one searcher's result tree.
class RestoreSystemNode : public RestoreFileNode {
public:
    _tagSearcherType GetSearcheType() const override { return searcherType_; }
    const char* GetVolumeName() const override { return volumeName_.c_str(); }
    const std::string& VolumeName() const { return volumeName_; }

    // The root's file-node record, its searcher type and its volume name.
    static void WriteSystemNode(IFileNode& root, RSFieldWriter& out);
    static void ReadSystemNode(RSFieldReader& in, RestoreSystemNode& target);

private:
    _tagSearcherType searcherType_ = SEARCHER_NONE;
    std::string volumeName_;
};

// The 104-byte partition record: the searched-partition fields from byte 16
// on, in their declared order.
void WritePartitionRecord(const CSearchedPartitionInfo& partition, RSFieldWriter& out);
// Reads one into `target`, which is left with the fields of a plain record
// and reservedValue 0.
void ReadPartitionRecord(RSFieldReader& in, CSearchedPartitionInfo& target);

}  // namespace SaveRestoreResult
