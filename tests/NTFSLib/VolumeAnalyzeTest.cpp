#include <gtest/gtest.h>

#include <memory>

#include "ByteOrder.h"
#include "NTFSFixtures.h"
#include "NTFSVolumeAnalyze.h"
#include "VolumeAnalyze.h"

using namespace harbex::test;

TEST(NTFSVolumeAnalyze, FixtureImagesAgainstTheirManifests) {
    for (const std::string& name : NTFSFixtureNames()) {
        SCOPED_TRACE(name);
        const NTFSManifest manifest = ReadNTFSManifest(name);
        // Each image through a device of its own sector size and one of 512 bytes.
        for (uint32_t sectorSize : {manifest.sectorSize, 512u}) {
            FATImageDevice device(NTFSFixtureImage(name), sectorSize);
            std::unique_ptr<IVolumeAnalyzeController> controller(
                CreateVolumeAnalyzeController(&device, 0));
            IVolumeAnalyze* analyser = controller->GetVolumeAnzlyzer();
            ASSERT_NE(analyser, nullptr);
            EXPECT_EQ(analyser->GetFileSystemType(), FILE_SYSTEM_NTFS);
            EXPECT_EQ(analyser->GetTotalSector(), static_cast<uint64_t>(manifest.totalSectors));
            char label[100];
            analyser->GetLabel(label, sizeof(label));
            EXPECT_EQ(std::string(label), manifest.label);
        }
    }
}

TEST(NTFSVolumeAnalyze, OddClusterSizeIsNotNTFS) {
    const auto image = NTFSFixtureImage("ntfs_512");
    FATImageDevice device(image, 512);
    std::vector<uint8_t> boot = device.Sector(0);
    boot[13] = 3;
    device.Overlay(0, boot);
    EXPECT_EQ(CreateNTFSVolumeAnalyze(&device, 0), nullptr);
}

TEST(NTFSVolumeAnalyze, DamagedVolumeRecordLeavesTheLabelEmpty) {
    FATImageDevice device(NTFSFixtureImage("ntfs_512"), 512);
    // $MFT lies at the cluster the boot sector names; $Volume is its record 3.
    const std::vector<uint8_t> boot = device.Sector(0);
    const int64_t mft = static_cast<int64_t>(ReadLE64(boot.data() + 48)) * boot[13];
    device.Overlay(mft + 6, std::vector<uint8_t>(512, 0xEE));
    std::unique_ptr<IVolumeAnalyze> analyser(CreateNTFSVolumeAnalyze(&device, 0));
    ASSERT_NE(analyser, nullptr);
    char label[100] = "x";
    analyser->GetLabel(label, sizeof(label));
    EXPECT_EQ(std::string(label), "");
}
