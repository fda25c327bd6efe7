#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "ByteOrder.h"
#include "ImageDevice.h"
#include "ImageFiles.h"
#include "KvMakeDMG.h"
#include "KvUIDeviceData.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "ScanImages.h"
#include "StorageDevice.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using harbex::test::ReadFile;
using harbex::test::TempDir;
using namespace bridgetest;

constexpr int kCopyTimeoutMs = 60000;

// Keeps what the maker reports.
struct Recorder : KvMakeDMGDelegate {
    std::vector<KvMakeDMGProgress> reports;
    void KvGetPrecent(const KvMakeDMGProgress* progress) override { reports.push_back(*progress); }
};

class KvMakeDMGTest : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        // Deferred updates of the scans made here arrive here.
        Pump(2100);
    }
    void SetUp() override { maker_->SetDelegate(&recorder_); }
    void TearDown() override {
        maker_->KvSetState(KvMakeDMG::kStopRequested);
        maker_->Wait();
        Pump(50);
        maker_->SetDelegate(nullptr);
    }

    // Copies the device at `disk` into `image` and answers how the copy ended.
    int MakeImage(int disk, const fs::path& image, bool raw) {
        recorder_.reports.clear();
        const int started = maker_->KvStart(image.c_str(), disk, -1, raw);
        if (started != KvMakeDMG::kOk)
            return started;
        return WaitForEnd();
    }
    int WaitForEnd() {
        maker_->Wait();
        Pump(100);
        EXPECT_FALSE(recorder_.reports.empty());
        return recorder_.reports.empty() ? 1 : recorder_.reports.back().error;
    }

    KvMakeDMG* maker_ = KvMakeDMG::KvShareInstance();
    Recorder recorder_;
    TempDir dir_;
};

TEST_F(KvMakeDMGTest, RawAndOztImagesOfAnImageFileHoldItsSectors) {
    const fs::path raw = dir_ / "fat16.img";
    ASSERT_TRUE(harbex::test::DecompressXz(harbex::test::FixturePath("fat/fat16_512.img.xz"), raw));
    ASSERT_TRUE(MakeOztImage(raw, dir_ / "source.ozt", kTestImageTime + 1));
    IStorageDevice* source = OpenImageDevice(dir_ / "source.ozt");
    ASSERT_NE(source, nullptr);
    const int disk = DiskIndexOfDevice(source);
    ASSERT_GE(disk, 0);
    const std::vector<uint8_t> sectors = ReadFile(raw);

    ASSERT_EQ(MakeImage(disk, dir_ / "copy.img", true), KvMakeDMG::kOk);
    EXPECT_EQ(ReadFile(dir_ / "copy.img"), sectors);
    // 65536 sectors: eight chunks, then the end.
    ASSERT_EQ(recorder_.reports.size(), 9u);
    EXPECT_EQ(recorder_.reports[1].current, 8192u);
    EXPECT_EQ(recorder_.reports.back().current, 65536u);

    ASSERT_EQ(MakeImage(disk, dir_ / "copy.ozt", false), KvMakeDMG::kOk);
    const std::vector<uint8_t> ozt = ReadFile(dir_ / "copy.ozt");
    ASSERT_EQ(ozt.size(), 1536 + sectors.size());
    EXPECT_EQ(std::string(ozt.begin(), ozt.begin() + 4), std::string("ozt", 4));
    EXPECT_EQ(ReadLE32(&ozt[4]), 1192u);
    EXPECT_EQ(ReadLE64(&ozt[8 + 16]), 1536u);
    EXPECT_EQ(ReadLE64(&ozt[8 + 24]), ozt.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&ozt[8 + 32])), kTestImageName);
    EXPECT_TRUE(
        std::all_of(ozt.begin() + 1200, ozt.begin() + 1536, [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), ozt.begin() + 1536));

    // The new image scans like its source.
    IStorageDevice* copy = OpenImageDevice(dir_ / "copy.ozt");
    ASSERT_NE(copy, nullptr);
    KvUIScan* scan = KvUIScan::instance();
    std::vector<std::string> listings[2];
    IStorageDevice* devices[2] = {source, copy};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(ScanImageDevice(devices[i]));
        listings[i] = BridgeListing();
    }
    scan->ForgetResults();
    EXPECT_GT(listings[0].size(), 10u);
    EXPECT_EQ(listings[1], listings[0]);
}

TEST_F(KvMakeDMGTest, PauseResumeAndStop) {
    // 64 MiB of a sparse source: a copy long enough to pause.
    const fs::path raw = dir_ / "big.img";
    harbex::test::WriteFile(raw, {});
    fs::resize_file(raw, 64 << 20);
    ASSERT_TRUE(MakeOztImage(raw, dir_ / "big.ozt", kTestImageTime + 2));
    const int disk = DiskIndexOfDevice(OpenImageDevice(dir_ / "big.ozt"));
    ASSERT_GE(disk, 0);
    const fs::path image = dir_ / "paused.img";

    recorder_.reports.clear();
    ASSERT_EQ(maker_->KvStart(image.c_str(), disk, -1, true), KvMakeDMG::kOk);
    maker_->KvSetState(KvMakeDMG::kPaused);
    // A block already on its way is still written; a slow machine may take a
    // while to finish it, so wait until the size settles before watching it.
    uint64_t pausedAt = UINT64_MAX;
    for (int waited = 0; waited < 5000 && fs::file_size(image) != pausedAt; waited += 300) {
        pausedAt = fs::file_size(image);
        Pump(300);
    }
    Pump(300);
    EXPECT_EQ(fs::file_size(image), pausedAt);
    EXPECT_LT(pausedAt, uint64_t{64} << 20);
    maker_->KvSetState(KvMakeDMG::kRunning);
    EXPECT_EQ(WaitForEnd(), KvMakeDMG::kOk);
    EXPECT_EQ(fs::file_size(image), uint64_t{64} << 20);

    recorder_.reports.clear();
    ASSERT_EQ(maker_->KvStart((dir_ / "stopped.img").c_str(), disk, -1, true), KvMakeDMG::kOk);
    maker_->KvSetState(KvMakeDMG::kPaused);
    maker_->KvSetState(KvMakeDMG::kStopRequested);
    EXPECT_EQ(WaitForEnd(), KvMakeDMG::kStopped);
    EXPECT_EQ(recorder_.reports.back().current, recorder_.reports.back().total);
    EXPECT_FALSE(fs::exists(dir_ / "stopped.img"));
}

TEST_F(KvMakeDMGTest, RefusesWhatItCannotCopy) {
    EXPECT_EQ(maker_->KvStart(nullptr, 0, -1, true), KvMakeDMG::kBadArgument);
    EXPECT_EQ(maker_->KvStart((dir_ / "x.img").c_str(), 100000, -1, true), KvMakeDMG::kBadArgument);
    const std::string longPath = (dir_ / std::string(1100, 'a')).string();
    EXPECT_EQ(maker_->KvStart(longPath.c_str(), 0, -1, true), KvMakeDMG::kCannotCreate);
    EXPECT_FALSE(fs::exists(dir_ / "x.img"));
}

// A disk whose size is not a whole number of chunks (the FAT test disk:
// 18 chunks and 4096 sectors): the last read takes only what is left.
TEST_F(KvMakeDMGTest, LastChunkOfALoopDeviceReadsWhatRemains) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "loop devices need root";
    {
        FatDisk disk;
        if (!disk.ready())
            GTEST_SKIP() << "the test disk could not be attached";
        ReEnumerate();
        const int index = DiskIndexOf(disk.name());
        if (index < 0)
            GTEST_SKIP() << "the test disk was not enumerated";
        ASSERT_EQ(MakeImage(index, dir_ / "disk.copy", true), KvMakeDMG::kOk);
        EXPECT_EQ(ReadFile(dir_ / "disk.copy"), ReadFile(disk.image()));
        ASSERT_EQ(recorder_.reports.size(), 20u);
        EXPECT_EQ(recorder_.reports[18].current, 18u * 8192);
        EXPECT_EQ(recorder_.reports[19].current, 18u * 8192 + 4096);

        // The ozt image holds the same sectors after its header.
        ASSERT_EQ(MakeImage(index, dir_ / "disk.ozt", false), KvMakeDMG::kOk);
        const std::vector<uint8_t> sectors = ReadFile(disk.image());
        const std::vector<uint8_t> ozt = ReadFile(dir_ / "disk.ozt");
        ASSERT_EQ(ozt.size(), 1536 + sectors.size());
        EXPECT_EQ(ReadLE64(&ozt[8 + 16]), 1536u);
        EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), ozt.begin() + 1536));
    }
    // The list no longer holds the detached disk.
    ReEnumerate();
}

}  // namespace
