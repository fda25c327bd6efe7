#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "DiskDevice.h"
#include "EnumDevice.h"
#include "EnumTestSupport.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using enumtest::DiskInfo;
using enumtest::PartitionInfo;
using enumtest::VolumeInfo;

void Put(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

// A machine made of files: a sysfs tree, device nodes that are image files, and
// a mount table.
class FakeMachine : public testing::Test {
protected:
    void SetUp() override {
        paths_.sysfsRoot = (dir_ / "sys").string();
        paths_.deviceRoot = (dir_ / "dev").string();
        paths_.mountInfoPath = (dir_ / "mountinfo").string();
        fs::create_directories(dir_ / "dev");

        // sda: GPT with three partitions, the kernel knows the first two.
        fs::path sda = Disk("pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block", "sda",
                            64 << 20, "8:0");
        Put(sda / "device" / "vendor", "ATA");
        Put(sda / "device" / "model", "Test Disk");
        ASSERT_TRUE(
            enumtest::RunSfdisk(Node("sda"), "label: gpt\\nsize=20MiB\\nsize=20MiB\\n,\\n"));
        KernelPartition(sda, "sda1", 1, 2048, 40960, "8:1");
        KernelPartition(sda, "sda2", 2, 43008, 40960, "8:2");
        enumtest::WriteAt(Node("sda2"), 0, enumtest::FakeNtfsBootSector("Backup"));
        enumtest::WriteAt(Node("sda"), 43008 * 512, enumtest::FakeNtfsBootSector("Backup"));

        // loop0: MBR with two partitions of equal size, not split by the kernel.
        fs::path loop0 = Disk("virtual/block", "loop0", 64 << 20, "7:0");
        Put(loop0 / "loop" / "backing_file", "/images/two halves.img");
        ASSERT_TRUE(enumtest::RunSfdisk(Node("loop0"), "label: dos\\nsize=20MiB\\nsize=20MiB\\n"));

        // sdb: one volume on the whole disk.
        Disk("pci0000:00/usb1/1-1/1-1:1.0/host4/target4:0:0/4:0:0:0/block", "sdb", 32 << 20,
             "8:16");
        enumtest::WriteAt(Node("sdb"), 0, enumtest::FakeNtfsBootSector("Whole"));

        Disk("virtual/block", "sdc", 4 << 20, "8:32");  // too small
        Disk("virtual/block", "sdd", 64 << 20, "8:48");
        fs::remove(Node("sdd"));  // a node that cannot be opened

        Put(paths_.mountInfoPath,
            "22 28 0:21 / /proc rw - proc proc rw\n"
            "36 28 8:1 / /media/user/Photos rw,relatime shared:1 - ext4 /dev/sda1 rw\n");
    }

    std::string Node(const std::string& name) { return paths_.deviceRoot + "/" + name; }

    fs::path Disk(const std::string& devicePath, const std::string& name, uint64_t bytes,
                  const std::string& dev) {
        fs::path sys = paths_.sysfsRoot;
        fs::path folder = sys / "devices" / devicePath / name;
        Put(folder / "size", std::to_string(bytes / 512));
        Put(folder / "dev", dev);
        Put(folder / "ro", "0");
        Put(folder / "queue" / "logical_block_size", "512");
        fs::create_directories(sys / "block");
        fs::create_directory_symlink(folder, sys / "block" / name);
        enumtest::MakeSparseFile(Node(name), bytes);
        return folder;
    }

    void KernelPartition(const fs::path& disk, const std::string& name, int number, int64_t start,
                         int64_t size, const std::string& dev) {
        Put(disk / name / "partition", std::to_string(number));
        Put(disk / name / "start", std::to_string(start));
        Put(disk / name / "size", std::to_string(size));
        Put(disk / name / "dev", dev);
        enumtest::MakeSparseFile(Node(name), static_cast<uint64_t>(size) * 512);
    }

    std::vector<IStorageDevice*> Disks(CEnumDeviceEx& enumerator) {
        int count = 0;
        EXPECT_EQ(enumerator.EnumDiskDevice(nullptr, count), kResultSuccess);
        std::vector<IStorageDevice*> disks(static_cast<size_t>(count));
        EXPECT_EQ(enumerator.EnumDiskDevice(disks.data(), count), kResultSuccess);
        return disks;
    }

    std::vector<IStorageDevice*> Volumes(CEnumDeviceEx& enumerator, IStorageDevice* disk) {
        int count = 0;
        EXPECT_EQ(enumerator.EnumVolumeDevice(disk, nullptr, count), kResultSuccess);
        std::vector<IStorageDevice*> volumes(static_cast<size_t>(count));
        EXPECT_EQ(enumerator.EnumVolumeDevice(disk, volumes.data(), count), kResultSuccess);
        return volumes;
    }

    IStorageDevice* DiskNamed(CEnumDeviceEx& enumerator, const std::string& name) {
        for (IStorageDevice* disk : Disks(enumerator)) {
            if (name == DiskInfo(disk)->bsdName)
                return disk;
        }
        return nullptr;
    }

    std::vector<std::string> VolumeNames(CEnumDeviceEx& enumerator, IStorageDevice* disk) {
        std::vector<std::string> names;
        for (IStorageDevice* volume : Volumes(enumerator, disk))
            names.push_back(VolumeInfo(volume)->bsdName);
        return names;
    }

    std::vector<IStorageDevice*> Partitions(CEnumDeviceEx& enumerator, IStorageDevice* disk) {
        int count = 0;
        EXPECT_EQ(enumerator.EnumPartitionDevice(disk, nullptr, count), kResultSuccess);
        std::vector<IStorageDevice*> partitions(static_cast<size_t>(count));
        EXPECT_EQ(enumerator.EnumPartitionDevice(disk, partitions.data(), count), kResultSuccess);
        return partitions;
    }

    harbex::test::TempDir dir_;
    DeviceSystemPaths paths_;
    ScopedVolumeAnalyzeFactories analyzers_{{enumtest::FakeNtfsAnalyzerFactory()}};
};

TEST_F(FakeMachine, ListsDisksWithTheirRecords) {
    CEnumDeviceEx enumerator(paths_);
    ASSERT_EQ(enumerator.Init(), kResultSuccess);
    std::vector<IStorageDevice*> disks = Disks(enumerator);
    ASSERT_EQ(disks.size(), 3u);

    struct Expected {
        const char* name;
        int64_t sectors;
        uint32_t scheme;
        uint32_t bus;
        const char* model;
        int32_t deviceId;
    } expected[] = {
        {"loop0", 131072, 1, 5, "two halves.img", 7 << 24},
        {"sda", 131072, 2, 1, "ATA Test Disk", 8 << 24},
        {"sdb", 65536, 0, 4, "", 8 << 24 | 16},
    };
    for (size_t i = 0; i < disks.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        CCollectDiskDeviceInfoStruct* info = DiskInfo(disks[i]);
        ASSERT_NE(info, nullptr);
        EXPECT_STREQ(info->bsdName, expected[i].name);
        EXPECT_EQ(info->kind, 0u);
        EXPECT_EQ(info->sectorSize, 512);
        EXPECT_EQ(info->sectorCount, expected[i].sectors);
        EXPECT_EQ(disks[i]->GetTotalSectors(), expected[i].sectors);
        EXPECT_EQ(info->partitionScheme, expected[i].scheme);
        EXPECT_EQ(info->busType, expected[i].bus);
        EXPECT_STREQ(info->modelName, expected[i].model);
        EXPECT_EQ(info->deviceId, expected[i].deviceId);
        EXPECT_EQ(info->writable, 1u);
        EXPECT_EQ(info->heads, 255);
    }
}

TEST_F(FakeMachine, KernelVolumesThenPartitionsWithoutOne) {
    CEnumDeviceEx enumerator(paths_);
    ASSERT_EQ(enumerator.Init(), kResultSuccess);
    IStorageDevice* sda = Disks(enumerator)[1];

    std::vector<IStorageDevice*> partitions = Partitions(enumerator, sda);
    ASSERT_EQ(partitions.size(), 3u);
    EXPECT_EQ(PartitionInfo(partitions[1])->partitionEntryNumber, 2u);
    EXPECT_EQ(PartitionInfo(partitions[1])->fileSystemType, 3u);
    EXPECT_STREQ(PartitionInfo(partitions[1])->label, "Backup");
    EXPECT_EQ(PartitionInfo(partitions[0])->fileSystemType, 10u);

    std::vector<IStorageDevice*> volumes = Volumes(enumerator, sda);
    ASSERT_EQ(volumes.size(), 3u);
    struct Expected {
        int32_t number;
        int64_t start;
        int64_t count;
        uint32_t mounted;
        const char* name;
        const char* bsd;
        uint32_t type;
    } expected[] = {
        {1, 2048, 40960, 1, "Photos", "sda1", 10},
        {2, 43008, 40960, 0, "Backup", "sda2", 3},
        {3, 83968, 45056, 0, "", "", 10},  // sfdisk ends it on a MiB boundary
    };
    for (size_t i = 0; i < volumes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(volumes[i]->GetType(), kStorageDeviceVolume);
        CCollectedVolumeDeviceInfoStruct* info = VolumeInfo(volumes[i]);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->partitionNumber, expected[i].number);
        EXPECT_EQ(info->startSector, expected[i].start);
        EXPECT_EQ(info->sectorCount, expected[i].count);
        EXPECT_EQ(info->mounted, expected[i].mounted);
        EXPECT_STREQ(info->volumeName, expected[i].name);
        EXPECT_STREQ(info->bsdName, expected[i].bsd);
        EXPECT_EQ(info->fileSystemType, expected[i].type);
        EXPECT_EQ(info->parentDisk, sda);
        EXPECT_EQ(info->sectorSize, 512u);
    }
    // GPT GUIDs come from our own parse, matched by number.
    EXPECT_EQ(std::memcmp(VolumeInfo(volumes[0])->gptPartitionGuid,
                          PartitionInfo(partitions[0])->gptPartitionGuid, 16),
              0);

    // The disk keeps the kernel's volumes.
    std::vector<CCollectedVolumeDeviceInfoStruct> kept;
    EXPECT_EQ(dynamic_cast<CDiskDevice*>(sda)->GetVolumes(kept), 2u);
}

TEST_F(FakeMachine, UnsplitEqualPartitionsStayApartAndWholeDiskIsOneVolume) {
    CEnumDeviceEx enumerator(paths_);
    ASSERT_EQ(enumerator.Init(), kResultSuccess);
    std::vector<IStorageDevice*> disks = Disks(enumerator);

    std::vector<IStorageDevice*> loopVolumes = Volumes(enumerator, disks[0]);
    ASSERT_EQ(loopVolumes.size(), 2u);
    EXPECT_EQ(VolumeInfo(loopVolumes[0])->partitionNumber, 1);
    EXPECT_EQ(VolumeInfo(loopVolumes[1])->partitionNumber, 2);
    EXPECT_EQ(VolumeInfo(loopVolumes[0])->sectorCount, VolumeInfo(loopVolumes[1])->sectorCount);
    EXPECT_NE(VolumeInfo(loopVolumes[0])->startSector, VolumeInfo(loopVolumes[1])->startSector);

    std::vector<IStorageDevice*> wholeVolumes = Volumes(enumerator, disks[2]);
    ASSERT_EQ(wholeVolumes.size(), 1u);
    CCollectedVolumeDeviceInfoStruct* whole = VolumeInfo(wholeVolumes[0]);
    EXPECT_EQ(whole->partitionNumber, -1);
    EXPECT_EQ(whole->sectorCount, 65536);
    EXPECT_STREQ(whole->volumeName, "Whole");
    EXPECT_STREQ(whole->bsdName, "sdb");
    std::vector<IStorageDevice*> wholePartitions = Partitions(enumerator, disks[2]);
    ASSERT_EQ(wholePartitions.size(), 1u);
    EXPECT_EQ(static_cast<int32_t>(PartitionInfo(wholePartitions[0])->partitionEntryNumber), -1);
}

// The kernel shows the extended partition of an MBR disk as a partition of a
// sector or two; the volume list leaves the container out, as the partition
// list does.
TEST_F(FakeMachine, ExtendedPartitionIsNoVolume) {
    fs::path sde = Disk("virtual/block", "sde", 64 << 20, "8:64");
    ASSERT_TRUE(enumtest::RunSfdisk(
        Node("sde"), "label: dos\\n1: size=10MiB\\n2: size=30MiB,type=5\\n5: size=8MiB\\n"));
    KernelPartition(sde, "sde1", 1, 2048, 20480, "8:65");
    KernelPartition(sde, "sde2", 2, 22528, 2, "8:66");
    KernelPartition(sde, "sde5", 5, 24576, 16384, "8:69");
    CEnumDeviceEx enumerator(paths_);
    ASSERT_EQ(enumerator.Init(), kResultSuccess);
    IStorageDevice* disk = DiskNamed(enumerator, "sde");
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(VolumeNames(enumerator, disk), (std::vector<std::string>{"sde1", "sde5"}));
    std::vector<uint32_t> numbers;
    for (IStorageDevice* partition : Partitions(enumerator, disk))
        numbers.push_back(PartitionInfo(partition)->partitionEntryNumber);
    EXPECT_EQ(numbers, (std::vector<uint32_t>{1, 5}));
}

// Logical volumes and opened encrypted mappings (device-mapper) and software
// RAID arrays (md) are disks, under their mapper and md names.
TEST_F(FakeMachine, DeviceMapperAndRaidDevicesAreDisks) {
    fs::path dm = Disk("virtual/block", "dm-0", 32 << 20, "253:0");
    Put(dm / "dm" / "name", "vg-data");
    fs::create_directories(dir_ / "dev" / "mapper");
    enumtest::MakeSparseFile(Node("mapper/vg-data"), 32 << 20);
    enumtest::WriteAt(Node("mapper/vg-data"), 0, enumtest::FakeNtfsBootSector("Data"));
    fs::path md = Disk("virtual/block", "md127", 64 << 20, "9:127");
    ASSERT_TRUE(enumtest::RunSfdisk(Node("md127"), "label: gpt\\nsize=20MiB\\n"));
    KernelPartition(md, "md127p1", 1, 2048, 40960, "259:0");

    CEnumDeviceEx enumerator(paths_);
    ASSERT_EQ(enumerator.Init(), kResultSuccess);
    IStorageDevice* mapped = DiskNamed(enumerator, "mapper/vg-data");
    ASSERT_NE(mapped, nullptr);
    EXPECT_EQ(DiskInfo(mapped)->partitionScheme, 0u);
    EXPECT_EQ(DiskInfo(mapped)->sectorCount, 65536);
    EXPECT_EQ(DiskInfo(mapped)->deviceId, 253 << 24);
    EXPECT_STREQ(DiskInfo(mapped)->modelName, "dm-0");
    std::vector<IStorageDevice*> volumes = Volumes(enumerator, mapped);
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_STREQ(VolumeInfo(volumes[0])->bsdName, "mapper/vg-data");
    EXPECT_EQ(VolumeInfo(volumes[0])->partitionNumber, -1);
    EXPECT_EQ(VolumeInfo(volumes[0])->fileSystemType, 3u);
    EXPECT_STREQ(VolumeInfo(volumes[0])->volumeName, "Data");

    IStorageDevice* raid = DiskNamed(enumerator, "md127");
    ASSERT_NE(raid, nullptr);
    EXPECT_EQ(DiskInfo(raid)->partitionScheme, 2u);
    EXPECT_EQ(VolumeNames(enumerator, raid), (std::vector<std::string>{"md127p1"}));
}

TEST_F(FakeMachine, TwoCallPatternAndLifecycle) {
    CEnumDeviceEx enumerator(paths_);
    int count = 0;
    EXPECT_EQ(ResultKindOf(enumerator.EnumDiskDevice(nullptr, count)), kResultNotInitialised);
    EXPECT_EQ(ResultKindOf(enumerator.Uninit()), kResultNotInitialised);
    ASSERT_EQ(enumerator.Init(), kResultSuccess);
    IStorageDevice* sda = Disks(enumerator)[1];

    // Asking again hands out the same devices: nothing new is made per call.
    std::vector<IStorageDevice*> first = Volumes(enumerator, sda);
    EXPECT_EQ(Volumes(enumerator, sda), first);

    IStorageDevice* one[1] = {};
    count = 1;
    EXPECT_EQ(ResultKindOf(enumerator.EnumVolumeDevice(sda, one, count)), kResultBufferTooSmall);
    count = 0;
    EXPECT_EQ(ResultKindOf(enumerator.EnumVolumeDevice(sda, one, count)), kResultBufferTooSmall);
    count = 0;
    EXPECT_EQ(enumerator.EnumDiskDevice(one, count), kResultSuccess);
    EXPECT_EQ(one[0], nullptr);
    count = 1;
    EXPECT_EQ(ResultKindOf(enumerator.EnumPartitionDevice(sda, one, count)), kResultBufferTooSmall);

    EXPECT_EQ(ResultKindOf(enumerator.EnumVolumeDevice(nullptr, nullptr, count)),
              kResultMissingObject);
    EXPECT_EQ(ResultKindOf(enumerator.EnumPartitionDevice(nullptr, nullptr, count)),
              kResultMissingObject);
    int stranger = 0;
    auto* unknown = reinterpret_cast<IStorageDevice*>(&stranger);
    EXPECT_EQ(ResultKindOf(enumerator.EnumVolumeDevice(unknown, nullptr, count)),
              kResultBadArgument);
    EXPECT_EQ(ResultKindOf(enumerator.EnumPartitionDevice(unknown, nullptr, count)),
              kResultBadArgument);

    EXPECT_EQ(enumerator.Uninit(), kResultSuccess);
    EXPECT_EQ(ResultKindOf(enumerator.EnumVolumeDevice(sda, nullptr, count)),
              kResultNotInitialised);
    // A second Init starts afresh.
    ASSERT_EQ(enumerator.Init(), kResultSuccess);
    EXPECT_EQ(Disks(enumerator).size(), 3u);
}

TEST_F(FakeMachine, NoDiskAtAll) {
    DeviceSystemPaths empty = paths_;
    empty.sysfsRoot = (dir_ / "nothing").string();
    CEnumDeviceEx enumerator(empty);
    EXPECT_EQ(ResultKindOf(enumerator.Init()), kResultFailed);
    int count = 0;
    EXPECT_EQ(ResultKindOf(enumerator.EnumDiskDevice(nullptr, count)), kResultNotInitialised);
}

}  // namespace
