#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "DeviceTestData.h"
#include "ImageDevice.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

using DevicePtr = std::unique_ptr<IStorageDevice>;

class OztDeviceTest : public testing::Test {
protected:
    TempDir dir_;
    std::filesystem::path image_ = dir_ / "image.ozt";
    std::vector<uint8_t> sectors_ = PatternBytes(16 * 512, 5);
};

TEST_F(OztDeviceTest, SectorZeroLiesAtTheBlocksDataOffset) {
    WriteOztImage(image_, sectors_, 8192, "disk2");
    DevicePtr device(CreateOztDevice(image_.c_str()));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->GetType(), kStorageDeviceOzt);
    EXPECT_EQ(device->GetTotalSectors(), 16);
    std::vector<uint8_t> buffer(512);
    ASSERT_TRUE(device->ReadSector(buffer.data(), 0, 1));
    EXPECT_EQ(std::memcmp(buffer.data(), sectors_.data(), 512), 0);
    const COZTDeviceInfoStruct& info = *OztRecordOf(device->GetPrivateData());
    EXPECT_STREQ(info.imagePath, image_.c_str());
    EXPECT_STREQ(info.deviceName, "disk2");
}

TEST_F(OztDeviceTest, RefusesFilesThatAreNotWholeImages) {
    struct Case {
        const char* name;
        void (*spoil)(std::vector<uint8_t>& file);
    } cases[] = {
        {"length one byte longer than recorded", [](auto& file) { file.push_back(0); }},
        {"length one byte shorter than recorded", [](auto& file) { file.pop_back(); }},
        {"magic without its NUL", [](auto& file) { file[3] = 'x'; }},
        {"other magic", [](auto& file) { file[0] = 'O'; }},
        {"block length 1191", [](auto& file) { file[4] = 0xA7; }},
        {"block length 1193", [](auto& file) { file[4] = 0xA9; }},
        {"block length huge", [](auto& file) { file[7] = 0x7F; }},
        {"block length negative", [](auto& file) { file[7] = 0x80; }},
        {"sector size 1000", [](auto& file) { file[8] = 0xE8, file[9] = 0x03; }},
        {"sector size zero", [](auto& file) { file[8] = 0, file[9] = 0; }},
        {"only the tag", [](auto& file) { file.resize(8); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteOztImage(image_, sectors_, 4096, "disk2");
        auto file = ReadFile(image_);
        c.spoil(file);
        WriteFile(image_, file);
        EXPECT_EQ(CreateOztDevice(image_.c_str()), nullptr);
    }
    EXPECT_EQ(CreateOztDevice(nullptr), nullptr);
    EXPECT_EQ(CreateOztDevice((dir_ / "missing.ozt").c_str()), nullptr);
}

TEST_F(OztDeviceTest, PathsLongerThanTheirFieldAreRefused) {
    const std::string longPath = "/" + std::string(1023, 'p');
    EXPECT_EQ(CreateOztDeviceImp(longPath.c_str()), nullptr);
    COZTDeviceInfoStruct info{};
    EXPECT_EQ(KvFillOztFileInfo(&info, longPath.c_str()), -1);
    EXPECT_EQ(KvFillOztFileInfo(nullptr, image_.c_str()), -1);
}

TEST_F(OztDeviceTest, ReopeningBySavedBlockChecksItIsTheSameImage) {
    COZTDeviceInfoStruct saved = WriteOztImage(image_, sectors_, 4096, "disk2");
    std::strcpy(saved.imagePath, image_.c_str());
    DevicePtr same(CreateOztDeviceByOztInfo(&saved, sizeof(saved), nullptr));
    EXPECT_NE(same, nullptr);
    EXPECT_EQ(CreateOztDeviceByOztInfo(&saved, sizeof(saved) - 1, image_.c_str()), nullptr);
    EXPECT_EQ(CreateOztDeviceByOztInfo(nullptr, sizeof(saved), image_.c_str()), nullptr);

    struct Case {
        const char* name;
        void (*change)(COZTDeviceInfoStruct& info);
    } cases[] = {
        {"device name", [](auto& info) { std::strcpy(info.deviceName, "disk3"); }},
        {"sector count", [](auto& info) { info.sectorCount++; }},
        {"time stamp", [](auto& info) { info.timeStamp++; }},
        {"data offset", [](auto& info) { info.dataOffset += 512; }},
        {"file length", [](auto& info) { info.imageFileLength--; }},
        {"sector size", [](auto& info) { info.sectorSizeHigh = 1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        COZTDeviceInfoStruct other = saved;
        c.change(other);
        EXPECT_EQ(CreateOztDeviceByOztInfo(&other, sizeof(other), image_.c_str()), nullptr);
    }
}

TEST_F(OztDeviceTest, RecordWithoutPathTerminatorIsRefused) {
    COZTDeviceInfoStruct saved = WriteOztImage(image_, sectors_, 4096, "disk2");
    std::memset(saved.imagePath, 'a', sizeof(saved.imagePath));
    EXPECT_EQ(CreateOztDeviceByOztInfo(&saved, sizeof(saved), nullptr), nullptr);
}

}  // namespace
