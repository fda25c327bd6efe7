#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class IStorageDevice;
class KvUIOperation;
struct _DiskVolumeData;

// The facade every window calls: runs the long operations on worker threads
// and answers the windows' questions about them. Call from the main thread.
class KvUIController {
public:
    KvUIController() = delete;

    // Runs `work` on a new thread with a 2 MiB stack; with `uiNotify`, a
    // polling thread posts `name` while `operation` reports changes.
    static void DoOperation(std::function<void()> work, KvUIOperation* operation,
                            const QString& name, bool uiNotify);
    // The polling loop: every 0.1 s while the operation runs, posts `name`
    // when it has something new; once more at the end unless the last change
    // was already posted.
    static void QueryStatusAndUpdateUI(KvUIOperation* operation, const QString& name);

    // Starts a scan of the device at these indexes with the scan's current
    // deep flag. Refused (false) while a scan runs, while a recovery or a
    // save still uses the results, or when no device has these indexes.
    static bool DoScanWithDiskIndex(int disk, int volume);
    // A quick scan of the device the record names.
    static bool DoScanWithData(const _DiskVolumeData* record);
    // A complete scan of a volume or image, a partition scan of a disk.
    static bool DoDeepScanWithData(const _DiskVolumeData* record);
    static bool isOztDoDeepScanWithData(const _DiskVolumeData* record);
    // A deep scan of the device of the last scan.
    static bool DoDeepScan();
    // The scan worker.
    static void DoScanFn(IStorageDevice* device);

    static void PauseOrResumeScan();
    // A nonzero flag discards what the scan found so far.
    static void StopScan(int discard);
    static void ResetShouldBuild();
    static bool IsScanRunning();
    static bool IsPause();
    static bool IsDeepScan();
    // The remaining time as "hh:mm:ss", or "-:-:-" while it cannot be told.
    static QString GetScanProgress(double& percent, uint64_t& fileCount);
    static QString FormatRemainingTime(uint64_t total, uint64_t done, int64_t elapsedSeconds);
    static void GetScanFileSize(uint64_t& size, uint64_t& count);
    // Waits until the scan worker has ended.
    static void WaitForScanWorker();

    // Posts `name` once the device list is built (building it first when
    // needed); a request while it is being built is served by that post.
    static void NotifiyDeviceInfoAfterInit(const QString& name);
    static void InitDeviceInfoInBgThread();
    // Stops a running scan, drops the results of the last scan (they read
    // from the devices being released) and enumerates again; false (nothing
    // changed) when the scan did not stop within 30 s or the results are in use.
    static bool RefreshDeviceInfo();
    static void SetViewType(int view);

    // True when another copy of the application runs. The first copy holds
    // a lock file for its lifetime.
    static bool IsAppRunning();
    static bool IsAnotherInstanceRunning(const std::string& lockPath);
    // Stops the workers and the engine's event delivery, then ends the process.
    [[noreturn]] static void CloseApp();

    // How long RefreshDeviceInfo waits for a scan to stop; tests shorten it.
    static void SetStopWaitMs(int ms);

private:
    static bool StartScan(IStorageDevice* device, int deep);
};
