// The sector size of an image file, from what it holds.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "DeviceTestData.h"
#include "ImageSectorSize.h"
#include "StorageDevice.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A volume boot sector at byte `at` declaring `sectorSize`.
void ExFatBoot(std::vector<uint8_t>& b, size_t at, uint32_t sectorSize) {
    std::memcpy(&b[at + 3], "EXFAT   ", 8);
    b[at + 108] = uint8_t(__builtin_ctz(sectorSize));
    Put16(b, at + 510, 0xAA55);
}

void FatBoot(std::vector<uint8_t>& b, size_t at, uint32_t sectorSize) {
    b[at] = 0xEB;
    Put16(b, at + 11, uint16_t(sectorSize));
    b[at + 13] = 8;
    Put16(b, at + 14, 32);
    b[at + 16] = 2;
    b[at + 21] = 0xF8;
    Put16(b, at + 510, 0xAA55);
}

void NtfsBoot(std::vector<uint8_t>& b, size_t at, uint32_t sectorSize) {
    std::memcpy(&b[at + 3], "NTFS    ", 8);
    Put16(b, at + 11, uint16_t(sectorSize));
    Put16(b, at + 510, 0xAA55);
}

// An MBR whose first partition starts at sector 256.
void Mbr(std::vector<uint8_t>& b) {
    b[446 + 4] = 0x07;
    Put32(b, 446 + 8, 256);
    Put32(b, 446 + 12, 1000);
    Put16(b, 510, 0xAA55);
}

struct Case {
    const char* what;
    void (*make)(std::vector<uint8_t>&);
    uint32_t sectorSize;
};

const Case kCases[] = {
    {"exFAT volume of 4096-byte sectors", [](auto& b) { ExFatBoot(b, 0, 4096); }, 4096},
    {"exFAT volume of 512-byte sectors", [](auto& b) { ExFatBoot(b, 0, 512); }, 512},
    {"FAT volume of 4096-byte sectors", [](auto& b) { FatBoot(b, 0, 4096); }, 4096},
    {"FAT volume of 2048-byte sectors", [](auto& b) { FatBoot(b, 0, 2048); }, 2048},
    {"NTFS volume of 4096-byte sectors", [](auto& b) { NtfsBoot(b, 0, 4096); }, 4096},
    {"GUID partition table in the second 4096-byte sector",
     [](auto& b) {
         Put16(b, 510, 0xAA55);
         std::memcpy(&b[4096], "EFI PART", 8);
     },
     4096},
    {"GUID partition table in the second 512-byte sector",
     [](auto& b) {
         Put16(b, 510, 0xAA55);
         std::memcpy(&b[512], "EFI PART", 8);
     },
     512},
    {"MBR partition whose boot sector lies 256 sectors of 4096 in",
     [](auto& b) {
         Mbr(b);
         FatBoot(b, 256 * 4096, 4096);
     },
     4096},
    {"MBR partition whose boot sector lies 256 sectors of 512 in",
     [](auto& b) {
         Mbr(b);
         NtfsBoot(b, 256 * 512, 512);
     },
     512},
    // A boot sector that declares another size than the one it is found with.
    {"MBR partition found with 512 declaring 4096",
     [](auto& b) {
         Mbr(b);
         ExFatBoot(b, 256 * 512, 4096);
     },
     512},
    {"FAT boot sector with three FATs",
     [](auto& b) {
         FatBoot(b, 0, 4096);
         b[16] = 3;
     },
     512},
    {"no signature", [](auto& b) { Put16(b, 11, 4096); }, 512},
};

TEST(ImageSectorSize, TakesTheSizeWhatTheImageHoldsDeclares) {
    for (const Case& c : kCases) {
        std::vector<uint8_t> image(2 << 20, 0);
        c.make(image);
        const uint32_t size = ImageSectorSize([&image](uint64_t offset, uint8_t* buffer, size_t n) {
            if (offset + n > image.size())
                return false;
            std::memcpy(buffer, image.data() + offset, n);
            return true;
        });
        EXPECT_EQ(size, c.sectorSize) << c.what;
    }
}

TEST(ImageSectorSize, ImageFileOpensWithTheSectorSizeOfItsVolume) {
    TempDir dir;
    std::vector<uint8_t> bytes = PatternBytes(64 * 4096 + 100, 3);
    std::memset(bytes.data(), 0, 512);
    ExFatBoot(bytes, 0, 4096);
    WriteFile(dir / "volume.img", bytes);
    for (auto* make : {&CreateDiskDevice, &CreateVolumeDevice}) {
        std::unique_ptr<IStorageDevice> device(make((dir / "volume.img").c_str()));
        ASSERT_TRUE(device->Open(nullptr));
        EXPECT_EQ(device->GetSectorSize(), 4096u);
        EXPECT_EQ(device->GetTotalSectors(), 64);
        std::vector<uint8_t> sector(4096);
        ASSERT_TRUE(device->ReadSector(sector.data(), 5, 1));
        EXPECT_EQ(0, std::memcmp(sector.data(), bytes.data() + 5 * 4096, 4096));
    }
}

}  // namespace
