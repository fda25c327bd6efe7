#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "KvNotificationNames.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"
#include "KvUIOperation.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "ScanImages.h"

namespace {

using namespace bridgetest;
using harbex::test::RunCommand;
using harbex::test::TempDir;

TEST(RemainingTime, EstimatesFromTheElapsedTimeAndTheShareDone) {
    struct Case {
        uint64_t total;
        uint64_t done;
        int64_t elapsed;
        const char* shown;
    } cases[] = {
        {0, 0, 60, "-:-:-"},          // nothing known yet
        {100, 10, 0, "-:-:-"},        // under a second
        {1000, 5, 60, "-:-:-"},       // under one percent
        {100, 10, 60, "00:04:30"},    // 540 s, early estimates halved
        {100, 40, 60, "00:01:02"},    // 90 s, below half: 0.7 of it, cut
        {100, 50, 360000, "100:00:00"},
        {100, 50, 363600, "-:-:-"},   // beyond 100 hours
        {100, 100, 60, "00:00:00"},
        {100, 120, 60, "00:00:00"},   // more done than counted is not a huge time
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KvUIController::FormatRemainingTime(c.total, c.done, c.elapsed).toStdString(),
                  c.shown)
            << c.total << " " << c.done << " " << c.elapsed;
    }
}

class PolledOperation : public KvUIOperation {
public:
    int UpdateProgress(_PROGRESS_INFO*) override { return 0; }
};

// The polling thread posts while the operation reports changes and always
// once at its end, also when the last change came after the last post.
TEST(PollingThread, PostsChangesAndTheEnd) {
    NotificationLog log;
    PolledOperation operation;
    operation.SetStatus(KV_STATUS_RUNNING);
    std::atomic<bool> go{false};
    KvUIController::DoOperation(
        [&] {
            operation.SetNeedUIUpdate(1);
            while (!go)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            operation.SetNeedUIUpdate(1);
            operation.SetStatus(KV_STATUS_IDLE);
        },
        &operation, "Polled", true);
    ASSERT_TRUE(WaitFor([&] { return log.Count("Polled") == 1; }, 5000));
    go = true;
    ASSERT_TRUE(WaitFor([&] { return log.Count("Polled") == 2; }, 5000));
    Pump(300);
    EXPECT_EQ(log.Count("Polled"), 2);
    EXPECT_EQ(operation.IsNeedUIUpdate(), 0);
}

TEST(DeviceListRequest, ABuiltListIsAnnouncedAtOnceOnTheMainThread) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    if (model->GetInitState() != KvUIDeviceData::kBuilt)
        model->InitDeviceInfo();
    NotificationLog log;
    KvUIController::NotifiyDeviceInfoAfterInit(kvnote::kInitFinished);
    ASSERT_TRUE(WaitFor([&] { return log.Count(kvnote::kInitFinished) == 1; }, 5000));
    EXPECT_TRUE(log.entries.back().onMainThread);
}

TEST(SingleInstance, AnotherProcessHoldingTheLockMeansAnotherCopyRuns) {
    TempDir dir;
    const std::string mine = (dir / "mine.lock").string();
    const std::string theirs = (dir / "theirs.lock").string();
    // The first copy takes the lock and keeps it; asking again changes nothing.
    EXPECT_FALSE(KvUIController::IsAnotherInstanceRunning(mine));
    EXPECT_FALSE(KvUIController::IsAnotherInstanceRunning(mine));
    EXPECT_NE(RunCommand("flock -n " + mine + " true").status, 0) << "the lock is not held";

    // A copy started while another holds its lock.
    const std::string ready = (dir / "ready").string();
    RunCommand("(flock " + theirs + " sh -c 'touch " + ready + "; sleep 3') >/dev/null 2>&1 &");
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(ready); }, 5000));
    EXPECT_TRUE(KvUIController::IsAnotherInstanceRunning(theirs));
}

// A quick scan of a whole disk that has no volume to scan, or only ones that
// are not scanned, still ends idle with its final notification.
TEST(QuickDiskScan, EndsEvenWithNothingToScan) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "loop devices need root";
    struct Case {
        const char* what;
        const char* make;
        bool partitions;
    } cases[] = {
        {"blank disk", "truncate -s 8M $1", false},
        {"EFI System partition only",
         "truncate -s 8M $1 && echo label: gpt > $1.sf && echo size=4MiB, type=U >> $1.sf && "
         "sfdisk -q $1 < $1.sf",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MadeDisk disk(c.make, c.partitions);
        if (!disk.ready())
            GTEST_SKIP() << "no loop device";
        if (c.partitions)
            Pump(500);  // let the kernel add the partition
        KvUIDeviceData* model = KvUIDeviceData::instance();
        model->Clear();
        model->InitDeviceInfo();
        const int index = DiskIndexOf(disk.name());
        ASSERT_GE(index, 0);
        NotificationLog log([] { return KvUIScan::instance()->GetStatus(); });
        KvUIScan::instance()->SetDeepScan(0);
        ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(index, -1));
        ASSERT_TRUE(WaitFor(
            [&] {
                return !KvUIController::IsScanRunning() &&
                       log.Count(kvnote::kNormalScanValue) >= 1 &&
                       log.entries.back().probe == KV_STATUS_IDLE;
            },
            20000));
        KvUIController::WaitForScanWorker();
        EXPECT_EQ(KvUIScan::instance()->GetScanFileCnt(), 0u);
    }
    KvUIDeviceData::instance()->Clear();
    KvUIDeviceData::instance()->InitDeviceInfo();
}

}  // namespace
