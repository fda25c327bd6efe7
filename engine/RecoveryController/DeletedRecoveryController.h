#pragma once

#include "RecoveryController.h"

class IDirecotryTreeBuilder;
class IQuickFileSystemSearchController;

// The deleted-file scan: the one quick searcher of the volume's file system.
class CDeletedRecoveryController : public IRecoveryController {
public:
    explicit CDeletedRecoveryController(std::chrono::milliseconds treeSetupPause)
        : m_treeSetupPause(treeSetupPause) {}
    ~CDeletedRecoveryController() override;
    CDeletedRecoveryController(const CDeletedRecoveryController&) = delete;
    CDeletedRecoveryController& operator=(const CDeletedRecoveryController&) = delete;

    _RECOVERY_CONTROLLER_TYPE thisType() override { return RECOVERY_CONTROLLER_DELETED; }
    bool Initialize(IRecoveryFilter* filter) override;
    RESULT_CODE StartDataRecovery(IStorageDevice* device, IProgress* progress,
                                  IDrirectoryTree* tree) override;
    IDataRecovery* GetDataRecovery(_tagSearcherType type) const override;
    void Release() override { delete this; }
    void SetRestoreScanSink(RestoreScanSink* source) override { m_pRestore = source; }

private:
    const std::chrono::milliseconds m_treeSetupPause;
    RestoreScanSink* m_pRestore = nullptr;
    IDirecotryTreeBuilder* m_pBuilder = nullptr;
    IRecoveryFilter* m_pFilter = nullptr;
    IStorageDevice* m_pDevice = nullptr;
    IQuickFileSystemSearchController* m_pSearcher = nullptr;
};
