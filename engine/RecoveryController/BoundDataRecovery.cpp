#include "BoundDataRecovery.h"

#include "DataRecovery.h"
#include "RestoreScanSink.h"

IDataRecovery* CreateBoundDataRecovery(RestoreScanSink* restore, _tagSearcherType type,
                                       IFileSystemSearchController* searcher,
                                       IStorageDevice* device) {
    IDataRecovery* recovery = CreateDataRecoveryObj();
    if (recovery == nullptr)
        return nullptr;
    const RESULT_CODE bound =
        restore != nullptr ? recovery->Initialize(restore->GetSearchedPartition(type), device)
                           : recovery->Initialize(searcher, device);
    if (IsFailure(bound)) {
        recovery->Release();
        return nullptr;
    }
    return recovery;
}
