#include <gtest/gtest.h>

#include <memory>

#include "FATBootSector.h"
#include "FATImageDevice.h"
#include "FATVolume.h"
#include "LittleEndian.h"

using namespace harbex::test;

TEST(FatVolumeAnalyze, FixtureImagesAgainstTheirManifests) {
    struct Case {
        const char* image;
        enumFILE_SYSTEM_TYPE type;
    } cases[] = {
        {"fat16_512", FILE_SYSTEM_FAT16},  {"fat16_4096", FILE_SYSTEM_FAT16},
        {"fat16_8192", FILE_SYSTEM_FAT16}, {"fat32_512", FILE_SYSTEM_FAT32},
        {"fat32_4096", FILE_SYSTEM_FAT32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        const auto manifest = ReadFATManifest(c.image);
        FATImageDevice device(FATFixtureImage(c.image), manifest.sectorSize);
        std::unique_ptr<IVolumeAnalyze> analyser(CreateFatVolumeAnalyze(&device, 0));
        ASSERT_NE(analyser, nullptr);
        EXPECT_EQ(analyser->GetFileSystemType(), c.type);
        EXPECT_EQ(analyser->GetTotalSector(), static_cast<uint64_t>(manifest.totalSectors));
        char label[100];
        analyser->GetLabel(label, sizeof(label));
        EXPECT_EQ(std::string(label), manifest.label);
    }
}

TEST(FatVolumeAnalyze, FAT12IsNotRecognised) {
    FATImageDevice device(FATFixtureImage("fat12"), 512);
    std::unique_ptr<IVolumeAnalyze> analyser(CreateFatVolumeAnalyze(&device, 0));
    EXPECT_EQ(analyser->GetFileSystemType(), FILE_SYSTEM_UNKNOWN);
    EXPECT_EQ(analyser->GetTotalSector(), 0u);
}

TEST(FatVolumeAnalyze, SectorSizeMustMatchTheDevice) {
    // The 4096-byte image read as 512-byte sectors is no FAT volume.
    FATImageDevice device(FATFixtureImage("fat32_4096"), 512);
    std::unique_ptr<IVolumeAnalyze> analyser(CreateFatVolumeAnalyze(&device, 0));
    EXPECT_EQ(analyser->GetFileSystemType(), FILE_SYSTEM_UNKNOWN);
}

TEST(FatVolumeAnalyze, LabelCutToTheCallersBuffer) {
    FATImageDevice device(FATFixtureImage("fat32_512"), 512);
    std::unique_ptr<IVolumeAnalyze> analyser(CreateFatVolumeAnalyze(&device, 0));
    char label[5];
    analyser->GetLabel(label, sizeof(label));
    EXPECT_STREQ(label, "HARB");
}

TEST(FatVolumeAnalyze, LoopingRootChainEndsTheLabelWalk) {
    FATImageDevice device(FATFixtureImage("fat32_512"), 512);
    const auto boot = device.Sector(0);
    CTempFATDBR dbr(boot.data(), 512);
    const uint64_t dataStart = dbr.GetReservedSector() + 2ull * dbr.GetSectorsPerFat();
    // The root cluster (2, one sector) holds file entries only and its FAT
    // entry points back to itself.
    std::vector<uint8_t> root(512);
    for (size_t offset = 0; offset < root.size(); offset += 32) {
        std::memcpy(root.data() + offset, "FILE    TXT", 11);
        root[offset + 11] = 0x20;
    }
    device.Overlay(dataStart, root);
    auto fat = device.Sector(dbr.GetReservedSector());
    fat[8] = 2;
    fat[9] = fat[10] = fat[11] = 0;
    device.Overlay(dbr.GetReservedSector(), fat);

    char label[100] = {};
    EXPECT_FALSE(CFATVolume(&device).GetPartitionLabel(0, dbr, label));
    EXPECT_STREQ(label, "");
    // No more than the largest folder's 65536 entries are read.
    EXPECT_LT(device.reads(), 2 * (65536u * 32 / 512) + 10);
}
