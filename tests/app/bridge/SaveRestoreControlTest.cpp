#include <gtest/gtest.h>

#include <QDateTime>

#include <filesystem>
#include <string>
#include <vector>

#include "ImageFiles.h"
#include "KvNotificationNames.h"
#include "KvSaveAndRestoreNodeOperate.h"
#include "KvUIController.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "ScanImages.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace bridgetest;
using harbex::test::TempDir;

constexpr int kTimeoutMs = 60000;

struct Progress {
    uint64_t total = 0, done = 0, code = 0;
};

Progress ProgressOf(bool save) {
    Progress progress;
    KvUIController::GetSaveorRestoreProgress(&progress.total, &progress.done, &progress.code, save);
    return progress;
}

// Saves or loads through the facade as the windows do, and waits for the end
// notification; the notifications posted meanwhile are in `log`.
bool RunSaveOrLoad(bool save, const fs::path& path, const NotificationLog& log,
                   const QString& imagePath = {}) {
    const int finishedBefore = log.Count(kvnote::kQueryProgressFinish);
    KvUIController::RestorPostUIUpdate(save ? kvnote::kQueryProgressInfo : kvnote::kNormalScanValue,
                                       save);
    KvUIController::beginSaveOrRestoreNode(
        save, path.empty() ? QString() : QString::fromStdString(path.string()), imagePath);
    return WaitFor([&] { return log.Count(kvnote::kQueryProgressFinish) > finishedBefore; },
                   kTimeoutMs);
}

// The FAT16 fixture volume scanned through the bridge, saved and loaded
// through the facade.
class SaveRestoreControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        const fs::path raw = *dir_ / "fat16.img";
        if (!harbex::test::DecompressXz(harbex::test::FixturePath("fat/fat16_512.img.xz"), raw) ||
            !MakeOztImage(raw, *dir_ / "fat16.ozt", kTestImageTime + 26))
            return;
        device_ = OpenImageDevice(*dir_ / "fat16.ozt");
    }
    static void TearDownTestSuite() {
        Pump(4500);
        KvUIScan::instance()->ForgetResults();
        delete dir_;
        dir_ = nullptr;
        device_ = nullptr;
    }
    void SetUp() override {
        if (device_ == nullptr)
            GTEST_SKIP() << "the test image could not be made";
        ASSERT_TRUE(ScanImageDevice(device_));
    }

    static TempDir* dir_;
    static IStorageDevice* device_;
    NotificationLog log_;
};

TempDir* SaveRestoreControlTest::dir_ = nullptr;
IStorageDevice* SaveRestoreControlTest::device_ = nullptr;

TEST_F(SaveRestoreControlTest, ASavedResultLoadsBackToTheSameTrees) {
    const std::vector<std::string> scanned = BridgeListing();
    ASSERT_GT(scanned.size(), 10u);
    const fs::path saved = *dir_ / "round.rsf";
    ASSERT_TRUE(RunSaveOrLoad(true, saved, log_));
    const Progress save = ProgressOf(true);
    EXPECT_EQ(save.code, 0u);
    EXPECT_EQ(save.done, save.total);

    ASSERT_TRUE(
        RunSaveOrLoad(false, saved, log_, QString::fromStdString((*dir_ / "fat16.ozt").string())));
    const Progress load = ProgressOf(false);
    EXPECT_EQ(load.code, 0u);
    EXPECT_EQ(load.done, load.total);
    EXPECT_EQ(BridgeListing(), scanned);
    for (const auto& entry : log_.entries)
        EXPECT_TRUE(entry.onMainThread);
}

TEST_F(SaveRestoreControlTest, FailuresEndAndNeverShowAsComplete) {
    const struct {
        const char* what;
        bool save;
        fs::path path;
    } cases[] = {
        {"save without a path", true, {}},
        {"save into a missing folder", true, *dir_ / "missing" / "x.rsf"},
        {"load without a path", false, {}},
        {"load of a missing file", false, *dir_ / "missing.rsf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(RunSaveOrLoad(c.save, c.path, log_));
        const Progress progress = ProgressOf(c.save);
        EXPECT_NE(progress.code, 0u);
        EXPECT_LT(progress.done, progress.total);
        EXPECT_EQ(KvUIScan::instance()->GetStatus(), KV_STATUS_IDLE);
        EXPECT_EQ(KvSaveAndRestoreNodeOperate::instance()->GetStatus(), KV_STATUS_IDLE);
        EXPECT_EQ(KvUIScan::instance()->ResultUsers(), 0);
    }
}

TEST_F(SaveRestoreControlTest, ALoadWhileTheResultsAreInUseIsRefused) {
    const std::vector<std::string> scanned = BridgeListing();
    KvUIScan* scan = KvUIScan::instance();
    ASSERT_TRUE(scan->AcquireResults());  // as a running recovery holds them
    const bool ended = RunSaveOrLoad(false, *dir_ / "missing.rsf", log_);
    scan->ReleaseResults();
    ASSERT_TRUE(ended);
    EXPECT_NE(ProgressOf(false).code, 0u);
    EXPECT_EQ(scan->GetStatus(), KV_STATUS_IDLE);
    EXPECT_EQ(BridgeListing(), scanned);
}

TEST_F(SaveRestoreControlTest, ASaveAskedToStopEndsAsAFailureAndLeavesNoFile) {
    const fs::path path = *dir_ / "stopped.rsf";
    const int finishedBefore = log_.Count(kvnote::kQueryProgressFinish);
    KvUIController::RestorPostUIUpdate(kvnote::kQueryProgressInfo, true);
    // Asked before the save thread first looks, so it stops for certain.
    KvUIController::StopSaveOrRestore(true);
    KvUIController::beginSaveOrRestoreNode(true, QString::fromStdString(path.string()), {});
    ASSERT_TRUE(WaitFor([&] { return log_.Count(kvnote::kQueryProgressFinish) > finishedBefore; },
                        kTimeoutMs));
    const Progress stopped = ProgressOf(true);
    EXPECT_NE(stopped.code, 0u);
    EXPECT_LT(stopped.done, stopped.total);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(KvSaveAndRestoreNodeOperate::instance()->GetStatus(), KV_STATUS_IDLE);
    EXPECT_EQ(KvUIScan::instance()->ResultUsers(), 0);

    // The next save is not stopped by the old request.
    ASSERT_TRUE(RunSaveOrLoad(true, path, log_));
    EXPECT_EQ(ProgressOf(true).code, 0u);
    EXPECT_TRUE(fs::exists(path));
}

TEST(SaveFileName, NamesTheDeviceAndTimeWithCharactersEveryFileSystemTakes) {
    const QDateTime when(QDate(2025, 12, 31), QTime(9, 5, 3));
    const struct {
        QString device;
        QString expected;
    } cases[] = {
        {"Data", "Data_12-31-2025 at 09.05.03"},
        {"A:B/C\\D*?\"<>|", "A_B_C_D" + QString(6, '_') + "_12-31-2025 at 09.05.03"},
        {"", "_12-31-2025 at 09.05.03"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KvUIController::SaveFileNameFor(c.device, when), c.expected);
}

TEST(SavePath, IsKeptInThePrivateSettings) {
    TempDir home;
    harbex::test::ScopedEnv data("XDG_DATA_HOME", home.path().c_str());
    EXPECT_TRUE(KvUIController::GetSavePath().isEmpty());
    ASSERT_TRUE(KvUIController::SavePathToPList("/media/backup/results"));
    EXPECT_EQ(KvUIController::GetSavePath(), "/media/backup/results");
}

}  // namespace
