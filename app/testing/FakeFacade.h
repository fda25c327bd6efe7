#pragma once

// A scripted stand-in for the engine bridge. A test or a scene installs it,
// tells it what the "engine" holds (devices, a synthetic result tree, the
// outcome of a save, a load or a recovery) and moves each operation on by
// hand; the fake posts the notifications the bridge would, through the one
// notification centre, so windows see what they would see in a real run.
// Members are called on the main thread, except GetImageByFileNode.

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "KvResultTrees.h"
#include "KvUIFacade.h"
#include "SyntheticTree.h"

struct FakeScanRequest {
    int disk = -1;
    int volume = -1;
    bool deep = false;
};

class FakeFacade : public KvUIFacade {
public:
    // Installs itself; the bridge comes back when it goes.
    FakeFacade();
    ~FakeFacade() override;

    // A disk or volume row as the device list makes them.
    static std::shared_ptr<DiskVolumeNodeData> MakeDevice(const QString& name, uint64_t capacity,
                                                          int disk, int volume, int fileSystem,
                                                          bool canOpen = true);

    // --- Script ---------------------------------------------------------
    DiskVolumeNodeList devices;
    // What a device-list refresh answers.
    bool refreshAnswer = true;
    // Refuse the next scan starts.
    bool refuseScans = false;
    // The result tree the scan "finds"; null: an empty scan.
    std::shared_ptr<SyntheticTree> tree;
    // The remaining-time text while the scan runs.
    QString remainingTime = QStringLiteral("00:01:30");

    // Moves the running scan to `percent`; the folders of the tree are found in
    // order, as much of them as the percentage says. Posts "NormalScranValue".
    void advanceScan(double percent);
    // Ends the scan at 100 % and posts "NormalScranValue".
    void finishScan();

    // Saving and loading: the progress of the operation started last, and its
    // end with an error code (0 for success) followed by "QueryProgressFinish".
    void advanceSaveOrLoad(uint64_t current, uint64_t total);
    void finishSaveOrLoad(uint64_t errorCode);
    // A loaded result stands without its device.
    bool resultWithoutDevice = false;

    // Recovery: the code DoRecovery answers, the bytes to copy, then progress
    // with the file being copied and an error code (3331 in the low bits
    // pauses), and the end.
    int64_t recoveryStartCode = 0;
    uint64_t recoveryTotal = 0;
    void advanceRecovery(uint64_t done, const QString& fileName, int64_t errorCode = 0);
    void finishRecovery(int64_t errorCode = 0);

    // Each preview takes this long (ms), from whichever thread asks.
    std::atomic<int> thumbnailDelayMs{0};

    // --- What the windows asked ------------------------------------------
    std::vector<FakeScanRequest> scanRequests;
    std::vector<QString> searchKeys;
    std::vector<unsigned int> recoveryTypes;
    QString savePath;
    QString loadPath;
    QString recoveryPath;
    int refreshCount = 0;
    int stopScanCount = 0;
    int closeCount = 0;
    std::atomic<int> thumbnailCount{0};

    // --- KvUIFacade --------------------------------------------------------
    void GetDeviceInfoToArray(DiskVolumeNodeList* list) override;
    void NotifiyDeviceInfoAfterInit(const QString& name) override;
    bool RefreshDeviceInfo() override;
    void initFileType() override {}
    void SetRecoveryType(unsigned int mask) override;

    bool DoScanWithDiskIndex(int disk, int volume) override;
    bool DoScanWithData(const _DiskVolumeData* record) override;
    bool DoDeepScanWithData(const _DiskVolumeData* record) override;
    bool isOztDoDeepScanWithData(const _DiskVolumeData* record) override;
    bool DoDeepScan() override;
    void PauseOrResumeScan() override;
    void StopScan(int discard) override;
    void ResetShouldBuild() override {}
    bool IsScanRunning() override;
    bool IsPause() override;
    bool IsDeepScan() override { return deep_; }
    bool IsResultWithoutDevice() override { return resultWithoutDevice; }
    QString GetScanProgress(double& percent, uint64_t& fileCount) override;
    void GetScanFileSize(uint64_t& size, uint64_t& count) override;

    void SetViewType(int view) override { view_ = view; }
    bool KvSetTreeNodeData(const KvTreeRoots* roots) override;
    void KvResetTreeNodeData() override;
    bool KvGetTreeNodeData(int final, const QString& key = {}) override;
    int GetScanTreeNodeData(OpNodeArray* roots, int clearNodeState) override;
    int GetFileNodeToArray(std::vector<IFileNode*>* files, OpNodeData* row) override;
    int GetPathInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row) override;
    uint64_t GetNodeChildrenCnt(const OpNodeData* row) override;

    bool KvGetIsSearching() override { return searching_; }
    bool DoSearchWithString(const QString& key, const QString& name) override;
    QString GetSearchString() override { return searchKey_; }
    void StopSearch() override { searching_ = false; }
    void GetSearchResultToArr(std::vector<IFileNode*>* files) override;

    void beginSaveOrRestoreNode(int save, const QString& path, const QString& imagePath) override;
    void RestorPostUIUpdate(const QString& name, bool save) override;
    void GetSaveorRestoreProgress(uint64_t& total, uint64_t& current, uint64_t& errorCode,
                                  bool saver) override;

    int64_t DoRecovery(const OpNodeArray& roots, const QString& path, const QString& name) override;
    QString GetRecoveryProgressTotal(uint64_t& total, uint64_t& current,
                                     int64_t& errorCode) override;
    uint64_t GetRecoveridedFiles() override { return recoveredFiles_; }
    bool IsRecoveryRunning() override {
        return recoveryState_ == kRunning || recoveryState_ == kPaused;
    }
    void PauseOrResumeRecovery() override;
    void StopRecvoery() override;

    QImage GetImageByFileNode(IFileNode* file) override;

    bool IsAppRunning() override { return false; }
    void CloseApp() override { ++closeCount; }

    // --- Check marks of the results window ---------------------------------
    // The checked, shown files of the tree and their bytes.
    void GetSelectedFilesAmout(int* count, uint64_t* size) override;
    // What the window asked of the type and date trees' marks.
    int tableCellClicks = 0;
    std::vector<OpNodeData*> typeStateRefreshes;
    std::vector<int> timeStateRefreshes;  // the mode of each
    void KvTableViewCellCilck() override { ++tableCellClicks; }
    void RefreshTypeTreeState(OpNodeData* extensionRow) override {
        typeStateRefreshes.push_back(extensionRow);
    }
    void RefreshTimeTreeState(const OpNodeArray&, int mode) override {
        timeStateRefreshes.push_back(mode);
    }

private:
    // The operations' states, as the bridge numbers them.
    enum State { kIdle = 0, kStopping = 1, kRunning = 2, kPaused = 3 };
    struct Progress {
        uint64_t total = 0;
        uint64_t current = 0;
        uint64_t errorCode = 0;
    };

    bool startScan(int disk, int volume, bool deep);
    size_t foundFolders() const;
    void post(const QString& name);

    State scanState_ = kIdle;
    bool deep_ = false;
    double percent_ = 0;
    int view_ = 0;
    KvTreeRoots roots_;
    OpNodeRef pathRoot_;
    size_t shownFolders_ = 0;

    bool searching_ = false;
    QString searchKey_;

    bool saving_ = false;
    QString saveLoadNote_;
    Progress saveProgress_;
    Progress loadProgress_;

    State recoveryState_ = kIdle;
    QString recoveryNote_;
    uint64_t recoveryDone_ = 0;
    int64_t recoveryError_ = 0;
    QString recoveryFile_;
    uint64_t recoveredFiles_ = 0;

public:
    bool IsRecoveryPaused() override { return recoveryState_ == kPaused; }
    // Saves (true) and loads (false) the windows asked to stop.
    std::vector<bool> saveOrLoadStops;
    void StopSaveOrRestore(bool save) override { saveOrLoadStops.push_back(save); }
    // Recovery, continued: the scanned device's answer for every folder, and
    // the counts a recovery ends with (set by the script before the end).
    bool recoveryOnSameDevice = false;
    KvRecoveryCounts recoveryCounts;
    bool IsRecoveryToSameDevice(const QString&) override { return recoveryOnSameDevice; }
    KvRecoveryCounts GetRecoveryCounts() override { return recoveryCounts; }

    // --- Saving the result and stopping a scan ----------------------------
    QString saveFileName = QStringLiteral("Untitled_12-11-2026 at 10.00.00");
    // What SavePathToPList was handed last.
    QString plistSavePath;
    // The flag of every StopScan, in order.
    std::vector<int> stopScanFlags;
    // A stop that takes its time: the scan reads as running (stopping) until
    // endStop().
    bool stopLingers = false;
    void endStop();

    QString GetSaveFileName() override { return saveFileName; }
    bool SavePathToPList(const QString& path) override;
    // Unchecks the roots of the four trees, as the bridge does.
    int cleanCount = 0;
    bool KvCleanOpNodeSate() override;

    // Unchecks every file of the tree, as the bridge does; counted.
    int unselectAllCount = 0;
    void UnselectedAllNodes() override;
};
