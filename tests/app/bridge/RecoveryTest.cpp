#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDate>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "FATImageDevice.h"
#include "FileNode.h"
#include "ImageFiles.h"
#include "KvNotificationNames.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"
#include "KvUIFilter.h"
#include "KvUIRecovery.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "ScanImages.h"
#include "StorageDevice.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace bridgetest;
using harbex::test::FixturePath;
using harbex::test::RunCommand;
using harbex::test::ShellQuoted;
using harbex::test::TempDir;

constexpr int kTimeoutMs = 60000;
// The volume of the image the tests scan: the name the image gives its device.
constexpr const char* kVolume = "HARBEX16 image";

int64_t ModifiedSeconds(const fs::path& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_mtim.tv_sec : -1;
}

// Where the FAT files of a recovery into `folder` lie: the first output folder
// of the FAT searcher, then the volume.
fs::path FatVolumeFolder(const fs::path& folder, const std::string& volume) {
    const std::string today =
        QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
    return folder / ("Fat_Recovered Data" + today + "_0001") / volume;
}

// Every live file of the image's manifest is at its path below `volume`, with
// its content and modification time.
void ExpectLiveFiles(const std::string& image, const fs::path& volume) {
    const harbex::test::FATManifest manifest = harbex::test::ReadFATManifest(image);
    int checked = 0;
    for (const harbex::test::FATManifestEntry& entry : manifest.entries) {
        if (entry.directory || entry.deleted())
            continue;
        const fs::path file = volume / entry.path.substr(1);
        SCOPED_TRACE(file.string());
        ASSERT_TRUE(fs::is_regular_file(file));
        EXPECT_EQ(harbex::test::Sha256OfFile(file), entry.sha256);
        if (entry.mtime != 0) {
            EXPECT_EQ(ModifiedSeconds(file), entry.mtime);
        }
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

// The content of every deleted file whose clusters lie in one run is among
// the files below `volume` (their names lost their first letter).
void ExpectDeletedContent(const std::string& image, const fs::path& volume) {
    std::set<std::string> copied;
    for (const auto& entry : fs::recursive_directory_iterator(volume)) {
        if (entry.is_regular_file())
            copied.insert(harbex::test::Sha256OfFile(entry.path()));
    }
    int checked = 0;
    for (const harbex::test::FATManifestEntry& entry :
         harbex::test::ReadFATManifest(image).entries) {
        if (entry.directory || entry.state != "deleted")
            continue;
        EXPECT_EQ(copied.count(entry.sha256), 1u) << entry.path;
        ++checked;
    }
    EXPECT_GT(checked, 2);
}

// Checks the roots whose volume is `volume` (every root when empty).
void CheckRoots(const std::string& volume = {}) {
    KvUIScan::instance()->UnselectAllNodes();
    for (IFileNode* root : KvUIScan::instance()->GetFileSystemNode()) {
        const char* name = root->GetVolumeName();
        if (volume.empty() || (name != nullptr && volume == name))
            root->SetCheck(CHECK_STATUS_CHECKED);
    }
}

// Starts a recovery of the selection into `folder` through the facade.
void StartRecovery(const fs::path& folder) {
    int count = 0;
    uint64_t size = 0;
    KvUIController::GetSelectedFilesAmout(&count, &size);
    OpNodeArray shown;
    ASSERT_EQ(KvUIController::DoRecovery(&shown, QString::fromStdString(folder.string()),
                                         kvnote::kDoRecovery),
              0u);
}

// Starts a recovery into a full `folder`; true once its first failed write
// has paused it.
bool RecoverUntilPaused(const fs::path& folder) {
    StartRecovery(folder);
    return WaitFor([] { return KvUIRecovery::instance()->GetStatus() == KV_STATUS_PAUSED; },
                   kTimeoutMs);
}

// Waits for the worker to end and let go of the results.
bool WaitForRecoveryEnd() {
    return WaitFor(
        [] {
            return !KvUIController::IsRecoveryRunning() && KvUIScan::instance()->ResultUsers() == 0;
        },
        kTimeoutMs);
}

// A small file system mounted for the test's lifetime, filled up to the last
// byte by a file that can be removed to make room (or, unfilled, with `size`
// bytes of room).
class FullTmpfs {
public:
    explicit FullTmpfs(const char* size = "1m", bool fill = true) {
        const std::string dir = ShellQuoted(dir_.path().string());
        mounted_ = RunCommand(std::string("mount -t tmpfs -o size=") + size + " harbex-test " + dir)
                       .status == 0;
        if (mounted_ && fill)
            RunCommand("dd if=/dev/zero of=" + dir + "/filler bs=4k 2>/dev/null");
    }
    ~FullTmpfs() {
        if (mounted_)
            RunCommand("umount " + ShellQuoted(dir_.path().string()));
    }
    bool mounted() const { return mounted_; }
    void MakeRoom() { fs::remove(dir_.path() / "filler"); }
    const fs::path& path() const { return dir_.path(); }

private:
    TempDir dir_;
    bool mounted_ = false;
};

// The FAT16 fixture volume scanned completely through the bridge, once.
class RecoveryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        zone_ = new harbex::test::ScopedTimeZone("UTC");
        dir_ = new TempDir;
        const fs::path raw = *dir_ / "fat16.img";
        if (!harbex::test::DecompressXz(FixturePath("fat/fat16_512.img.xz"), raw) ||
            !MakeOztImage(raw, *dir_ / "fat16.ozt", kTestImageTime + 25))
            return;
        if (IStorageDevice* device = OpenImageDevice(*dir_ / "fat16.ozt"))
            scanned_ = ScanImageDevice(device);
    }
    static void TearDownTestSuite() {
        // The scan's deferred updates arrive here, not in a later test.
        Pump(4500);
        KvUIScan::instance()->ForgetResults();
        delete dir_;
        delete zone_;
        dir_ = nullptr;
        zone_ = nullptr;
        scanned_ = false;
    }
    void SetUp() override {
        if (!scanned_)
            GTEST_SKIP() << "the test image could not be scanned";
    }
    void TearDown() override {
        KvUIController::StopRecvoery();
        WaitForRecoveryEnd();
        KvUIScan::instance()->UnselectAllNodes();
    }

    static harbex::test::ScopedTimeZone* zone_;
    static TempDir* dir_;
    static bool scanned_;
    TempDir out_;
};

harbex::test::ScopedTimeZone* RecoveryTest::zone_ = nullptr;
TempDir* RecoveryTest::dir_ = nullptr;
bool RecoveryTest::scanned_ = false;

TEST_F(RecoveryTest, CopiesTheCheckedFilesWithTheirNamesContentAndTimes) {
    CheckRoots();
    int count = 0;
    uint64_t size = 0;
    KvUIController::GetSelectedFilesAmout(&count, &size);
    ASSERT_GT(count, 10);
    NotificationLog log;
    StartRecovery(out_.path());
    ASSERT_TRUE(WaitForRecoveryEnd());
    Pump(300);

    const KvUIRecovery::Counts counts = KvUIController::GetRecoveryCounts();
    EXPECT_EQ(counts.recovered + counts.partly + counts.failed + counts.skipped,
              static_cast<uint64_t>(count));
    EXPECT_EQ(counts.failed, 0u);
    EXPECT_EQ(counts.skipped, 0u);
    EXPECT_EQ(KvUIController::GetRecoveridedFiles(), counts.recovered + counts.partly);
    EXPECT_EQ(KvUIController::GetRecoveridedSize(), size);
    ExpectLiveFiles("fat16_512", FatVolumeFolder(out_.path(), kVolume));

    ASSERT_GE(log.Count(kvnote::kDoRecovery), 1);
    for (const auto& entry : log.entries)
        EXPECT_TRUE(entry.onMainThread);
    uint64_t total = 0, done = 0, code = 1;
    EXPECT_EQ(KvUIController::GetRecoveryProgressTotal(&total, &done, &code), "");
    EXPECT_EQ(done, total);
    EXPECT_EQ(code, 0u);
}

TEST_F(RecoveryTest, SelectsOnlyCheckedFilesThatAreShown) {
    KvUIScan::instance()->UnselectAllNodes();
    int count = -1;
    uint64_t size = 0;
    KvUIController::GetSelectedFilesAmout(&count, &size);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(size, 0u);

    CheckRoots();
    const std::vector<IFileNode*> all = KvUIController::GetSelectedFilesAndSize(nullptr);
    ASSERT_FALSE(all.empty());
    IFileNode* file = all.front();
    file->ShowNode(0);
    const std::vector<IFileNode*> shown = KvUIController::GetSelectedFilesAndSize(nullptr);
    file->ShowNode(1);
    EXPECT_EQ(shown.size(), all.size() - 1);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), file), 0);

    // One checked file in a partly checked folder: that file alone.
    KvUIScan::instance()->UnselectAllNodes();
    file->SetCheck(CHECK_STATUS_CHECKED);
    size = 0;
    KvUIController::GetSelectedFilesAmout(&count, &size);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(size, static_cast<uint64_t>(file->GetFileSize()));
    StartRecovery(out_.path());
    ASSERT_TRUE(WaitForRecoveryEnd());
    EXPECT_EQ(KvUIController::GetRecoveryCounts().recovered, 1u);
}

TEST_F(RecoveryTest, IsRefusedWithoutTargetOrWhileOneRuns) {
    OpNodeArray shown;
    constexpr RESULT_CODE kNoTarget = 0x0102052400000001ull;
    EXPECT_EQ(KvUIController::DoRecovery(nullptr, "/tmp", kvnote::kDoRecovery), kNoTarget);
    EXPECT_EQ(KvUIController::DoRecovery(&shown, QString(), kvnote::kDoRecovery), kNoTarget);
    EXPECT_FALSE(KvUIController::IsRecoveryRunning());

    KvUIRecovery::instance()->SetStatus(KV_STATUS_RUNNING);
    EXPECT_TRUE(IsFailure(KvUIController::DoRecovery(
        &shown, QString::fromStdString(out_.path().string()), kvnote::kDoRecovery)));
    KvUIRecovery::instance()->SetStatus(KV_STATUS_IDLE);
    EXPECT_EQ(KvUIScan::instance()->ResultUsers(), 0);
}

TEST_F(RecoveryTest, AFullDestinationPausesTheRecoveryUntilResumed) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "mounting needs root";
    CheckRoots();
    int count = 0;
    uint64_t size = 0;
    KvUIController::GetSelectedFilesAmout(&count, &size);
    FullTmpfs destination;
    if (!destination.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted";
    ASSERT_TRUE(RecoverUntilPaused(destination.path()));
    uint64_t total = 0, done = 0, code = 0;
    KvUIController::GetRecoveryProgressTotal(&total, &done, &code);
    EXPECT_EQ(ResultKindOf(code), KvUIRecovery::kWriteFailedKind);
    EXPECT_LT(done, total);
    Pump(300);
    EXPECT_TRUE(KvUIController::IsRecoveryRunning());

    destination.MakeRoom();
    KvUIController::PauseOrResumeRecovery();
    ASSERT_TRUE(WaitForRecoveryEnd());
    const KvUIRecovery::Counts counts = KvUIController::GetRecoveryCounts();
    EXPECT_EQ(counts.failed, 0u);
    EXPECT_EQ(counts.skipped, 0u);
    EXPECT_EQ(counts.recovered + counts.partly, static_cast<uint64_t>(count));
    ExpectLiveFiles("fat16_512", FatVolumeFolder(destination.path(), kVolume));
}

TEST_F(RecoveryTest, AStoppedRecoveryEndsIdleWithoutHalfFiles) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "mounting needs root";
    CheckRoots();
    FullTmpfs destination;
    if (!destination.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted";
    ASSERT_TRUE(RecoverUntilPaused(destination.path()));
    const std::string stopped = KvUIRecovery::instance()->GetCurrentRecoveryFileName();
    KvUIController::StopRecvoery();
    ASSERT_TRUE(WaitForRecoveryEnd());
    EXPECT_EQ(KvUIRecovery::instance()->GetStatus(), KV_STATUS_IDLE);
    EXPECT_EQ(KvUIController::GetRecoveryCounts().failed, 1u);
    for (const auto& entry : fs::recursive_directory_iterator(destination.path()))
        EXPECT_NE(entry.path().filename().string(), stopped) << "a cut-short copy was left";
}

// The regular files below `folder` by their path inside it.
std::map<std::string, fs::path> FilesBelow(const fs::path& folder) {
    std::map<std::string, fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = entry.path();
    }
    return files;
}

TEST_F(RecoveryTest, ADestinationThatStaysFullIsCountedByWhatReachedIt) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "mounting needs root";
    CheckRoots();
    int count = 0;
    uint64_t size = 0;
    KvUIController::GetSelectedFilesAmout(&count, &size);
    StartRecovery(out_.path());
    ASSERT_TRUE(WaitForRecoveryEnd());
    const std::map<std::string, fs::path> reference = FilesBelow(out_.path());
    ASSERT_EQ(KvUIController::GetRecoveryCounts().recovered, reference.size());

    // 32 KiB take a few of the files; the user resumes each pause without making room.
    FullTmpfs small("32k", false);
    if (!small.mounted())
        GTEST_SKIP() << "no tmpfs could be mounted";
    StartRecovery(small.path());
    KvUIRecovery* recovery = KvUIRecovery::instance();
    int pauses = 0;
    while (WaitFor(
        [recovery] {
            return recovery->GetStatus() == KV_STATUS_PAUSED ||
                   (!KvUIController::IsRecoveryRunning() &&
                    KvUIScan::instance()->ResultUsers() == 0);
        },
        kTimeoutMs)) {
        if (!recovery->ExchangeStatus(KV_STATUS_PAUSED, KV_STATUS_RUNNING))
            break;
        ++pauses;
    }
    ASSERT_TRUE(WaitForRecoveryEnd());
    const std::map<std::string, fs::path> copied = FilesBelow(small.path());

    // What the alert at the end is built from.
    const KvUIRecovery::Counts counts = KvUIController::GetRecoveryCounts();
    EXPECT_GT(pauses, 0);
    EXPECT_GT(counts.failed, 0u);
    EXPECT_EQ(counts.skipped, 0u);
    EXPECT_EQ(counts.recovered + counts.partly + counts.failed, static_cast<uint64_t>(count));
    EXPECT_EQ(counts.recovered + counts.partly, copied.size());
    EXPECT_EQ(KvUIController::GetRecoveridedFiles(), copied.size());
    for (const auto& [name, path] : copied) {
        SCOPED_TRACE(name);
        ASSERT_EQ(reference.count(name), 1u);
        EXPECT_EQ(harbex::test::ReadFile(path), harbex::test::ReadFile(reference.at(name)));
    }
}

TEST(RecoveryProgress, CountsEveryFileFromZero) {
    KvUIRecovery* recovery = KvUIRecovery::instance();
    recovery->ResetParam();
    ASSERT_EQ(recovery->GetRecoveriedFileSize(), 0u);
    const auto report = [recovery](uint32_t state, uint64_t total, uint64_t done,
                                   RESULT_CODE result = 0) {
        _PROGRESS_INFO info{};
        info.state = state;
        info.total = total;
        info.done = done;
        info.result = result;
        recovery->UpdateProgress(&info);
    };
    recovery->BeginFile(nullptr);
    report(PROGRESS_STATE_RUNNING, 5000, 4000);
    report(PROGRESS_STATE_REFRESH, 5000, 4900);
    report(PROGRESS_STATE_RUNNING, 5000, 5000);
    // The next file reports its first piece without a report at 0 first.
    recovery->BeginFile(nullptr);
    report(PROGRESS_STATE_RUNNING, 8000, 3000);
    EXPECT_EQ(recovery->GetRecoveriedFileSize(), 8000u);

    // A write failure pauses a running recovery, not one asked to stop.
    const RESULT_CODE writeFailed = 0x010D015F00000D03ull;
    recovery->SetStatus(KV_STATUS_RUNNING);
    report(PROGRESS_STATE_RUNNING, 8000, 3000, writeFailed);
    EXPECT_EQ(recovery->GetStatus(), KV_STATUS_PAUSED);
    EXPECT_EQ(recovery->GetProgressInfo().result, writeFailed);
    recovery->SetStatus(KV_STATUS_STOP_REQUESTED);
    report(PROGRESS_STATE_RUNNING, 8000, 3000, writeFailed);
    EXPECT_EQ(recovery->GetStatus(), KV_STATUS_STOP_REQUESTED);
    recovery->SetStatus(KV_STATUS_IDLE);
    recovery->ResetParam();
}

// Recovery after a quick scan of the FAT disk, whose copy-out objects are
// the scan's per volume.
class DiskRecoveryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!harbex::test::IsRoot())
            return;
        disk_ = new FatDisk;
        if (disk_->ready())
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
        diskIndex_ = DiskIndexOf(disk_->name());
        if (diskIndex_ < 0) {
            ReEnumerate();
            diskIndex_ = DiskIndexOf(disk_->name());
        }
        if (diskIndex_ < 0)
            GTEST_SKIP() << "the test disk was not enumerated";
    }

    static FatDisk* disk_;
    int diskIndex_ = -1;
};

FatDisk* DiskRecoveryTest::disk_ = nullptr;

TEST_F(DiskRecoveryTest, CopiesTheCheckedFilesOfAQuickScan) {
    harbex::test::ScopedTimeZone utc("UTC");
    KvUIFilter::instance()->ResetFilter(127);
    KvUIScan::instance()->SetDeepScan(0);
    ASSERT_TRUE(KvUIController::DoScanWithDiskIndex(diskIndex_, -1));
    ASSERT_TRUE(WaitFor([] { return !KvUIController::IsScanRunning(); }, kTimeoutMs));
    KvUIController::WaitForScanWorker();
    ASSERT_EQ(KvUIScan::instance()->GetRecoveryController()->thisType(),
              RECOVERY_CONTROLLER_DELETED);
    CheckRoots("HARBEX16");
    TempDir out;
    StartRecovery(out.path());
    ASSERT_TRUE(WaitForRecoveryEnd());
    EXPECT_EQ(KvUIController::GetRecoveryCounts().failed, 0u);
    EXPECT_EQ(KvUIController::GetRecoveryCounts().skipped, 0u);
    ExpectDeletedContent("fat16_512", FatVolumeFolder(out.path(), "HARBEX16"));
    Pump(500);
}

// A disk image with one ext2 partition, attached to a loop device with its
// partition and mounted.
class MountedDisk {
public:
    MountedDisk() {
        const fs::path disk = dir_ / "disk.img";
        if (RunCommand("truncate -s 8M " + ShellQuoted(disk.string()) +
                       " && printf 'label: dos\\nstart=2048, type=83\\n' | sfdisk -q " +
                       ShellQuoted(disk.string()) + " >/dev/null 2>&1")
                .status != 0)
            return;
        loop_ = std::make_unique<harbex::test::LoopDevice>(disk, true);
        if (!loop_->attached())
            return;
        partition_ = loop_->device() + "p1";
        for (int i = 0; i < 50 && !fs::exists(partition_); ++i) {
            if (i == 10)
                RunCommand("partx -a " + loop_->device() + " 2>/dev/null");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        fs::create_directory(dir_ / "mnt");
        mounted_ = RunCommand("mkfs.ext2 -q " + partition_ + " >/dev/null 2>&1 && mount " +
                              partition_ + " " + ShellQuoted(folder().string()))
                       .status == 0;
    }
    ~MountedDisk() {
        if (mounted_)
            RunCommand("umount " + ShellQuoted(folder().string()));
    }
    bool mounted() const { return mounted_; }
    std::string name() const { return fs::path(loop_->device()).filename().string(); }
    fs::path folder() const { return dir_ / "mnt"; }

private:
    TempDir dir_;
    std::unique_ptr<harbex::test::LoopDevice> loop_;
    std::string partition_;
    bool mounted_ = false;
};

TEST(RecoverySameDevice, AFolderOnTheScannedDiskOrVolumeIsTold) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "loop devices need root";
    MountedDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << "the test disk could not be attached and mounted";
    ReEnumerate();
    KvUIDeviceData* model = KvUIDeviceData::instance();
    IStorageDevice* whole = model->GetDiskStorageByIndex(DiskIndexOf(disk.name()));
    ASSERT_NE(whole, nullptr);
    std::list<IStorageDevice*> volumes;
    model->GetDiskVolumeStorage(whole, volumes);
    ASSERT_EQ(volumes.size(), 1u);

    TempDir elsewhere;
    const QString onDisk = QString::fromStdString(disk.folder().string());
    const QString offDisk = QString::fromStdString(elsewhere.path().string());
    KvUIScan* scan = KvUIScan::instance();
    const struct {
        IStorageDevice* scanned;
        bool onDiskIsSame;
    } cases[] = {{whole, true}, {volumes.front(), true}, {nullptr, false}};
    for (const auto& c : cases) {
        scan->SaveScanSorage(c.scanned);
        EXPECT_EQ(KvUIController::IsRecoveryToSameDevice(onDisk), c.onDiskIsSame);
        EXPECT_EQ(KvUIController::IsRecoveryToSameDevice(onDisk + "/lost+found"), c.onDiskIsSame);
        EXPECT_FALSE(KvUIController::IsRecoveryToSameDevice(offDisk));
        EXPECT_FALSE(KvUIController::IsRecoveryToSameDevice(onDisk + "/missing"));
    }
    scan->SaveScanSorage(nullptr);
}

}  // namespace
