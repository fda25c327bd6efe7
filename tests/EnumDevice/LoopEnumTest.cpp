#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "EnumDevice.h"
#include "EnumTestSupport.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using enumtest::DiskInfo;
using enumtest::PartitionInfo;
using enumtest::Quote;
using enumtest::VolumeInfo;
using harbex::test::RunCommand;

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// A loop device attached with the given losetup options, detached at the end.
class ScopedLoop {
public:
    ScopedLoop(const fs::path& image, const std::string& options) {
        auto result = RunCommand("losetup -f --show " + options + " " + Quote(image.string()) +
                                 " 2>/dev/null");
        if (result.status == 0)
            device_ = FirstLine(result.output);
    }
    ~ScopedLoop() {
        if (!device_.empty())
            RunCommand("losetup -d " + device_ + " 2>/dev/null");
    }
    ScopedLoop(const ScopedLoop&) = delete;
    ScopedLoop& operator=(const ScopedLoop&) = delete;
    const std::string& device() const { return device_; }
    std::string name() const { return fs::path(device_).filename().string(); }
    // The node of partition `n`. A kernel without the table's parser leaves the
    // partitions to partx, which adds them one by one.
    std::string Partition(int n) const {
        std::string node = device_ + "p" + std::to_string(n);
        for (int i = 0; i < 50 && !fs::exists(node); ++i) {
            if (i == 10)
                RunCommand("partx -a " + device_ + " 2>/dev/null");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return node;
    }

private:
    std::string device_;
};

// A FUSE mount, unmounted at the end.
class ScopedMount {
public:
    ScopedMount(const std::string& command, const std::string& node, const fs::path& point) {
        fs::create_directories(point);
        if (RunCommand(command + " " + node + " " + Quote(point.string()) + " >/dev/null 2>&1")
                .status == 0) {
            point_ = point;
        }
    }
    ~ScopedMount() {
        if (!point_.empty())
            RunCommand("umount " + Quote(point_.string()) + " 2>/dev/null");
    }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool mounted() const { return !point_.empty(); }

private:
    fs::path point_;
};

// A linear device-mapper mapping over a whole device, removed at the end.
class ScopedMapping {
public:
    ScopedMapping(const std::string& name, const std::string& device, int64_t sectors) {
        if (RunCommand("dmsetup create " + name + " --table '0 " + std::to_string(sectors) +
                       " linear " + device + " 0' >/dev/null 2>&1")
                .status == 0) {
            name_ = name;
        }
    }
    ~ScopedMapping() {
        if (!name_.empty())
            RunCommand("dmsetup remove " + name_ + " >/dev/null 2>&1");
    }
    ScopedMapping(const ScopedMapping&) = delete;
    ScopedMapping& operator=(const ScopedMapping&) = delete;
    bool created() const { return !name_.empty(); }

private:
    std::string name_;
};

bool Make(const std::string& command) {
    return RunCommand(command + " >/dev/null 2>&1").status == 0;
}

IStorageDevice* DiskNamed(CEnumDeviceEx& enumerator, const std::string& name) {
    int count = 0;
    enumerator.EnumDiskDevice(nullptr, count);
    std::vector<IStorageDevice*> disks(static_cast<size_t>(count));
    enumerator.EnumDiskDevice(disks.data(), count);
    for (IStorageDevice* disk : disks) {
        if (name == DiskInfo(disk)->bsdName)
            return disk;
    }
    return nullptr;
}

std::vector<IStorageDevice*> VolumesOf(CEnumDeviceEx& enumerator, IStorageDevice* disk) {
    int count = 0;
    enumerator.EnumVolumeDevice(disk, nullptr, count);
    std::vector<IStorageDevice*> volumes(static_cast<size_t>(count));
    enumerator.EnumVolumeDevice(disk, volumes.data(), count);
    return volumes;
}

bool StartsWithNtfs(IStorageDevice* volume) {
    std::vector<uint8_t> sector(volume->GetSectorSize());
    return volume->ReadSector(sector.data(), 0, 1) &&
           std::memcmp(sector.data() + 3, "NTFS    ", 8) == 0;
}

// Real loop devices, real file systems, FUSE mounts: what the user would see.
TEST(LoopEnumeration, ListsDisksPartitionsAndVolumesAsTheKernelHasThem) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "loop devices and mounts need root";
    harbex::test::TempDir dir;
    // Labels then come from the mount point or the kernel name only.
    ScopedVolumeAnalyzeFactories noAnalysers({});

    // A GPT disk split by the kernel: FAT unmounted, NTFS and exFAT mounted.
    fs::path gptImage = dir / "gpt disk.img";
    enumtest::MakeSparseFile(gptImage, 96 << 20);
    ASSERT_TRUE(
        enumtest::RunSfdisk(gptImage.string(), "label: gpt\\nsize=24MiB\\nsize=24MiB\\n,\\n"));
    // An MBR disk with two partitions of equal size that the kernel leaves whole.
    fs::path mbrImage = dir / "mbr.img";
    enumtest::MakeSparseFile(mbrImage, 64 << 20);
    ASSERT_TRUE(enumtest::RunSfdisk(mbrImage.string(), "label: dos\\nsize=20MiB\\nsize=20MiB\\n"));
    // A disk of 4 KiB sectors.
    fs::path bigSectorImage = dir / "4k.img";
    enumtest::MakeSparseFile(bigSectorImage, 64 << 20);

    ScopedLoop gpt(gptImage, "-P");
    ScopedLoop mbr(mbrImage, "");
    ScopedLoop bigSector(bigSectorImage, "-P -b 4096");
    if (gpt.device().empty() || mbr.device().empty() || bigSector.device().empty()) {
        GTEST_SKIP() << "no free loop devices";
    }
    ASSERT_TRUE(RunCommand("printf 'label: gpt\\nsize=16MiB\\n,\\n' | sfdisk -q " +
                           bigSector.device() + " >/dev/null 2>&1")
                    .status == 0);
    ASSERT_TRUE(Make("mkfs.fat -n HBXFAT " + gpt.Partition(1)));
    ASSERT_TRUE(Make("mkntfs -Q -F -L HBXNTFS " + gpt.Partition(2)));
    ASSERT_TRUE(Make("mkfs.exfat -L HBXEXFAT " + gpt.Partition(3)));
    bigSector.Partition(2);
    ScopedMount ntfs("ntfs-3g", gpt.Partition(2), dir / "ntfs volume");
    ScopedMount exfat("mount.exfat-fuse", gpt.Partition(3), dir / "exfatvol");
    ASSERT_TRUE(ntfs.mounted());
    ASSERT_TRUE(exfat.mounted());
    auto gptDump = enumtest::SfdiskDumpStarts(gpt.device());
    auto bigDump = enumtest::SfdiskDumpStarts(bigSector.device());
    ASSERT_EQ(gptDump.size(), 3u);
    ASSERT_EQ(bigDump.size(), 2u);

    CEnumDeviceEx enumerator;
    ASSERT_EQ(enumerator.Init(), kResultSuccess);

    IStorageDevice* gptDisk = DiskNamed(enumerator, gpt.name());
    ASSERT_NE(gptDisk, nullptr);
    CCollectDiskDeviceInfoStruct* gptInfo = DiskInfo(gptDisk);
    EXPECT_EQ(gptInfo->sectorSize, 512);
    EXPECT_EQ(gptInfo->sectorCount, (96 << 20) / 512);
    EXPECT_EQ(gptInfo->partitionScheme, 2u);
    EXPECT_EQ(gptInfo->busType, 5u);
    EXPECT_STREQ(gptInfo->modelName, "gpt disk.img");

    std::vector<IStorageDevice*> volumes = VolumesOf(enumerator, gptDisk);
    ASSERT_EQ(volumes.size(), 3u);
    const char* names[] = {"p1", "ntfs volume", "exfatvol"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        CCollectedVolumeDeviceInfoStruct* info = VolumeInfo(volumes[i]);
        EXPECT_EQ(info->partitionNumber, static_cast<int32_t>(i + 1));
        EXPECT_EQ(info->startSector, gptDump[i].first);
        EXPECT_EQ(info->sectorCount, gptDump[i].second);
        EXPECT_EQ(info->sectorSize, 512u);
        EXPECT_EQ(info->mounted, i == 0 ? 0u : 1u);
        std::string expectedName = i == 0 ? gpt.name() + names[0] : names[i];
        EXPECT_EQ(std::string(info->volumeName), expectedName);
        EXPECT_EQ(std::string(info->bsdName), gpt.name() + "p" + std::to_string(i + 1));
    }
    EXPECT_TRUE(StartsWithNtfs(volumes[1]));

    IStorageDevice* mbrDisk = DiskNamed(enumerator, mbr.name());
    ASSERT_NE(mbrDisk, nullptr);
    EXPECT_EQ(DiskInfo(mbrDisk)->partitionScheme, 1u);
    std::vector<IStorageDevice*> halves = VolumesOf(enumerator, mbrDisk);
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(VolumeInfo(halves[0])->partitionNumber, 1);
    EXPECT_EQ(VolumeInfo(halves[1])->partitionNumber, 2);
    EXPECT_EQ(VolumeInfo(halves[0])->sectorCount, 40960);
    EXPECT_EQ(VolumeInfo(halves[1])->sectorCount, 40960);
    EXPECT_NE(VolumeInfo(halves[0])->startSector, VolumeInfo(halves[1])->startSector);
    EXPECT_EQ(VolumeInfo(halves[1])->mounted, 0u);
    EXPECT_EQ(halves[1]->GetType(), kStorageDeviceVolume);

    IStorageDevice* bigDisk = DiskNamed(enumerator, bigSector.name());
    ASSERT_NE(bigDisk, nullptr);
    EXPECT_EQ(DiskInfo(bigDisk)->sectorSize, 4096);
    EXPECT_EQ(DiskInfo(bigDisk)->sectorCount, (64 << 20) / 4096);
    std::vector<IStorageDevice*> bigVolumes = VolumesOf(enumerator, bigDisk);
    ASSERT_EQ(bigVolumes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(VolumeInfo(bigVolumes[i])->sectorSize, 4096u);
        EXPECT_EQ(VolumeInfo(bigVolumes[i])->startSector, bigDump[i].first);
        EXPECT_EQ(VolumeInfo(bigVolumes[i])->sectorCount, bigDump[i].second);
    }
    EXPECT_EQ(enumerator.Uninit(), kResultSuccess);
}

// A device-mapper mapping (as LVM and cryptsetup make them) is a disk under
// its mapper name, and a volume of its own when it holds no partition table.
TEST(LoopEnumeration, DeviceMapperMappingIsADiskUnderItsName) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "device-mapper needs root";
    if (RunCommand("command -v dmsetup >/dev/null 2>&1").status != 0)
        GTEST_SKIP() << "dmsetup is not installed";
    harbex::test::TempDir dir;
    ScopedVolumeAnalyzeFactories noAnalysers({});
    const fs::path image = dir / "mapped.img";
    enumtest::MakeSparseFile(image, 32 << 20);
    ScopedLoop loop(image, "");
    if (loop.device().empty())
        GTEST_SKIP() << "no free loop devices";
    const std::string name = "harbex-test-" + std::to_string(getpid());
    ScopedMapping mapping(name, loop.device(), (32 << 20) / 512);
    if (!mapping.created())
        GTEST_SKIP() << "the kernel offers no device-mapper here";

    CEnumDeviceEx enumerator;
    ASSERT_EQ(enumerator.Init(), kResultSuccess);
    IStorageDevice* disk = DiskNamed(enumerator, "mapper/" + name);
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(DiskInfo(disk)->sectorCount, (32 << 20) / 512);
    EXPECT_EQ(DiskInfo(disk)->partitionScheme, 0u);
    std::vector<IStorageDevice*> volumes = VolumesOf(enumerator, disk);
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(std::string(VolumeInfo(volumes[0])->bsdName), "mapper/" + name);
    EXPECT_EQ(VolumeInfo(volumes[0])->partitionNumber, -1);
    EXPECT_EQ(VolumeInfo(volumes[0])->sectorCount, (32 << 20) / 512);
    EXPECT_EQ(enumerator.Uninit(), kResultSuccess);
}

}  // namespace
