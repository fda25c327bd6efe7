// HFS+ recognition on the fixture volumes and disks, at several sector sizes.

#include <gtest/gtest.h>

#include "HFSPlusTestImages.h"
#include "HFSPlusVolumeAnalyze.h"
#include "VolumeAnalyze.h"

using namespace harbex::test;

namespace {

struct RecognitionCase {
    const char* image;
    uint32_t sectorSize;
};

class HFSPlusRecognition : public ::testing::TestWithParam<RecognitionCase> {};

}  // namespace

TEST_P(HFSPlusRecognition, AnswersHFSPlusWithTheVolumeSize) {
    const auto [image, sectorSize] = GetParam();
    const HFSPlusManifest manifest = ReadHFSPlusManifest(image);
    HFSPlusMemoryDevice device(HFSPlusImage(image), sectorSize);
    const uint64_t start = manifest.volumeStart * 512 / sectorSize;
    CHFSPlusVolumeAnalyze analyser(&device, start);
    EXPECT_EQ(analyser.GetFileSystemType(), FILE_SYSTEM_HFSPLUS);
    EXPECT_EQ(analyser.GetTotalSector(), manifest.totalSectors * 512 / sectorSize);

    char label[8];
    std::memset(label, 'x', sizeof(label));
    analyser.GetLabel(label, sizeof(label));
    EXPECT_EQ(std::string(label, sizeof(label)), std::string(sizeof(label), '\0'));
}

INSTANTIATE_TEST_SUITE_P(
    Images, HFSPlusRecognition,
    ::testing::Values(RecognitionCase{"hfsplus_2048", 512}, RecognitionCase{"hfsplus_2048", 2048},
                      RecognitionCase{"hfsplus_2048", 4096}, RecognitionCase{"hfsplus_512", 512},
                      RecognitionCase{"hfsplus_journaled", 512},
                      RecognitionCase{"hfsplus_apm_disk", 512},
                      RecognitionCase{"hfsplus_gpt_disk", 512}),
    [](const auto& info) {
        return std::string(info.param.image) + "_" + std::to_string(info.param.sectorSize);
    });

TEST(HFSPlusRecognitionRefusals, OtherContentUnreadableAndMissingDevices) {
    HFSPlusMemoryDevice zeros(std::vector<uint8_t>(8192), 512);
    CHFSPlusVolumeAnalyze onZeros(&zeros, 0);
    EXPECT_EQ(onZeros.GetFileSystemType(), FILE_SYSTEM_UNKNOWN);
    EXPECT_EQ(onZeros.GetTotalSector(), 0u);

    HFSPlusMemoryDevice unreadable(HFSPlusImage("hfsplus_512"), 512);
    unreadable.failFrom = 0;
    EXPECT_EQ(CHFSPlusVolumeAnalyze(&unreadable, 0).GetFileSystemType(), FILE_SYSTEM_UNKNOWN);
    EXPECT_EQ(CHFSPlusVolumeAnalyze(nullptr, 0).GetFileSystemType(), FILE_SYSTEM_UNKNOWN);

    // A disk's first sectors are the partition map, not a volume.
    HFSPlusMemoryDevice disk(HFSPlusImage("hfsplus_apm_disk"), 512);
    EXPECT_EQ(CHFSPlusVolumeAnalyze(&disk, 0).GetFileSystemType(), FILE_SYSTEM_UNKNOWN);
}

TEST(HFSPlusRecognitionRefusals, GetLabelWithSizeZeroWritesNothing) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_512"), 512);
    std::unique_ptr<IVolumeAnalyze> analyser(CreateHFSPlusVolumeAnalyze(&device, 0));
    char label[4] = {'a', 'b', 'c', 'd'};
    analyser->GetLabel(label, 0);
    EXPECT_EQ(std::string(label, 4), "abcd");
}

TEST(HFSPlusRecognitionRegistry, VolumeRecognitionAnswersHFSPlus) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_2048"), 512);
    std::unique_ptr<IVolumeAnalyzeController> controller(CreateVolumeAnalyzeController(&device, 0));
    IVolumeAnalyze* analyser = controller->GetVolumeAnzlyzer();
    ASSERT_NE(analyser, nullptr);
    EXPECT_EQ(analyser->GetFileSystemType(), FILE_SYSTEM_HFSPLUS);
}
