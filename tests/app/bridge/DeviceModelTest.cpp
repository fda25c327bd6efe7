#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "BridgeFakes.h"
#include "DiskVolumeNodeData.h"
#include "EnumDevice.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"
#include "KvUIScan.h"
#include "SaveRestoreResult.h"
#include "TestSupport.h"

namespace {

using namespace bridgetest;

constexpr uint32_t kBusSata = 2;
constexpr uint32_t kBusUsb = 4;
constexpr uint32_t kSchemeGpt = 2;
constexpr uint8_t kEfiSystem[16] = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                    0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
constexpr uint8_t kBasicData[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                    0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};

// One internal SATA disk with a volume, one USB stick with an EFI System
// partition and a data volume.
class DeviceModelTest : public ::testing::Test {
protected:
    DeviceModelTest()
        : internal(MakeDisk("Internal SSD", kBusSata, kSchemeGpt, 0x08000000)),
          internalVolume(MakeVolume("System", internal.get(), 0x08000001, kBasicData)),
          stick(MakeDisk("Stick", kBusUsb, kSchemeGpt, 0x08000010)),
          efi(MakeVolume("EFI", stick.get(), 0x08000011, kEfiSystem)),
          data(MakeVolume("Data", stick.get(), 0x08000012, kBasicData)) {
        enumerator.disks = {internal.get(), stick.get()};
        enumerator.volumes[internal.get()] = {internalVolume.get()};
        enumerator.volumes[stick.get()] = {efi.get(), data.get()};
    }

    FakeEnumerator enumerator;
    std::unique_ptr<RecordDevice> internal, internalVolume, stick, efi, data;
};

TEST_F(DeviceModelTest, DeviceListHoldsOnlyUsbDisksWithTheirScannableVolumes) {
    KvUIDeviceData model(&enumerator);
    ASSERT_TRUE(model.InitDeviceInfo());
    EXPECT_EQ(model.GetInitState(), KvUIDeviceData::kBuilt);

    std::list<_DiskVolumeData> list;
    model.GetAllDeviceInfo(list);
    ASSERT_EQ(list.size(), 1u);
    const _DiskVolumeData& disk = list.front();
    EXPECT_STREQ(disk.name, "Stick");
    EXPECT_EQ(disk.diskIndex, 1);
    EXPECT_EQ(disk.volumeIndex, -1);
    EXPECT_EQ(disk.isUSB, 1);
    EXPECT_EQ(disk.capacity, 2048u * 512u);
    EXPECT_EQ(disk.deviceNumber, 0x08000010);
    ASSERT_EQ(disk.volumes.size(), 1u);  // the EFI System partition is left out
    EXPECT_STREQ(disk.volumes.front().name, "Data");
    EXPECT_EQ(disk.volumes.front().diskIndex, 1);
    EXPECT_EQ(disk.volumes.front().volumeIndex, 1);  // its place in the disk's own list

    // The internal disk is still a disk the scan can be pointed at.
    EXPECT_EQ(model.IsDiskStorage(internal.get()), 1);
    EXPECT_EQ(model.IsDiskStorage(data.get()), 0);
    EXPECT_EQ(model.IsVolumeStorageSupported(data.get()), 1);
    EXPECT_EQ(model.IsVolumeStorageSupported(efi.get()), 0);
    EXPECT_EQ(model.IsVolumeStorageSupported(internal.get()), 0);
    EXPECT_EQ(model.GetVolumeInfo(internal.get()), nullptr);
}

// The device page's rows: each USB disk in enumeration order, its volumes as
// its children, each row describing its own device.
TEST_F(DeviceModelTest, DevicePageRowsAreTheUsbDisksWithTheirVolumes) {
    auto blank = MakeDisk("Blank", kBusUsb, kSchemeGpt, 0x08000020);
    enumerator.disks.push_back(blank.get());
    enumerator.volumes[blank.get()] = {};
    KvUIDeviceData* model = KvUIDeviceData::instance();
    KvUIScan::instance()->ForgetResults();
    model->UseEnumerator(&enumerator);
    // The process's list goes back to the system's devices, whatever fails.
    struct SystemDevices {
        KvUIDeviceData* model;
        ~SystemDevices() {
            model->UseEnumerator(CreateEnumDeviceEx());
            model->InitDeviceInfo();
        }
    } restore{model};
    ASSERT_TRUE(model->InitDeviceInfo());

    std::vector<std::shared_ptr<DiskVolumeNodeData>> rows;
    KvUIController::GetDeviceInfoToArray(nullptr);
    KvUIController::GetDeviceInfoToArray(&rows);
    ASSERT_EQ(rows.size(), 2u);
    const DiskVolumeNodeData& stickRow = *rows[0];
    EXPECT_EQ(stickRow.name(), "Stick");
    EXPECT_EQ(stickRow.diskPath(), "/dev/Stick");
    EXPECT_EQ(stickRow.diskIndex(), 1);
    EXPECT_EQ(stickRow.volumeIndex(), -1);
    EXPECT_EQ(stickRow.capacity(), 2048u * 512u);
    EXPECT_EQ(stickRow.isUSB(), 1);
    ASSERT_EQ(stickRow.numberOfChildren(), 1u);
    const DiskVolumeNodeData& dataRow = *stickRow.childAtIndex(0);
    EXPECT_EQ(dataRow.name(), "Data");
    EXPECT_EQ(dataRow.diskPath(), "/dev/Data");
    EXPECT_EQ(dataRow.diskIndex(), 1);
    EXPECT_EQ(dataRow.volumeIndex(), 1);
    EXPECT_EQ(dataRow.capacity(), 1024u * 512u);
    EXPECT_EQ(dataRow.numberOfChildren(), 0u);
    EXPECT_EQ(rows[1]->name(), "Blank");
    EXPECT_EQ(rows[1]->diskIndex(), 2);
    EXPECT_EQ(rows[1]->numberOfChildren(), 0u);

    // Rows are appended: the caller empties its list before a new request.
    KvUIController::GetDeviceInfoToArray(&rows);
    EXPECT_EQ(rows.size(), 4u);
}

// A memory card in a built-in reader and a disk that says it is removable
// are external drives as a USB stick is; the internal disk stays out.
TEST_F(DeviceModelTest, MemoryCardsAndRemovableDisksAreExternalDrives) {
    namespace fs = std::filesystem;
    harbex::test::TempDir dir;
    const fs::path sys = dir / "sys";
    auto link = [&](const std::string& devicePath, const char* name) {
        const fs::path disk = sys / "devices" / devicePath / name;
        fs::create_directories(disk);
        fs::create_directories(sys / "class" / "block");
        fs::create_directory_symlink(disk, sys / "class" / "block" / name);
        return disk;
    };
    link("pci0000:00/0000:00:1c.0/0000:02:00.0/mmc_host/mmc0/mmc0:0001/block", "mmcblk0");
    std::ofstream(link("pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0/block", "sdb") /
                  "removable")
        << "1\n";

    auto card = MakeDisk("mmcblk0", 0, kSchemeGpt, 0x0B300000);
    auto bay = MakeDisk("sdb", kBusSata, kSchemeGpt, 0x08000010);
    enumerator.disks = {internal.get(), card.get(), bay.get()};
    KvUIDeviceData model(&enumerator, sys.string());
    ASSERT_TRUE(model.InitDeviceInfo());
    std::list<_DiskVolumeData> list;
    model.GetAllDeviceInfo(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_STREQ(list.front().name, "mmcblk0");
    EXPECT_EQ(list.front().isUSB, 1);
    EXPECT_STREQ(list.back().name, "sdb");
}

// A disk record as the device list gives it, with one volume.
_DiskVolumeData ListedDisk(const char* model, const char* node, int32_t number, int disk,
                           const char* volumeName, const char* volumeNode) {
    _DiskVolumeData record;
    record.name = model;
    record.bsdName = node;
    record.deviceNumber = number;
    record.capacity = 16u << 30;
    record.diskIndex = disk;
    _DiskVolumeData volume;
    volume.name = volumeName;
    volume.bsdName = volumeNode;
    volume.deviceNumber = number + 1;
    volume.capacity = 8u << 30;
    volume.startSector = 2048;
    volume.fileSystem = 1;
    volume.diskIndex = disk;
    volume.volumeIndex = 0;
    record.volumes.push_back(volume);
    return record;
}

// A saved result finds its own device by what identifies it, wherever the
// device stands in today's list, and never another one of the same size.
TEST(SavedDeviceMatch, FindsTheSavedDeviceByWhatIdentifiesIt) {
    using SaveRestoreResult::MatchSavedDevice;
    using SaveRestoreResult::SavedDevice;
    using SaveRestoreResult::SavedIdentity;
    SavedDevice stickVolume;
    stickVolume.capacity = 8u << 30;
    stickVolume.diskIndex = 1;
    stickVolume.volumeIndex = 0;
    stickVolume.fileSystem = 1;
    stickVolume.name = "PHOTOS";
    stickVolume.identity = SavedIdentity{0x08000011, 2048, "sdb1", "SanDisk Cruzer"};
    SavedDevice stickDisk = stickVolume;
    stickDisk.capacity = 16u << 30;
    stickDisk.volumeIndex = -1;
    stickDisk.fileSystem = -1;
    stickDisk.name = "SanDisk Cruzer";
    stickDisk.identity = SavedIdentity{0x08000010, -1, "sdb", "SanDisk Cruzer"};
    SavedDevice oldFile = stickVolume;
    oldFile.identity.reset();

    const _DiskVolumeData card =
        ListedDisk("SD Card", "mmcblk0", 0x0B300000, 1, "PHOTOS", "mmcblk0p1");
    const _DiskVolumeData stickNow =
        ListedDisk("SanDisk Cruzer", "sdc", 0x08000020, 2, "PHOTOS", "sdc1");
    const _DiskVolumeData stickThen =
        ListedDisk("SanDisk Cruzer", "sdb", 0x08000010, 1, "PHOTOS", "sdb1");
    const _DiskVolumeData twin =
        ListedDisk("SanDisk Cruzer", "sdd", 0x08000030, 3, "PHOTOS", "sdd1");
    struct Case {
        const char* name;
        const SavedDevice* saved;
        std::list<_DiskVolumeData> disks;
        const char* node;  // of the device found; null for none
    };
    const Case cases[] = {
        // Another device of the same size now stands at the saved place.
        {"moved volume", &stickVolume, {card, stickNow}, "sdc1"},
        {"moved disk", &stickDisk, {card, stickNow}, "sdc"},
        {"not connected", &stickVolume, {card}, nullptr},
        {"two alike, one at the saved node", &stickVolume, {stickThen, twin}, "sdb1"},
        {"two alike, neither at the saved node", &stickVolume, {stickNow, twin}, nullptr},
        {"old file, one of that name", &oldFile, {stickNow}, "sdc1"},
        {"old file, two of that name", &oldFile, {card, stickNow}, nullptr},
    };
    for (const Case& c : cases) {
        const _DiskVolumeData* found = MatchSavedDevice(*c.saved, c.disks);
        if (c.node == nullptr) {
            EXPECT_EQ(found, nullptr) << c.name;
        } else {
            ASSERT_NE(found, nullptr) << c.name;
            EXPECT_STREQ(found->bsdName, c.node) << c.name;
        }
    }
}

TEST_F(DeviceModelTest, IndexQueries) {
    KvUIDeviceData model(&enumerator);
    ASSERT_TRUE(model.InitDeviceInfo());
    struct Case {
        int disk;
        int volume;
        IStorageDevice* expected;
    } cases[] = {
        {0, -1, internal.get()}, {-1, 0, nullptr}, {1, 0, efi.get()}, {1, 1, data.get()},
        {1, 2, nullptr},         {2, -1, nullptr}, {-5, -1, nullptr}, {0, -2, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(model.GetStorageByDiskVolumeIndex(c.disk, c.volume), c.expected)
            << c.disk << "," << c.volume;

    int disk = 0;
    int volume = 0;
    EXPECT_TRUE(model.GetDiskVolumeIndexByStorage(data.get(), disk, volume));
    EXPECT_EQ(disk, 1);
    EXPECT_EQ(volume, 1);
    EXPECT_TRUE(model.GetDiskVolumeIndexByStorage(stick.get(), disk, volume));
    EXPECT_EQ(disk, 1);
    EXPECT_EQ(volume, -1);
    RecordDevice stranger(kStorageDeviceVolume);
    EXPECT_FALSE(model.GetDiskVolumeIndexByStorage(&stranger, disk, volume));
    EXPECT_EQ(disk, -1);
    EXPECT_EQ(model.GetDiskStorageByVolumeStorage(data.get()), stick.get());
    EXPECT_EQ(model.GetDiskStorageByVolumeStorage(nullptr), nullptr);
}

// When a medium goes away the remaining disks are numbered anew: a record
// made before still finds its own device, or none, never the neighbour.
TEST_F(DeviceModelTest, RecordsFindTheirDeviceAfterIndexesShift) {
    KvUIDeviceData model(&enumerator);
    ASSERT_TRUE(model.InitDeviceInfo());
    std::list<_DiskVolumeData> before;
    model.GetAllDeviceInfo(before);
    ASSERT_EQ(before.size(), 1u);
    const _DiskVolumeData stickRecord = before.front();
    const _DiskVolumeData dataRecord = before.front().volumes.front();

    // A second stick appears in front of the first.
    auto other = MakeDisk("Other", kBusUsb, 0, 0x08000020);
    auto otherVolume = MakeVolume("Other data", other.get(), 0x08000021);
    enumerator.disks = {internal.get(), other.get(), stick.get()};
    enumerator.volumes[other.get()] = {otherVolume.get()};
    model.Clear();
    ASSERT_TRUE(model.InitDeviceInfo());

    EXPECT_EQ(model.GetStorageByDiskVolumeIndex(stickRecord.diskIndex, -1), other.get());
    EXPECT_EQ(model.GetStorageByRecord(stickRecord), stick.get());
    EXPECT_EQ(model.GetStorageByRecord(dataRecord), data.get());

    // And then the stick is pulled.
    enumerator.disks = {internal.get(), other.get()};
    model.Clear();
    ASSERT_TRUE(model.InitDeviceInfo());
    EXPECT_EQ(model.GetStorageByRecord(stickRecord), nullptr);
    EXPECT_EQ(model.GetStorageByRecord(dataRecord), nullptr);
}

// A failed enumeration ends in a state of its own, so that whoever waits for
// the list hears of it and a later request tries again.
TEST_F(DeviceModelTest, FailedEnumerationEndsInTheFailedState) {
    enumerator.failInit = true;
    KvUIDeviceData model(&enumerator);
    EXPECT_FALSE(model.InitDeviceInfo());
    EXPECT_EQ(model.GetInitState(), KvUIDeviceData::kFailed);
    std::list<_DiskVolumeData> list;
    model.GetAllDeviceInfo(list);
    EXPECT_TRUE(list.empty());

    enumerator.failInit = false;
    EXPECT_TRUE(model.InitDeviceInfo());
    EXPECT_EQ(model.GetInitState(), KvUIDeviceData::kBuilt);
}

// A request for the list starts one build; requests meanwhile start none,
// and after a failed build the next request builds again.
TEST_F(DeviceModelTest, OneBuildAtATime) {
    KvUIDeviceData model(&enumerator);
    EXPECT_TRUE(model.BeginBuilding());
    EXPECT_FALSE(model.BeginBuilding());
    enumerator.failInit = true;
    model.InitDeviceInfo();
    EXPECT_TRUE(model.BeginBuilding());
    enumerator.failInit = false;
    model.InitDeviceInfo();
    EXPECT_FALSE(model.BeginBuilding());
}

TEST_F(DeviceModelTest, ClearReleasesTheEnumerationOnlyOnceBuilt) {
    KvUIDeviceData model(&enumerator);
    model.Clear();
    EXPECT_EQ(enumerator.uninits, 0);
    ASSERT_TRUE(model.InitDeviceInfo());
    model.Clear();
    EXPECT_EQ(enumerator.uninits, 1);
    EXPECT_EQ(model.GetDiskStorageByIndex(0), nullptr);
    EXPECT_EQ(model.IsDiskStorage(internal.get()), 0);
}

TEST(DeviceRecords, DiskFlagsComeFromTheDescription) {
    struct Case {
        const char* name;
        uint32_t bus;
        int usb;
        int attachedImage;
        int ssd;
    } cases[] = {
        {"Fast SSD", 2, 0, 0, 1},
        {"Slow ssd", 4, 1, 0, 0},
        {"disk image", 5, 0, 1, 0},
    };
    for (const Case& c : cases) {
        auto disk = MakeDisk(c.name, c.bus, 0, 1);
        _DiskVolumeData record;
        ASSERT_EQ(
            KvUIDeviceData::GetDiskDataByDiskInfo(DiskRecordOf(disk->GetPrivateData()), record), 1);
        EXPECT_EQ(record.isUSB, c.usb) << c.name;
        EXPECT_EQ(record.isDmg, c.attachedImage) << c.name;
        EXPECT_EQ(record.isSSD, c.ssd) << c.name;
    }
    auto unusable = MakeDisk("busy", 4, 0, 1);
    DiskRecordOf(unusable->GetPrivateData())->kind = 1;
    _DiskVolumeData record;
    EXPECT_EQ(
        KvUIDeviceData::GetDiskDataByDiskInfo(DiskRecordOf(unusable->GetPrivateData()), record), 0);
}

TEST(DeviceRecords, AVolumeWithoutANameOfItsOwnIsNamedByItsLabel) {
    auto disk = MakeDisk("card", 4, 1, 1);
    auto volume = MakeVolume("", disk.get(), 2);
    CCollectedVolumeDeviceInfoStruct* info = VolumeRecordOf(volume->GetPrivateData());
    std::snprintf(info->label, sizeof(info->label), "%s", "CAMERA");
    _DiskVolumeData record;
    ASSERT_EQ(KvUIDeviceData::GetVolumeDataByVolumeInfo(info, record), 1);
    EXPECT_STREQ(record.name, "CAMERA");
    std::snprintf(info->volumeName, sizeof(info->volumeName), "%s", "Photos");
    ASSERT_EQ(KvUIDeviceData::GetVolumeDataByVolumeInfo(info, record), 1);
    EXPECT_STREQ(record.name, "Photos");
}

TEST(DeviceRecords, AppleMapSystemEntriesAreNotScannable) {
    auto disk = MakeDisk("mac disk", 4, 3, 1);
    for (const char* content : {"Apple_partition_map", "Apple_Free", "Apple_HFS"}) {
        auto volume = MakeVolume("v", disk.get(), 2);
        CCollectedVolumeDeviceInfoStruct* info = VolumeRecordOf(volume->GetPrivateData());
        ASSERT_NE(info, nullptr);
        std::snprintf(info->applePartitionContent, sizeof(info->applePartitionContent), "%s",
                      content);
        EXPECT_EQ(KvUIDeviceData::IsSupportVolume(info),
                  std::string(content) == "Apple_HFS" ? 1 : 0)
            << content;
    }
}

}  // namespace
