#include "DeletedRecoveryController.h"

#include <unistd.h>

#include "BoundDataRecovery.h"
#include "DirectoryTreeBuilder.h"
#include "FileSystemSearcher.h"
#include "RestoreScanSink.h"
#include "ScanProgress.h"
#include "SearcherFactories.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

namespace {

RESULT_CODE Failure(uint16_t line, uint32_t kind) {
    return MakeFailure(kModuleRecoveryController, line, kind);
}

// The file system volume recognition recorded for the device, if any.
bool VolumeFileSystem(IStorageDevice* device, enumFILE_SYSTEM_TYPE& type) {
    const CCollectedVolumeDeviceInfoStruct* volume = VolumeRecordOf(device->GetPrivateData());
    if (volume == nullptr)
        return false;
    type = static_cast<enumFILE_SYSTEM_TYPE>(volume->fileSystemType);
    return true;
}

}  // namespace

CDeletedRecoveryController::~CDeletedRecoveryController() {
    if (m_pBuilder != nullptr)
        m_pBuilder->Release();
    delete m_pSearcher;
}

bool CDeletedRecoveryController::Initialize(IRecoveryFilter* filter) {
    if (filter == nullptr)
        return false;
    m_pFilter = filter;
    return true;
}

RESULT_CODE CDeletedRecoveryController::StartDataRecovery(IStorageDevice* device, IProgress* sink,
                                                          IDrirectoryTree* tree) {
    if (sink == nullptr)
        return Failure(__LINE__, kResultFailed);
    CScanProgress progress(sink);
    // Whatever happens, the caller learns that the scan is over.
    auto fail = [&progress](RESULT_CODE code) {
        progress.FinishUnlessFinished(code);
        return code;
    };
    if (device == nullptr || tree == nullptr)
        return fail(Failure(__LINE__, kResultFailed));

    progress.Report(PROGRESS_STATE_RUNNING, 1, 0);
    if (device->GetType() == kStorageDeviceDisk) {
        return fail(Failure(__LINE__, kResultQuickScanOfWholeDisk));
    }

    m_pDevice = device;
    if (m_pBuilder != nullptr)
        m_pBuilder->Release();
    delete m_pSearcher;
    m_pSearcher = nullptr;
    m_pBuilder = CreateTreeBuilder(false, m_treeSetupPause);
    if (m_pBuilder == nullptr)
        return fail(Failure(__LINE__, kResultOutOfMemory));
    if (!m_pBuilder->Initialize(GetDeviceDescription(device).c_str(), tree, m_pFilter)) {
        return fail(Failure(__LINE__, kResultFailed));
    }

    enumFILE_SYSTEM_TYPE fileSystem = FILE_SYSTEM_UNKNOWN;
    if (VolumeFileSystem(device, fileSystem)) {
        const auto& quick = RegisteredSearcherFactories().quick;
        const auto factory = quick.find(fileSystem);
        if (factory != quick.end() && factory->second)
            m_pSearcher = factory->second();
    }
    if (m_pSearcher == nullptr)
        return fail(Failure(__LINE__, kResultFileSystemNotSupported));

    m_pSearcher->SetDirecotryTreeBuilder(m_pBuilder);
    RESULT_CODE result = kResultSuccess;
    if (m_pRestore != nullptr) {
        m_pRestore->SetDirecotryTreeBuilder(m_pBuilder, &progress, device);
    } else {
        sync();
        result = m_pSearcher->QuickSearchFiles(device, &progress);
    }
    progress.FinishUnlessFinished(result);
    return IsFailure(result) ? result : kResultSuccess;
}

IDataRecovery* CDeletedRecoveryController::GetDataRecovery(_tagSearcherType type) const {
    return CreateBoundDataRecovery(m_pRestore, type, m_pSearcher, m_pDevice);
}
