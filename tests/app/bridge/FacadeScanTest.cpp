#include <gtest/gtest.h>

#include <memory>

#include "KvNotificationNames.h"
#include "KvSaveAndRestoreNodeOperate.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"
#include "KvUIFilter.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "ScanImages.h"

namespace {

using namespace bridgetest;

constexpr int kScanTimeoutMs = 60000;

// Scans of the FAT disk through the facade, checked against harbex-scan on
// the same volumes and disk.
class FacadeScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!harbex::test::IsRoot())
            return;
        disk_ = new FatDisk;
        if (!disk_->ready())
            return;
        ReEnumerate();
    }
    static void TearDownTestSuite() {
        KvUIController::WaitForScanWorker();
        KvUIScan::instance()->ForgetResults();
        delete disk_;
        disk_ = nullptr;
    }
    void SetUp() override {
        if (!harbex::test::IsRoot())
            GTEST_SKIP() << "loop devices need root";
        if (disk_ == nullptr || !disk_->ready())
            GTEST_SKIP() << "the test disk could not be attached";
        // Other tests enumerate anew as their own disks come and go.
        diskIndex_ = DiskIndexOf(disk_->name());
        if (diskIndex_ < 0) {
            ReEnumerate();
            diskIndex_ = DiskIndexOf(disk_->name());
        }
        if (diskIndex_ < 0)
            GTEST_SKIP() << "the test disk was not enumerated";
        KvUIFilter::instance()->ResetFilter(127);
        KvUIScan::instance()->SetDeepScan(0);
        log_ = std::make_unique<NotificationLog>();
    }
    void TearDown() override {
        KvUIController::StopScan(1);
        KvUIController::WaitForScanWorker();
        Pump(50);
    }

    // Waits for the scan to end and checks how it ended: idle, and the last
    // notification the final scan update, with nothing after it.
    void ExpectScanEnds() {
        ASSERT_TRUE(WaitFor([] { return !KvUIController::IsScanRunning(); }, kScanTimeoutMs));
        // Once the worker has ended, its final post is queued: let it arrive.
        KvUIController::WaitForScanWorker();
        Pump(300);
        ASSERT_FALSE(log_->entries.empty());
        ASSERT_EQ(log_->entries.back().name, kvnote::kNormalScanValue)
            << "no final notification after the scan";
        const size_t posted = log_->entries.size();
        Pump(500);
        EXPECT_EQ(log_->entries.size(), posted) << "a post came after the final one";
        for (const auto& entry : log_->entries)
            EXPECT_TRUE(entry.onMainThread) << entry.name.toStdString();
    }

    static std::vector<std::string> Joined(std::vector<std::string> a,
                                           const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        std::sort(a.begin(), a.end());
        return a;
    }

    static FatDisk* disk_;
    static int diskIndex_;
    std::unique_ptr<NotificationLog> log_;
};

FatDisk* FacadeScanTest::disk_ = nullptr;
int FacadeScanTest::diskIndex_ = -1;

TEST_F(FacadeScanTest, EveryScanKindGivesWhatHarbexScanGives) {
    const std::string fat16 = disk_->volume(1).string();
    const std::string fat32 = disk_->volume(2).string();
    struct Case {
        const char* what;
        int volume;
        int deep;
        _RECOVERY_CONTROLLER_TYPE controller;
        std::vector<std::string> expected;
    } cases[] = {
        {"quick scan of the disk", -1, 0, RECOVERY_CONTROLLER_DELETED,
         Joined(ToolListing("--quick " + fat16), ToolListing("--quick " + fat32))},
        {"quick scan of a volume", 1, 0, RECOVERY_CONTROLLER_DELETED,
         ToolListing("--quick " + fat32)},
        {"complete scan of a volume", 0, 1, RECOVERY_CONTROLLER_COMPLETE,
         ToolListing("--complete --deep " + fat16)},
        {"partition scan of the disk", -1, 1, RECOVERY_CONTROLLER_PARTITION,
         ToolListing("--partition --deep " + disk_->image().string())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.expected.empty());
        log_->entries.clear();
        KvUIScan::instance()->SetDeepScan(c.deep);
        ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(diskIndex_, c.volume));
        EXPECT_TRUE(KvUIController::IsScanRunning());
        ExpectScanEnds();
        EXPECT_EQ(KvUIScan::instance()->GetRecoveryController()->thisType(), c.controller);
        EXPECT_EQ(BridgeListing(), c.expected);
        EXPECT_GE(log_->Count(kvnote::kNormalScanValue), 1);
    }
}

TEST_F(FacadeScanTest, RecordsNameTheirDeviceForEachScanKind) {
    std::list<_DiskVolumeData> volumes;
    KvUIDeviceData* model = KvUIDeviceData::instance();
    model->GetDiskVolumeInfo(model->GetDiskStorageByIndex(diskIndex_), volumes);
    ASSERT_EQ(volumes.size(), 2u);
    const _DiskVolumeData& second = volumes.back();
    EXPECT_EQ(second.volumeIndex, 1);
    EXPECT_NE(second.deviceNumber, 0);
    EXPECT_EQ(second.sysfsPath.rfind("/sys/devices/", 0), 0u) << second.sysfsPath;
    EXPECT_EQ(model->GetStorageBySysfsPath(second.sysfsPath), model->GetStorageByRecord(second));

    ASSERT_TRUE(KvUIController::DoScanWithData(&second));
    ExpectScanEnds();
    EXPECT_FALSE(KvUIController::IsDeepScan());
    EXPECT_EQ(BridgeListing(), ToolListing("--quick " + disk_->volume(2).string()));

    // Deep again over the device of the last scan.
    log_->entries.clear();
    ASSERT_TRUE(KvUIController::DoDeepScan());
    EXPECT_TRUE(KvUIController::IsDeepScan());
    ExpectScanEnds();
    EXPECT_EQ(BridgeListing(), ToolListing("--complete --deep " + disk_->volume(2).string()));
}

TEST_F(FacadeScanTest, PausedScanWaitsAndFinishesAfterResume) {
    KvUIScan::instance()->SetDeepScan(1);
    ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(diskIndex_, -1));
    KvUIController::PauseOrResumeScan();
    EXPECT_TRUE(KvUIController::IsPause());
    Pump(700);
    EXPECT_TRUE(KvUIController::IsScanRunning());
    const uint64_t doneWhilePaused = KvUIScan::instance()->GetProgressInfo().done;
    Pump(300);
    EXPECT_EQ(KvUIScan::instance()->GetProgressInfo().done, doneWhilePaused);
    // A second request while the first is paused is refused.
    EXPECT_FALSE(KvUIController::DoScanWithDiskIndex(diskIndex_, 0));
    KvUIController::PauseOrResumeScan();
    EXPECT_FALSE(KvUIController::IsPause());
    ExpectScanEnds();
    EXPECT_EQ(BridgeListing(), ToolListing("--partition --deep " + disk_->image().string()));
}

// A request right after a stop waits for the stopped worker to end before it
// clears the results, so the new scan's results are whole.
TEST_F(FacadeScanTest, ScanRequestedRightAfterAStopStartsAfreshAndIsWhole) {
    KvUIScan::instance()->SetDeepScan(1);
    ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(diskIndex_, -1));
    EXPECT_FALSE(KvUIController::DoScanWithDiskIndex(diskIndex_, 0)) << "one scan at a time";
    Pump(300);
    KvUIController::StopScan(1);
    EXPECT_TRUE(KvUIController::IsScanRunning());  // stopping, not yet idle

    KvUIScan::instance()->SetDeepScan(0);
    ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(diskIndex_, 0));
    ExpectScanEnds();
    EXPECT_EQ(BridgeListing(), ToolListing("--quick " + disk_->volume(1).string()));
}

TEST_F(FacadeScanTest, StoppedScanEndsIdleWithItsFinalNotification) {
    for (const int waitMs : {0, 200, 600}) {
        SCOPED_TRACE(waitMs);
        log_->entries.clear();
        KvUIScan::instance()->SetDeepScan(1);
        ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(diskIndex_, -1));
        Pump(waitMs);
        KvUIController::StopScan(1);
        ExpectScanEnds();
        EXPECT_FALSE(KvUIController::IsScanRunning());
    }
}

// Copy-out and saving work on the results; a new scan would release them.
TEST_F(FacadeScanTest, NoScanStartsWhileTheResultsAreInUse) {
    KvUIScan* scan = KvUIScan::instance();
    ASSERT_TRUE(scan->AcquireResults());
    EXPECT_FALSE(KvUIController::DoScanWithDiskIndex(diskIndex_, 0));
    EXPECT_FALSE(KvUIController::IsScanRunning());
    EXPECT_FALSE(KvUIController::RefreshDeviceInfo());
    scan->ReleaseResults();

    KvSaveAndRestoreNodeOperate::instance()->SetStatus(KV_STATUS_RUNNING);
    EXPECT_FALSE(KvUIController::DoScanWithDiskIndex(diskIndex_, 0));
    KvSaveAndRestoreNodeOperate::instance()->SetStatus(KV_STATUS_IDLE);

    ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(diskIndex_, 0));
    EXPECT_FALSE(scan->AcquireResults()) << "results are not handed out while a scan runs";
    ExpectScanEnds();
}

TEST_F(FacadeScanTest, RequestsNamingNoDeviceAreDropped) {
    for (const auto& [disk, volume] : {std::pair{-1, 0}, {diskIndex_, 7}, {100000, -1}})
        EXPECT_FALSE(KvUIController::DoScanWithDiskIndex(disk, volume)) << disk << "," << volume;
    EXPECT_FALSE(KvUIController::DoScanWithData(nullptr));
    Pump(100);
    EXPECT_FALSE(KvUIController::IsScanRunning());
    EXPECT_EQ(log_->Count(kvnote::kNormalScanValue), 0);
}

// Refreshing the device list while a scan runs stops the scan first and
// enumerates only once it has ended.
TEST_F(FacadeScanTest, RefreshStopsTheScanBeforeEnumeratingAgain) {
    KvUIScan::instance()->SetDeepScan(1);
    ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(diskIndex_, -1));
    Pump(200);
    ASSERT_TRUE(KvUIController::RefreshDeviceInfo());
    EXPECT_FALSE(KvUIController::IsScanRunning());
    EXPECT_EQ(KvUIScan::instance()->GetSavedStorage(), nullptr);
    EXPECT_EQ(KvUIScan::instance()->GetRecoveryController(), nullptr);
    EXPECT_TRUE(KvUIScan::instance()->GetFileSystemNode().empty());
    EXPECT_EQ(KvUIDeviceData::instance()->GetInitState(), KvUIDeviceData::kBuilt);
    diskIndex_ = DiskIndexOf(disk_->name());
    EXPECT_GE(diskIndex_, 0);
}

}  // namespace
