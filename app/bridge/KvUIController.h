#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KvUIRecovery.h"
#include "OpNodeData.h"
#include "ResultCode.h"

class DiskVolumeNodeData;
class QDateTime;
class QImage;
class IFileNode;
class IStorageDevice;
class KvUIOperation;
struct KvTreeRoots;
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
    // The results are a saved result whose device is not connected: they
    // can be looked through, not read.
    static bool IsResultWithoutDevice();
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

    // Adds the Apple disk image at `path` to the device list; nonzero when it
    // is there. A refused image leaves the reason, for the user, in `refusal`.
    static int KvOpenDmgFile(const QString& path, QString* refusal = nullptr);

    // Thumbnails (defined in harbex_bridge_thumbnails, which needs QtGui): a
    // picture decoded from the found file's data, a movie's frame or a camera
    // raw's preview; else the icon of the extension. Any thread.
    static QImage GetNSImageByFildNode(IFileNode* node);
    static QImage GetNSImageByNode(const OpNodeData* row);
    // A frame of the movie file at `path`, fitting 192 x 192; null when none.
    static QImage getVideoThumbFromPath(const QString& path);

    // How long RefreshDeviceInfo waits for a scan to stop; tests shorten it.
    static void SetStopWaitMs(int ms);

    // The device page's list: the USB disks, each with its volumes.
    static void GetDeviceInfoToArray(std::vector<std::shared_ptr<DiskVolumeNodeData>>* list);
    // The picture name of an extension's icon in the type tree; empty when none.
    static QString getImageForType(const QString& extension);
    // Hands the category extension lists of the type tree to the engine's filter.
    static void initFileType();

    // Result trees. Their rows are the main thread's: workers publish what
    // they add there (KvResultTrees).
    // The results window's four root arrays, kept (not owned); false for null.
    static bool KvSetTreeNodeData(const KvTreeRoots* roots);
    // Empties the four trees and forgets what was placed in them.
    static void KvResetTreeNodeData();
    // Refreshes the four trees from what the scan delivered since the last
    // time; `final` at the end of a scan. Called with the tree lock held.
    static bool KvGetTreeNodeData(int final, const QString& key = {});
    // After a scan: a root row per file-system root not yet in `roots` and
    // every shown folder below them; a nonzero flag shows and unchecks the roots.
    static int GetScanTreeNodeData(OpNodeArray* roots, int clearNodeState);
    static void AddPathNodeToArray(OpNodeArray& rows);
    static bool IsFileNode(IFileNode* node, const OpNodeArray& rows);
    // The files a row lists, by its tree; the Get*InfoToArray answers.
    static int GetFileNodeToArray(std::vector<IFileNode*>* files, OpNodeData* row);
    // The shown files of a folder row; 1 when there was one.
    static int GetPathInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row);
    // 1 (and nothing listed) for a category row other than "other".
    static int GetTypeInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row);
    static int GetDateInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row);
    // The number of files below a row of the type or date trees.
    static uint64_t GetNodeChildrenCnt(const OpNodeData* row);
    static void RefreshData();

    // Check marks.
    // A month row's mark from its shown files.
    static void setNodeState(OpNodeData* row, const std::vector<IFileNode*>& files);
    static void RefreshTypeTreeState(OpNodeData* extensionRow);
    // Mode 1 only when a file was toggled since; roots of the shown date tree.
    static void RefreshTimeTreeState(const OpNodeArray& roots, int mode);
    static bool KvCleanOpNodeSate();
    static void UnselectedAllNodes();
    static void KvTableViewCellCilck();
    static bool KvGetIsSearching();
    static void KvSetFlag(int flag);

    // Search by name: one at a time. Posts `name` once the shown tree holds
    // the matches, then "DoSearchFinished"; refused until StopSearch.
    static bool DoSearchWithString(const QString& key, const QString& name);
    static void DoSearchFn(const QString& name);
    static QString GetSearchString();
    static void StopSearch();
    // The shown files of the type index while a key is set.
    static void GetSearchResultToArr(std::vector<IFileNode*>* files);

    // Recovery of the checked files (KvUIControllerRecovery.cpp).
    // The checked and shown files in the order of the type index; adds
    // their sizes to `size`.
    static std::vector<IFileNode*> GetSelectedFilesAndSize(uint64_t* size);
    // Counts the selection and makes it the totals of the next recovery.
    static void GetSelectedFilesAmout(int* count, uint64_t* size);
    // Starts copying the selection into `folder`; a polling thread posts
    // `name` as it goes. 0 when started; a failure code for a null `roots`
    // or `folder`, while a recovery runs, or while a scan changes the results.
    static RESULT_CODE DoRecovery(const OpNodeArray* roots, const QString& folder,
                                  const QString& name);
    static void DoRecoveryFn();
    // Total and done bytes and the last copy's result code; answers the name
    // of the file being copied.
    static QString GetRecoveryProgressTotal(uint64_t* total, uint64_t* current,
                                            uint64_t* errorCode);
    static bool IsRecoveryRunning();
    // Paused by the user or by a full destination.
    static bool IsRecoveryPaused();
    static void StopRecvoery();
    static void PauseOrResumeRecovery();
    // True when `folder` lies on the scanned device.
    static bool IsRecoveryToSameDevice(const QString& folder);
    static uint64_t GetRecoveridedSize();
    // Files copied whole or in part so far.
    static uint64_t GetRecoveridedFiles();
    static KvUIRecovery::Counts GetRecoveryCounts();
    // Lets go of the copy-out objects; not while a recovery or save uses them.
    static void ReleaseDataRecovery();
    // The categories the next scan keeps (a _FILTER_TYPE mask).
    static void SetRecoveryType(uint32_t mask);

    // Saving the scan result to a file and loading one
    // (KvUIControllerSaveRestore.cpp).
    // Marks the saver (`save`) or the scan running and starts the thread that
    // posts `name` as the work goes on and "QueryProgressFinish" once it has
    // ended. A load is refused while a scan runs or the results are in use,
    // a save while another runs: the thread then posts the end at once.
    static void RestorPostUIUpdate(const QString& name, bool save);
    static void QueryUpdateUI(const QString& name, bool save);
    // Starts the save or the load (of an ozt result with its image at
    // `imagePath`, else null); one that cannot start ends as a failure.
    static void beginSaveOrRestoreNode(bool save, const QString& path, const QString& imagePath);
    // Total, done and result code of the save (`saver`) or the load; a
    // finished one shows done = total only when it succeeded.
    static void GetSaveorRestoreProgress(uint64_t* total, uint64_t* current, uint64_t* errorCode,
                                         bool saver);
    // Asks the save (`save`) or the load that was started to stop; it ends
    // as a failure with its "QueryProgressFinish" as usual.
    static void StopSaveOrRestore(bool save);
    // The folder of the last save, kept in the private settings list.
    static bool SavePathToPList(const QString& folder);
    static QString GetSavePath();
    // "<device>_<month>-<day>-<year> at <hh>.<mm>.<ss>" for the last scan's device.
    static QString GetSaveFileName();
    static QString SaveFileNameFor(const QString& deviceName, const QDateTime& when);

private:
    static bool StartScan(IStorageDevice* device, int deep);
};
