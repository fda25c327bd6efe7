#pragma once

// Devices, fixture images, hand-built entries and volumes and the quick-scan
// harness shared by the exFAT tests.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ExFatFileNode.h"
#include "ExFatQuickSearch.h"
#include "FATScanHarness.h"
#include "TreeBuilderClock.h"

namespace harbex::test {

// The decompressed image `relative` ("exfat/exfat_512"), made once per test process.
inline std::filesystem::path ExFatImage(const std::string& relative) {
    static TempDir folder;
    static std::map<std::string, std::filesystem::path> made;
    const auto found = made.find(relative);
    if (found != made.end())
        return found->second;
    std::string flat = relative;
    for (char& c : flat)
        c = c == '/' ? '_' : c;
    const auto target = folder / (flat + ".img");
    if (!DecompressXz(FixturePath(relative + ".img.xz"), target))
        return {};
    made[relative] = target;
    return target;
}

inline FATManifest ReadExFatManifest(const std::string& name) {
    FATManifest manifest;
    std::ifstream in(FixturePath("exfat/" + name + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() == 2 && f[0] == "#label")
            manifest.label = f[1];
        if (f.size() == 2 && f[0] == "#sector_size")
            manifest.sectorSize = static_cast<uint32_t>(std::stoul(f[1]));
        if (f.size() == 2 && f[0] == "#total_sectors")
            manifest.totalSectors = std::stoll(f[1]);
        if (f.size() == 6) {
            FATManifestEntry entry;
            entry.directory = f[0] == "dir";
            entry.path = f[1];
            entry.size = std::stoll(f[2]);
            entry.sha256 = f[3];
            entry.mtime = f[4] == "-" ? 0 : std::stoll(f[4]);
            entry.state = f[5];
            manifest.entries.push_back(entry);
        }
    }
    return manifest;
}

// A device over bytes in memory; sectors can be made unreadable.
class MemoryDevice : public IStorageDevice {
public:
    MemoryDevice(std::vector<uint8_t> bytes, uint32_t sectorSize)
        : bytes_(std::move(bytes)), sectorSize_(sectorSize) {}
    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (first < 0 || count <= 0 || first + count > GetTotalSectors())
            return false;
        for (int64_t s = first; s < first + count; ++s) {
            if (unreadable.count(s))
                return false;
        }
        std::memcpy(buffer, bytes_.data() + first * sectorSize_, size_t(count) * sectorSize_);
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return int64_t(bytes_.size() / sectorSize_); }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return nullptr; }
    void SetPrivateData(IStorageDeviceData* data) override { delete data; }
    uint32_t GetType() override { return kStorageDeviceVolume; }
    RESULT_CODE GetLastError() override { return 0; }

    std::vector<uint8_t>& bytes() { return bytes_; }
    std::set<int64_t> unreadable;

private:
    std::vector<uint8_t> bytes_;
    uint32_t sectorSize_;
};

inline void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void Put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

using Entry = std::array<uint8_t, 32>;

// 2021-03-04 05:06:08, local time.
constexpr uint32_t kStamp = (41u << 25) | (3u << 21) | (4u << 16) | (5u << 11) | (6u << 5) | 4u;

struct FileSpec {
    std::string name;  // ASCII
    uint64_t length = 0;
    uint32_t firstCluster = 0;
    bool contiguous = true;
    bool directory = false;
    bool deleted = false;
    int vendorSecondaries = 0;  // benign secondaries after the names
};

// The entry set of a file: file entry, stream extension, names and any
// vendor secondaries, with its checksum.
inline std::vector<Entry> FileSet(const FileSpec& spec) {
    const size_t names = (spec.name.size() + 14) / 15;
    std::vector<Entry> set(2 + names + size_t(spec.vendorSecondaries));
    for (Entry& e : set)
        e.fill(0);
    const uint8_t used = spec.deleted ? 0 : 0x80;
    set[0][0] = 0x05 | used;
    set[0][1] = uint8_t(set.size() - 1);
    Put16(&set[0][4], spec.directory ? 0x10 : 0x20);
    Put32(&set[0][8], kStamp);
    Put32(&set[0][12], kStamp);
    Put32(&set[0][16], kStamp);
    set[1][0] = 0x40 | used;
    set[1][1] = uint8_t(1 | (spec.contiguous ? 2 : 0));
    set[1][3] = uint8_t(spec.name.size());
    Put64(&set[1][8], spec.length);
    Put32(&set[1][20], spec.firstCluster);
    Put64(&set[1][24], spec.length);
    for (size_t i = 0; i < spec.name.size(); ++i) {
        Entry& e = set[2 + i / 15];
        e[0] = 0x41 | used;
        e[2 + 2 * (i % 15)] = uint8_t(spec.name[i]);
    }
    for (int i = 0; i < spec.vendorSecondaries; ++i)
        set[2 + names + size_t(i)][0] = 0xE0;
    std::vector<uint8_t> flat;
    for (const Entry& e : set)
        flat.insert(flat.end(), e.begin(), e.end());
    uint16_t sum = 0;
    for (size_t i = 0; i < flat.size(); ++i) {
        if (i != 2 && i != 3)
            sum = uint16_t(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + flat[i]);
    }
    Put16(&set[0][2], sum);
    return set;
}

inline Entry OneEntry(uint8_t type, uint8_t second = 0) {
    Entry e{};
    e[0] = type;
    e[1] = second;
    return e;
}

inline std::vector<uint8_t> Flatten(const std::vector<Entry>& entries) {
    std::vector<uint8_t> bytes;
    for (const Entry& e : entries)
        bytes.insert(bytes.end(), e.begin(), e.end());
    return bytes;
}

// A small exFAT volume built by hand: boot sector, one FAT, cluster heap.
// Folders and files are written straight into clusters.
class HandVolume {
public:
    static constexpr uint32_t kFatOffset = 24;
    static constexpr uint32_t kFatLength = 8;
    static constexpr uint32_t kHeapOffset = 32;
    static constexpr uint32_t kRootCluster = 4;

    HandVolume(uint32_t sectorSize, uint32_t sectorsPerCluster, uint32_t clusters)
        : sectorSize_(sectorSize), spc_(sectorsPerCluster), clusters_(clusters) {
        bytes_.assign(size_t(kHeapOffset + clusters * spc_) * sectorSize_, 0);
        uint8_t* b = bytes_.data();
        std::memcpy(b + 3, "EXFAT   ", 8);
        Put64(b + 72, kHeapOffset + uint64_t(clusters) * spc_);
        Put32(b + 80, kFatOffset);
        Put32(b + 84, kFatLength);
        Put32(b + 88, kHeapOffset);
        Put32(b + 92, clusters);
        Put32(b + 96, kRootCluster);
        int shift = 0;
        while ((1u << shift) < sectorSize)
            ++shift;
        b[108] = uint8_t(shift);
        shift = 0;
        while ((1u << shift) < sectorsPerCluster)
            ++shift;
        b[109] = uint8_t(shift);
        b[110] = 1;
        b[510] = 0x55;
        b[511] = 0xAA;
        SetFat(0, 0xFFFFFFF8);
        SetFat(1, 0xFFFFFFFF);
        SetFat(kRootCluster, 0xFFFFFFFF);
    }

    void SetFat(uint32_t cluster, uint32_t next) {
        Put32(bytes_.data() + size_t(kFatOffset) * sectorSize_ + 4 * size_t(cluster), next);
    }
    // Writes entries from the start of `cluster` on (into the clusters after it too).
    void WriteEntries(uint32_t cluster, const std::vector<Entry>& entries) {
        const std::vector<uint8_t> flat = Flatten(entries);
        std::memcpy(bytes_.data() + ClusterOffset(cluster), flat.data(), flat.size());
    }
    int64_t ClusterSector(uint32_t cluster) const {
        return kHeapOffset + int64_t(cluster - 2) * spc_;
    }
    size_t ClusterOffset(uint32_t cluster) const {
        return size_t(ClusterSector(cluster)) * sectorSize_;
    }
    uint32_t ClusterBytes() const { return sectorSize_ * spc_; }
    std::vector<uint8_t>& bytes() { return bytes_; }
    std::unique_ptr<MemoryDevice> Device() const {
        return std::make_unique<MemoryDevice>(bytes_, sectorSize_);
    }

private:
    uint32_t sectorSize_;
    uint32_t spc_;
    uint32_t clusters_;
    std::vector<uint8_t> bytes_;
};

// The path of a node below its tree's top folder ("/Docs/NOTE.TXT").
inline std::string ExFatPath(IFileNode* node) {
    std::vector<std::string> names;
    for (IFileNode* n = node; n && !dynamic_cast<CFilesystemNode*>(n); n = n->GetParent())
        names.emplace_back(n->GetFileName() ? n->GetFileName() : "");
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name)
        path.append("/").append(*name);
    return path;
}

// Hands batches over at once and never waits.
class NoWaitClock : public ITreeBuilderClock {
public:
    TimePoint Now() override { return TimePoint{}; }
    void Wait(std::chrono::milliseconds) override {}
};

// The quick search of one volume into a real tree builder, nodes by path.
struct ExFatQuickScan {
    NoWaitClock clock;
    RecordingTree tree;
    RecordingProgress progress;
    IDirecotryTreeBuilder* builder = nullptr;
    std::unique_ptr<IQuickFileSystemSearchController> searcher;
    std::map<std::string, CExFatFileNode*> byPath;

    ExFatQuickScan() = default;
    ExFatQuickScan(const ExFatQuickScan&) = delete;
    ~ExFatQuickScan() {
        if (builder)
            builder->Release();
    }

    void Run(IStorageDevice* device) {
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        searcher.reset(CreateEXFatQuickSearcher());
        builder = CreateTreeBuilder(false, &clock);
        builder->Initialize("volume", &tree, filter);
        searcher->SetDirecotryTreeBuilder(builder);
        searcher->QuickSearchFiles(device, &progress);
        for (IFileNode* node : tree.nodes) {
            if (auto* exfat = dynamic_cast<CExFatFileNode*>(node))
                byPath.emplace(ExFatPath(exfat), exfat);
        }
    }

    std::unique_ptr<CSearchedPartitionInfo> Partition() {
        CSearchedPartitionInfo* record = nullptr;
        searcher->GetSearchedPartitionInfo(&record, 1);
        return std::unique_ptr<CSearchedPartitionInfo>(record);
    }
};

// The bytes of a node read through its extents, cut to its size.
inline std::vector<uint8_t> ReadNode(IStorageDevice* device, const CSearchedPartitionInfo& part,
                                     CFileNode* node) {
    std::vector<uint8_t> data;
    IDataRunList* runs = node->GetDataRunList();
    const uint64_t size = uint64_t(node->GetFileSize());
    const uint32_t clusterBytes = part.sectorsPerCluster * part.sectorSize;
    for (DataRun* run = runs ? runs->GetFirst() : nullptr; run && data.size() < size;
         run = runs->GetNext()) {
        std::vector<uint8_t> bytes(run->clusterCount * clusterBytes);
        const int64_t sector =
            int64_t(part.firstDataSector) + run->firstCluster * part.sectorsPerCluster;
        if (!device->ReadSector(bytes.data(), sector,
                                int64_t(run->clusterCount) * part.sectorsPerCluster))
            break;
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    if (data.size() > size)
        data.resize(size);
    return data;
}

// The SHA-256 of each byte string, with one run of sha256sum.
inline std::vector<std::string> Sha256Each(const std::vector<std::vector<uint8_t>>& contents) {
    TempDir dir;
    std::ostringstream command;
    command << "cd '" << dir.path().string() << "' && sha256sum";
    for (size_t i = 0; i < contents.size(); ++i) {
        WriteFile(dir / std::to_string(i), contents[i]);
        command << ' ' << i;
    }
    std::vector<std::string> sums;
    if (contents.empty())
        return sums;
    const CommandResult result = RunCommand(command.str());
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line))
        sums.push_back(line.substr(0, 64));
    return sums;
}

}  // namespace harbex::test
