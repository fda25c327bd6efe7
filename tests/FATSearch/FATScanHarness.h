#pragma once

// Runs the FAT quick search over a test device into a real tree builder and
// gives the found nodes by path.

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DirectoryTree.h"
#include "DirectoryTreeBuilder.h"
#include "FATFileNode.h"
#include "FATImageDevice.h"
#include "FATQuickSearcher.h"
#include "FATSearchedPartitionInfo.h"
#include "Progress.h"
#include "RecoveryFilter.h"

namespace harbex::test {

class RecordingTree : public IDrirectoryTree {
public:
    void ShowNodes(IFileNode** nodes, unsigned int count, int) override {
        this->nodes.insert(this->nodes.end(), nodes, nodes + count);
    }
    void ShowFilesystemNode(IFilesystemNode* root) override { roots.push_back(root); }
    std::vector<IFileNode*> nodes;
    std::vector<IFilesystemNode*> roots;
};

class RecordingProgress : public IProgress {
public:
    int UpdateProgress(_PROGRESS_INFO* info) override {
        records.push_back(*info);
        return 0;
    }
    int Continued() override { return continueAnswers-- > 0 ? 1 : 0; }
    int shouldBuild() override { return 1; }
    std::vector<_PROGRESS_INFO> records;
    long continueAnswers = 1L << 40;
};

// "/a/b/c" from the names c, b, a. Built by appending: prepending to a
// string gives GCC 12 at -O3 a false -Wrestrict alarm.
inline std::string PathFromTop(const std::vector<const char*>& namesUpwards) {
    std::string path;
    for (auto name = namesUpwards.rbegin(); name != namesUpwards.rend(); ++name) {
        path += '/';
        path += *name;
    }
    return path;
}

// The path of a node below its tree's top folder ("/Docs/NOTE.TXT").
inline std::string NodePath(IFileNode* node) {
    std::vector<const char*> names;
    for (IFileNode* n = node; n && !dynamic_cast<CFilesystemNode*>(n); n = n->GetParent())
        names.push_back(n->GetFileName() ? n->GetFileName() : "");
    return PathFromTop(names);
}

struct QuickScan {
    RESULT_CODE code = 0;
    RecordingTree tree;
    RecordingProgress progress;
    IDirecotryTreeBuilder* builder = nullptr;
    std::unique_ptr<IQuickFileSystemSearchController> searcher;
    std::map<std::string, CFATFileNode*> byPath;
    std::vector<CFATFileNode*> all;

    QuickScan() = default;
    QuickScan(const QuickScan&) = delete;
    ~QuickScan() {
        if (builder)
            builder->Release();
    }

    void Run(IStorageDevice* device, bool withBuilder = true) {
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        searcher.reset(CreateFATQuickSearcher());
        if (withBuilder) {
            builder = CreateTreeBuilder(false, std::chrono::milliseconds::zero());
            builder->Initialize("volume", &tree, filter);
            searcher->SetDirecotryTreeBuilder(builder);
        }
        code = searcher->QuickSearchFiles(device, &progress);
        for (IFileNode* node : tree.nodes) {
            auto* fat = dynamic_cast<CFATFileNode*>(node);
            if (!fat)
                continue;
            all.push_back(fat);
            byPath.emplace(NodePath(fat), fat);
        }
    }

    std::unique_ptr<CSearchedPartitionInfo> Partition() {
        CSearchedPartitionInfo* record = nullptr;
        if (searcher->GetSearchedPartitionInfo(&record, 1) != 1)
            return nullptr;
        return std::unique_ptr<CSearchedPartitionInfo>(record);
    }
};

// The first sector of the folder at `path` of the volume `image`, found by a
// quick scan of it.
inline int64_t FolderFirstSector(const char* image, uint32_t fsType, const std::string& path) {
    FATImageDevice device(FATFixtureImage(image), 512);
    device.DescribeAsVolume(fsType);
    QuickScan scan;
    scan.Run(&device);
    const auto partition = scan.Partition();
    CFATFileNode* folder = scan.byPath.at(path);
    return static_cast<int64_t>(partition->firstDataSector) +
           (folder->GetFileProperties()->GetFirstClusterNum() - 2) * partition->sectorsPerCluster;
}

// The file's bytes read through its extents, cut to its size.
inline std::vector<uint8_t> ReadThroughExtents(IStorageDevice* device,
                                               const CSearchedPartitionInfo& partition,
                                               CFATFileNode* node) {
    std::vector<uint8_t> data;
    IDataRunList* runs = node->GetDataRunList();
    const uint64_t size = static_cast<uint64_t>(node->GetFileSize());
    if (!runs)
        return data;
    const uint32_t clusterBytes = partition.sectorsPerCluster * partition.sectorSize;
    for (DataRun* run = runs->GetFirst(); run && data.size() < size; run = runs->GetNext()) {
        std::vector<uint8_t> bytes(run->clusterCount * clusterBytes);
        const int64_t sector = static_cast<int64_t>(partition.firstDataSector) +
                               run->firstCluster * partition.sectorsPerCluster;
        if (!device->ReadSector(
                bytes.data(), sector,
                static_cast<int64_t>(run->clusterCount) * partition.sectorsPerCluster)) {
            break;
        }
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    if (data.size() > size)
        data.resize(size);
    return data;
}


// The path a manifest entry is listed under: a deleted entry that has only
// a short (upper-case 8.3) name shows "#" in place of its first letter.
inline std::string ListedPath(const FATManifestEntry& entry) {
    if (!entry.deleted())
        return entry.path;
    const size_t slash = entry.path.rfind('/');
    const std::string name = entry.path.substr(slash + 1);
    bool shortName = name.size() <= 12 && name.find(' ') == std::string::npos;
    for (char c : name)
        shortName = shortName && !islower(static_cast<unsigned char>(c));
    if (!shortName)
        return entry.path;
    return entry.path.substr(0, slash + 1) + "#" + name.substr(1);
}

}  // namespace harbex::test
