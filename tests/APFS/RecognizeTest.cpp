#include <gtest/gtest.h>

#include <memory>

#include "APFS.h"
#include "APFSBlockReader.h"
#include "APFSTestSupport.h"
#include "VolumeAnalyze.h"

namespace harbex::test {
namespace {

struct RecognizeCase {
    const char* image;
    uint32_t sectorSize;
    int container;
};

std::ostream& operator<<(std::ostream& out, const RecognizeCase& c) {
    return out << c.image << " container " << c.container;
}

class APFSRecognition : public testing::TestWithParam<RecognizeCase> {};

TEST_P(APFSRecognition, AnswersAPFSWithTheLabelAndTheContainersSize) {
    const RecognizeCase& c = GetParam();
    const auto image = APFSImage(c.image);
    ASSERT_FALSE(image.empty());
    const APFSManifest manifest = ReadAPFSManifest(c.image);
    const APFSContainerEntry entry = manifest.containers.at(c.container);
    APFSImageDevice device(image, c.sectorSize);
    const auto inDeviceSectors = [&](int64_t sectors) {
        return static_cast<unsigned long long>(sectors * manifest.sectorSize / c.sectorSize);
    };
    // Asked the way volume recognition asks every file system.
    std::unique_ptr<IVolumeAnalyzeController> recognition(
        CreateVolumeAnalyzeController(&device, inDeviceSectors(entry.start)));
    IVolumeAnalyze* analyser = recognition->GetVolumeAnzlyzer();
    ASSERT_NE(analyser, nullptr);
    EXPECT_EQ(analyser->GetFileSystemType(), FILE_SYSTEM_APFS);
    EXPECT_EQ(analyser->GetTotalSector(), inDeviceSectors(entry.sectors));
    char label[64] = {};
    analyser->GetLabel(label, sizeof(label));
    EXPECT_EQ(std::string(label), entry.label);
}

INSTANTIATE_TEST_SUITE_P(Images, APFSRecognition,
                         testing::Values(RecognizeCase{"container", 512, 0},
                                         RecognizeCase{"container", 4096, 0},
                                         RecognizeCase{"gpt_sector40", 512, 0},
                                         RecognizeCase{"mbr_two_containers", 512, 0},
                                         RecognizeCase{"mbr_two_containers", 512, 1},
                                         RecognizeCase{"sector4096", 4096, 0}));

TEST(APFSRecognition, LabelKeepsWithinTheGivenSizeAndAtMost32Bytes) {
    const auto image = APFSImage("container");
    ASSERT_FALSE(image.empty());
    APFSImageDevice device(image, 512);
    std::unique_ptr<IVolumeAnalyze> analyser(CreateAPFSVolumeAnalyze(&device, 0));
    ASSERT_NE(analyser, nullptr);
    char label[8];
    std::memset(label, 'x', sizeof(label));
    analyser->GetLabel(label, 5);
    EXPECT_EQ(std::string(label), "Reco");
    EXPECT_EQ(label[5], 'x');

    // A name of 40 bytes in the volume superblock is cut to 32.
    const uint64_t volumeBlock = 20002;  // where mkapfs puts the first volume
    std::vector<uint8_t> volume(apfs::kBlockSize);
    ASSERT_TRUE(device.ReadSector(volume.data(), volumeBlock * 8, 8));
    ASSERT_TRUE(apfs::IsVolumeSuperblock(volume.data()));
    device.Overlay(volumeBlock * 4096 + 704, std::vector<uint8_t>(40, 'N'));
    char longLabel[64] = {};
    analyser->GetLabel(longLabel, sizeof(longLabel));
    EXPECT_EQ(std::string(longLabel), std::string(32, 'N'));
}

TEST(APFSRecognition, RefusesOtherBlockSizesAndOtherObjects) {
    const auto image = APFSImage("container");
    ASSERT_FALSE(image.empty());
    APFSImageDevice device(image, 512);
    EXPECT_EQ(std::unique_ptr<IVolumeAnalyze>(CreateAPFSVolumeAnalyze(&device, 8)), nullptr);
    device.Overlay(36, {0x00, 0x20, 0x00, 0x00});  // block size 8192
    EXPECT_EQ(std::unique_ptr<IVolumeAnalyze>(CreateAPFSVolumeAnalyze(&device, 0)), nullptr);
    device.MakeUnreadable(0);
    EXPECT_EQ(std::unique_ptr<IVolumeAnalyze>(CreateAPFSVolumeAnalyze(&device, 0)), nullptr);
    EXPECT_EQ(CreateAPFSQuickSearcher(), nullptr);
}

TEST(APFSCheckpoints, OlderCheckpointsComeFromTheDescriptorAreaNewestFirst) {
    const auto image = SharedAPFSImage();
    if (image.empty())
        GTEST_SKIP() << "../shared/fixtures/apfs-dfvfs.raw.xz is absent";
    APFSImageDevice device(image, 512);
    std::vector<uint8_t> scratch;
    std::vector<uint8_t> superblock(apfs::kBlockSize);
    ASSERT_TRUE(apfs::ReadContainerBlock(&device, 0, 0, superblock.data(), scratch));
    const std::vector<uint64_t> maps =
        apfs::CheckpointObjectMaps(superblock.data(), [&](uint64_t block, uint8_t* out) {
            return apfs::ReadContainerBlock(&device, 0, block, out, scratch);
        });
    // Four checkpoints, each with its own object map.
    EXPECT_EQ(maps, (std::vector<uint64_t>{108, 105, 91, 83}));
}

}  // namespace
}  // namespace harbex::test
