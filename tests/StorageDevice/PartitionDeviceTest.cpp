#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "MemoryDevice.h"
#include "StorageDeviceData.h"

using namespace harbex::test;

namespace {

using DevicePtr = std::unique_ptr<IStorageDevice>;

using MemoryDisk = MemoryDevice;

CCollectedPartitionDeviceInfoStruct* PartitionRecord(IStorageDevice* parent, int64_t start,
                                                     int64_t count, uint32_t kind = 0) {
    auto* record = new CCollectedPartitionDeviceInfoStruct{};
    record->kind = kind;
    record->sectorSize = parent != nullptr ? parent->GetSectorSize() : 512;
    record->sectorCount = count;
    record->startSector = start;
    record->parentDisk = parent;
    return record;
}

// Both partition kinds over the same 20 sectors from sector 10 of a disk.
std::vector<std::pair<DevicePtr, DevicePtr>> BothKinds(MemoryDisk& disk) {
    std::vector<std::pair<DevicePtr, DevicePtr>> devices;
    DevicePtr partition(CreatePartitionDevice(&disk, 10, 20));
    EXPECT_TRUE(partition->Open(nullptr));
    devices.emplace_back(std::move(partition), nullptr);
    DevicePtr carrier(CreatePartitionDevice(&disk, 10, 20));
    carrier->SetPrivateData(CreatePartitionDeviceData(PartitionRecord(&disk, 10, 20)));
    DevicePtr volume(CreatePartitionVirtualVolumeDevice(carrier.get()));
    devices.emplace_back(std::move(volume), std::move(carrier));
    return devices;
}

TEST(PartitionDeviceTest, ReadRunningPastTheEndGetsZerosAfterTheLastSector) {
    MemoryDisk disk(64, 512);
    for (auto& [device, carrier] : BothKinds(disk)) {
        SCOPED_TRACE(device->GetType());
        std::vector<uint8_t> buffer(8 * 512, 0xEE);
        ASSERT_TRUE(device->ReadSector(buffer.data(), 17, 8));
        EXPECT_EQ(std::memcmp(buffer.data(), disk.Sector(27), 3 * 512), 0);
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 3 * 512, buffer.end()),
                  std::vector<uint8_t>(5 * 512, 0));
    }
}

TEST(PartitionDeviceTest, RefusesReadsOutsideTheWindow) {
    MemoryDisk disk(64, 512);
    std::vector<uint8_t> buffer(21 * 512);
    struct Case {
        void* buffer;
        int64_t first;
        int64_t count;
    } cases[] = {{nullptr, 0, 1},        {buffer.data(), -1, 1}, {buffer.data(), 20, 1},
                 {buffer.data(), 0, 21}, {buffer.data(), 0, 0},  {buffer.data(), 0, -4}};
    for (auto& [device, carrier] : BothKinds(disk)) {
        for (const Case& c : cases) {
            EXPECT_FALSE(device->ReadSector(c.buffer, c.first, c.count));
            EXPECT_EQ(ResultKindOf(device->GetLastError()), kResultBadArgument);
        }
    }
}

TEST(PartitionDeviceTest, ParentFailureIsPassedOn) {
    MemoryDisk disk(64, 512);
    disk.failFrom = 15;
    for (auto& [device, carrier] : BothKinds(disk)) {
        std::vector<uint8_t> buffer(512);
        EXPECT_FALSE(device->ReadSector(buffer.data(), 8, 1));
        EXPECT_EQ(device->GetLastError(), disk.GetLastError());
    }
    DevicePtr orphan(CreatePartitionDevice(nullptr, 0, 10));
    std::vector<uint8_t> buffer(512);
    EXPECT_FALSE(orphan->ReadSector(buffer.data(), 0, 1));
    EXPECT_EQ(ResultKindOf(orphan->GetLastError()), kResultMissingObject);
}

TEST(PartitionDeviceTest, OpenTakesTheParentDisksSectorSize) {
    MemoryDisk disk4k(16, 4096);
    DevicePtr partition(CreatePartitionDevice(&disk4k, 1, 4));
    EXPECT_EQ(partition->GetSectorSize(), 512u);
    EXPECT_TRUE(partition->Open(nullptr));
    EXPECT_EQ(partition->GetSectorSize(), 4096u);
    EXPECT_EQ(static_cast<IPartitionStorageDevice*>(partition.get())->GetStartSector(), 1);

    MemoryDisk bare(16, 512);
    bare.SetPrivateData(nullptr);
    DevicePtr orphan(CreatePartitionDevice(&bare, 1, 4));
    EXPECT_FALSE(orphan->Open(nullptr));
    EXPECT_EQ(ResultKindOf(orphan->GetLastError()), kResultMissingObject);
}

TEST(PartitionDeviceTest, PartitionRecordSetsTheWindow) {
    MemoryDisk disk(64, 512);
    DevicePtr partition(CreatePartitionDevice(&disk, 10, 20));
    partition->SetPrivateData(CreatePartitionDeviceData(PartitionRecord(&disk, 10, 30)));
    EXPECT_EQ(partition->GetTotalSectors(), 30);
    partition->SetPrivateData(CreateVolumeDeviceData(new CCollectedVolumeDeviceInfoStruct{}));
    EXPECT_EQ(ResultKindOf(partition->GetLastError()), kResultMissingObject);
}

TEST(PartitionDeviceTest, PartitionVolumeNeedsAPlainPartitionWithItsDisk) {
    MemoryDisk disk(64, 512);
    EXPECT_EQ(CreatePartitionVirtualVolumeDevice(nullptr), nullptr);
    struct Case {
        IStorageDeviceData* holder;
        bool accepted;
    } cases[] = {
        {nullptr, false},
        {CreateVolumeDeviceData(new CCollectedVolumeDeviceInfoStruct{}), false},
        {CreatePartitionDeviceData(nullptr), false},
        {CreatePartitionDeviceData(PartitionRecord(&disk, 10, 20, 1)), false},
        {CreatePartitionDeviceData(PartitionRecord(nullptr, 10, 20)), false},
        {CreatePartitionDeviceData(PartitionRecord(&disk, 10, 20)), true},
    };
    for (const Case& c : cases) {
        DevicePtr partition(CreatePartitionDevice(&disk, 10, 20));
        partition->SetPrivateData(c.holder);
        DevicePtr volume(CreatePartitionVirtualVolumeDevice(partition.get()));
        EXPECT_EQ(volume != nullptr, c.accepted);
        if (volume) {
            EXPECT_EQ(volume->GetType(), kStorageDeviceVolume);
            EXPECT_EQ(volume->GetTotalSectors(), 20);
            EXPECT_EQ(static_cast<IPartitionStorageDevice*>(volume.get())->GetStartSector(), 10);
        }
    }
}

TEST(PartitionDeviceTest, PartitionVolumeKeepsTheLargerSectorSize) {
    MemoryDisk disk(64, 512);
    DevicePtr carrier(CreatePartitionDevice(&disk, 0, 64));
    carrier->SetPrivateData(CreatePartitionDeviceData(PartitionRecord(&disk, 0, 64)));
    DevicePtr volume(CreatePartitionVirtualVolumeDevice(carrier.get()));
    auto* record = new CCollectedVolumeDeviceInfoStruct{};
    record->sectorSize = 4096;
    record->sectorCount = 8;
    volume->SetPrivateData(CreateVolumeDeviceData(record));
    EXPECT_EQ(volume->GetSectorSize(), 4096u);
    EXPECT_EQ(volume->GetTotalSectors(), 8);
}

}  // namespace
