#include <gtest/gtest.h>

#include <memory>

#include "DeviceRemoval.h"
#include "DiskVolumeNodeData.h"
#include "KvUIDeviceData.h"

namespace {

std::shared_ptr<DiskVolumeNodeData> Device(const char* kernelName, const char* name = "Untitled",
                                           uint64_t capacity = 1 << 20) {
    _DiskVolumeData record;
    record.name = name;
    record.bsdName = kernelName;
    record.capacity = capacity;
    return std::make_shared<DiskVolumeNodeData>(record);
}

TEST(DeviceRemovalTest, OnlyTheScannedDeviceOrItsDiskCounts) {
    const struct {
        const char* removed;
        const char* scanned;
        bool counts;
    } cases[] = {
        {"/dev/sdb1", "sdb1", true},
        {"/dev/sdb", "sdb1", true},  // the whole disk went
        {"/dev/sdb", "sdb", true},
        {"/dev/sdc1", "sdb1", false},
        {"/dev/sdb1", "sdb", false},  // a partition of the scanned disk: the disk may stay
        {"/dev/sdb1", "sdb10", false},
        {"/dev/sd", "sdb1", false},
        {"/dev/mmcblk0", "mmcblk0p1", true},
        {"/dev/mmcblk0", "mmcblk01", false},
        {"/dev/nvme0n1", "nvme0n1p2", true},
        {"/dev/nvme0n1", "nvme0n12", false},
        {"", "sdb1", false},  // no path: decided elsewhere
        {"/dev/sdb1", nullptr, false},
        {"/images/card.img", "/images/card.img", true},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(
            RemovalNamesDevice(QString::fromLatin1(testCase.removed), *Device(testCase.scanned)),
            testCase.counts)
            << testCase.removed << " / " << (testCase.scanned ? testCase.scanned : "(none)");
    }
}

TEST(DeviceRemovalTest, TheDeviceListIsAskedForDisksAndVolumes) {
    auto disk = Device("sdb", "Cruzer", 16u << 20);
    disk->setSubNode({Device("sdb1", "PHOTOS"), Device("sdb2", "DATA")});
    const std::vector<std::shared_ptr<DiskVolumeNodeData>> disks{Device("sda"), disk};
    EXPECT_TRUE(DeviceListHolds(disks, *Device("sdb2")));
    EXPECT_TRUE(DeviceListHolds(disks, *Device("sdb")));
    EXPECT_FALSE(DeviceListHolds(disks, *Device("sdc1")));
    EXPECT_FALSE(DeviceListHolds({}, *Device("sdb1")));
    // Without a device node the name and the size tell.
    const std::vector<std::shared_ptr<DiskVolumeNodeData>> named{Device(nullptr, "Card", 5)};
    EXPECT_TRUE(DeviceListHolds(named, *Device(nullptr, "Card", 5)));
    EXPECT_FALSE(DeviceListHolds(named, *Device(nullptr, "Card", 6)));
}

}  // namespace
