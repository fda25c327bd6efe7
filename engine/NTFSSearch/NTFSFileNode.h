#pragma once

#include "FileNode.h"
#include "NTFSFileProperties.h"

class CCommonFileRecordInfo;

// A file or folder found on an NTFS volume: its id is its FILE record's number
// and its parent id the number of the folder that holds it (5 is the root).
class CNTFSFileNode : public CFileNode {
public:
    static constexpr int64_t kRootRecord = 5;

    CNTFSFileNode() = default;
    ~CNTFSFileNode() override;

    const char* GetFileName() override;
    int64_t GetFileSize() override;
    uint32_t GetAttribute() override;
    _FILETIME GetCreationTime() override;
    _FILETIME GetModificationTime() override;
    _FILETIME GetLastAccessTime() override;
    int IsDirectory() override;
    int IsDeleted() override;
    _tagSearcherType GetSearcheType() const override { return SEARCHER_NTFS; }
    CNTFSFileNode* Clone() override;
    void MarkDeleted() override;
    IFileReader* CreateCompressFileReader(void* context) override;
    uint32_t IsCompressed() const override;
    void FilterFileNameByDot() override;
    using CFileNode::FilterFileNameByDot;
    void SetFileName(const char* name) override;

    // Takes ownership: node id 0, parent 5, the metadata sector and the
    // extents from the properties.
    void SetFileProperties(CNTFSFileProperties* properties);
    CNTFSFileProperties* GetFileProperties() const { return properties_; }
    void SetDataRunList(IDataRunList* list);
    void SetCurrentNodeID(int64_t id) { nodeId_ = id; }
    void SetPrivateDataofSpecifiedFileSystem(CCommonFileRecordInfo* info) { private_ = info; }
    CCommonFileRecordInfo* GetPrivateDataofSpecifiedFileSystem() const { return private_; }

private:
    CNTFSFileProperties* properties_ = nullptr;  // owned
    CCommonFileRecordInfo* private_ = nullptr;   // not owned
};
