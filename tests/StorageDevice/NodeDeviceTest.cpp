#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "DeviceTestData.h"
#include "DiskDevice.h"
#include "MessageCenter.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

using DevicePtr = std::unique_ptr<IStorageDevice>;

class NodeDeviceTest : public testing::Test {
protected:
    void SetUp() override { WriteFile(image_, PatternBytes(64 * 512, 7)); }
    TempDir dir_;
    std::filesystem::path image_ = dir_ / "disk.img";
};

TEST_F(NodeDeviceTest, RefusesBadReadArguments) {
    DevicePtr disk(CreateDiskDevice(image_.c_str()));
    ASSERT_TRUE(disk->Open(nullptr));
    std::vector<uint8_t> buffer(512);
    struct Case {
        void* buffer;
        int64_t first;
        int64_t count;
    } cases[] = {{nullptr, 0, 1},
                 {buffer.data(), -1, 1},
                 {buffer.data(), 0, 0},
                 {buffer.data(), INT64_MAX / 256, 1}};
    for (const Case& c : cases) {
        EXPECT_FALSE(disk->ReadSector(c.buffer, c.first, c.count));
        EXPECT_EQ(ResultKindOf(disk->GetLastError()), kResultBadArgument);
        EXPECT_EQ(ResultModuleOf(disk->GetLastError()), kModuleStorageDevice);
    }
}

TEST_F(NodeDeviceTest, ReadPastTheEndIsAShortReadNotZeros) {
    DevicePtr disk(CreateDiskDevice(image_.c_str()));
    ASSERT_TRUE(disk->Open(nullptr));
    std::vector<uint8_t> buffer(2 * 512, 0xEE);
    EXPECT_FALSE(disk->ReadSector(buffer.data(), 63, 2));
    EXPECT_EQ(ResultKindOf(disk->GetLastError()), kResultShortRead);
    EXPECT_TRUE(disk->ReadSector(buffer.data(), 62, 2));
    EXPECT_EQ(disk->GetLastError(), kResultSuccess);
}

TEST_F(NodeDeviceTest, OpenFailuresAndPaths) {
    DevicePtr missing(CreateDiskDevice((dir_ / "missing").c_str()));
    EXPECT_FALSE(missing->Open(nullptr));
    EXPECT_EQ(ResultKindOf(missing->GetLastError()), kResultFailed);
    EXPECT_TRUE(missing->IsPermitted());
    EXPECT_FALSE(missing->Close());

    const std::string longPath = "/" + std::string(127, 'a');
    EXPECT_EQ(CreateDiskDevice(longPath.c_str()), nullptr);
    EXPECT_EQ(CreateVolumeDevice(longPath.c_str()), nullptr);
    EXPECT_FALSE(missing->Open(const_cast<char*>(longPath.c_str())));
    EXPECT_EQ(ResultKindOf(missing->GetLastError()), kResultBadArgument);

    // A path given to Open replaces the stored one.
    EXPECT_TRUE(missing->Open(const_cast<char*>(image_.c_str())));
    EXPECT_EQ(missing->GetTotalSectors(), 64);
    EXPECT_FALSE(missing->IOCtl(0x40046418, nullptr));
    EXPECT_EQ(ResultKindOf(missing->GetLastError()), kResultNotSupported);
    EXPECT_TRUE(missing->Close());
}

TEST_F(NodeDeviceTest, MissingRightsClearThePermittedFlag) {
    std::filesystem::permissions(image_, std::filesystem::perms::none);
    // Root reads anything: drop to an unprivileged user in a child process.
    EXPECT_EXIT(
        {
            if (IsRoot() && setuid(65534) != 0)
                _exit(2);
            DevicePtr disk(CreateDiskDevice(image_.c_str()));
            _exit(!disk->Open(nullptr) && !disk->IsPermitted() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(NodeDeviceTest, AdoptsOnlySaneGeometryFromItsRecord) {
    struct Case {
        int64_t sectorSize;
        int64_t sectorCount;
        uint32_t expectedKind;
    } cases[] = {{4096, 8, 0},
                 {65536, 1, 0},
                 {1000, 8, kResultBadArgument},
                 {256, 8, kResultBadArgument},
                 {131072, 8, kResultBadArgument},
                 {int64_t{1} << 40, 8, kResultBadArgument},
                 {512, -1, kResultBadArgument}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sectorSize);
        DevicePtr disk(CreateDiskDevice(image_.c_str()));
        ASSERT_TRUE(disk->Open(nullptr));
        auto* record = new CCollectDiskDeviceInfoStruct{};
        record->sectorSize = c.sectorSize;
        record->sectorCount = c.sectorCount;
        disk->SetPrivateData(CreateDiskDeviceData(record));
        EXPECT_EQ(ResultKindOf(disk->GetLastError()), c.expectedKind);
        EXPECT_EQ(disk->GetSectorSize(), c.expectedKind == 0 ? c.sectorSize : 512);
        EXPECT_EQ(disk->GetTotalSectors(), c.expectedKind == 0 ? c.sectorCount : 64);
    }
}

TEST_F(NodeDeviceTest, HolderOfAnotherTypeIsAMissingRecord) {
    DevicePtr disk(CreateDiskDevice(image_.c_str()));
    disk->SetPrivateData(CreateVolumeDeviceData(new CCollectedVolumeDeviceInfoStruct{}));
    EXPECT_EQ(ResultKindOf(disk->GetLastError()), kResultMissingObject);
    // The device still owns (and later frees) the holder it was given.
    EXPECT_NE(disk->GetPrivateData(), nullptr);
    disk->SetPrivateData(CreateDiskDeviceData(nullptr));
    EXPECT_EQ(ResultKindOf(disk->GetLastError()), kResultMissingObject);
}

TEST_F(NodeDeviceTest, DiskKeepsACopyOfItsVolumes) {
    CDiskDevice disk(image_.c_str());
    std::vector<CCollectedVolumeDeviceInfoStruct> volumes(2);
    volumes[1].startSector = 2048;
    disk.SetVolumes(volumes);
    volumes.clear();
    std::vector<CCollectedVolumeDeviceInfoStruct> copy(5);
    EXPECT_EQ(disk.GetVolumes(copy), 2u);
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_EQ(copy[1].startSector, 2048);
}

class VolumeDeviceTest : public NodeDeviceTest {
protected:
    void SetUp() override {
        NodeDeviceTest::SetUp();
        CMessageCenter::Instance()->Clear();
        CMessageCenter::Instance()->StartReceiveMessage();
    }
    void TearDown() override {
        CMessageCenter::Instance()->StopReceiveMessage();
        CMessageCenter::Instance()->Clear();
    }
    static int QueuedBadSectorEvents() {
        int events = 0;
        while (auto event = CMessageCenter::Instance()->PopEvent()) {
            events += event->type == EVENT_TYPE_BAD_SECTOR ? 1 : 0;
        }
        return events;
    }
};

TEST_F(VolumeDeviceTest, ReadAtTheEndIsRefusedWithoutABadSector) {
    DevicePtr volume(CreateVolumeDevice(image_.c_str()));
    ASSERT_TRUE(volume->Open(nullptr));
    EXPECT_EQ(volume->GetType(), kStorageDeviceVolume);
    std::vector<uint8_t> buffer(512);
    EXPECT_FALSE(volume->ReadSector(buffer.data(), 64, 1));
    EXPECT_EQ(ResultKindOf(volume->GetLastError()), kResultBadArgument);
    EXPECT_EQ(QueuedBadSectorEvents(), 0);
}

TEST_F(VolumeDeviceTest, FailedReadInsideTheVolumeReportsOneBadSector) {
    DevicePtr volume(CreateVolumeDevice(image_.c_str()));
    ASSERT_TRUE(volume->Open(nullptr));
    // The record claims more sectors than the node holds.
    auto* record = new CCollectedVolumeDeviceInfoStruct{};
    record->sectorSize = 512;
    record->sectorCount = 100;
    volume->SetPrivateData(CreateVolumeDeviceData(record));
    std::vector<uint8_t> buffer(512);
    EXPECT_FALSE(volume->ReadSector(buffer.data(), 80, 1));
    EXPECT_EQ(ResultKindOf(volume->GetLastError()), kResultShortRead);
    EXPECT_EQ(QueuedBadSectorEvents(), 1);
}

}  // namespace
