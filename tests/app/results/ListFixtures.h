#pragma once

// Small hand-made file lists for the results window's tests: a folder "Docs"
// on a volume, holding files whose names, sizes and creation times are
// chosen per test (equal values included), deleted files and sub-folders.

#include <memory>
#include <string>
#include <vector>

#include "SyntheticTree.h"

struct ListFile {
    std::string name;
    int64_t size = 0;
    _FILETIME created = 0;
    bool deleted = false;
    bool directory = false;
};

class FileList {
public:
    explicit FileList(const std::vector<ListFile>& files) {
        volume_.volume_ = "Volume";
        volume_.AddChild(&folder_);
        folder_.SetParentNodeID(volume_.GetCurrentNodeID());
        int64_t id = 10;
        for (const ListFile& spec : files) {
            auto node = std::make_unique<SyntheticFileNode>(spec.name, spec.directory, id++);
            node->size_ = spec.size;
            node->created_ = spec.created;
            node->deleted_ = spec.deleted ? 1 : 0;
            node->SetParentNodeID(folder_.GetCurrentNodeID());
            folder_.AddChild(node.get());
            rows.push_back(node.get());
            nodes_.push_back(std::move(node));
        }
    }

    SyntheticFileNode* node(size_t index) const { return nodes_[index].get(); }
    // The names of `list` in order.
    static std::vector<std::string> names(const std::vector<IFileNode*>& list) {
        std::vector<std::string> out;
        for (IFileNode* file : list)
            out.push_back(file != nullptr ? file->GetFileName() : "(none)");
        return out;
    }

    std::vector<IFileNode*> rows;

private:
    SyntheticFileNode volume_{"Volume", true, 1};
    SyntheticFileNode folder_{"Docs", true, 2};
    std::vector<std::unique_ptr<SyntheticFileNode>> nodes_;
};
