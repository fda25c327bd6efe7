#include "SyntheticTree.h"

#include <algorithm>
#include <string>

namespace {

// 2026-01-01 00:00:00 UTC as a node time.
constexpr _FILETIME kBaseTime = (1767225600ull + 11644473600ull) * 10000000ull;
constexpr _FILETIME kHour = 3600ull * 10000000ull;

}  // namespace

SyntheticFileNode::SyntheticFileNode(std::string name, bool directory, int64_t id)
    : name_(std::move(name)), directory_(directory ? 1 : 0) {
    nodeId_ = id;
}

SyntheticTree::SyntheticTree(size_t files, size_t filesPerFolder, const QString& volume)
    : filesPerFolder_(std::max<size_t>(filesPerFolder, 1)) {
    int64_t id = 5;
    root_ = new SyntheticFileNode(volume.toStdString(), true, id++);
    root_->volume_ = root_->name_;
    const size_t folderCount = (files + filesPerFolder_ - 1) / filesPerFolder_;
    folders_.reserve(folderCount);
    files_.reserve(files);
    for (size_t f = 0; f < folderCount; ++f) {
        auto* folder = new SyntheticFileNode("Folder " + std::to_string(f + 1), true, id++);
        folder->created_ = folder->modified_ = kBaseTime + f * kHour;
        folder->SetParentNodeID(root_->GetCurrentNodeID());
        root_->AddChild(folder);
        folders_.push_back(folder);
    }
    for (size_t i = 0; i < files; ++i) {
        const char* extension = kExtensions[i % std::size(kExtensions)];
        auto* file =
            new SyntheticFileNode("File " + std::to_string(i + 1) + "." + extension, false, id++);
        file->size_ = static_cast<int64_t>((i * 7919) % 5'000'000 + 1);
        file->created_ = kBaseTime + i * kHour;
        file->modified_ = file->created_ + kHour;
        file->deleted_ = i % 7 == 6 ? 1 : 0;
        SyntheticFileNode* folder = folders_[i / filesPerFolder_];
        file->SetParentNodeID(folder->GetCurrentNodeID());
        folder->AddChild(file);
        files_.push_back(file);
        totalSize_ += static_cast<uint64_t>(file->size_);
    }
}

SyntheticTree::~SyntheticTree() {
    for (SyntheticFileNode* file : files_)
        delete file;
    for (SyntheticFileNode* folder : folders_)
        delete folder;
    delete root_;
}

OpNodeRef SyntheticTree::pathRoot(size_t folderCount) const {
    auto root = std::make_shared<OpNodeData>(TreeNodeData{1, 0, 1, root_});
    root->setExpandAble(1);
    OpNodeArray rows;
    folderCount = std::min(folderCount, folders_.size());
    for (size_t f = 0; f < folderCount; ++f)
        rows.push_back(folderRow(f));
    root->setSubNode(std::move(rows));
    return root;
}

OpNodeRef SyntheticTree::folderRow(size_t index) const {
    auto row = std::make_shared<OpNodeData>(TreeNodeData{1, 0, 0, folders_[index]});
    const size_t first = index * filesPerFolder_;
    const size_t end = std::min(first + filesPerFolder_, files_.size());
    for (size_t i = first; i < end; ++i)
        row->addChildObject(files_[i]);
    return row;
}

size_t SyntheticTree::filesInFolders(size_t folderCount) const {
    return std::min(folderCount * filesPerFolder_, files_.size());
}
