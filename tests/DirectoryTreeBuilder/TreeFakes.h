#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DirectoryTree.h"
#include "DirectoryTreeBuilder.h"
#include "FileNode.h"
#include "RecoveryFilter.h"
#include "TreeBuilderClock.h"

namespace trees_test {

// "f12" from "f" and 12. Appending, unlike "f" + std::to_string(12), keeps
// GCC 12 at -O3 from a false -Wrestrict alarm inside std::string.
inline std::string Numbered(const char* prefix, long long number) {
    std::string name = prefix;
    name += std::to_string(number);
    return name;
}

// A searcher's node with everything the builder looks at settable.
class FakeNode : public CFileNode {
public:
    struct Fields {
        long long id;
        long long parentId;
        std::string name;
        bool folder = false;
        bool deleted = true;
        int64_t size = 100;
        _FILETIME modified = 1000;
        uint16_t partition = 0;
    };

    explicit FakeNode(const Fields& fields);
    FakeNode(const FakeNode& other);
    ~FakeNode() override { --live; }

    const char* GetFileName() override { return name_.c_str(); }
    void SetFileName(const char* name) override { name_ = name; }
    int64_t GetFileSize() override { return size_; }
    uint32_t GetAttribute() override { return folder_ ? 0x10 : 0x20; }
    _FILETIME GetCreationTime() override { return modified_; }
    _FILETIME GetModificationTime() override { return modified_; }
    _FILETIME GetLastAccessTime() override { return modified_; }
    int IsDirectory() override { return folder_; }
    int IsDeleted() override { return deleted_; }
    CFileNode* Clone() override { return new FakeNode(*this); }
    void MarkDeleted() override { deleted_ = true; }
    void FilterFileNameByDot() override { name_ = CFileNode::FilterFileNameByDot(name_); }
    void UpdateFileSize(int64_t size) override { size_ = size; }

    void GiveExtent(int64_t firstCluster, uint64_t clusterCount);
    int64_t FirstCluster() const;

    // Nodes alive right now, to prove who released what.
    static int live;

private:
    std::string name_;
    bool folder_;
    bool deleted_;
    int64_t size_;
    _FILETIME modified_;
};

// Records what the builder hands to the tree sink, in order.
class RecordingTree : public IDrirectoryTree {
public:
    struct Batch {
        std::vector<IFileNode*> nodes;
        int lost;
    };
    void ShowNodes(IFileNode** nodes, unsigned int count, int lost) override;
    void ShowFilesystemNode(IFilesystemNode* root) override;

    std::vector<IFilesystemNode*> roots;
    std::vector<Batch> batches;
    // For each batch: how many roots had been announced before it.
    std::vector<size_t> rootsBeforeBatch;

    std::vector<IFileNode*> AllShown() const;
    IFileNode* Shown(const std::string& name) const;
};

// Lets folders and files pass, except files whose name ends in a refused extension.
class FakeFilter : public IRecoveryFilter {
public:
    bool ShowNormalFiles() const override { return showNormal; }
    void SetScanType(_SCAN_TYPE type) override { showNormal = type != SCAN_TYPE_DELETED_ONLY; }
    bool IsFileNodeValid(IFileNode* node) override;
    void SetFilterTypes(unsigned int) override {}
    unsigned int GetNodeFileType(IFileNode*) override { return FILE_MASK_OTHER; }
    void Release() override {}

    bool showNormal = true;
    std::set<std::string> refusedExtensions;
};

class FakeClock : public ITreeBuilderClock {
public:
    TimePoint Now() override { return now; }
    void Wait(std::chrono::milliseconds duration) override { waited += duration; }

    TimePoint now{};
    std::chrono::milliseconds waited{0};
};

struct BuilderDeleter {
    void operator()(IDirecotryTreeBuilder* builder) const { builder->Release(); }
};
using BuilderPtr = std::unique_ptr<IDirecotryTreeBuilder, BuilderDeleter>;

// A builder wired to fakes, with one tree per type asked for.
struct Harness {
    explicit Harness(bool restoring = false);
    void Open(_tagSearcherType type, long long topId);
    // Offers a node the way a searcher does: a refused node is the caller's to release.
    bool Offer(const FakeNode::Fields& fields, _tagSearcherType type = SEARCHER_FAT);
    bool Offer(FakeNode* node, _tagSearcherType type = SEARCHER_FAT);

    FakeFilter filter;
    FakeClock clock;
    RecordingTree sink;
    BuilderPtr builder;
};

// The names from a node up to (not including) the top folder, "a/b/c".
std::string PathOf(IFileNode* node);

}  // namespace trees_test
