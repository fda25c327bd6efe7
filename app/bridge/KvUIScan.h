#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DirectoryTree.h"
#include "KvUIOperation.h"
#include "RecoveryController.h"

class IDataRecovery;
class IDirecotryTreeBuilder;
class IStorageDevice;
class RestoreScanSink;

// The scan operation: runs one scan at a time on the facade's worker thread,
// owns the engine controller of the scan, and files every node the engine
// hands over into the indexes the result trees are built from.
class KvUIScan : public KvUIOperation, public IDrirectoryTree {
public:
    using DateIndex = std::map<int, std::map<int, std::vector<IFileNode*>>>;
    using TypeIndex = std::map<unsigned int, std::vector<IFileNode*>>;

    // What DoScan answers when there was nothing to scan.
    static constexpr RESULT_CODE kNoScanResult = 0x0104003300000001ull;
    // What DoVolumeStorageScan answers when the volume was not started.
    static constexpr RESULT_CODE kVolumeNotStarted = 0x0104014F00000001ull;

    static KvUIScan* instance();
    ~KvUIScan() override;

    // The whole scan of `device`, on the calling thread; `sink` replays a
    // saved result instead of searching. Every way out leaves the operation
    // idle and posts the final update.
    RESULT_CODE DoScan(IStorageDevice* device, RestoreScanSink* sink);
    // Lists a saved result whose device is not connected: `replay` hands the
    // saved trees to the builders `builderFor` makes, one per volume name,
    // `restoring` as for the scan that made them. Nothing listed can be read.
    // Leaves the operation idle and posts the final update.
    using BuilderFor = std::function<IDirecotryTreeBuilder*(const std::string& volumeName)>;
    void ListWithoutDevice(bool restoring,
                           const std::function<void(const BuilderFor&, IProgress*)>& replay);
    // The results are a saved result listed without its device.
    bool IsWithoutDevice();
    void SetDeepScan(int deep);
    // Also 1 for a volume whose file system was not recognised.
    int IsDeepScan();
    _RECOVERY_CONTROLLER_TYPE GetScanControllerType(IStorageDevice* device);
    void SaveScanSorage(IStorageDevice* device);
    IStorageDevice* GetSavedStorage();
    IRecoveryController* GetRecoveryController();
    void ClearData();
    // Releases the controller with every found node and copy-out object and
    // forgets the device: called before the devices are enumerated anew,
    // which releases the device those still read from.
    void ForgetResults();
    void ReCalTotalSize();
    void ReleaseDataRecovery();
    // Keeps, for as long as the results of a loaded scan result stand, what
    // its nodes and copy-out objects go on using: the replay's saved
    // partitions and the image the load opened itself (null when the device
    // belongs to the device list).
    void KeepLoadedResult(std::unique_ptr<RestoreScanSink> sink,
                          std::unique_ptr<IStorageDevice> device);
    void SetOztRsf(int flag);
    int IsOztRsf();
    void SetDmgRsf(int flag);
    uint64_t GetScanFileCnt();
    uint64_t GetScanFileSize();
    void SetCurrentScanRecoveryCnt(int count);
    int GetCurrentScanRecoveryCnt();

    // Copy-out and saving work on the found nodes and the controller: while
    // any such user holds the results, no new scan may release them.
    // AcquireResults fails while a scan runs.
    bool AcquireResults();
    // Marks the scan running for a new request in one step: false while a
    // scan runs or the results are in use. A stop still pending from a scan
    // that has ended is dropped first.
    bool BeginScanRequest();
    void ReleaseResults();
    int ResultUsers();

    TypeIndex GetTypeMap();
    DateIndex GetCreateTimeMap();
    DateIndex GetModifyTimeMap();
    // The same lists from a position on (0 where `from` has none), so that a
    // refresh copies only what arrived since the last: by category, and by
    // year * 100 + month for the date indexes (`created` or modified).
    TypeIndex GetTypeMapFrom(const std::map<unsigned int, size_t>& from);
    DateIndex GetDateMapFrom(bool created, const std::map<int, size_t>& from);
    std::vector<IFileNode*> GetFileSystemNode();
    // The roots and folders not yet taken into the path tree; emptied.
    std::vector<IFileNode*> KvGetNewPathNode();
    std::vector<IFileNode*> KvGetAllPathNode();
    void* KvGetFileNode(IFileNode* node);
    void KvSetFileNode(IFileNode* node, void* object);
    void KvResetFileNode();
    IDataRecovery* GetFileNodeDataRecover(IFileNode* node);
    static int FindRemoveData(IFileNode* node);
    // The lower-case text after the last dot of the name; empty without one.
    static std::string GetNodeExt(IFileNode* node);
    void UnselectAllNodes();

    // Shows the files that match the search key and hides the rest; `result`
    // gets the matching files.
    void DoSearch(std::vector<IFileNode*>& result);
    void SetSearchKey(const char* key);
    std::string GetSearchKey();
    void SetSearching(int searching);
    int IsSearching();
    // The tree the results window shows: 0 path, 1 type, 2 created, 3 modified.
    void SetScanType(int view);
    int GetScanType();

    int UpdateProgress(_PROGRESS_INFO* info) override;
    int IsOpTreeFinished() override;
    void SetOpTreeFinished(int finished) override;
    void ShowNodes(IFileNode** nodes, unsigned int count, int lost) override;
    void ShowFilesystemNode(IFilesystemNode* root) override;

private:
    KvUIScan() = default;

    RESULT_CODE DoVolumeStorageScan(IStorageDevice* device);
    void ResetRecoveryController(_RECOVERY_CONTROLLER_TYPE type);
    // A fresh controller of the same kind for the next volume of a disk; the
    // one before keeps the nodes it found alive until the next scan.
    void NextVolumeController();
    // The end of every scan: idle, and a final update unless the engine's
    // last report already made it.
    void FinishScan();
    // Releases the builders of a listing without device; the lock is held.
    void ReleaseListingBuilders();

    std::mutex scanLock_;  // held for a whole scan
    RestoreScanSink* restoreSink_ = nullptr;
    IStorageDevice* savedDevice_ = nullptr;
    IRecoveryController* controller_ = nullptr;             // owned
    std::vector<IRecoveryController*> earlierControllers_;  // owned: earlier volumes
    std::unique_ptr<RestoreScanSink> loadedSink_;
    std::unique_ptr<IStorageDevice> loadedDevice_;
    // Own the nodes of a result listed without its device.
    std::vector<IDirecotryTreeBuilder*> listingBuilders_;
    bool withoutDevice_ = false;
    int deepScan_ = 0;
    int treeFinished_ = 1;
    int oztResult_ = 0;
    int dmgResult_ = 0;
    std::vector<IFileNode*> fileSystemRoots_;
    DateIndex created_;
    DateIndex modified_;
    TypeIndex types_;
    std::vector<IFileNode*> newPathNodes_;
    std::vector<IFileNode*> allDirectories_;
    std::map<IFileNode*, void*> nodeObjects_;
    std::string searchKey_;
    int searching_ = 0;
    int viewType_ = 0;
    int remainingVolumes_ = 0;
    uint64_t fileCount_ = 0;
    uint64_t totalSize_ = 0;
    int recoveryCount_ = 0;
    std::map<IFileNode*, IDataRecovery*> dataRecoveries_;  // owned
    int resultUsers_ = 0;
    // The engine's last report ended the scan and posted the final update.
    bool endReported_ = false;
};
