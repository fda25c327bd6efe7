// The quick search and volume recognition over the fixture volumes and over
// hand-built damaged volumes.

#include <gtest/gtest.h>

#include "ExFatTestSupport.h"
#include "ExFatVolumeAnalyzer.h"
#include "VolumeAnalyze.h"

namespace harbex::test {
namespace {

class ExFatFixture : public ::testing::TestWithParam<const char*> {
protected:
    FATManifest manifest = ReadExFatManifest(GetParam());
    FATImageDevice device{ExFatImage(std::string("exfat/") + GetParam()), manifest.sectorSize};
};

TEST_P(ExFatFixture, RecognitionGivesTotalSectorsAndLabel) {
    std::unique_ptr<IVolumeAnalyzeController> controller(CreateVolumeAnalyzeController(&device, 0));
    IVolumeAnalyze* analyzer = controller->GetVolumeAnzlyzer();
    ASSERT_NE(analyzer, nullptr);
    EXPECT_EQ(analyzer->GetFileSystemType(), FILE_SYSTEM_EXFAT);
    EXPECT_EQ(analyzer->GetTotalSector(), uint64_t(manifest.totalSectors));
    char label[100];
    analyzer->GetLabel(label, sizeof(label));
    EXPECT_EQ(std::string(label), manifest.label);
}

TEST_P(ExFatFixture, QuickScanListsEveryFileWithItsSizeTimeStateAndData) {
    ScopedTimeZone utc("UTC");
    ExFatQuickScan scan;
    scan.Run(&device);
    const auto partition = scan.Partition();
    ASSERT_NE(partition, nullptr);
    EXPECT_EQ(partition->fileSystemType, FILE_SYSTEM_EXFAT);
    std::vector<std::vector<uint8_t>> contents;
    std::vector<std::string> expected;
    for (const FATManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.path);
        const auto found = scan.byPath.find(entry.path);
        ASSERT_NE(found, scan.byPath.end());
        CExFatFileNode* node = found->second;
        EXPECT_EQ(node->IsDirectory() != 0, entry.directory);
        EXPECT_EQ(node->IsDeleted() != 0, entry.deleted());
        if (entry.directory)
            continue;
        EXPECT_EQ(node->GetFileSize(), entry.size);
        EXPECT_EQ(node->GetModificationTime(),
                  uint64_t(entry.mtime) * 10000000ull + 116444736000000000ull);
        // A deleted fragmented file comes back whole: its partner's clusters
        // are in use.
        contents.push_back(ReadNode(&device, *partition, node));
        expected.push_back(entry.sha256);
    }
    EXPECT_EQ(Sha256Each(contents), expected);
    EXPECT_EQ(scan.byPath.size(), manifest.entries.size());
    ASSERT_FALSE(scan.progress.records.empty());
    EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
}

TEST_P(ExFatFixture, UnreadableFolderLosesOnlyItself) {
    ExFatQuickScan whole;
    whole.Run(&device);
    CExFatFileNode* docs = whole.byPath.at("/Docs");
    device.MakeUnreadable(docs->GetCurrentNodeID());

    ExFatQuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(scan.byPath.count("/Docs/report 2024.doc"), 0u);
    EXPECT_EQ(scan.byPath.count("/Many/entry number 60.txt"), 1u);
    EXPECT_EQ(scan.byPath.count("/Chains/left.bin"), 1u);
}

TEST_P(ExFatFixture, CancelledWalkStillBuildsWhatWasFound) {
    ExFatQuickScan scan;
    scan.progress.continueAnswers = 0;
    scan.Run(&device);
    EXPECT_EQ(scan.byPath.count("/README.TXT"), 1u);
    EXPECT_EQ(scan.byPath.count("/Docs/report 2024.doc"), 0u);
    EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
}

INSTANTIATE_TEST_SUITE_P(Images, ExFatFixture, ::testing::Values("exfat_512", "exfat_4096"),
                         [](const auto& info) { return std::string(info.param); });

// In the 512-byte image the Many folder spans several clusters.
TEST(ExFatQuickSearch, LoopingFolderChainEnds) {
    const FATManifest manifest = ReadExFatManifest("exfat_512");
    FATImageDevice device(ExFatImage("exfat/exfat_512"), 512);
    ExFatQuickScan whole;
    whole.Run(&device);
    // The Many folder's second cluster points back at its first.
    const uint32_t first = whole.byPath.at("/Many")->GetFirstCluster();
    std::vector<uint8_t> boot = device.Sector(0);
    const uint32_t fatOffset = boot[80] | boot[81] << 8 | boot[82] << 16 | uint32_t(boot[83]) << 24;
    const uint32_t perSector = manifest.sectorSize / 4;
    std::vector<uint8_t> fat = device.Sector(fatOffset + first / perSector);
    const uint32_t second = fat[4 * (first % perSector)] | fat[4 * (first % perSector) + 1] << 8;
    ASSERT_EQ(second / perSector, first / perSector);
    Put32(&fat[4 * (second % perSector)], first);
    device.Overlay(fatOffset + first / perSector, fat);

    ExFatQuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(scan.byPath.count("/Many/entry number 01.txt"), 1u);
    EXPECT_EQ(scan.byPath.count("/Many/entry number 60.txt"), 0u);
    EXPECT_EQ(scan.byPath.count("/README.TXT"), 1u);
}

TEST(ExFatQuickSearch, ContiguousFolderIsReadWhole) {
    HandVolume volume(512, 1, 64);
    std::vector<Entry> many;
    for (int i = 0; i < 12; ++i) {
        const auto set = FileSet({"file " + std::to_string(i), 10, uint32_t(30 + i)});
        many.insert(many.end(), set.begin(), set.end());
    }
    // 36 entries over clusters 10-12 with nothing in the FAT for them.
    volume.WriteEntries(HandVolume::kRootCluster, FileSet({"Big folder", 3 * 512, 10, true, true}));
    volume.WriteEntries(10, many);
    auto device = volume.Device();
    ExFatQuickScan scan;
    scan.Run(device.get());
    EXPECT_EQ(scan.byPath.count("/Big folder/file 0"), 1u);
    EXPECT_EQ(scan.byPath.count("/Big folder/file 11"), 1u);
}

TEST(ExFatQuickSearch, DeletedFolderChildrenAreDeleted) {
    HandVolume volume(512, 1, 64);
    volume.WriteEntries(HandVolume::kRootCluster,
                        FileSet({"Old folder", 512, 10, true, true, true}));
    volume.WriteEntries(10, FileSet({"still marked in use", 10, 20}));
    auto device = volume.Device();
    ExFatQuickScan scan;
    scan.Run(device.get());
    ASSERT_EQ(scan.byPath.count("/Old folder/still marked in use"), 1u);
    EXPECT_TRUE(scan.byPath.at("/Old folder/still marked in use")->IsDeleted());
}

TEST(ExFatQuickSearch, EmptyRootStillFinishes) {
    HandVolume volume(512, 1, 64);
    auto device = volume.Device();
    ExFatQuickScan scan;
    scan.Run(device.get());
    EXPECT_TRUE(scan.byPath.empty());
    ASSERT_FALSE(scan.progress.records.empty());
    EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
    CSearchedPartitionInfo* none = nullptr;
    EXPECT_EQ(scan.searcher->GetSearchedPartitionInfo(&none, 0), 1);
    EXPECT_EQ(none, nullptr);
}

TEST(ExFatVolumeAnalyzer, LargeSectorsAndDamageAreRefusedCleanly) {
    HandVolume big(8192, 1, 64);
    MemoryDevice device(big.bytes(), 8192);
    EXPECT_EQ(CreateExfatVolumeAnalyze(&device, 0), nullptr);
    EXPECT_EQ(CreateExfatVolumeAnalyze(nullptr, 0), nullptr);
    HandVolume small(512, 1, 64);
    MemoryDevice unreadable(small.bytes(), 512);
    unreadable.unreadable.insert(0);
    EXPECT_EQ(CreateExfatVolumeAnalyze(&unreadable, 0), nullptr);
}

// Random damage to the boot sector, the FAT and folder sectors of a real
// volume: every scan ends, whatever it lists.
TEST(ExFatQuickSearch, RandomDamageEndsCleanly) {
    const FATManifest manifest = ReadExFatManifest("exfat_512");
    const auto image = ExFatImage("exfat/exfat_512");
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 40; ++round) {
        FATImageDevice device(image, 512);
        for (int hits = 0; hits < 6; ++hits) {
            // Boot sector, FAT (128..176) and the first folder clusters (256..400).
            const int64_t sectors[] = {int64_t(128 + next() % 48), int64_t(256 + next() % 144), 0};
            const int64_t sector = sectors[next() % (round % 4 == 0 ? 3 : 2)];
            std::vector<uint8_t> bytes = device.Sector(sector);
            for (int i = 0; i < 16; ++i)
                bytes[next() % bytes.size()] = uint8_t(next() >> 8);
            device.Overlay(sector, bytes);
        }
        ExFatQuickScan scan;
        scan.Run(&device);
        EXPECT_LE(scan.byPath.size(), manifest.entries.size() + 200);
        delete CreateExfatVolumeAnalyze(&device, 0);
    }
}

}  // namespace
}  // namespace harbex::test
