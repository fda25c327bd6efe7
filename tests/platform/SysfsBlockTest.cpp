#include <gtest/gtest.h>

#include <fstream>

#include "SysfsBlock.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using harbex::test::TempDir;

void Put(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

// A block device folder under devices/ with the kernel's attributes, linked
// from block/<name> as sysfs does.
fs::path AddDisk(const fs::path& sys, const std::string& devicePath, const std::string& name,
                 const std::string& size, const std::string& dev) {
    fs::path dir = sys / "devices" / devicePath / name;
    Put(dir / "size", size);
    Put(dir / "dev", dev);
    Put(dir / "ro", "0");
    Put(dir / "queue" / "logical_block_size", "512");
    fs::create_directories(sys / "block");
    fs::create_directory_symlink(dir, sys / "block" / name);
    return dir;
}

void AddPartition(const fs::path& disk, const std::string& name, int number, int64_t start,
                  int64_t size, const std::string& dev) {
    Put(disk / name / "partition", std::to_string(number));
    Put(disk / name / "start", std::to_string(start));
    Put(disk / name / "size", std::to_string(size));
    Put(disk / name / "dev", dev);
}

TEST(SysfsBlock, ListsScannableDisksWithTheirAttributes) {
    TempDir dir;
    fs::path sys = dir / "sys";
    fs::path sda = AddDisk(sys, "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block",
                           "sda", "2097152", "8:0");
    Put(sda / "device" / "vendor", "ATA     ");
    Put(sda / "device" / "model", "Fast Disk       ");
    Put(sda / "queue" / "logical_block_size", "4096");
    Put(sda / "ro", "1");
    AddPartition(sda, "sda10", 10, 800000, 4096, "8:10");
    AddPartition(sda, "sda2", 2, 4096, 409600, "8:2");
    fs::create_directories(sda / "holders");

    fs::path loop0 = AddDisk(sys, "virtual/block", "loop0", "131072", "7:0");
    Put(loop0 / "loop" / "backing_file", "/images/disk one.img");
    AddDisk(sys, "virtual/block", "loop1", "0", "7:1");
    fs::path loop2 = AddDisk(sys, "virtual/block", "loop2", "2048", "7:2");
    (void)loop2;  // no backing file: an unused loop device
    AddDisk(sys, "virtual/block", "ram0", "8192", "1:0");
    AddDisk(sys, "virtual/block", "zram0", "8192", "252:0");
    fs::path sr0 =
        AddDisk(sys, "pci0000:00/ata2/host1/target1:0:0/1:0:0:0/block", "sr0", "8192", "11:0");
    Put(sr0 / "device" / "type", "5");
    fs::path usb = AddDisk(sys, "pci0000:00/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block",
                           "sdb", "64", "8:16");
    Put(usb / "device" / "type", "0");

    std::vector<SysfsDisk> disks = ListSysfsDisks(sys);
    ASSERT_EQ(disks.size(), 3u);
    EXPECT_EQ(disks[0].name, "loop0");
    EXPECT_EQ(disks[0].model, "disk one.img");
    EXPECT_EQ(disks[0].busType, kBlockBusVirtual);
    EXPECT_EQ(disks[0].size512, 131072);
    EXPECT_EQ(disks[0].major, 7u);

    const SysfsDisk& a = disks[1];
    EXPECT_EQ(a.name, "sda");
    EXPECT_EQ(a.size512, 2097152);
    EXPECT_EQ(a.logicalBlockSize, 4096u);
    EXPECT_TRUE(a.readOnly);
    EXPECT_EQ(a.major, 8u);
    EXPECT_EQ(a.minor, 0u);
    EXPECT_EQ(a.model, "ATA Fast Disk");
    EXPECT_EQ(a.busType, kBlockBusATA);
    ASSERT_EQ(a.partitions.size(), 2u);
    EXPECT_EQ(a.partitions[0].name, "sda2");
    EXPECT_EQ(a.partitions[0].number, 2u);
    EXPECT_EQ(a.partitions[0].start512, 4096);
    EXPECT_EQ(a.partitions[0].size512, 409600);
    EXPECT_EQ(a.partitions[1].number, 10u);
    EXPECT_EQ(a.partitions[1].minor, 10u);

    EXPECT_EQ(disks[2].name, "sdb");
    EXPECT_EQ(disks[2].busType, kBlockBusUSB);
    EXPECT_FALSE(disks[2].readOnly);
}

TEST(SysfsBlock, DeviceMapperAndRaidDevicesGoByTheirNodeNames) {
    TempDir dir;
    fs::path sys = dir / "sys";
    fs::path dm0 = AddDisk(sys, "virtual/block", "dm-0", "8192", "253:0");
    Put(dm0 / "dm" / "name", "vg-home");
    AddDisk(sys, "virtual/block", "dm-1", "8192", "253:1");  // no mapping name
    fs::path md = AddDisk(sys, "virtual/block", "md127", "16384", "9:127");
    AddPartition(md, "md127p1", 1, 2048, 4096, "259:1");

    std::vector<SysfsDisk> disks = ListSysfsDisks(sys);
    ASSERT_EQ(disks.size(), 3u);
    EXPECT_EQ(disks[0].name, "dm-1");
    EXPECT_EQ(disks[1].name, "mapper/vg-home");
    EXPECT_EQ(disks[1].kernelName, "dm-0");
    EXPECT_EQ(disks[1].model, "dm-0");
    EXPECT_EQ(disks[1].busType, kBlockBusVirtual);
    EXPECT_EQ(disks[1].major, 253u);
    EXPECT_EQ(disks[2].name, "md127");
    ASSERT_EQ(disks[2].partitions.size(), 1u);
    EXPECT_EQ(disks[2].partitions[0].name, "md127p1");
}

TEST(SysfsBlock, OneDiskIsFoundByItsNodeNameAsTheListHasIt) {
    TempDir dir;
    fs::path sys = dir / "sys";
    fs::path dm0 = AddDisk(sys, "virtual/block", "dm-0", "8192", "253:0");
    Put(dm0 / "dm" / "name", "vg-home");
    fs::path loop0 = AddDisk(sys, "virtual/block", "loop0", "131072", "7:0");
    Put(loop0 / "loop" / "backing_file", "/images/disk.img");
    AddPartition(loop0, "loop0p1", 1, 2048, 4096, "259:0");
    AddDisk(sys, "virtual/block", "loop1", "2048", "7:1");  // unused: no backing file
    AddDisk(sys, "virtual/block", "ram0", "8192", "1:0");

    for (const SysfsDisk& listed : ListSysfsDisks(sys)) {
        std::optional<SysfsDisk> found = FindSysfsDisk(sys, listed.name);
        ASSERT_TRUE(found) << listed.name;
        EXPECT_EQ(found->kernelName, listed.kernelName);
        EXPECT_EQ(found->size512, listed.size512);
        EXPECT_EQ(found->partitions.size(), listed.partitions.size());
    }
    for (const char* name : {"dm-0", "loop1", "ram0", "sdz", ""}) {
        EXPECT_FALSE(FindSysfsDisk(sys, name)) << name;
    }
}

TEST(SysfsBlock, BusTypeFromDevicePath) {
    struct Case {
        const char* path;
        uint32_t bus;
    } cases[] = {
        {"devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/host3/target3:0:0/3:0:0:0/block/sdc",
         kBlockBusUSB},
        {"devices/pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sda", kBlockBusATA},
        {"devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", kBlockBusSCSI},
        {"devices/pci0000:00/0000:00:10.0/host0/target0:0:0/0:0:0:0/block/sda", kBlockBusSCSI},
        {"devices/pci0000:00/0000:00:02.0/virtio1/block/vda", kBlockBusVirtual},
        {"devices/virtual/block/loop0", kBlockBusVirtual},
        {"devices/platform/mmc/block/mmcblk0", kBlockBusUnknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BusTypeFromSysfsPath(c.path), c.bus) << c.path;
    }
}

TEST(SysfsBlock, HotPluggableDisksAreTheOnesAUserBrings) {
    struct Case {
        const char* devicePath;
        const char* name;
        const char* removable;  // the disk's own attribute; null when absent
        const char* slot;       // a "removable" file at this ancestor, below devices/
        bool hotPluggable;
    } cases[] = {
        {"pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block", "sdc", "0",
         nullptr, true},
        {"platform/fe320000.mmc/mmc_host/mmc1/mmc1:aaaa/block", "mmcblk1", "0", nullptr, true},
        {"pci0000:00/0000:00:1c.0/0000:02:00.0/mmc_host/mmc0/mmc0:0001/block", "mmcblk0", nullptr,
         nullptr, true},
        {"pci0000:00/0000:00:1e.0/0000:05:00.0/fw1/fw1.0/host7/target7:0:0/7:0:0:0/block", "sdd",
         "0", nullptr, true},
        {"pci0000:00/0000:00:07.0/0000:3a:00.0/nvme/nvme1/block", "nvme1n1", "0",
         "pci0000:00/0000:00:07.0/0000:3a:00.0", true},
        {"pci0000:00/0000:00:17.0/ata4/host3/target3:0:0/3:0:0:0/block", "sdf", "1", nullptr, true},
        {"pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block", "sda", "0",
         "pci0000:00/0000:00:17.0", false},
        {"pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/block", "nvme0n1", "0", nullptr, false},
        {"virtual/block", "loop0", "0", nullptr, false},
    };
    TempDir dir;
    const fs::path sys = dir / "sys";
    for (const Case& c : cases) {
        const fs::path disk = sys / "devices" / c.devicePath / c.name;
        fs::create_directories(disk);
        if (c.removable != nullptr)
            Put(disk / "removable", c.removable);
        if (c.slot != nullptr)
            Put(sys / "devices" / c.slot / "removable", c.hotPluggable ? "removable" : "fixed");
        fs::create_directories(sys / "class" / "block");
        fs::create_directory_symlink(disk, sys / "class" / "block" / c.name);
    }
    for (const Case& c : cases)
        EXPECT_EQ(IsHotPluggableDisk(sys, c.name), c.hotPluggable) << c.name;
    EXPECT_FALSE(IsHotPluggableDisk(sys, "absent"));
    EXPECT_FALSE(IsHotPluggableDisk(sys, "../sda"));
}

TEST(SysfsBlock, MissingRootListsNothing) {
    TempDir dir;
    EXPECT_TRUE(ListSysfsDisks(dir / "absent").empty());
}

// The running system's own tree: every listed disk agrees with its attributes.
TEST(SysfsBlock, RealTreeAgreesWithItsAttributes) {
    for (const SysfsDisk& disk : ListSysfsDisks("/sys")) {
        SCOPED_TRACE(disk.name);
        EXPECT_NE(disk.name.rfind("zram", 0), 0u);
        EXPECT_NE(disk.name.rfind("ram", 0), 0u);
        std::ifstream size("/sys/block/" + disk.kernelName + "/size");
        int64_t expected = 0;
        size >> expected;
        EXPECT_EQ(disk.size512, expected);
        EXPECT_GT(disk.size512, 0);
    }
}

}  // namespace
