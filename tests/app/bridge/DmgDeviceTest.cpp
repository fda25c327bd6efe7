#include <gtest/gtest.h>

#include <filesystem>

#include "ImageFiles.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "ScanImages.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using harbex::test::DecompressXz;
using harbex::test::FixturePath;
using harbex::test::TempDir;

// The device the device list holds for the disk image at `path`.
IStorageDevice* DmgDevice(const fs::path& path) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    for (int index = 0;; ++index) {
        IStorageDevice* device = model->GetDiskStorageByIndex(index);
        if (device == nullptr)
            return nullptr;
        const CDMGDeviceInfoStruct* info = DmgRecordOf(device->GetPrivateData());
        if (info != nullptr && path == info->imagePath)
            return device;
    }
}

class DmgDeviceTest : public testing::Test {
protected:
    void TearDown() override {
        // The scans ran on this thread: let their deferred updates arrive here.
        bridgetest::Pump(4500);
        KvUIScan::instance()->ForgetResults();
    }
    TempDir dir_;
};

// A plain sector copy and an image of raw and zero blocks of the same FAT
// volume open as devices and scan to what the command-line scan of the
// volume finds.
TEST_F(DmgDeviceTest, UncompressedImagesOpenAndScan) {
    const fs::path volume = dir_ / "fat16.img";
    const fs::path plain = dir_ / "plain.dmg";
    const fs::path udif = dir_ / "udif.dmg";
    ASSERT_TRUE(DecompressXz(FixturePath("fat/fat16_512.img.xz"), volume));
    ASSERT_TRUE(DecompressXz(FixturePath("fat/fat16_512.img.xz"), plain));
    ASSERT_TRUE(DecompressXz(FixturePath("dmg/fat16_udif.dmg.xz"), udif));
    const std::vector<std::string> expected =
        bridgetest::ToolListing("--complete --deep " + volume.string());
    ASSERT_FALSE(expected.empty());

    for (const fs::path& image : {plain, udif}) {
        SCOPED_TRACE(image.filename().string());
        QString refusal;
        ASSERT_NE(KvUIController::KvOpenDmgFile(QString::fromStdString(image.string()), &refusal),
                  0);
        EXPECT_TRUE(refusal.isEmpty());
        IStorageDevice* device = DmgDevice(image);
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(device->GetTotalSectors(), 65536);
        ASSERT_TRUE(bridgetest::ScanImageDevice(device));
        EXPECT_EQ(bridgetest::BridgeListing(), expected);
        bridgetest::Pump(4500);
        KvUIScan::instance()->ForgetResults();
    }
}

TEST_F(DmgDeviceTest, CompressedImagesAreRefusedWithTheirKind) {
    const fs::path made = dir_ / "fat12_zlib.dmg";
    ASSERT_TRUE(DecompressXz(FixturePath("dmg/fat12_zlib.dmg.xz"), made));
    std::vector<fs::path> images{made};
    if (auto shared = harbex::test::SharedFixturePath("hfsplus-dfvfs-zlib.dmg"))
        images.push_back(*shared);
    for (const fs::path& image : images) {
        SCOPED_TRACE(image.string());
        QString refusal;
        EXPECT_EQ(KvUIController::KvOpenDmgFile(QString::fromStdString(image.string()), &refusal),
                  0);
        EXPECT_TRUE(refusal.contains("compressed (zlib)")) << refusal.toStdString();
        EXPECT_EQ(DmgDevice(image), nullptr);
    }
}

}  // namespace
