#pragma once

#include "FATFileProperties.h"
#include "FileNode.h"

// A file or folder found on a FAT volume. Its id is its first cluster and its
// parent id the first cluster of the folder that holds it.
class CFATFileNode : public CFileNode {
public:
    CFATFileNode() = default;
    ~CFATFileNode() override;

    const char* GetFileName() override;
    int64_t GetFileSize() override;
    uint32_t GetAttribute() override;
    _FILETIME GetCreationTime() override;
    _FILETIME GetModificationTime() override;
    _FILETIME GetLastAccessTime() override;
    int IsDirectory() override;
    int IsDeleted() override;
    _tagSearcherType GetSearcheType() const override { return SEARCHER_FAT; }
    void SetParentNodeID(int64_t id) override;
    CFATFileNode* Clone() override;
    void MarkDeleted() override;
    void FilterFileNameByDot() override;
    using CFileNode::FilterFileNameByDot;
    void SetFileName(const char* name) override;

    // Takes ownership; the ids and the metadata sector come from the record.
    void SetFileProperties(IFileProperties* properties);
    CFATFileProperties* GetFileProperties() const { return properties_; }
    void SetDataRunList(IDataRunList* list);
    void DelDataRunList();
    void SetCurrentNodeID(int64_t id) { nodeId_ = id; }

protected:
    void AdoptNewerFolderProperties(CFileNode& newer) override;

private:
    CFATFileProperties* properties_ = nullptr;  // owned
};
