#include <gtest/gtest.h>

#include <cstring>

#include "FATBootSector.h"
#include "FATImageDevice.h"
#include "FATTable.h"
#include "FATTableAnalyser.h"

using namespace harbex::test;

namespace {

std::vector<uint8_t> BootSector(const std::string& image, uint32_t sectorSize) {
    FATImageDevice device(FATFixtureImage(image), sectorSize);
    return device.Sector(0);
}

}  // namespace

TEST(FATBootSector, ClassifiesTheFixtureImages) {
    struct Case {
        const char* image;
        uint32_t sectorSize;
        enumFILE_SYSTEM_TYPE type;
    } cases[] = {
        {"fat16_512", 512, FILE_SYSTEM_FAT16}, {"fat16_4096", 4096, FILE_SYSTEM_FAT16},
        {"fat32_512", 512, FILE_SYSTEM_FAT32}, {"fat32_4096", 4096, FILE_SYSTEM_FAT32},
        {"fat12", 512, FILE_SYSTEM_UNKNOWN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        const auto sector = BootSector(c.image, c.sectorSize);
        CTempFATDBR dbr(sector.data(), c.sectorSize);
        EXPECT_EQ(dbr.GetFileSystemType(), c.type);
        EXPECT_EQ(dbr.IsValidDBR(), c.type != FILE_SYSTEM_UNKNOWN);
    }
}

TEST(FATBootSector, GeometryOfAFAT32BootSector) {
    const auto sector = BootSector("fat32_512", 512);
    CTempFATDBR dbr(sector.data(), 512);
    EXPECT_EQ(dbr.GetTotalSectors(), 81920u);
    EXPECT_EQ(dbr.GetNumberOfFat(), 2);
    EXPECT_EQ(dbr.GetSectorsperCluster(), 1);
    EXPECT_EQ(dbr.GetRootDirStartCluster(), 2u);
    EXPECT_GT(dbr.GetSectorsPerFat(), 0u);
    EXPECT_EQ(dbr.GetReservedSector(), dbr.GetFatTableStartSector());
}

TEST(FATBootSector, FieldChangesThatUnrecogniseIt) {
    struct Case {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
        enumFILE_SYSTEM_TYPE expected;
    } cases[] = {
        {"lower-case type text", 82, {'f', 'a', 't', '3', '2'}, FILE_SYSTEM_FAT32},
        {"three FATs", 16, {3}, FILE_SYSTEM_UNKNOWN},
        {"no sectors per FAT", 36, {0, 0, 0, 0}, FILE_SYSTEM_UNKNOWN},
        {"bytes per sector 1024", 11, {0x00, 0x04}, FILE_SYSTEM_UNKNOWN},
        {"three sectors per cluster", 13, {3}, FILE_SYSTEM_UNKNOWN},
        {"no boot mark", 510, {0x55, 0x00}, FILE_SYSTEM_UNKNOWN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto sector = BootSector("fat32_512", 512);
        std::memcpy(sector.data() + c.offset, c.bytes.data(), c.bytes.size());
        CTempFATDBR dbr(sector.data(), 512);
        EXPECT_EQ(dbr.GetFileSystemType(), c.expected);
        if (c.expected == FILE_SYSTEM_UNKNOWN) {
            EXPECT_EQ(dbr.GetTotalSectors(), 0u);
            EXPECT_EQ(dbr.GetSectorsPerFat(), 0u);
        }
    }
}

TEST(FATBootSector, FAT16WithTooFewRootEntriesIsNotRecognised) {
    auto sector = BootSector("fat16_512", 512);
    sector[17] = 16;  // 16 root entries
    sector[18] = 0;
    EXPECT_FALSE(CTempFATDBR(sector.data(), 512).IsValidDBR());
}

TEST(FATTableAnalyser, FAT32HeaderWinsOverFAT16) {
    uint8_t sector[512] = {0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    enumFILE_SYSTEM_TYPE type = FILE_SYSTEM_UNKNOWN;
    ASSERT_TRUE(CFATTableAnalyser::IsValidFATTableFirstSector(sector, 512, type));
    EXPECT_EQ(type, FILE_SYSTEM_FAT32);
    const uint8_t fat16[512] = {0xF8, 0xFF, 0xFF, 0xFF, 0x03, 0x00, 0xFF, 0xFF};
    ASSERT_TRUE(CFATTableAnalyser::IsValidFATTableFirstSector(fat16, 512, type));
    EXPECT_EQ(type, FILE_SYSTEM_FAT16);
    const uint8_t text[512] = {'h', 'e', 'l', 'l', 'o'};
    EXPECT_FALSE(CFATTableAnalyser::IsValidFATTableFirstSector(text, 512, type));
}
