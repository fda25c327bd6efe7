#pragma once

#include <string>

#include "FileNode.h"

// A file or folder node with plain fields, standing in for a searcher's node.
class TestNode : public CFileNode {
public:
    explicit TestNode(std::string name, bool directory = false, int64_t id = -1)
        : name_(std::move(name)), directory_(directory) {
        nodeId_ = id;
    }

    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return size_; }
    uint32_t GetAttribute() override { return 0; }
    _FILETIME GetCreationTime() override { return created_; }
    _FILETIME GetModificationTime() override { return 0; }
    _FILETIME GetLastAccessTime() override { return 0; }
    int IsDirectory() override { return directory_; }
    int IsDeleted() override { return 0; }
    _tagSearcherType GetSearcheType() const override { return type_; }
    TestNode* Clone() override { return new TestNode(*this); }
    void MarkDeleted() override {}
    void FilterFileNameByDot() override {}
    void UpdateFileSize(int64_t size) override { size_ = size; }

    void SetExtents(IDataRunList* list) { dataRunList_ = list; }

    std::string name_;
    bool directory_;
    int64_t size_ = 0;
    _FILETIME created_ = 0;
    _tagSearcherType type_ = SEARCHER_NONE;
    std::string adoptedFrom_;  // name of the newer folder whose properties were taken

protected:
    void AdoptNewerFolderProperties(CFileNode& newer) override {
        adoptedFrom_ = newer.GetFileName();
    }
};
