#pragma once

// A found-file tree made up for tests, scenes and benchmarks: one file-system
// root, folders below it and files in the folders, any number of each. Names,
// sizes and times follow from the file's index, so two trees of the same
// shape are alike.

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "FileNode.h"
#include "OpNodeData.h"

// A found file or folder with plain fields.
class SyntheticFileNode : public CFileNode {
public:
    SyntheticFileNode(std::string name, bool directory, int64_t id);

    const char* GetFileName() override { return name_.c_str(); }
    int64_t GetFileSize() override { return size_; }
    uint32_t GetAttribute() override { return 0; }
    _FILETIME GetCreationTime() override { return created_; }
    _FILETIME GetModificationTime() override { return modified_; }
    _FILETIME GetLastAccessTime() override { return modified_; }
    int IsDirectory() override { return directory_; }
    int IsDeleted() override { return deleted_; }
    _tagSearcherType GetSearcheType() const override { return SEARCHER_FAT; }
    const char* GetVolumeName() const override { return volume_.c_str(); }
    SyntheticFileNode* Clone() override { return new SyntheticFileNode(*this); }
    void MarkDeleted() override { deleted_ = 1; }
    void FilterFileNameByDot() override {}
    void UpdateFileSize(int64_t size) override { size_ = size; }

    std::string name_;
    std::string volume_;
    int directory_;
    int deleted_ = 0;
    int64_t size_ = 0;
    _FILETIME created_ = 0;
    _FILETIME modified_ = 0;
};

class SyntheticTree {
public:
    // `files` files, `filesPerFolder` to a folder, below a root named `volume`.
    // Every seventh file is deleted; extensions cycle through kExtensions.
    explicit SyntheticTree(size_t files, size_t filesPerFolder = 100,
                           const QString& volume = QStringLiteral("Untitled"));
    ~SyntheticTree();
    SyntheticTree(const SyntheticTree&) = delete;
    SyntheticTree& operator=(const SyntheticTree&) = delete;

    static constexpr const char* kExtensions[] = {"jpg", "doc", "mp3", "mov", "zip", "txt", "png"};

    SyntheticFileNode* root() const { return root_; }
    const std::vector<SyntheticFileNode*>& folders() const { return folders_; }
    const std::vector<SyntheticFileNode*>& files() const { return files_; }
    uint64_t totalSize() const { return totalSize_; }

    // A path-tree row of the root, with a row per folder holding its files;
    // only the first `folderCount` folders.
    OpNodeRef pathRoot(size_t folderCount) const;
    // The path-tree row of folder `index`, holding its files.
    OpNodeRef folderRow(size_t index) const;
    // The files of the first `folderCount` folders.
    size_t filesInFolders(size_t folderCount) const;

private:
    SyntheticFileNode* root_;
    std::vector<SyntheticFileNode*> folders_;
    std::vector<SyntheticFileNode*> files_;
    size_t filesPerFolder_;
    uint64_t totalSize_ = 0;
};
