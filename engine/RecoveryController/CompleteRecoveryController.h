#pragma once

#include <list>
#include <map>

#include "FileSystemSearcher.h"
#include "KnownFiles.h"
#include "RecoveryController.h"

class IProgress;
class CStorageDeviceWithCache;
class ICompleteFileSystemSearchController;
class IDirecotryTreeBuilder;
class TBitmap;

struct _SEARCHER_INFO {
    _tagSearcherType type;
    ICompleteFileSystemSearchController* searcher;
};

// The complete scan: every block searcher over the whole device, which is
// read once, block by block, through a read-ahead cache.
class CCompleteRecoveryController : public IRecoveryController, private ILaterListing {
public:
    explicit CCompleteRecoveryController(std::chrono::milliseconds treeSetupPause)
        : m_treeSetupPause(treeSetupPause) {}
    ~CCompleteRecoveryController() override;
    CCompleteRecoveryController(const CCompleteRecoveryController&) = delete;
    CCompleteRecoveryController& operator=(const CCompleteRecoveryController&) = delete;

    _RECOVERY_CONTROLLER_TYPE thisType() override { return RECOVERY_CONTROLLER_COMPLETE; }
    bool Initialize(IRecoveryFilter* filter) override;
    RESULT_CODE StartDataRecovery(IStorageDevice* device, IProgress* progress,
                                  IDrirectoryTree* tree) override;
    IDataRecovery* GetDataRecovery(_tagSearcherType type) const override;
    void Release() override { delete this; }
    void SetRestoreScanSink(RestoreScanSink* source) override { m_pRestore = source; }

    // Sectors per block: 4 MiB of sectors of the given size (512 when 0).
    static int BlockSectors(uint32_t sectorSize);

private:
    // Offers the blocks of sectors first..last to every searcher in order.
    RESULT_CODE SearchData(long long first, long long last, IProgress* progress);
    void MakeSearchers(IStorageDevice* device, IProgress* progress);
    void FreeScanObjects();
    // A file-system searcher other than the raw search may list it when it ends.
    bool MayBeListedLater(long long sector) override;

    const std::chrono::milliseconds m_treeSetupPause;
    RestoreScanSink* m_pRestore = nullptr;
    IDirecotryTreeBuilder* m_pBuilder = nullptr;
    IRecoveryFilter* m_pFilter = nullptr;
    IStorageDevice* m_pDevice = nullptr;
    std::list<_SEARCHER_INFO> m_searchers;
    CStorageDeviceWithCache* m_pCache = nullptr;
    std::map<long long, unsigned int> m_fileSectorMap;
    TBitmap* m_pBitmap = nullptr;
    // Between the tree builder and the scan's tree sink: the files the FAT
    // search lists.
    CKnownFileCollector m_knownFiles{SEARCHER_FAT};
};

// The partition scan: the complete scan reported as its own kind.
class CPartitionRecoveryController : public CCompleteRecoveryController {
public:
    using CCompleteRecoveryController::CCompleteRecoveryController;
    _RECOVERY_CONTROLLER_TYPE thisType() override { return RECOVERY_CONTROLLER_PARTITION; }
};
