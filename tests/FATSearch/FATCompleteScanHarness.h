#pragma once

// Runs the complete FAT search over a whole-disk test image the way the
// complete-scan controller does (through the read-ahead cache, block by
// block) and reads the disk images' manifests.

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FATCompleteSearcher.h"
#include "FATScanHarness.h"
#include "StorageDeviceWithCache.h"

namespace harbex::test {

struct DiskPartition {
    int index = 0;
    std::string type;
    int64_t start = 0;
    int64_t totalSectors = 0;
    uint32_t sectorsPerCluster = 0;
    int64_t firstDataSector = 0;
    std::string state;
};

struct DiskFile {
    int partition = 0;
    bool directory = false;
    std::string path;
    int64_t size = 0;
    std::string sha256;
    std::string state;  // live, lost-folder or recycled
};

struct DiskManifest {
    int64_t sectors = 0;
    uint32_t sectorSize = 512;
    std::vector<DiskPartition> partitions;
    std::vector<DiskFile> files;
};

inline DiskManifest ReadDiskManifest(const std::string& name) {
    DiskManifest manifest;
    std::ifstream in(FixturePath("fat-disks/" + name + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() == 2 && f[0] == "#disk_sectors")
            manifest.sectors = std::stoll(f[1]);
        if (f.size() == 2 && f[0] == "#sector_size")
            manifest.sectorSize = static_cast<uint32_t>(std::stoul(f[1]));
        if (f.size() == 8 && f[0] == "partition") {
            manifest.partitions.push_back(
                {std::stoi(f[1]), f[2], std::stoll(f[3]), std::stoll(f[4]),
                 static_cast<uint32_t>(std::stoul(f[5])), std::stoll(f[6]), f[7]});
        }
        if (f.size() == 7 && (f[0] == "file" || f[0] == "dir")) {
            DiskFile file;
            file.partition = std::stoi(f[1]);
            file.directory = f[0] == "dir";
            file.path = f[2];
            file.size = file.directory ? 0 : std::stoll(f[3]);
            file.sha256 = f[4];
            file.state = f[6];
            manifest.files.push_back(file);
        }
    }
    return manifest;
}

// The decompressed disk image `name`, made once per test process.
inline std::filesystem::path DiskImage(const std::string& name) {
    static TempDir folder;
    static std::map<std::string, std::filesystem::path> made;
    auto found = made.find(name);
    if (found != made.end())
        return found->second;
    const auto target = folder / (name + ".img");
    if (!DecompressXz(FixturePath("fat-disks/" + name + ".img.xz"), target))
        return {};
    made[name] = target;
    return target;
}

// The path of a node from its tree's top folder, the lost-files folder included.
inline std::string FullPath(IFileNode* node) {
    std::vector<const char*> names;
    for (IFileNode* n = node; n && n->GetParent(); n = n->GetParent())
        names.push_back(n->GetFileName() ? n->GetFileName() : "");
    return PathFromTop(names);
}

struct CompleteScan {
    RecordingTree tree;
    IDirecotryTreeBuilder* builder = nullptr;
    std::unique_ptr<CFATCompleteFSearcher> searcher = std::make_unique<CFATCompleteFSearcher>();
    std::vector<std::unique_ptr<CSearchedPartitionInfo>> partitions;
    std::multimap<std::string, CFATFileNode*> byPath;
    // What the raw search of the same scan met, when set before Run.
    std::map<long long, unsigned int>* fileSectors = nullptr;
    // The first sector from which the search, its walk over, said it may
    // list files when it ends.
    int64_t mayListFrom = -1;

    CompleteScan() = default;
    CompleteScan(const CompleteScan&) = delete;
    ~CompleteScan() {
        if (builder)
            builder->Release();
    }

    void Run(IStorageDevice* device, bool build = true) {
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        builder = CreateTreeBuilder(false, std::chrono::milliseconds::zero());
        builder->Initialize("disk", &tree, filter);
        const uint32_t sectorSize = device->GetSectorSize();
        const int blockSectors = static_cast<int>(0x400000 / sectorSize);
        CStorageDeviceWithCache cache(device);
        cache.SetBlockSize(static_cast<uint32_t>(blockSectors));
        cache.BeginCache();
        searcher->SetDevice(&cache);
        searcher->SetBlockSize(blockSectors);
        searcher->SetDirecotryTreeBuilder(builder);
        searcher->SetFileSectorMap(fileSectors);
        searcher->PreparetoSearch();
        const int64_t total = device->GetTotalSectors();
        for (int64_t block = 0; block * blockSectors < total; ++block) {
            cache.SetCurCacheBlock(block);
            searcher->AnalyzeBlock(block * blockSectors,
                                   std::min<int64_t>(blockSectors, total - block * blockSectors));
        }
        mayListFrom = FirstSectorItMayList(total);
        searcher->EndSearch(build ? 1 : 0);
        cache.EndCache();
        const int count = searcher->GetSearchedPartitionInfo(nullptr, 0);
        std::vector<CSearchedPartitionInfo*> records(static_cast<size_t>(count));
        if (count > 0)
            searcher->GetSearchedPartitionInfo(records.data(), count);
        for (CSearchedPartitionInfo* record : records)
            partitions.emplace_back(record);
        for (IFileNode* node : tree.nodes) {
            if (auto* fat = dynamic_cast<CFATFileNode*>(node))
                byPath.emplace(FullPath(fat), fat);
        }
    }

    // Its answer holds from one sector on: found by halving.
    int64_t FirstSectorItMayList(int64_t total) const {
        int64_t low = 0;
        int64_t high = total;
        while (low < high) {
            const int64_t middle = low + (high - low) / 2;
            if (searcher->MayListAtEnd(middle))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    }

    // The first node whose path ends with `tail` ("/NOTE.TXT").
    CFATFileNode* FindEndingWith(const std::string& tail) const {
        for (const auto& [path, node] : byPath) {
            if (path.size() >= tail.size() &&
                path.compare(path.size() - tail.size(), tail.size(), tail) == 0)
                return node;
        }
        return nullptr;
    }

    // The partition whose clusters begin at `firstDataSector` with `spc` sectors each.
    const CSearchedPartitionInfo* PartitionWithData(int64_t firstDataSector, uint32_t spc) const {
        for (const auto& p : partitions) {
            if (static_cast<int64_t>(p->firstDataSector) == firstDataSector &&
                p->sectorsPerCluster == spc)
                return p.get();
        }
        return nullptr;
    }
};

}  // namespace harbex::test
