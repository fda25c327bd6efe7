#include <gtest/gtest.h>

#include <set>

#include "ByteOrder.h"
#include "NTFSScanHarness.h"

using namespace harbex::test;

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;

class NTFSQuickSearchImages : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(NTFSQuickSearchImages, FindsEveryFileOfTheManifest) {
    const NTFSManifest manifest = ReadNTFSManifest(GetParam());
    FATImageDevice device(NTFSFixtureImage(GetParam()), manifest.sectorSize);
    NTFSQuickScan scan;
    scan.Run(&device);
    ASSERT_EQ(scan.code, 0u);
    auto partition = scan.Partition();
    ASSERT_NE(partition, nullptr);
    bool hardLinkFound = false;
    for (const NTFSManifestEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.path);
        const auto found = scan.byPath.find(entry.path);
        if (entry.state == "hardlink") {
            // One record, many names: the listing shows one of them.
            if (found == scan.byPath.end())
                continue;
            hardLinkFound = true;
        }
        ASSERT_NE(found, scan.byPath.end());
        CNTFSFileNode* node = found->second;
        EXPECT_EQ(node->IsDirectory() != 0, entry.directory);
        EXPECT_EQ(node->IsDeleted() != 0, entry.deleted());
        if (entry.directory)
            continue;
        EXPECT_EQ(node->GetFileSize(), entry.size);
        EXPECT_EQ(node->GetModificationTime(),
                  static_cast<uint64_t>(entry.mtime) * 10000000 + kUnixEpochAsFileTime);
        if (entry.state == "compressed") {
            EXPECT_TRUE(node->IsCompressed());
        }
        EXPECT_EQ(Sha256Of(ReadNode(&device, partition.get(), node)), entry.sha256);
    }
    EXPECT_TRUE(hardLinkFound);
    // Nothing of the file system's own is listed.
    for (const auto& [path, node] : scan.byPath)
        EXPECT_NE(path.rfind("/$", 0), 0u) << path;
    ASSERT_FALSE(scan.progress.records.empty());
    EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
}

INSTANTIATE_TEST_SUITE_P(Images, NTFSQuickSearchImages, ::testing::ValuesIn(NTFSFixtureNames()),
                         [](const auto& info) { return info.param; });

TEST(NTFSQuickSearch, DamagedBootSectorIsRefusedEvenWithItsBackupIntact) {
    FATImageDevice device(NTFSFixtureImage("ntfs_512"), 512);
    device.Overlay(0, std::vector<uint8_t>(512, 0));
    NTFSQuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(scan.code, MakeFailure(kModuleNTFSQuickSearch, ResultLineOf(scan.code),
                                     kResultNoNTFSBootSector));
    EXPECT_TRUE(scan.byPath.empty());
}

TEST(NTFSQuickSearch, DamagedMftRecordIsReadThroughItsMirror) {
    FATImageDevice device(NTFSFixtureImage("ntfs_512"), 512);
    const std::vector<uint8_t> boot = device.Sector(0);
    const int64_t mft = static_cast<int64_t>(ReadLE64(boot.data() + 48)) * boot[13];
    device.Overlay(mft, std::vector<uint8_t>(512, 0x5A));
    NTFSQuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(scan.code, 0u);
    EXPECT_TRUE(scan.byPath.count("/Docs/Nested/Deep/NOTE.TXT"));

    const int64_t mirror = static_cast<int64_t>(ReadLE64(boot.data() + 56)) * boot[13];
    device.Overlay(mirror, std::vector<uint8_t>(512, 0x5A));
    NTFSQuickScan neither;
    neither.Run(&device);
    EXPECT_EQ(ResultKindOf(neither.code), kResultNoNTFSMft);
}

TEST(NTFSQuickSearch, UnreadableRecordsAreSkippedNotReparsed) {
    FATImageDevice clean(NTFSFixtureImage("ntfs_512"), 512);
    NTFSQuickScan whole;
    whole.Run(&clean);
    CNTFSFileNode* note = whole.byPath.at("/README.txt");
    const int64_t sector = note->GetMetadataStartPosition();

    FATImageDevice device(NTFSFixtureImage("ntfs_512"), 512);
    device.MakeUnreadable(sector + 1);
    NTFSQuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(scan.code, 0u);
    EXPECT_FALSE(scan.byPath.count("/README.txt"));
    // Every other file is there once, nothing more.
    EXPECT_EQ(scan.byPath.size() + 1, whole.byPath.size());
}

TEST(NTFSQuickSearch, StoppingStillBuildsAndFinishes) {
    FATImageDevice device(NTFSFixtureImage("ntfs_512"), 512);
    NTFSQuickScan scan;
    scan.progress.continueAnswers = 2;
    scan.Run(&device);
    EXPECT_EQ(scan.code, 0u);
    ASSERT_FALSE(scan.progress.records.empty());
    EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
}

TEST(NTFSQuickSearch, WindowsVolumeWithARealLog) {
    const auto shared = SharedFixturePath("ntfs-winxp-dftt10.raw.xz");
    if (!shared)
        GTEST_SKIP() << "../shared/fixtures is absent";
    TempDir dir;
    const auto image = dir / "dftt10.raw";
    ASSERT_TRUE(DecompressXz(*shared, image));
    FATImageDevice device(image, 512);
    NTFSQuickScan scan;
    scan.Run(&device);
    EXPECT_EQ(scan.code, 0u);
    EXPECT_TRUE(scan.byPath.count("/ntfs.txt"));
    EXPECT_TRUE(scan.byPath.count("/System Volume Information"));
}
