// Directory-sector pre-analysis (entry sets cut at sector and cluster ends)
// and the complete search over damaged disk images.

#include <gtest/gtest.h>

#include <algorithm>

#include "ExFatBootSector.h"
#include "ExFatCompleteSearch.h"
#include "ExFatEntries.h"
#include "ExFatPreAnalyze.h"
#include "ExFatTestSupport.h"
#include "StorageDeviceWithCache.h"

namespace harbex::test {
namespace {

// Five three-entry sets fill 15 of a 512-byte sector's 16 slots; `cut` (a
// four-entry set) starts in the last slot.
std::vector<uint8_t> SectorWithSetAtTheEnd(const std::vector<Entry>& cut) {
    std::vector<Entry> entries;
    for (int i = 0; i < 5; ++i) {
        const auto set = FileSet({"file" + std::to_string(i), 100, uint32_t(10 + i)});
        entries.insert(entries.end(), set.begin(), set.end());
    }
    entries.insert(entries.end(), cut.begin(), cut.end());
    return Flatten(entries);
}

std::vector<std::string> Names(const CFileSet& set) {
    std::vector<std::string> names;
    for (const auto& file : set.inUse)
        names.push_back(file.name);
    return names;
}

const FileSpec kCut{"a name of twenty chars", 5000, 40};

TEST(ExFatPreAnalyze, SetRunningIntoTheNextSectorIsFiledWhole) {
    std::vector<uint8_t> bytes = SectorWithSetAtTheEnd(FileSet(kCut));
    const auto after = Flatten(FileSet({"after", 1, 50}));
    bytes.insert(bytes.end(), after.begin(), after.end());
    bytes.resize(1024, 0);
    CFDTPreAnaylze pre;
    pre.PrepareAnayze(9, 25, 1 << 20);
    EXPECT_FALSE(pre.Analyze(7, bytes.data(), 1024));
    EXPECT_TRUE(pre.Analyze(8, bytes.data() + 512, 512));
    const auto set = pre.GetFileSet();
    ASSERT_NE(set, nullptr);
    EXPECT_FALSE(set->IsNotEnded());
    EXPECT_EQ(set->sectorCount, 2u);
    EXPECT_EQ(Names(*set).size(), 7u);
    EXPECT_EQ(Names(*set)[5], kCut.name);
}

// A cluster ending in the first entry of a set, and the cluster holding the
// set's other entries followed by one more set.
struct CutSet {
    std::vector<uint8_t> head;
    std::vector<uint8_t> tail;
    CutSet() {
        const std::vector<Entry> cut = FileSet(kCut);
        head = SectorWithSetAtTheEnd({cut[0]});
        head.resize(1024, 0);  // what follows on the disk is not the rest of the set
        std::vector<Entry> entries(cut.begin() + 1, cut.end());
        const auto after = FileSet({"after", 1, 50});
        entries.insert(entries.end(), after.begin(), after.end());
        tail = Flatten(entries);
        tail.resize(512, 0);
    }
};

TEST(ExFatPreAnalyze, SetCutAtAClusterEndIsJoinedWithItsLaterContinuation) {
    const CutSet cut;
    CFDTPreAnaylze pre;
    pre.PrepareAnayze(9, 25, 1 << 20);
    EXPECT_TRUE(pre.Analyze(7, cut.head.data(), 1024));
    const auto first = pre.GetFileSet();
    EXPECT_TRUE(first->IsNotEnded());
    EXPECT_EQ(Names(*first).size(), 5u);
    EXPECT_TRUE(pre.Analyze(300, cut.tail.data(), 512));
    const auto second = pre.GetFileSet();
    EXPECT_TRUE(second->IsAbridged());
    EXPECT_EQ(Names(*second), (std::vector<std::string>{kCut.name, "after"}));
    EXPECT_EQ(second->inUse[0].sector, 7);
    EXPECT_EQ(pre.GetNext(7), 300);
    EXPECT_EQ(pre.GetLast(300), 7);
}

TEST(ExFatPreAnalyze, SetCutAtAClusterEndIsJoinedWithAnEarlierContinuation) {
    const CutSet cut;
    CFDTPreAnaylze pre;
    pre.PrepareAnayze(9, 25, 1 << 20);
    EXPECT_TRUE(pre.Analyze(300, cut.tail.data(), 512));
    EXPECT_EQ(Names(*pre.GetFileSet()), (std::vector<std::string>{"after"}));
    EXPECT_TRUE(pre.Analyze(7000, cut.head.data(), 1024));
    const auto head = pre.GetFileSet();
    EXPECT_EQ(Names(*head).size(), 6u);
    EXPECT_EQ(pre.GetNext(7000), 300);
    EXPECT_EQ(pre.GetLast(300), 7000);
}

TEST(ExFatPreAnalyze, DeletedSetPassesTheChecksumOfItsInUseForm) {
    std::vector<Entry> set = FileSet({"was here.txt", 10, 9});
    const uint16_t inUse = uint16_t(set[0][2] | set[0][3] << 8);
    for (Entry& e : set)
        e[0] &= 0x7F;
    std::vector<uint8_t> bytes = Flatten(set);
    EXPECT_TRUE(CheckDirEntry(bytes.data(), uint32_t(bytes.size()), inUse));
    bytes[40] ^= 1;
    EXPECT_FALSE(CheckDirEntry(bytes.data(), uint32_t(bytes.size()), inUse));
    EXPECT_TRUE(CheckDirEntry(bytes.data(), 0, 0));
}

// The complete search fed block by block as the scan controller does.
struct CompleteScan {
    NoWaitClock clock;
    RecordingTree tree;
    IDirecotryTreeBuilder* builder = nullptr;
    std::unique_ptr<ICompleteFileSystemSearchController> searcher{CreateEXFatSearcher()};
    ~CompleteScan() {
        if (builder)
            builder->Release();
    }
    int Run(IStorageDevice* device, int blockSectors) {
        IRecoveryFilter* filter = CreateFilter();
        filter->SetScanType(SCAN_TYPE_DEEP);
        builder = CreateTreeBuilder(false, &clock);
        builder->Initialize("disk", &tree, filter);
        searcher->SetDevice(device);
        searcher->SetBlockSize(blockSectors);
        searcher->SetDirecotryTreeBuilder(builder);
        searcher->PreparetoSearch();
        for (int64_t first = 0; first < device->GetTotalSectors(); first += blockSectors) {
            searcher->AnalyzeBlock(
                first, std::min<int64_t>(blockSectors, device->GetTotalSectors() - first));
        }
        searcher->EndSearch(1);
        return searcher->GetSearchedPartitionInfo(nullptr, 0);
    }
};

TEST(ExFatCompleteSearch, OddBlockSizesFindTheSamePartitions) {
    FATImageDevice device(ExFatImage("exfat-disks/two_partitions"), 512, kStorageDeviceDisk);
    for (int block : {2048, 77}) {
        CompleteScan scan;
        EXPECT_EQ(scan.Run(&device, block), 2) << block;
    }
}

TEST(ExFatCompleteSearch, UnreadableBlocksAndRandomDamageEndCleanly) {
    const auto image = ExFatImage("exfat-disks/zeroed_boot");
    uint32_t seed = 777;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 6; ++round) {
        FATImageDevice device(image, 512, kStorageDeviceDisk);
        // Backup boot sector, FAT, up-case table, folders and files.
        for (int hits = 0; hits < 24; ++hits) {
            const int64_t sector = 2048 + 12 + int64_t(next() % 1200);
            std::vector<uint8_t> bytes = device.Sector(sector);
            for (int i = 0; i < 24; ++i)
                bytes[next() % bytes.size()] = uint8_t(next() >> 8);
            device.Overlay(sector, bytes);
        }
        device.MakeUnreadable(2048 + int64_t(next() % 4096));
        CompleteScan scan;
        EXPECT_LE(scan.Run(&device, 256), 1100);
    }
}

}  // namespace
}  // namespace harbex::test

namespace harbex::test {
namespace {

// A root folder file set (label, bitmap and up-case entries) at `sector`.
std::unique_ptr<CFileSet> RootSet(int64_t sector) {
    auto root = std::make_unique<CFileSet>();
    root->flags = CFileSet::kLabel;
    root->SetBitmapInfo(2, 16);
    root->SetUpcaseTableInfo(3, 5836);
    root->RecordSector(sector);
    root->CalculateClusterSize(9);
    return root;
}

TEST(ExFatPartitionBuilder, BootSectorsFatAndRootMakeOnePartition) {
    HandVolume volume(512, 8, 64);
    const CExFatDBR boot(volume.bytes().data());
    CPartitionBuilder builder;
    builder.PrepareBuild(512, 100000);
    // Main boot sector at 5: too early for a backup one 12 sectors before it.
    builder.Build(5, boot);
    builder.Build(17, boot);
    builder.RecordFAT(5 + HandVolume::kFatOffset);
    const int64_t dataStart = 5 + HandVolume::kHeapOffset;
    builder.PushFileSet(RootSet(dataStart + (HandVolume::kRootCluster - 2) * 8), -1, -1);
    std::vector<std::unique_ptr<CExFatPartitionEx>> found;
    builder.FinishBuid(found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->flags, CExFatPartitionEx::kMainBoot | CExFatPartitionEx::kBackupBoot |
                                   CExFatPartitionEx::kFirstFat);
    EXPECT_EQ(found[0]->startSector, 5);
    EXPECT_EQ(found[0]->dataStartSector, dataStart);
    EXPECT_EQ(found[0]->sectorsPerCluster, 8u);
}

TEST(ExFatPartitionBuilder, RootFolderAloneGivesItsGeometryFromTheUpCaseTable) {
    // Boot sectors gone; the up-case table (cluster 3) and the root survive.
    const int64_t dataStart = 1000;
    const uint32_t spc = 8;
    CPartitionBuilder builder;
    builder.PrepareBuild(512, 100000);
    builder.RecordUpCaseTable(dataStart + spc);
    auto root = RootSet(dataStart + 3 * spc);
    _tagFileBaseInfo file;
    file.inUse = 0x80;
    file.firstCluster = 6;
    file.dataLength = 100;
    file.noFatChain = 1;
    root->UpdateFileList(std::move(file));
    builder.PushFileSet(std::move(root), -1, -1);
    std::vector<std::unique_ptr<CExFatPartitionEx>> found;
    builder.FinishBuid(found);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0]->dataStartSector, dataStart);
    EXPECT_EQ(found[0]->sectorsPerCluster, spc);
    EXPECT_EQ(found[0]->rootCluster, 5u);
    std::vector<CExFatFileNode*> nodes;
    builder.BuildFileTree(*found[0], nodes);
    ASSERT_EQ(nodes.size(), 1u);
    // Files of the root hang below the top folder of the result tree.
    EXPECT_EQ(nodes[0]->GetParentNodeID(), -1);
    nodes[0]->Release();
}

// A file set at `sector` with folders and files in use (by first cluster) and
// deleted files.
std::unique_ptr<CFileSet> SetOf(int64_t sector, const std::vector<uint32_t>& folders,
                                const std::vector<uint32_t>& files,
                                const std::vector<std::string>& deleted = {}) {
    auto set = std::make_unique<CFileSet>();
    auto add = [&set](uint32_t cluster, uint16_t attributes, uint8_t inUse, std::string name) {
        _tagFileBaseInfo file;
        file.inUse = inUse;
        file.attributes = attributes;
        file.firstCluster = cluster;
        file.dataLength = 100;
        file.noFatChain = 1;
        file.name = std::move(name);
        set->UpdateFileList(std::move(file));
    };
    for (uint32_t cluster : folders)
        add(cluster, kExFatDirectoryAttribute, 0x80, "folder");
    for (uint32_t cluster : files)
        add(cluster, 0x20, 0x80, "file");
    for (size_t i = 0; i < deleted.size(); ++i)
        add(uint32_t(900 + i), 0x20, 0, deleted[i]);
    set->RecordSector(sector);
    set->CalculateClusterSize(9);
    return set;
}

TEST(ExFatPartitionBuilder, PartitionWithABootSectorKeepsTheSetsItsGeometryExplains) {
    // A partition at 4000 (8 sectors per cluster) whose only file set left is
    // the deleted contents of a deleted folder: nothing points at it.
    HandVolume volume(512, 8, 64);
    const CExFatDBR boot(volume.bytes().data());
    const int64_t start = 4000;
    const int64_t dataStart = start + HandVolume::kHeapOffset;
    const int64_t orphan = dataStart + 8 * 8;
    // Folders before it whose clusters, with 16 sectors per cluster from
    // sector 96, land on seven file sets, the orphan among them.
    const int64_t other = 96;
    auto at = [other](uint32_t cluster) { return other + int64_t(cluster - 2) * 16; };
    const uint32_t orphanCluster = uint32_t((orphan - other) / 16 + 2);
    ASSERT_EQ(at(orphanCluster), orphan);
    CPartitionBuilder builder;
    builder.PrepareBuild(512, 100000);
    builder.PushFileSet(SetOf(at(150), {orphanCluster, 170, 171, 172, 173, 174, 175}, {}), -1, -1);
    builder.PushFileSet(SetOf(at(170), {300}, {400}), -1, -1);
    for (uint32_t k = 171; k <= 175; ++k)
        builder.PushFileSet(SetOf(at(k), {}, {k + 240}), -1, -1);
    builder.Build(start, boot);
    builder.Build(start + 12, boot);
    builder.RecordFAT(start + HandVolume::kFatOffset);
    builder.PushFileSet(SetOf(orphan, {}, {}, {"left in a deleted folder.txt"}), -1, -1);
    std::vector<std::unique_ptr<CExFatPartitionEx>> found;
    builder.FinishBuid(found);

    const auto partition = std::find_if(found.begin(), found.end(),
                                        [&](const auto& p) { return p->startSector == start; });
    ASSERT_NE(partition, found.end());
    std::vector<CExFatFileNode*> nodes;
    builder.BuildFileTree(**partition, nodes);
    std::vector<std::string> names;
    for (CExFatFileNode* node : nodes) {
        names.emplace_back(node->GetFileName());
        node->Release();
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "left in a deleted folder.txt"), names.end());
}

}  // namespace
}  // namespace harbex::test

namespace harbex::test {
namespace {

// A whole volume read as a disk: the complete search finds what the manifest
// lists, deleted files and multi-cluster folders included, with the same data.
class CompleteScanOfVolume : public ::testing::TestWithParam<const char*> {};

TEST_P(CompleteScanOfVolume, FindsEveryFileOfTheManifest) {
    const FATManifest manifest = ReadExFatManifest(GetParam());
    FATImageDevice device(ExFatImage(std::string("exfat/") + GetParam()), manifest.sectorSize,
                          kStorageDeviceDisk);
    CompleteScan scan;
    ASSERT_EQ(scan.Run(&device, 256), 1);
    CSearchedPartitionInfo* record = nullptr;
    ASSERT_EQ(scan.searcher->GetSearchedPartitionInfo(&record, 1), 1);
    const std::unique_ptr<CSearchedPartitionInfo> partition(record);
    std::map<std::string, CExFatFileNode*> byPath;
    for (IFileNode* node : scan.tree.nodes) {
        if (auto* exfat = dynamic_cast<CExFatFileNode*>(node))
            byPath.emplace(ExFatPath(exfat), exfat);
    }
    std::vector<std::vector<uint8_t>> contents;
    std::vector<std::string> expected;
    for (const FATManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.path);
        const auto found = byPath.find(entry.path);
        ASSERT_NE(found, byPath.end());
        EXPECT_EQ(found->second->IsDeleted() != 0, entry.deleted());
        if (entry.directory)
            continue;
        EXPECT_EQ(found->second->GetFileSize(), entry.size);
        contents.push_back(ReadNode(&device, *partition, found->second));
        expected.push_back(entry.sha256);
    }
    EXPECT_EQ(Sha256Each(contents), expected);
}

INSTANTIATE_TEST_SUITE_P(Images, CompleteScanOfVolume, ::testing::Values("exfat_512", "exfat_4096"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace harbex::test
