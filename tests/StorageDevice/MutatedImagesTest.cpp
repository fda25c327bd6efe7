#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <random>

#include "DeviceTestData.h"
#include "ImageDevice.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

// Randomly damaged copies of valid image files: opening one is refused or gives
// a device whose reads answer cleanly.
using namespace harbex::test;

namespace {

using DevicePtr = std::unique_ptr<IStorageDevice>;
constexpr int kCopies = 300;
constexpr uint64_t kSectors = 16;

struct HotRange {
    size_t offset;
    size_t length;
};

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Writes `kCopies` damaged copies of `image`, damage falling inside `hot`, and
// hands each to `check`.
template <typename Check>
void ForEachDamagedCopy(const std::filesystem::path& image, const std::vector<HotRange>& hot,
                        uint32_t seed, Check check) {
    const std::vector<uint8_t> original =
        PreadRange(image, 0, static_cast<size_t>(std::filesystem::file_size(image)));
    std::mt19937 random(seed);
    for (int copy = 0; copy < kCopies; ++copy) {
        SCOPED_TRACE(testing::Message() << "copy " << copy);
        std::vector<uint8_t> damaged = original;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
            const HotRange& range = hot[random() % hot.size()];
            damaged[range.offset + random() % range.length] = static_cast<uint8_t>(random());
        }
        WriteBytes(image, damaged);
        check();
        if (testing::Test::HasFailure())
            return;
    }
}

// Every sector the device claims reads, or fails with a failure code.
void ReadEverySector(IStorageDevice& device) {
    std::vector<uint8_t> buffer(device.GetSectorSize());
    const int64_t sectors = std::min<int64_t>(device.GetTotalSectors(), 64);
    for (int64_t s = 0; s < sectors; ++s) {
        if (!device.ReadSector(buffer.data(), s, 1)) {
            EXPECT_TRUE(IsFailure(device.GetLastError()));
        }
    }
}

TEST(MutatedImages, DiskImageTrailerAndBlockTable) {
    TempDir dir;
    const auto image = dir / "image.dmg";
    WriteUdifImage(image, PatternBytes(kSectors * 512, 4), kSectors,
                   {{1, 0, kSectors, 0, kSectors * 512}, {0xFFFFFFFF, kSectors, 0, 0, 0}});
    CDMGDeviceInfoStruct record{};
    ASSERT_EQ(ParseDmgFile(image.string(), record), 1);
    const size_t size = static_cast<size_t>(std::filesystem::file_size(image));
    const size_t plist = kSectors * 512;
    const size_t trailer = size - 512;
    ForEachDamagedCopy(image,
                       {{trailer, 8},
                        {trailer + 24, 8},
                        {trailer + 216, 16},
                        {trailer + 492, 8},
                        {plist, trailer - plist}},
                       21, [&] {
                           CDMGDeviceInfoStruct parsed{};
                           if (ParseDmgFile(image.string(), parsed) != 1)
                               return;
                           EXPECT_GE(parsed.sectorCount, 0);
                           DevicePtr device(CreateDmgDevice(image.c_str(), &parsed));
                           if (device)
                               ReadEverySector(*device);
                       });
}

TEST(MutatedImages, TaggedImageHeader) {
    TempDir dir;
    const auto image = dir / "image.ozt";
    WriteOztImage(image, PatternBytes(kSectors * 512, 6), 4096, "disk3");
    ASSERT_NE(DevicePtr(CreateOztDevice(image.c_str())), nullptr);
    ForEachDamagedCopy(image, {{0, 8}, {8, sizeof(COZTDeviceInfoStruct)}}, 22, [&] {
        DevicePtr device(CreateOztDevice(image.c_str()));
        if (device)
            ReadEverySector(*device);
    });
}

}  // namespace
