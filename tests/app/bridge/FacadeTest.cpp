#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "BridgeFakes.h"
#include "EnumDevice.h"
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
        ReEnumerate();
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

// A quick scan of a whole disk ends idle with its final notification when
// the disk has no volume to scan, only ones that are not scanned (an EFI
// System partition), or one whose file system cannot be searched.
TEST(QuickDiskScan, EndsEvenWithNothingToScan) {
    using namespace bridgetest;
    constexpr uint8_t kEfiSystem[16] = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                        0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
    FakeEnumerator enumerator;
    auto empty = MakeDisk("empty", 4, 2, 0x07000001);
    auto efiOnly = MakeDisk("efi only", 4, 2, 0x07000002);
    auto efi = MakeVolume("EFI", efiOnly.get(), 0x07000003, kEfiSystem);
    auto blank = MakeDisk("blank", 4, 2, 0x07000004);
    auto unknown = MakeVolume("blank", blank.get(), 0x07000005);
    VolumeRecordOf(unknown->GetPrivateData())->fileSystemType = FILE_SYSTEM_UNKNOWN;
    enumerator.disks = {empty.get(), efiOnly.get(), blank.get()};
    enumerator.volumes[empty.get()] = {};
    enumerator.volumes[efiOnly.get()] = {efi.get()};
    enumerator.volumes[blank.get()] = {unknown.get()};

    KvUIDeviceData* model = KvUIDeviceData::instance();
    KvUIScan::instance()->ForgetResults();
    model->UseEnumerator(&enumerator);
    ASSERT_TRUE(model->InitDeviceInfo());
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        NotificationLog log;
        KvUIScan::instance()->SetDeepScan(0);
        ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(index, -1));
        EXPECT_TRUE(WaitFor([] { return !KvUIController::IsScanRunning(); }, 20000));
        KvUIController::WaitForScanWorker();
        EXPECT_TRUE(WaitFor([&] { return log.Count(kvnote::kNormalScanValue) >= 1; }, 5000));
        EXPECT_EQ(KvUIScan::instance()->GetScanFileCnt(), 0u);
    }
    KvUIScan::instance()->ForgetResults();
    model->UseEnumerator(CreateEnumDeviceEx());
    model->InitDeviceInfo();
}

}  // namespace
