#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "APFS.h"
#include "APFSDeepScan.h"
#include "APFSScanCheck.h"
#include "DirectoryTreeBuilder.h"
#include "FileTypeLists.h"
#include "FoundFiles.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "ScanSinks.h"
#include "SearchedPartitionInfo.h"

namespace harbex::test {
namespace {

// What the deep scan hands a tree builder.
struct ReportedNode {
    int64_t id;
    int64_t parent;
    std::string name;
    bool deleted;
    bool folder;
    bool operator==(const ReportedNode&) const = default;
};

class RecordingBuilder : public IDirecotryTreeBuilder {
public:
    bool Initialize(const char*, IDrirectoryTree*, IRecoveryFilter*) override { return true; }
    bool AddNode(IFileNode* node, _tagSearcherType type) override {
        EXPECT_EQ(type, SEARCHER_APFS);
        nodes.push_back({node->GetCurrentNodeID(), node->GetParentNodeID(), node->GetFileName(),
                         node->IsDeleted() != 0, node->IsDirectory() != 0});
        return true;
    }
    bool AddSearcherInfo(_tagSearcherType type, long long topId) override {
        searcherInfo.emplace_back(type, topId);
        return true;
    }
    void FlashBuild(_tagSearcherType) override { ++flashBuilds; }
    void Release() override {}
    void SetPartitonDevice(CSearchedPartitionInfo*, IStorageDevice*) override {}

    std::vector<ReportedNode> nodes;
    std::vector<std::pair<_tagSearcherType, long long>> searcherInfo;
    int flashBuilds = 0;
};

// Feeds the device to a deep scan in pieces of 4 MiB, as the complete scan does.
std::unique_ptr<APFSDeepScan> DeepScan(IStorageDevice& device, IDirecotryTreeBuilder& builder) {
    std::unique_ptr<APFSDeepScan> scan(static_cast<APFSDeepScan*>(CreateAPFSDeepSearcher()));
    scan->SetDevice(&device);
    scan->SetDirecotryTreeBuilder(&builder);
    const long long piece = 0x400000 / device.GetSectorSize();
    for (long long at = 0; at < device.GetTotalSectors(); at += piece)
        scan->AnalyzeBlock(at, std::min(piece, device.GetTotalSectors() - at));
    scan->EndSearch(1);
    return scan;
}

const ReportedNode* Named(const RecordingBuilder& builder, const std::string& name) {
    for (const ReportedNode& node : builder.nodes) {
        if (node.name == name)
            return &node;
    }
    return nullptr;
}

// A complete scan of fixture `name` lists every file of its manifest and
// copies each out whole, but for those the manifest calls unreadable: they
// are copied in part or not at all.
void ExpectScannedAndCopiedOut(const std::string& name, uint32_t sectorSize) {
    SCOPED_TRACE(name);
    const auto image = APFSImage(name);
    ASSERT_FALSE(image.empty());
    APFSImageDevice device(image, sectorSize);
    SetFileTypeLists();
    IRecoveryFilter* filter = CreateFilter();
    filter->SetFilterTypes(127);
    filter->SetScanType(SCAN_TYPE_DEEP);
    std::unique_ptr<IRecoveryController, void (*)(IRecoveryController*)> controller(
        CreateRecoveryController(RECOVERY_CONTROLLER_COMPLETE),
        [](IRecoveryController* c) { c->Release(); });
    controller->Initialize(filter);
    CollectingTree tree;
    ConsoleProgress progress;
    ASSERT_TRUE(IsSuccess(controller->StartDataRecovery(&device, &progress, &tree)));

    const std::vector<FoundEntry> found = ListFound(tree.nodes());
    std::string listing;
    for (const FoundEntry& entry : found)
        listing += FormatFound(entry) + "\n";
    TempDir out;
    const RecoveryCounts counts = RecoverFound(*controller, found, (out / "files").string());
    const APFSManifest manifest = ReadAPFSManifest(name);
    EXPECT_EQ(counts.failed + counts.partly, static_cast<int>(manifest.unreadable.size()));
    std::string top;
    const std::vector<ListedEntry> listed = APFSLines(listing, top);
    ExpectListingMatches(listed, top, manifest, out / "files");
}

TEST(APFSDeepScan, DiskOf4096ByteSectorsIsListedAndCopiedOut) {
    ExpectScannedAndCopiedOut("sector4096", 4096);
}

TEST(APFSDeepScan, ContainersWhoseFirstBlockIsLostAreReadFromTheirTrueStart) {
    // Each container's superblock copy in its checkpoint area names its own
    // block there; the object map confirms the start it gives.
    ExpectScannedAndCopiedOut("two_containers_block0_zeroed", 512);
    const auto image = APFSImage("two_containers_block0_zeroed");
    ASSERT_FALSE(image.empty());
    const APFSManifest manifest = ReadAPFSManifest("two_containers_block0_zeroed");
    APFSImageDevice device(image, 512);
    RecordingBuilder builder;
    auto scan = DeepScan(device, builder);
    CSearchedPartitionInfo* records[4] = {};
    ASSERT_EQ(scan->GetSearchedPartitionInfo(records, 4), 2);
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<CSearchedPartitionInfo> record(records[i]);
        EXPECT_EQ(record->startSector, static_cast<uint64_t>(manifest.containers[i].start));
    }
}

TEST(APFSDeepScan, FilesWhoseExtentsAreLostOrOutsideTheContainerAreNeverCopiedOutWhole) {
    // Sparse files read their holes as zeros and are whole; a file that lost
    // an extent record, and one whose extent lies past the container's end,
    // are not (before: zeros and the next container's bytes, counted whole).
    ExpectScannedAndCopiedOut("extents_damaged", 512);
}

TEST(APFSDeepScan, ASuperblockCopyWhoseObjectMapDoesNotResolveMakesNoContainer) {
    const auto image = APFSImage("container");
    ASSERT_FALSE(image.empty());
    APFSImageDevice device(image, 512);
    // Block 0 and every object-map block gone: no start can be confirmed.
    device.Overlay(0, std::vector<uint8_t>(apfs::kBlockSize, 0));
    std::vector<uint8_t> block(apfs::kBlockSize);
    for (int64_t at = 1; at < device.GetTotalSectors() / 8; ++at) {
        ASSERT_TRUE(device.ReadSector(block.data(), at * 8, 8));
        const apfs::ObjectHeader header = apfs::ObjectHeader::Of(block.data());
        if (header.type == apfs::kTypeObjectMap && header.IsPhysical())
            device.Overlay(static_cast<uint64_t>(at) * apfs::kBlockSize,
                           std::vector<uint8_t>(apfs::kBlockSize, 0));
    }
    RecordingBuilder builder;
    auto scan = DeepScan(device, builder);
    for (size_t i = 0; i < scan->ParserCount(); ++i)
        EXPECT_EQ(scan->ParserAt(i)->BlockCount(), 0u) << "a container was published";
}

TEST(APFSDeepScan, TheShortLastPieceOfADeviceIsRead) {
    const auto image = APFSImage("container");
    ASSERT_FALSE(image.empty());
    // The device ends 3 sectors after block 8200, inside a 64 KiB group:
    // the old leaves that still hold the deleted files lie just before.
    APFSImageDevice device(image, 512, 8200 * 8 + 3);
    RecordingBuilder builder;
    auto scan = DeepScan(device, builder);
    const ReportedNode* photo = Named(builder, "deleted photo.jpg");
    ASSERT_NE(photo, nullptr);
    EXPECT_TRUE(photo->deleted);
}

TEST(APFSDeepScan, ContainersAreFoundAtAnySectorAndKeepTheirStart) {
    const auto image = APFSImage("mbr_two_containers");
    ASSERT_FALSE(image.empty());
    const APFSManifest manifest = ReadAPFSManifest("mbr_two_containers");
    APFSImageDevice device(image, 512);
    RecordingBuilder builder;
    auto scan = DeepScan(device, builder);
    EXPECT_EQ(builder.searcherInfo,
              (std::vector<std::pair<_tagSearcherType, long long>>{{SEARCHER_APFS, 2}}));
    EXPECT_EQ(builder.flashBuilds, 1);

    CSearchedPartitionInfo* records[4] = {};
    ASSERT_EQ(scan->GetSearchedPartitionInfo(records, 4), 2);
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<CSearchedPartitionInfo> record(records[i]);
        EXPECT_EQ(record->partitionIndex, i);
        EXPECT_EQ(record->fileSystemType, FILE_SYSTEM_APFS);
        EXPECT_EQ(record->startSector, static_cast<uint64_t>(manifest.containers[i].start));
        EXPECT_EQ(record->firstDataSector, record->startSector);
        EXPECT_EQ(record->totalSectors, static_cast<uint64_t>(manifest.containers[i].sectors));
        EXPECT_EQ(record->sectorsPerCluster, 1u);
    }
    // The second container is live: only the files left out of its tree are deleted.
    const ReportedNode* top = Named(builder, "Second_1");
    ASSERT_NE(top, nullptr);
    EXPECT_FALSE(top->deleted);
    EXPECT_EQ(top->parent, 2);
    int deleted = 0;
    for (const ReportedNode& node : builder.nodes)
        deleted += node.deleted ? 1 : 0;
    EXPECT_EQ(deleted, 4);
}

TEST(APFSDeepScan, AVolumeWhoseContainerSuperblocksAreLostKeepsItsContainersStart) {
    const auto image = APFSImage("mbr_two_containers");
    ASSERT_FALSE(image.empty());
    const APFSManifest manifest = ReadAPFSManifest("mbr_two_containers");
    APFSImageDevice device(image, 512);
    // Block 0 and the checkpoint area (blocks 1 to 64) of the first container gone.
    device.Overlay(static_cast<uint64_t>(manifest.containers[0].start) * 512,
                   std::vector<uint8_t>(65 * apfs::kBlockSize, 0));
    RecordingBuilder builder;
    auto scan = DeepScan(device, builder);
    CSearchedPartitionInfo* records[4] = {};
    ASSERT_EQ(scan->GetSearchedPartitionInfo(records, 4), 2);
    std::unique_ptr<CSearchedPartitionInfo> lone(records[0]);
    std::unique_ptr<CSearchedPartitionInfo> second(records[1]);
    EXPECT_EQ(lone->startSector, static_cast<uint64_t>(manifest.containers[0].start));
    EXPECT_EQ(second->startSector, static_cast<uint64_t>(manifest.containers[1].start));
    EXPECT_EQ(second->partitionIndex, 1);
    const ReportedNode* readme = Named(builder, "readme.txt");
    ASSERT_NE(readme, nullptr);
    EXPECT_FALSE(readme->deleted);
    EXPECT_NE(Named(builder, "Second_1"), nullptr);
}

TEST(APFSDeepScan, TwoScansReportTheSameNodesInTheSameOrder) {
    const auto image = APFSImage("mbr_two_containers");
    ASSERT_FALSE(image.empty());
    APFSImageDevice device(image, 512);
    RecordingBuilder first;
    RecordingBuilder second;
    auto scan1 = DeepScan(device, first);
    // Another allocation pattern for the second scan's nodes.
    std::vector<std::unique_ptr<char[]>> ballast;
    for (int i = 0; i < 1000; ++i)
        ballast.emplace_back(new char[64 + i]);
    auto scan2 = DeepScan(device, second);
    ASSERT_FALSE(first.nodes.empty());
    EXPECT_EQ(first.nodes, second.nodes);
}

TEST(APFSDeepScan, ADeviceWithoutAPFSLeavesTheBuilderAlone) {
    TempDir dir;
    WriteFile(dir / "zeros", std::vector<uint8_t>(1 << 20, 0));
    APFSImageDevice device(dir / "zeros", 512);
    RecordingBuilder builder;
    auto scan = DeepScan(device, builder);
    EXPECT_TRUE(builder.searcherInfo.empty());
    EXPECT_EQ(builder.flashBuilds, 0);
    CSearchedPartitionInfo* records[1] = {};
    EXPECT_EQ(scan->GetSearchedPartitionInfo(records, 1), 0);
}

TEST(APFSDeepScan, ANodeIsReportedOnceAndAnUnfinishedScanBuildsNothing) {
    const auto image = APFSImage("container");
    ASSERT_FALSE(image.empty());
    APFSImageDevice device(image, 512);
    RecordingBuilder builder;
    APFSDeepScan scan;
    scan.SetDevice(&device);
    scan.SetDirecotryTreeBuilder(&builder);
    scan.AnalyzeBlock(0, 8192);
    const size_t reported = builder.nodes.size();
    ASSERT_GT(reported, 0u);
    APFSFileNode node;
    node.SetDisplayName("x");
    scan.OnFileFound(&node);
    scan.OnFileFound(&node);
    EXPECT_EQ(builder.nodes.size(), reported + 1);
    scan.EndSearch(0);
    EXPECT_EQ(builder.flashBuilds, 0);
}

// Random bytes over the structures a scan reads first: the container
// superblock, the object maps and the tree nodes.
TEST(APFSDeepScan, DamagedStructuresEndTheScanCleanly) {
    const auto image = APFSImage("container");
    ASSERT_FALSE(image.empty());
    const std::vector<uint64_t> blocks = {0,     1,     2,    20000, 20001, 20002, 20003,
                                          20004, 20005, 8192, 8193,  8194,  8195};
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        APFSImageDevice device(image, 512, 24000 * 8);
        for (uint64_t block : blocks) {
            // Headers stay plausible now and then, so that the damage is read.
            const size_t from = seed % 2 ? 32 : 0;
            std::vector<uint8_t> noise(apfs::kBlockSize - from);
            for (uint8_t& byte : noise)
                byte = static_cast<uint8_t>(random() % (seed % 3 ? 256 : 4));
            device.Overlay(block * apfs::kBlockSize + from, noise);
        }
        RecordingBuilder builder;
        auto scan = DeepScan(device, builder);
        CSearchedPartitionInfo* records[8] = {};
        const int count = scan->GetSearchedPartitionInfo(records, 8);
        for (int i = 0; i < count; ++i)
            delete records[i];
    }
}

}  // namespace
}  // namespace harbex::test
