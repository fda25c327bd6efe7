#include "KvUIController.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "CProgressNotify.h"
#include "EngineLog.h"
#include "KvJoinedThreads.h"
#include "KvSaveAndRestoreNodeOperate.h"
#include "KvScanUpdates.h"
#include "KvUIDeviceData.h"
#include "KvUIOperation.h"
#include "KvUIPublic.h"
#include "KvUIScan.h"
#include "MessageCenter.h"

namespace {

constexpr size_t kWorkerStackSize = 0x200000;
constexpr std::chrono::milliseconds kPollPeriod{100};

// The scan worker is kept apart from the facade's other threads: a new scan
// waits for the previous one to end before it clears what that one was
// filling. One scan is started, or waited for, at a time.
std::mutex g_scanLock;

KvJoinedThreads& ScanThread() {
    static KvJoinedThreads thread([] { ScanThread().joinAll(); });
    return thread;
}

KvJoinedThreads& OtherThreads() {
    static KvJoinedThreads threads([] { OtherThreads().joinAll(); });
    return threads;
}

std::atomic<int> g_stopWaitMs{30000};

// Waits until the operation is idle, at most `waitMs`; false when it is not.
bool WaitUntilExited(KvUIOperation* operation, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!operation->IsOperationExit()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollPeriod);
    }
    return true;
}

bool SaveOrLoadRuns() {
    return !KvSaveAndRestoreNodeOperate::instance()->IsOperationExit();
}

}  // namespace

void KvUIController::DoOperation(std::function<void()> work, KvUIOperation* operation,
                                 const QString& name, bool uiNotify) {
    if (uiNotify && operation != nullptr)
        OtherThreads().start([operation, name] { QueryStatusAndUpdateUI(operation, name); });
    OtherThreads().start(std::move(work), kWorkerStackSize);
}

void KvUIController::QueryStatusAndUpdateUI(KvUIOperation* operation, const QString& name) {
    bool posted = false;
    while (!operation->IsOperationExit()) {
        std::this_thread::sleep_for(kPollPeriod);
        if (operation->IsNeedUIUpdate()) {
            operation->SetNeedUIUpdate(0);
            if (operation->IsOpTreeFinished()) {
                KvUIPublic::NotifyMainThread(name);
                posted = true;
            }
        }
    }
    // The end is always posted when its last change was not.
    if (!posted || operation->IsNeedUIUpdate())
        KvUIPublic::NotifyMainThread(name);
    operation->SetNeedUIUpdate(0);
    CatchExeception::WriteLog("!!!!!!! The state query thread is exited!!!!!!!!!");
}

bool KvUIController::StartScan(IStorageDevice* device, int deep) {
    if (device == nullptr)
        return false;
    KvUIScan* scan = KvUIScan::instance();
    std::lock_guard hold(g_scanLock);
    if (!ScanThread().finished()) {
        const int status = scan->GetStatus();
        if (status == KV_STATUS_RUNNING || status == KV_STATUS_PAUSED)
            return false;
        // Stopping or already idle: it is ending; let it end first.
    }
    ScanThread().joinAll();
    if (SaveOrLoadRuns() || !scan->BeginScanRequest())
        return false;
    if (deep >= 0)
        scan->SetDeepScan(deep);
    // The rows of the last scan's nodes go before the scan releases them.
    KvResetTreeNodeData();
    scan->ClearData();
    ScanThread().start([device] { DoScanFn(device); }, kWorkerStackSize);
    return true;
}

bool KvUIController::DoScanWithDiskIndex(int disk, int volume) {
    return StartScan(KvUIDeviceData::instance()->GetStorageByDiskVolumeIndex(disk, volume), -1);
}

bool KvUIController::DoScanWithData(const _DiskVolumeData* record) {
    if (record == nullptr)
        return false;
    return StartScan(KvUIDeviceData::instance()->GetStorageByRecord(*record), 0);
}

bool KvUIController::DoDeepScanWithData(const _DiskVolumeData* record) {
    if (record == nullptr)
        return false;
    return StartScan(KvUIDeviceData::instance()->GetStorageByRecord(*record), 1);
}

bool KvUIController::isOztDoDeepScanWithData(const _DiskVolumeData* record) {
    return DoDeepScanWithData(record);
}

bool KvUIController::DoDeepScan() {
    IStorageDevice* last = KvUIScan::instance()->GetSavedStorage();
    KvUIDeviceData* model = KvUIDeviceData::instance();
    int disk = -1;
    int volume = -1;
    if (last == nullptr || !model->GetDiskVolumeIndexByStorage(last, disk, volume) || disk == -1)
        return false;
    return StartScan(model->GetStorageByDiskVolumeIndex(disk, volume), 1);
}

void KvUIController::DoScanFn(IStorageDevice* device) {
    CMessageCenter* messages = CMessageCenter::Instance();
    messages->StartReceiveMessage();
    {
        CProgressNotify badSectors;
        KvUIScan::instance()->DoScan(device, nullptr);
        KvUIScan::instance()->ReCalTotalSize();
    }
    messages->StopReceiveMessage();
}

void KvUIController::PauseOrResumeScan() {
    KvUIScan::instance()->PauseOrResumeOperation();
}

void KvUIController::StopScan(int discard) {
    KvUIScan::instance()->StopOperation(discard);
}

void KvUIController::ResetShouldBuild() {
    KvUIScan::instance()->SetShouldBuildTree(1);
}

bool KvUIController::IsScanRunning() {
    return KvUIScan::instance()->GetStatus() != KV_STATUS_IDLE;
}

bool KvUIController::IsPause() {
    return KvUIScan::instance()->GetStatus() == KV_STATUS_PAUSED;
}

bool KvUIController::IsDeepScan() {
    return KvUIScan::instance()->IsDeepScan() != 0;
}

bool KvUIController::IsResultWithoutDevice() {
    return KvUIScan::instance()->IsWithoutDevice();
}

QString KvUIController::GetScanProgress(double& percent, uint64_t& fileCount) {
    KvUIScan* scan = KvUIScan::instance();
    const _PROGRESS_INFO info = scan->GetProgressInfo();
    fileCount = scan->GetScanFileCnt();
    percent = static_cast<double>(info.done) * 100.0 /
              static_cast<double>(info.total != 0 ? info.total : 1);
    return FormatRemainingTime(info.total, info.done, scan->GetScanElapseTime());
}

QString KvUIController::FormatRemainingTime(uint64_t total, uint64_t done, int64_t elapsedSeconds) {
    const QString unknown = QStringLiteral("-:-:-");
    const double percent =
        static_cast<double>(done) * 100.0 / static_cast<double>(total != 0 ? total : 1);
    if (elapsedSeconds < 1 || done == 0 || percent < 1.0)
        return unknown;
    int32_t remaining = 0;
    if (done < total) {
        const uint64_t estimate = static_cast<uint64_t>(elapsedSeconds) * (total - done) / done;
        remaining = static_cast<int32_t>(estimate);
        if (remaining < 0)
            remaining = 0;
    }
    // Early estimates run long: the first parts of a device are the slow ones.
    int32_t adjusted = remaining;
    if (done < (total >> 2))
        adjusted = static_cast<int32_t>(remaining * 0.5);
    else if (done < (total >> 1))
        adjusted = static_cast<int32_t>(remaining * 0.7);
    if (adjusted > 0)
        remaining = adjusted;
    if (remaining / 3600 > 100)
        return unknown;
    return QString::asprintf("%02d:%02d:%02d", remaining / 3600, remaining % 3600 / 60,
                             remaining % 60);
}

void KvUIController::GetScanFileSize(uint64_t& size, uint64_t& count) {
    size = KvUIScan::instance()->GetScanFileSize();
    count = KvUIScan::instance()->GetScanFileCnt();
}

void KvUIController::WaitForScanWorker() {
    std::lock_guard hold(g_scanLock);
    ScanThread().joinAll();
}

void KvUIController::NotifiyDeviceInfoAfterInit(const QString& name) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    if (model->BeginBuilding()) {
        KvUIPublic::NotifyMainThreadByPostKey(name, [] { InitDeviceInfoInBgThread(); });
        return;
    }
    if (model->GetInitState() == KvUIDeviceData::kBuilt)
        KvUIPublic::NotifyMainThread(name);
    // While it is being built, the post of that build serves this request too.
}

void KvUIController::InitDeviceInfoInBgThread() {
    KvUIDeviceData::instance()->InitDeviceInfo();
}

bool KvUIController::RefreshDeviceInfo() {
    KvUIScan* scan = KvUIScan::instance();
    if (scan->ResultUsers() > 0 || SaveOrLoadRuns())
        return false;
    scan->StopOperation(1);
    // The enumeration releases every device: never while a scan reads one.
    if (!WaitUntilExited(scan, g_stopWaitMs))
        return false;
    WaitForScanWorker();
    // What the last scan found reads from devices the enumeration is about
    // to release: it goes first, and the windows are told.
    KvResetTreeNodeData();
    scan->ForgetResults();
    KvNotifyUIUpdateData(1);
    KvUIDeviceData* model = KvUIDeviceData::instance();
    model->Clear();
    model->InitDeviceInfo();
    return true;
}

void KvUIController::SetViewType(int view) {
    KvUIScan::instance()->SetScanType(view);
}

bool KvUIController::IsAppRunning() {
    // The user's own runtime folder, which Qt makes private when the session
    // names none; never a name in /tmp that someone else could take first.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return false;
    return IsAnotherInstanceRunning((folder + QStringLiteral("/harbex.lock")).toStdString());
}

bool KvUIController::IsAnotherInstanceRunning(const std::string& lockPath) {
    static std::mutex lock;
    static std::map<std::string, int> held;  // lock files this process holds, kept open
    std::lock_guard hold(lock);
    if (held.count(lockPath) != 0)
        return false;
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;  // cannot tell: do not keep the user out
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        held.emplace(lockPath, fd);
        return false;
    }
    const bool busy = errno == EWOULDBLOCK;
    close(fd);
    return busy;
}

void KvUIController::CloseApp() {
    KvUIScan* scan = KvUIScan::instance();
    scan->StopOperation(1);
    bool ended = WaitUntilExited(scan, g_stopWaitMs);
    if (ended) {
        WaitForScanWorker();
        ended = OtherThreads().waitUntilFinished(std::chrono::steady_clock::now() +
                                                 std::chrono::milliseconds(g_stopWaitMs.load()));
    }
    CMessageCenter::Instance()->StopReceiveMessage();
    std::fflush(nullptr);
    // A worker that would not end must not meet the process's destructors.
    if (!ended)
        std::_Exit(0);
    OtherThreads().joinAll();
    std::exit(0);
}

void KvUIController::SetStopWaitMs(int ms) {
    g_stopWaitMs = ms;
}
