// Every device kind reads the same bytes as pread of its backing file or node.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "DeviceInfo.h"
#include "DeviceTestData.h"
#include "DiskDevice.h"
#include "ImageDevice.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

constexpr int64_t kDiskSectors = 8200;  // crosses the 4 MiB read piece
constexpr int64_t kPartitionStart = 100;
constexpr int64_t kPartitionSectors = 5000;

// A device with where its sector 0 lies in its backing file.
struct DeviceUnderTest {
    DeviceUnderTest(std::string name, std::filesystem::path backing, int64_t base = 0,
                    bool clipsAtEnd = false)
        : name(std::move(name)), backing(std::move(backing)), base(base), clipsAtEnd(clipsAtEnd) {}
    std::string name;
    std::filesystem::path backing;
    int64_t base = 0;
    bool clipsAtEnd = false;  // partitions zero-fill sectors past their end
    std::vector<std::unique_ptr<IStorageDevice>> owned;  // the device last
    IStorageDevice* device() const { return owned.back().get(); }
};

std::unique_ptr<IStorageDevice> OpenedDisk(const std::filesystem::path& path) {
    std::unique_ptr<IStorageDevice> disk(CreateDiskDevice(path.c_str()));
    EXPECT_TRUE(disk->Open(nullptr));
    auto* record = new CCollectDiskDeviceInfoStruct{};
    record->sectorSize = 512;
    record->sectorCount = disk->GetTotalSectors();
    disk->SetPrivateData(CreateDiskDeviceData(record));
    return disk;
}

std::vector<DeviceUnderTest> NodeDevices(const std::filesystem::path& node) {
    std::vector<DeviceUnderTest> devices;
    {
        DeviceUnderTest disk{"disk", node};
        disk.owned.push_back(OpenedDisk(node));
        devices.push_back(std::move(disk));
    }
    {
        DeviceUnderTest volume{"volume", node};
        volume.owned.emplace_back(CreateVolumeDevice(node.c_str()));
        EXPECT_TRUE(volume.device()->Open(nullptr));
        devices.push_back(std::move(volume));
    }
    {
        DeviceUnderTest partition{"partition", node, kPartitionStart * 512, true};
        partition.owned.push_back(OpenedDisk(node));
        partition.owned.emplace_back(
            CreatePartitionDevice(partition.owned[0].get(), kPartitionStart, kPartitionSectors));
        EXPECT_TRUE(partition.device()->Open(nullptr));
        devices.push_back(std::move(partition));
    }
    {
        DeviceUnderTest volume{"partition volume", node, kPartitionStart * 512, true};
        volume.owned.push_back(OpenedDisk(node));
        volume.owned.emplace_back(
            CreatePartitionDevice(volume.owned[0].get(), kPartitionStart, kPartitionSectors));
        auto* record = new CCollectedPartitionDeviceInfoStruct{};
        record->sectorSize = 512;
        record->sectorCount = kPartitionSectors;
        record->startSector = kPartitionStart;
        record->parentDisk = volume.owned[0].get();
        volume.owned[1]->SetPrivateData(CreatePartitionDeviceData(record));
        volume.owned.emplace_back(CreatePartitionVirtualVolumeDevice(volume.owned[1].get()));
        EXPECT_NE(volume.device(), nullptr);
        devices.push_back(std::move(volume));
    }
    return devices;
}

void ExpectReadsLikePread(const DeviceUnderTest& test) {
    SCOPED_TRACE(test.name);
    IStorageDevice* device = test.device();
    ASSERT_NE(device, nullptr);
    const int64_t total = device->GetTotalSectors();
    ASSERT_GT(total, 8);
    struct Range {
        int64_t first;
        int64_t count;
    };
    const Range inside[] = {{0, 1}, {5, 3}, {total - 1, 1}, {total - 3, 3}, {0, total}};
    for (const Range& range : inside) {
        SCOPED_TRACE(testing::Message() << "first " << range.first << " count " << range.count);
        std::vector<uint8_t> buffer(range.count * 512, 0xEE);
        ASSERT_TRUE(device->ReadSector(buffer.data(), range.first, range.count));
        EXPECT_EQ(buffer, PreadRange(test.backing, test.base + range.first * 512, buffer.size()));
    }

    std::vector<uint8_t> buffer(2 * 512, 0xEE);
    EXPECT_FALSE(device->ReadSector(buffer.data(), total, 1));
    EXPECT_TRUE(IsFailure(device->GetLastError()));
    if (test.clipsAtEnd) {
        ASSERT_TRUE(device->ReadSector(buffer.data(), total - 1, 2));
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 512),
                  PreadRange(test.backing, test.base + (total - 1) * 512, 512));
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 512, buffer.end()),
                  std::vector<uint8_t>(512, 0));
    } else {
        EXPECT_FALSE(device->ReadSector(buffer.data(), total - 1, 2));
    }
}

class DeviceReadTest : public testing::Test {
protected:
    void SetUp() override {
        // A partial sector at the end: the last whole sector is still readable.
        WriteFile(image_, PatternBytes(kDiskSectors * 512 + 100, 1));
    }
    TempDir dir_;
    std::filesystem::path image_ = dir_ / "disk.img";
};

TEST_F(DeviceReadTest, NodeDevicesOverAnImageFileReadLikePread) {
    for (const DeviceUnderTest& test : NodeDevices(image_)) {
        EXPECT_EQ(test.device()->GetSectorSize(), 512u);
        ExpectReadsLikePread(test);
    }
}

TEST_F(DeviceReadTest, NodeDevicesOverALoopDeviceReadLikePread) {
    LoopDevice loop(image_, false);
    HARBEX_REQUIRE_LOOP(loop);
    for (const DeviceUnderTest& test : NodeDevices(loop.device())) {
        EXPECT_EQ(test.device()->GetSectorSize(), 512u);
        ExpectReadsLikePread(test);
    }
}

TEST_F(DeviceReadTest, ImageDevicesReadLikePread) {
    const auto sectors = PatternBytes(kDiskSectors * 512, 2);
    DeviceUnderTest ozt{"ozt", dir_ / "image.ozt", 4096};
    WriteOztImage(ozt.backing, sectors, ozt.base, "disk0");
    ozt.owned.emplace_back(CreateOztDevice(ozt.backing.c_str()));
    ExpectReadsLikePread(ozt);

    DeviceUnderTest dmg{"dmg", dir_ / "image.dmg"};
    WriteUdifImage(
        dmg.backing, sectors, kDiskSectors,
        {{1, 0, kDiskSectors, 0, kDiskSectors * 512}, {0xFFFFFFFF, kDiskSectors, 0, 0, 0}});
    CDMGDeviceInfoStruct record{};
    ASSERT_EQ(ParseDmgFile(dmg.backing.string(), record), 1);
    dmg.owned.emplace_back(CreateDmgDevice(dmg.backing.c_str(), &record));
    ExpectReadsLikePread(dmg);
}

}  // namespace
