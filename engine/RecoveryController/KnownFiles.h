#pragma once

#include <cstdint>
#include <vector>

#include "DirectoryTree.h"

class CFileNode;
class IFileSystemSearchController;
class TBitmap;

// Passes finished trees on to the scan's tree sink and keeps the existing
// files a file-system searcher listed, so that their sectors can be marked
// as known before the raw search files what it carved.
class CKnownFileCollector : public IDrirectoryTree {
public:
    explicit CKnownFileCollector(_tagSearcherType type) : type_(type) {}

    void SetTarget(IDrirectoryTree* target) {
        target_ = target;
        files_.clear();
    }
    void ShowNodes(IFileNode** nodes, unsigned int count, int lost) override;
    void ShowFilesystemNode(IFilesystemNode* root) override;

    const std::vector<CFileNode*>& Files() const { return files_; }

private:
    _tagSearcherType type_;
    IDrirectoryTree* target_ = nullptr;  // not owned
    std::vector<CFileNode*> files_;      // owned by the tree builder
};

// Marks the sectors of the files' extents in the scan's bit map, on the
// partitions the searcher reported; makes the map first when no searcher has
// (one bit per sector, or per power-of-two group of sectors on big devices).
void MarkKnownFiles(TBitmap& bitmap, IFileSystemSearchController& searcher,
                    const std::vector<CFileNode*>& files, int64_t totalSectors);
